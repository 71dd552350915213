#pragma once
// Starts one command line as a detached process and keeps what the caller may ask about it.
// The window geometry and show mode are kept for callers but have no effect on Linux: a
// program places its own windows there.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/Process.h"

class ProcessLauncher {
  public:
    explicit ProcessLauncher(std::wstring commandLine);
    ProcessLauncher(const ProcessLauncher&) = delete;
    ProcessLauncher& operator=(const ProcessLauncher&) = delete;

    // Starts the command line (its first word is the program; words split as the platform's
    // SplitCommandLine does, no shell). 0, or the system error code, also kept as last error.
    uint32_t Start();
    // Exit code of the last started process; platform::kStillActive while it runs, -1 when
    // nothing was started.
    int GetExitCode() const;
    pid_t GetProcessId() const { return child_.Pid(); }

    int GetLeft() const { return left_; }
    void SetLeft(int v) { left_ = v; }
    int GetTop() const { return top_; }
    void SetTop(int v) { top_ = v; }
    int GetWidth() const { return width_; }
    void SetWidth(int v) { width_ = v; }
    int GetHeight() const { return height_; }
    void SetHeight(int v) { height_ = v; }
    uint16_t GetShowMode() const { return showMode_; }
    void SetShowMode(uint16_t v) { showMode_ = v; }
    uint32_t GetLastError() const { return lastError_; }
    const std::wstring& GetVersion() const { return version_; }
    const std::wstring& GetCommandLine() const { return commandLine_; }

    // The nominal screen the default geometry derives from (no display is asked).
    static constexpr int kScreenWidth = 1024;
    static constexpr int kScreenHeight = 768;
    static constexpr uint16_t kShowDefault = 10;

  private:
    std::wstring version_ = L"1.2.0";
    std::wstring commandLine_;
    uint32_t lastError_ = 0;
    int left_ = kScreenWidth / 4;
    int top_ = kScreenHeight / 4;
    int width_ = kScreenWidth / 2;
    int height_ = kScreenHeight / 2;
    uint16_t showMode_ = kShowDefault;
    platform::ChildProcess child_;
};
