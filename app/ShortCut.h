#pragma once
// The desktop shortcut to the wizard: a freedesktop entry with the link's name
// ("Quilvane Setup.lnk" becomes "Quilvane Setup.desktop").
#include <cstdint>
#include <string>

class CLog;

// Status codes in the platform's form: 0 success, negative failure.
inline constexpr int32_t kShortcutOk = 0;
inline constexpr int32_t kShortcutFail = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kShortcutInvalidArg = static_cast<int32_t>(0x80070057u);
// A failed save: 0x8007xxxx with the system error in the low word.
int32_t ShortcutErrorStatus(int err);

class CShortCut {
  public:
    // log is not owned and may be null.
    explicit CShortCut(CLog* log);
    virtual ~CShortCut();

    // Writes the entry for target (made absolute) with the description and working directory.
    // The entry goes into the directory of linkFile when that is a native absolute path, else
    // into the user's desktop directory; an existing entry is replaced atomically.
    int32_t CreateShortcut(const std::wstring& target, const std::wstring& description,
                           const std::wstring& linkFile, const std::wstring& workingDirectory);

    // The file the last successful CreateShortcut wrote.
    const std::string& CurrentFile() const { return currentFile_; }
    // Why the last CreateShortcut failed, as its ERR line says it ("Save failed: <system
    // reason> (<path>)"); empty after a success.
    const std::string& LastError() const { return lastError_; }

    // Longest description the entry takes, in characters.
    static constexpr size_t kMaxDescription = 1024;
    // Longest link file name taken from the argument.
    static constexpr size_t kMaxLinkPath = 260;

  private:
    void Error(const std::string& what);

    CLog* log_;
    std::string currentFile_;
    std::string lastError_;
};

// The entry's text (exposed for tests).
std::string DesktopEntryText(const std::string& name, const std::string& description,
                             const std::string& target, const std::string& workingDirectory);
