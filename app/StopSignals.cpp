#include "app/StopSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/QVApp.h"
#include "automate/PluginCall.h"
#include "base/Log.h"
#include "base/Text.h"

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

std::atomic<int64_t> g_progressAt{0};
std::atomic<int> g_limitMs{0};
std::atomic<int> g_limitExit{0};

// The last word of a process whose main thread does not answer: the log, stderr, and out.
[[noreturn]] void EndHeld(int code, const std::string& message) {
    if (CLog* log = CQVApp::AppLog())
        log->Err(message);
    std::fprintf(stderr, "QuilvaneWizApp: %s\n", message.c_str());
    std::fflush(stderr);
    _exit(code);
}

std::string RunningCall() {
    std::string call = CurrentPluginCall();
    return call.empty() ? std::string("no plug-in call") : "the plug-in call " + call;
}

}  // namespace

void NoteProgress() {
    g_progressAt = NowMs();
}

StopSignals::StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signalFd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (signalFd_ < 0 || wakeFd_ < 0 || pipe2(notify_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    thread_ = std::thread([this] { Loop(); });
}

StopSignals::~StopSignals() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        ssize_t written = write(wakeFd_, &one, sizeof one);
        (void)written;
        thread_.join();
    }
    for (int fd : {signalFd_, wakeFd_, notify_[0], notify_[1]})
        if (fd >= 0)
            close(fd);
}

void StopSignals::WatchProgress(int limitMs, int exitCode) {
    NoteProgress();
    g_limitExit = exitCode;
    g_limitMs = limitMs;
}

void StopSignals::Loop() {
    int64_t stopAt = 0;
    int stopSignal = 0;
    for (;;) {
        pollfd fds[2] = {{signalFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int ready = poll(fds, 2, 250);
        if (ready > 0 && (fds[1].revents & POLLIN))
            return;
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            signalfd_siginfo info{};
            while (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (stopAt == 0) {
                    stopAt = NowMs();
                    stopSignal = static_cast<int>(info.ssi_signo);
                }
                const char byte = 1;
                ssize_t written = write(notify_[1], &byte, 1);
                (void)written;
            }
        }
        const int64_t now = NowMs();
        if (stopAt != 0 && now - stopAt > kGraceMs)
            EndHeld(kExitStopHung,
                    StrFormat("Stop signal %d: the run did not end within %d s, %s was running - "
                              "Exit",
                              stopSignal, kGraceMs / 1000, RunningCall().c_str()));
        const int limit = g_limitMs;
        if (limit > 0 && now - g_progressAt > int64_t{limit} + kGraceMs)
            EndHeld(g_limitExit,
                    StrFormat("No new screen for %d s and the run does not answer, %s was running "
                              "- Exit",
                              (limit + kGraceMs) / 1000, RunningCall().c_str()));
    }
}

}  // namespace app
