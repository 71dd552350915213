// A small program the process tests start. Modes (first argument):
//   sleep MS        sleeps MS milliseconds (negative: until a signal) and exits 0
//   ignore-term     ignores SIGTERM and sleeps until killed
//   exit CODE       exits with CODE
//   report FILE ... writes its directory, session, standard streams and arguments to FILE
// Started under the name "noxStart" it plays a starter: it counts its launches in the file
// "launches" of its directory; the launch numbered $QV_HELPER_UP_AT creates the agent block
// $QV_HELPER_BLOCK, publishes "helper agent" and stays up until SIGTERM. Under any other name
// with $QV_HELPER_ARGS set (a stand-in for systemctl) it writes its arguments to that file, one
// a line, and exits with $QV_HELPER_EXIT.
#include <signal.h>
#include <unistd.h>

#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "app/AgentSharedMemory.h"

namespace {

std::string Link(const char* path) {
    char buf[4096];
    ssize_t n = readlink(path, buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("?");
}

int Starter() {
    int fd = open("launches", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return 1;
    if (write(fd, "x", 1) != 1)
        return 1;
    off_t count = lseek(fd, 0, SEEK_END);
    close(fd);
    const char* upAt = std::getenv("QV_HELPER_UP_AT");
    const char* name = std::getenv("QV_HELPER_BLOCK");
    if (!upAt || !name || std::atoi(upAt) != count)
        return 0;
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    CAgentSharedMemory block(name);
    if (!block.Create(std::string(name) + ".def"))
        return 1;
    block.SetPublishedText("helper agent");
    int sig = 0;
    sigwait(&stop, &sig);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string self = argv[0];
    if (self.substr(self.find_last_of('/') + 1) == "noxStart")
        return Starter();
    if (const char* report = std::getenv("QV_HELPER_ARGS")) {
        FILE* out = std::fopen(report, "w");
        if (!out)
            return 1;
        for (int i = 1; i < argc; ++i)
            std::fprintf(out, "%s\n", argv[i]);
        std::fclose(out);
        const char* code = std::getenv("QV_HELPER_EXIT");
        return code ? std::atoi(code) : 0;
    }
    if (argc < 2)
        return 2;
    std::string mode = argv[1];
    if (mode == "sleep" && argc > 2) {
        long ms = std::atol(argv[2]);
        if (ms < 0) {
            for (;;)
                pause();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return 0;
    }
    if (mode == "ignore-term") {
        signal(SIGTERM, SIG_IGN);
        for (;;)
            pause();
    }
    if (mode == "exit" && argc > 2)
        return std::atoi(argv[2]);
    if (mode == "report" && argc > 2) {
        int extra = 0;
        for (int fd = 3; fd < 64; ++fd)
            extra += fcntl(fd, F_GETFD) >= 0 ? 1 : 0;
        FILE* out = std::fopen(argv[2], "w");
        if (!out)
            return 1;
        char cwd[4096] = "?";
        if (!getcwd(cwd, sizeof cwd))
            std::strcpy(cwd, "?");
        std::fprintf(out, "cwd=%s\nleader=%d\nstdin=%s\nstdout=%s\nstderr=%s\nextra=%d\n", cwd,
                     getsid(0) == getpid() ? 1 : 0, Link("/proc/self/fd/0").c_str(),
                     Link("/proc/self/fd/1").c_str(), Link("/proc/self/fd/2").c_str(), extra);
        for (int i = 0; i < argc; ++i)
            std::fprintf(out, "arg%d=%s\n", i, argv[i]);
        std::fclose(out);
        return 0;
    }
    return 2;
}
