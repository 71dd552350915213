#include "platform/Desktop.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// "$HOME/x" or "/x"; anything else is not a usable directory.
std::string ExpandDir(std::string_view value, const std::string& home) {
    std::string v(value);
    if (v.compare(0, 5, "$HOME") == 0 && (v.size() == 5 || v[5] == '/')) {
        if (home.empty())
            return {};
        v = home + v.substr(5);
    }
    if (v.empty() || v[0] != '/')
        return {};
    while (v.size() > 1 && v.back() == '/')
        v.pop_back();
    return v;
}

}  // namespace

std::string ParseUserDirsDesktop(std::string_view text, const std::string& home) {
    const std::string_view key = "XDG_DESKTOP_DIR";
    std::string found;
    while (!text.empty()) {
        size_t nl = text.find('\n');
        std::string_view line = Trim(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (line.substr(0, key.size()) != key)
            continue;
        line = Trim(line.substr(key.size()));
        if (line.empty() || line.front() != '=')
            continue;
        line = Trim(line.substr(1));
        if (line.size() < 2 || line.front() != '"')
            continue;
        std::string value;
        bool closed = false;
        for (size_t i = 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                value += line[++i];
            } else if (line[i] == '"') {
                closed = true;
                break;
            } else {
                value += line[i];
            }
        }
        if (closed)
            found = ExpandDir(value, home);  // the shell keeps the last assignment
    }
    return found;
}

std::string DesktopDirectory() {
    if (const char* dir = std::getenv(kDesktopDirVariable); dir && *dir)
        return dir;
    std::string home = HomeDirectory();
    std::string config;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/')
        config = x;
    else if (!home.empty())
        config = home + "/.config";
    if (!config.empty()) {
        std::ifstream in(config + "/user-dirs.dirs", std::ios::binary);
        if (in) {
            std::ostringstream ss;
            ss << in.rdbuf();
            std::string text = ss.str();
            if (text.size() <= (1u << 20)) {
                std::string dir = ParseUserDirsDesktop(text, home);
                if (!dir.empty())
                    return dir;
            }
        }
    }
    if (const char* x = std::getenv("XDG_DESKTOP_DIR"); x && *x) {
        std::string dir = ExpandDir(x, home);
        if (!dir.empty())
            return dir;
    }
    return home.empty() ? std::string() : home + "/Desktop";
}

int MakeDesktopDirectory(const std::string& dir) {
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (const char* redirect = std::getenv(kDesktopDirVariable); redirect && *redirect)
        return ENOENT;
    std::string home = HomeDirectory();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    if (home.size() < 2 || home[0] != '/' || dir.compare(0, home.size() + 1, home + "/") != 0)
        return ENOENT;
    if (stat(home.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return ENOENT;
    // One level at a time below the home; "." and ".." would lead out of it.
    std::string path = home;
    std::string_view rest = std::string_view(dir).substr(home.size() + 1);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty())
            continue;
        if (part == "." || part == "..")
            return ENOENT;
        path += "/";
        path += part;
        if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
            return errno;
        if (stat(path.c_str(), &st) != 0)
            return errno;
        if (!S_ISDIR(st.st_mode))
            return ENOTDIR;
    }
    return 0;
}

namespace {

int ReplaceFileWith(const std::string& path, std::string_view bytes, unsigned mode, bool flush) {
    if (path.empty() || path.back() == '/')
        return EINVAL;
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string tmp = (slash == std::string::npos ? std::string() : dir) + "." + base + ".XXXXXX";
    int fd = mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int err = 0;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (!err && fchmod(fd, static_cast<mode_t>(mode)) != 0)
        err = errno;
    if (!err && flush && fsync(fd) != 0)
        err = errno;
    if (close(fd) != 0 && !err)
        err = errno;
    if (!err && rename(tmp.c_str(), path.c_str()) != 0)
        err = errno;
    if (err) {
        unlink(tmp.c_str());
        return err;
    }
    if (flush)
        FlushDirectoryOf(path);
    return 0;
}

}  // namespace

void FlushDirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    // The rename itself only lasts a power cut once the directory is on disk.
    int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
}

int WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned mode) {
    return ReplaceFileWith(path, bytes, mode, true);
}

int ReplaceFileUnflushed(const std::string& path, std::string_view bytes, unsigned mode) {
    return ReplaceFileWith(path, bytes, mode, false);
}

}  // namespace platform
