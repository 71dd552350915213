// Answer files of `qvtool run`: events and the values saved into the screen's context.
#include "base/Profile.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/qvtool/Answers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzz::Put("config/answers.ini", data, size);
    ClearProfileCache();
    CAutomateContext context("", LOG_DEBUG);
    context.Initialize();
    context.addPropertiesContext("Count", "INT", 2);
    context.addPropertiesContext("Amount", "LONG", 1);
    context.addPropertiesContext("Name", "STRING", 2);
    context.addPropertiesContext("Label", "VOID", 1);
    context.addPropertiesContext("Handle", "PTR", 1);
    for (const char* screen : {"StateLanguage", "StateResult", "Details", "\xC3\x89tat", ""})
        ApplyAnswer(path, screen, context);
    context.ReleaseValues();
    return 0;
}
