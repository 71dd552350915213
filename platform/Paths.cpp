#include "platform/Paths.h"

#include <unistd.h>

#include <climits>
#include <mutex>

namespace platform {
namespace {
std::mutex g_dirMutex;
std::string g_programDirOverride;
}  // namespace

std::string NativePath(std::string_view path) {
    std::string out(path);
    for (char& c : out) {
        if (c == '\\')
            c = '/';
    }
    return out;
}

std::string ExecutablePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string ProgramDirectory() {
    {
        std::lock_guard<std::mutex> lock(g_dirMutex);
        if (!g_programDirOverride.empty())
            return g_programDirOverride;
    }
    std::string exe = ExecutablePath();
    auto slash = exe.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return "/";
    return exe.substr(0, slash);
}

void SetProgramDirectory(const std::string& dir) {
    std::string d = dir;
    while (d.size() > 1 && d.back() == '/')
        d.pop_back();
    std::lock_guard<std::mutex> lock(g_dirMutex);
    g_programDirOverride = d;
}

bool ChangeDirectory(const std::string& dir) {
    return chdir(NativePath(dir).c_str()) == 0;
}

}  // namespace platform
