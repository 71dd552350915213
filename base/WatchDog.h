#pragma once
// Supervises one program: starts it when it does not run, and kills it when it runs longer
// than the time-out. WatchOn blocks its caller for the whole supervision.
#include <chrono>
#include <memory>
#include <string>

#include "base/Log.h"

class WatchDog {
  public:
    static constexpr long kDefaultTimeOutMs = 30000;
    static constexpr long kDefaultPollMs = 5000;

    // No command: IsAlive is false and WatchOn kills nothing.
    WatchDog(const std::string& logDir, const std::string& logFile);
    // command: full path of the program (case kept: Linux paths are case-sensitive).
    WatchDog(const std::wstring& command, long timeOutMs, const std::string& logDir,
             const std::string& logFile);
    WatchDog(const WatchDog&) = delete;
    WatchDog& operator=(const WatchDog&) = delete;

    bool IsAlive();
    // Milliseconds since supervision began; 0 before.
    double GetTimeExecution();
    // 2 when it killed the program, 0 otherwise.
    int KillProcess();
    // The result of the final KillProcess.
    int WatchOn();

    void SetCommand(const std::wstring& command);
    void SetArguments(const std::wstring& arguments) { arguments_ = arguments; }
    void SetTimeOut(long ms) { timeOutMs_ = ms; }
    void SetPollInterval(long ms) { pollMs_ = ms; }
    const std::wstring& GetCommand() const { return command_; }
    const std::wstring& GetExecutableName() const { return executableName_; }
    long GetTimeOut() const { return timeOutMs_; }
    long GetPollInterval() const { return pollMs_; }

  private:
    bool started_ = false;
    std::chrono::steady_clock::time_point start_{};
    std::wstring command_;
    std::wstring executableName_;
    std::wstring arguments_;
    long timeOutMs_ = kDefaultTimeOutMs;
    long pollMs_ = kDefaultPollMs;
    std::unique_ptr<CLog> log_;
    std::string message_;
};
