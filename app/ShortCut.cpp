#include "app/ShortCut.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "base/Log.h"
#include "base/Text.h"
#include "platform/Desktop.h"
#include "platform/Paths.h"
#include "platform/Process.h"

namespace {

bool HasControl(const std::string& s) {
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7f)
            return true;
    }
    return false;
}

// String escapes of the entry format.
std::string EscapeValue(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The program as one quoted argument of Exec: inside the quotes '"', '`', '$' and '\' take a
// backslash, '%' is doubled (field codes); then the value gets the string escapes.
std::string ExecArgument(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return EscapeValue(quoted);
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
    if (s.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char a = s[s.size() - suffix.size() + i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (a != suffix[i])
            return false;
    }
    return true;
}

std::string SystemErrorText(int err) {
    char buffer[128];
    return strerror_r(err, buffer, sizeof buffer);  // the GNU form may return its own text
}

}  // namespace

int32_t ShortcutErrorStatus(int err) {
    return static_cast<int32_t>(0x80070000u | (static_cast<unsigned>(err) & 0xFFFFu));
}

std::string DesktopEntryText(const std::string& name, const std::string& description,
                             const std::string& target, const std::string& workingDirectory) {
    std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
    text += "Name=" + EscapeValue(name) + "\n";
    text += "Comment=" + EscapeValue(description) + "\n";
    text += "Exec=" + ExecArgument(target) + "\n";
    if (!workingDirectory.empty())
        text += "Path=" + EscapeValue(workingDirectory) + "\n";
    text += "Terminal=false\n";
    return text;
}

CShortCut::CShortCut(CLog* log) : log_(log) {}

CShortCut::~CShortCut() = default;

void CShortCut::Error(const std::string& what) {
    lastError_ = what;
    if (log_)
        log_->Err("[CShortCut::CreateShortcut] Error : " + what);
}

int32_t CShortCut::CreateShortcut(const std::wstring& target, const std::wstring& description,
                                  const std::wstring& linkFile,
                                  const std::wstring& workingDirectory) {
    lastError_.clear();
    std::string full =
        target.empty() ? std::string() : platform::ResolveProgramFile(Narrow(target));
    if (full.empty() || full[0] != '/' || full.size() > 4095) {
        Error("Full path name not found");
        return kShortcutFail;
    }
    full = std::filesystem::path(full).lexically_normal().string();

    // The entry format has no way to carry a line break inside a path.
    if (HasControl(full)) {
        Error("SetPath failed");
        return kShortcutInvalidArg;
    }
    std::string workDir = platform::NativePath(Narrow(workingDirectory));
    if (HasControl(workDir)) {
        Error("SetWorkingDirectory failed");
        return kShortcutInvalidArg;
    }
    if (description.size() > kMaxDescription) {
        Error("SetDescription failed");
        return kShortcutInvalidArg;
    }

    std::string link = Narrow(std::wstring_view(linkFile).substr(0, kMaxLinkPath));
    size_t sep = link.find_last_of("\\/");
    std::string name = sep == std::string::npos ? link : link.substr(sep + 1);
    if (EndsWithNoCase(name, ".lnk"))
        name.resize(name.size() - 4);
    const bool ownDirectory = !link.empty() && link[0] == '/' && sep != std::string::npos;
    std::string dir = ownDirectory ? link.substr(0, sep) : platform::DesktopDirectory();
    if (name.empty() || name[0] == '.') {
        Error("Save failed: no usable entry name in the link " + link);
        return kShortcutInvalidArg;
    }
    if (dir.empty()) {
        Error("Save failed: no home directory to hold the desktop folder");
        return kShortcutInvalidArg;
    }
    std::string path = dir + "/" + name + ".desktop";
    std::string text = DesktopEntryText(name, Narrow(description), full, workDir);
    // A fresh account has no desktop folder until a desktop first starts; the user expects the
    // entry there all the same. A link's own directory is the caller's to provide.
    int err = ownDirectory ? 0 : platform::MakeDesktopDirectory(dir);
    // Owner-only, and executable so that desktops offer to launch it.
    if (err == 0)
        err = platform::WriteFileAtomically(path, text, 0700);
    if (err != 0) {
        Error("Save failed: " + SystemErrorText(err) + " (" + path + ")");
        return ShortcutErrorStatus(err);
    }
    currentFile_ = path;
    return kShortcutOk;
}
