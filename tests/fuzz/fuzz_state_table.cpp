// State table and context definition: the automaton's states (sections 0 to 700) and the
// context's properties (section CONTEXT) of one file, read as the automaton reads them.
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "automate/Automate.h"
#include "base/Profile.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

CAutomate* automate = nullptr;

// Its shared block must not outlive the run.
void DropAutomate() {
    delete automate;
    automate = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One automaton for the whole run: it owns a shared block, too costly per input. No log
    // file name, so nothing is logged.
    static const std::string path = fuzz::Tree() + "/config/automate.ini";
    if (!automate) {
        automate = new CAutomate("fuzzKey", "QVFuzzMemory" + std::to_string(getpid()), path,
                                 fuzz::Tree() + "/config/none.xml",
                                 fuzz::Tree() + "/config/none.ini", "", LOG_DEBUG);
        std::atexit(DropAutomate);
    }
    fuzz::Put("config/automate.ini", data, size);
    ClearProfileCache();
    automate->LoadingIniFile();
    for (int n = 0; n <= automate->HighestState(); ++n)
        (void)automate->State(n).events[1].size();

    CAutomateContext context("", LOG_DEBUG);
    context.Initialize();
    context.LoadContext(path);
    int32_t value = 0;
    context.GetInt("LastEvent", 1, &value);
    char text[CAutomateContext::kStringBufferBytes];
    context.GetString("Gui", 1, text);
    std::wstring wide;
    context.GetWide("Gui", 1, &wide);
    context.ReleaseValues();
    return 0;
}
