#include "base/ProgramDirectory.h"

#include "base/Profile.h"
#include "base/Text.h"
#include "platform/Paths.h"

std::string GetProgramDirectory() {
    std::string dir = platform::ProgramDirectory();
    return dir.empty() ? " " : dir;
}

std::string ReadProfileText(const std::string& section, const std::string& key,
                            const std::string& file) {
    return Narrow(ReadProfileString(file, Widen(section), Widen(key), L""));
}

std::wstring ReadProfileText(const std::wstring& section, const std::wstring& key,
                             const std::wstring& file) {
    return ReadProfileString(Narrow(file), section, key, L"");
}
