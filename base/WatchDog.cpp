#include "base/WatchDog.h"

#include <thread>

#include "base/ProcessLauncher.h"
#include "base/Text.h"
#include "platform/Process.h"

namespace {
// A program path with blanks is quoted so the launcher keeps it one word.
std::wstring QuoteProgram(const std::wstring& path) {
    if (path.find_first_of(L" \t\"") == std::wstring::npos)
        return path;
    std::wstring out = L"\"";
    for (wchar_t c : path) {
        if (c == L'"')
            out += L'\\';
        out += c;
    }
    return out + L"\"";
}
}  // namespace

WatchDog::WatchDog(const std::string& logDir, const std::string& logFile)
    : log_(std::make_unique<CLog>(logDir, logFile, 0xc00, "WatchDog", 3, LOG_DEBUG)) {}

WatchDog::WatchDog(const std::wstring& command, long timeOutMs, const std::string& logDir,
                   const std::string& logFile)
    : WatchDog(logDir, logFile) {
    SetCommand(command);
    timeOutMs_ = timeOutMs;
}

void WatchDog::SetCommand(const std::wstring& command) {
    command_ = command;
    size_t sep = command_.find_last_of(L"\\/");
    executableName_ = sep == std::wstring::npos ? command_ : command_.substr(sep + 1);
}

bool WatchDog::IsAlive() {
    log_->Debug("call function IsAlive");
    std::string name = Narrow(executableName_);
    bool alive = !command_.empty() && !name.empty() && platform::CountProcesses(name) > 0;
    message_ =
        StrFormat(alive ? "The Process %s is alive" : "The Process %s is not alive", name.c_str());
    log_->Debug(message_);
    message_ = StrFormat("End function IsAlive with return %d", alive ? 1 : 0);
    log_->Debug(message_);
    return alive;
}

double WatchDog::GetTimeExecution() {
    if (!started_)
        return 0;
    double elapsed =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
            .count();
    message_ =
        StrFormat("call function GetTimeExecution - %8.3f avec timeout=%ld", elapsed, timeOutMs_);
    log_->Debug(message_);
    return elapsed;
}

int WatchDog::KillProcess() {
    log_->Debug("call function KillProcess");
    if (!IsAlive())
        return 0;
    platform::TerminateProcess(Narrow(executableName_));
    return 2;
}

int WatchDog::WatchOn() {
    log_->Debug("call function WatchOn ");
    if (IsAlive()) {
        start_ = std::chrono::steady_clock::now();
        started_ = true;
    } else {
        std::wstring text = command_;
        if (!arguments_.empty())
            text += L" " + arguments_;
        message_ = StrFormat("call function execute %s", Narrow(text).c_str());
        log_->Debug(message_);
        std::wstring line = QuoteProgram(command_);
        if (!arguments_.empty())
            line += L" " + arguments_;
        {
            // A failed start is seen at the first poll: nothing is alive then.
            ProcessLauncher launcher(line);
            launcher.Start();
        }
        start_ = std::chrono::steady_clock::now();
        started_ = true;
    }
    bool alive;
    double elapsed;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs_ > 0 ? pollMs_ : 0));
        alive = IsAlive();
        elapsed = GetTimeExecution();
    } while (alive && elapsed < static_cast<double>(timeOutMs_));
    int result = KillProcess();
    log_->Info(result == 2 ? "WatchDog need to kill Process" : "WatchDog don't kill the process");
    message_ = StrFormat("end function WatchOn with returncode %d", result);
    log_->Debug(message_);
    return result;
}
