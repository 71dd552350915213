// quilvane-setup-session: runs the wizard inside the kiosk compositor and, when it ends with 0,
// writes the stamp that keeps the first-boot unit from starting again. The compositor ends
// with a status of its own, whatever its client's, so the unit cannot tell a good run itself.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "base/Text.h"
#include "platform/Process.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitNotStarted = 127;
constexpr int kExitNoStamp = 125;
constexpr size_t kMaxPath = 4095;

void PrintUsage() {
    std::printf(
        "usage: quilvane-setup-session [--stamp FILE] -- PROGRAM [ARGS...]\n"
        "Runs PROGRAM and ends with its status; when that is 0 and --stamp is given, FILE is\n"
        "written (its date and the program), so a unit whose condition is that FILE is absent\n"
        "never starts again.\n"
        "Exit status: the program's (128 + N when signal N ended it); 2 a wrong option; 125 the\n"
        "program ended with 0 but FILE could not be written; 127 the program could not start.\n");
}

// Written whole or not at all: a temporary file beside it, then a rename. Neither follows a
// link, so the stamp cannot be turned into a write elsewhere.
bool WriteStamp(const std::string& path, const std::string& program) {
    const std::string temp = path + ".new";
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = open(temp.c_str(), flags, 0644);
    if (fd < 0 && errno == EEXIST && unlink(temp.c_str()) == 0)  // a killed run's
        fd = open(temp.c_str(), flags, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "quilvane-setup-session: cannot write %s: %s\n", temp.c_str(),
                     std::strerror(errno));
        return false;
    }
    char when[64] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local))
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S%z", &local);
    const std::string text = std::string(when) + " " + program + " ended with 0\n";
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool closed = fsync(fd) == 0 && close(fd) == 0;
    if (!written || !closed || rename(temp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "quilvane-setup-session: cannot write %s: %s\n", path.c_str(),
                     std::strerror(errno));
        unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    std::string stamp;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "-h" || arg == "--help") {
            PrintUsage();
            return 0;
        }
        if (arg == "--stamp" && i + 1 < argc && argv[i + 1][0] == '/' &&
            std::strlen(argv[i + 1]) <= kMaxPath) {
            stamp = argv[++i];
            continue;
        }
        std::fprintf(stderr,
                     "quilvane-setup-session: unusable option %s (--stamp takes an "
                     "absolute path)\n",
                     arg.c_str());
        return kExitUsage;
    }
    if (i >= argc) {
        PrintUsage();
        return kExitUsage;
    }
    const std::vector<std::string> command(argv + i, argv + argc);
    platform::ChildProcess child;
    if (int error = child.Start(command); error != 0) {
        std::fprintf(stderr, "quilvane-setup-session: cannot start %s: %s\n", command[0].c_str(),
                     std::strerror(error));
        return kExitNotStarted;
    }
    child.Wait(-1);
    const int status = child.ExitCode();
    std::fprintf(stderr, "quilvane-setup-session: %s ended with %d\n", command[0].c_str(), status);
    if (status == 0 && !stamp.empty() && !WriteStamp(stamp, command[0]))
        return kExitNoStamp;
    return status;
}
