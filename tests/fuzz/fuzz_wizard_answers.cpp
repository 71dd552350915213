// Answer files of the wizard's unattended runs: the whole check before the run, the per-visit
// leaves and the list positions.
#include "app/AnswerFile.h"
#include "base/Profile.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzz::Put("config/answers.ini", data, size);
    ClearProfileCache();
    answers::AnswerFile file;
    answers::Problem problem;
    if (!file.Load(
            path, [](const std::wstring& name) { return name.size() % 7 != 3; }, &problem)) {
        (void)answers::ErrLine(problem);
        return 0;
    }
    for (const char* state : {"Language", "StateInfo2", "GuiKeyBoard", "\xC3\x89tat", ""}) {
        const answers::ScreenAnswer* answer = file.Find(state, "StateLanguage");
        if (!answer)
            continue;
        for (int visit = 1; visit <= 5; ++visit)
            (void)answers::LeaveFor(*answer, visit);
        for (const answers::Field& field : answer->fields) {
            (void)answers::ParsePosition(field.value);
            (void)answers::AnswerValue(field.value);
        }
    }
    return 0;
}
