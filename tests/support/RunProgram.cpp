#include "tests/support/RunProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>

#include "tests/support/TempTree.h"

extern char** environ;

ProgramResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                         int timeoutMs) {
    static std::atomic<int> serial{0};
    std::string base =
        "/tmp/qvtest-run-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
    std::string outPath = base + ".out", errPath = base + ".err";
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = exe;
    std::vector<std::string> words = args;
    std::vector<char*> argv{program.data()};
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    ProgramResult r;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ) == 0) {
        int st = 0;
        bool timedOut = false;
        if (timeoutMs < 0) {
            waitpid(pid, &st, 0);
        } else {
            const auto end =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            while (waitpid(pid, &st, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() > end) {
                    kill(pid, SIGKILL);
                    waitpid(pid, &st, 0);
                    timedOut = true;
                    break;
                }
                usleep(10000);
            }
        }
        r.status = timedOut ? kTimedOut : WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    posix_spawn_file_actions_destroy(&fa);
    r.out = ReadFile(outPath);
    r.err = ReadFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return r;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}
