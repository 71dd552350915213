// The apply journal a killed apply leaves in the data folder, which anyone who may write there
// could have replaced: a plan is taken only when it names the apply's own files, and what is
// taken writes back to the same plan.
#include "plugins/setup_actions/SetupStaging.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string problem;
    const auto plan = setup::ParseApplyJournal(fuzz::Bytes(data, size), &problem);
    if (!plan)
        return problem.empty() ? (__builtin_trap(), 0) : 0;
    for (const auto* names : {&plan->renames, &plan->removes})
        for (const std::string& name : *names)
            if (!setup::IsApplyFile(name))
                __builtin_trap();
    const auto again = setup::ParseApplyJournal(setup::ApplyJournalText(*plan), &problem);
    if (!again || !(*again == *plan))
        __builtin_trap();
    return 0;
}
