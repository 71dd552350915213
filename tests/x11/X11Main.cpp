// The X-driven suite runs in namespaces of its own: its processes (the wizard counts its own
// copies machine-wide), its /dev/shm (the agent's and the automaton's shared blocks), its /tmp
// (the X server's socket and lock) and its network. Process 1 of the new namespace only reaps
// orphans (the detached agent among them) and hands on the suite's exit status.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/Text.h"

namespace {

// CTest's "skipped" status.
constexpr int kSkipped = 77;

bool Mount(const char* source, const char* target, const char* type, unsigned long flags,
           const char* data) {
    if (mount(source, target, type, flags, data) == 0)
        return true;
    std::fprintf(stderr, "x11 suite: cannot mount %s on %s: %s\n", type ? type : "-", target,
                 std::strerror(errno));
    return false;
}

void LoopbackUp() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return;
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    if (ioctl(fd, SIOCGIFFLAGS, &ifr) == 0) {
        ifr.ifr_flags |= IFF_UP;
        ioctl(fd, SIOCSIFFLAGS, &ifr);
    }
    close(fd);
}

int RunSuite(int argc, char** argv) {
    if (!Mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        !Mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) ||
        !Mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") ||
        !Mount("tmpfs", "/tmp", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777"))
        return 1;
    LoopbackUp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    // The private /tmp would hide a build that lives under /tmp.
    for (const char* dir : {STAGE_DIR, SOURCE_DIR, BINARY_DIR}) {
        if (std::strncmp(dir, "/tmp/", 5) == 0) {
            std::fprintf(stderr,
                         "x11 suite: %s lies under /tmp, which the suite replaces with a private "
                         "one; build outside /tmp to run it\n",
                         dir);
            return kSkipped;
        }
    }
    if (unshare(CLONE_NEWPID | CLONE_NEWNS | CLONE_NEWNET | CLONE_NEWIPC) != 0) {
        std::fprintf(stderr, "x11 suite: cannot make namespaces of its own (%s); it needs root\n",
                     std::strerror(errno));
        return kSkipped;
    }
    const pid_t init = fork();
    if (init < 0)
        return 1;
    if (init > 0) {
        int status = 0;
        while (waitpid(init, &status, 0) < 0 && errno == EINTR) {
        }
        // Not through exit: a leak checker's end-of-process scan cannot start its helper from
        // a process whose new children belong to a namespace that has ended.
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    }
    // Process 1: the suite runs in a child, so that orphans are reaped here and not left as
    // zombies that a single-instance check would count.
    const pid_t suite = fork();
    if (suite < 0)
        _exit(1);
    if (suite == 0)
        _exit(RunSuite(argc, argv));
    for (;;) {
        int status = 0;
        const pid_t done = wait(&status);
        if (done == suite)
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
        if (done < 0 && errno != EINTR)
            _exit(1);
    }
}
