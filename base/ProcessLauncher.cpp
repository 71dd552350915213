#include "base/ProcessLauncher.h"

#include <cerrno>

#include "base/Text.h"

ProcessLauncher::ProcessLauncher(std::wstring commandLine) : commandLine_(std::move(commandLine)) {}

uint32_t ProcessLauncher::Start() {
    std::vector<std::string> argv = platform::SplitCommandLine(Narrow(commandLine_));
    int err = argv.empty() ? ENOENT : child_.Start(argv);
    lastError_ = static_cast<uint32_t>(err);
    return lastError_;
}

int ProcessLauncher::GetExitCode() const {
    return child_.ExitCode();
}
