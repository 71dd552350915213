/* Preloaded into the wizard by the crash tests: the process kills itself with SIGKILL just
 * before its Nth durable write (rename, unlink, fsync, fdatasync) of a path that holds one of
 * the texts of QV_KILL_MATCH (colon-separated), N being QV_KILL_AT. A kill before write N is
 * the state right after write N-1, so N = 1, 2, ... visits every point between two writes. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static long writes;

static int Watched(const char* path) {
    const char* match = getenv("QV_KILL_MATCH");
    if (!path || !match)
        return 0;
    char list[1024];
    snprintf(list, sizeof list, "%s", match);
    char* save = NULL;
    for (char* m = strtok_r(list, ":", &save); m; m = strtok_r(NULL, ":", &save))
        if (*m && strstr(path, m))
            return 1;
    return 0;
}

static void Count(const char* path) {
    const char* at = getenv("QV_KILL_AT");
    if (!at || !Watched(path))
        return;
    if (++writes == atol(at))
        kill(getpid(), SIGKILL);
}

static void CountFd(int fd) {
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return;
    path[n] = '\0';
    Count(path);
}

#define NEXT(name, type) ((type)dlsym(RTLD_NEXT, name))

int rename(const char* from, const char* to) {
    Count(to);
    return NEXT("rename", int (*)(const char*, const char*))(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    Count(to);
    return NEXT("renameat", int (*)(int, const char*, int, const char*))(fromDir, from, toDir, to);
}

int unlink(const char* path) {
    Count(path);
    return NEXT("unlink", int (*)(const char*))(path);
}

int fsync(int fd) {
    CountFd(fd);
    return NEXT("fsync", int (*)(int))(fd);
}

int fdatasync(int fd) {
    CountFd(fd);
    return NEXT("fdatasync", int (*)(int))(fd);
}
