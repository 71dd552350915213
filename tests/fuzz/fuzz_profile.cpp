// Profile (INI) reader: every configuration file, the state table and the answer files. The
// setup plug-in's own copy of the reader must give the same answer for every name asked.
#include "base/Profile.h"
#include "plugins/setup_actions/SetupLogic.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = fuzz::Put("config/fuzz.ini", data, size);
    ClearProfileCache();
    // Names the seeds use, in other cases too, so matching without regard to case is reached.
    static const wchar_t* const kSections[] = {L"CONTEXT", L"0",     L"params",
                                               L"LANGUES", L"Écran", L""};
    static const wchar_t* const kKeys[] = {L"ActionToRun", L"event_1", L"Size", L"Modal", L""};
    const ProfileSnapshot snapshot(path);
    for (const wchar_t* section : kSections) {
        for (const wchar_t* key : kKeys) {
            ReadProfileString(path, section, key, L"@1@");
            std::optional<std::wstring> host = snapshot.Read(section, key);
            std::optional<std::string> plugin = setup::ProfileValue(
                fuzz::Bytes(data, size), setup::Narrow(section), setup::Narrow(key));
            if (host.has_value() != plugin.has_value() || (host && *host != setup::Widen(*plugin)))
                __builtin_trap();
        }
    }
    char value[1024];
    ReadIniString(path.c_str(), "PARAMS", "Modal", value);
    ReadProfileString(path, L"0", L"Event_1", L"@1@", 3);
    return 0;
}
