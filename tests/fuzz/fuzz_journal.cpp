// The run's journal (data/QV_run.journal), read as a start-up reads it: the file through its
// checks, the format, and the values written into a context of a fixed definition.
#include "automate/AutomateContext.h"
#include "automate/RunJournal.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // First: it makes the tree the context logs into the current one.
    const std::string path = fuzz::Put("data/QV_run.journal", data, size);
    CAutomateContext context("", LOG_DEBUG);
    context.Initialize();
    for (auto [name, type] : {std::pair{"LastEvent", "INT"},
                              {"Gui", "STRING"},
                              {"Big", "LONG"},
                              {"Handle", "PTR"},
                              {"Label", "VOID"}})
        context.addPropertiesContext(name, type, 1);
    CRunJournal journal(path, "installation", 0, context, nullptr);
    JournalContents read;
    // The seeds' time: young enough to be taken up.
    if (journal.Load(60, 1700000000, &read) == CRunJournal::Found::Usable)
        RestoreProperties(read.properties, context);

    JournalContents decoded;
    if (DecodeJournal(fuzz::Bytes(data, size), &decoded).empty()) {
        // What was read writes back to the same journal.
        JournalContents again;
        if (!DecodeJournal(EncodeJournal(decoded), &again).empty() ||
            again.properties.size() != decoded.properties.size() ||
            again.currentState != decoded.currentState)
            __builtin_trap();
        for (size_t i = 0; i < decoded.properties.size(); ++i)
            if (again.properties[i].value != decoded.properties[i].value ||
                again.properties[i].name != decoded.properties[i].name)
                __builtin_trap();
        if (RestoreProperties(decoded.properties, context).empty() &&
            context.GetPtr("Handle", 1) != nullptr)
            __builtin_trap();
    }
    context.ReleaseValues();
    return 0;
}
