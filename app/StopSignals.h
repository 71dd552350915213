#pragma once
// SIGTERM, SIGINT and SIGHUP are taken by a thread of their own, which never runs plug-in code.
// It tells the main thread through a pipe, so that the run ends the way closing the window
// does; when the main thread is held (a plug-in call that does not return) and the run has not
// ended within the grace period, the thread logs which call was running and ends the process
// with kExitStopHung. The unattended run's time limit is enforced from there too, for the same
// reason. The signals must be blocked in every thread before this starts (main.cpp blocks them
// before anything runs), and stay so.
#include <atomic>
#include <thread>

namespace app {

class StopSignals {
  public:
    static constexpr int kGraceMs = 5000;

    // Starts the thread; Ok() tells whether it runs.
    StopSignals();
    // Stops the thread at once.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool Ok() const { return thread_.joinable(); }
    // Readable once a stop signal came; the main thread reads it empty.
    int NotifyFd() const { return notify_[0]; }
    // From now on a run that shows no new screen (NoteProgress) within limitMs, plus the grace
    // period, ends the process with exitCode even when the main thread is held.
    void WatchProgress(int limitMs, int exitCode);

  private:
    void Loop();

    int signalFd_ = -1;
    int wakeFd_ = -1;
    int notify_[2] = {-1, -1};
    std::thread thread_;
};

// A new screen came (the unattended driver says so).
void NoteProgress();

}  // namespace app
