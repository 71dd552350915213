#include "tests/support/OwnNamespaces.h"

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

namespace tests {
namespace {

constexpr int kSkipped = 77;  // CTest's "skipped"

bool Mount(const char* label, const char* source, const char* target, const char* type,
           unsigned long flags, const char* data) {
    if (mount(source, target, type, flags, data) == 0)
        return true;
    std::fprintf(stderr, "%s: cannot mount %s on %s: %s\n", label, type ? type : "-", target,
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

int RunBody(const Namespaces& how, const std::function<int()>& body) {
    if (!Mount(how.label, nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        !Mount(how.label, "proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) ||
        !Mount(how.label, "tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") ||
        (how.privateTmp &&
         !Mount(how.label, "tmpfs", "/tmp", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777")))
        return 1;
    if (how.privateNetwork)
        LoopbackUp();
    return body();
}

}  // namespace

int RunInOwnNamespaces(int argc, char** argv, const Namespaces& how) {
    return RunInOwnNamespaces(how, [&argc, argv] {
        ::testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    });
}

int RunInOwnNamespaces(const Namespaces& how, const std::function<int()>& body) {
    const int flags =
        CLONE_NEWPID | CLONE_NEWNS | CLONE_NEWIPC | (how.privateNetwork ? CLONE_NEWNET : 0);
    if (unshare(flags) != 0) {
        std::fprintf(stderr, "%s: cannot make namespaces of its own (%s); it needs root\n",
                     how.label, std::strerror(errno));
        if (how.required)
            return kSkipped;
        return body();
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
        _exit(RunBody(how, body));
    for (;;) {
        int status = 0;
        const pid_t done = wait(&status);
        if (done == suite)
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
        if (done < 0 && errno != EINTR)
            _exit(1);
    }
}

}  // namespace tests
