#pragma once
// Support for tests that start real processes: copies of the helper program under names of
// their own, waiting, and a sweeper that ends every process started from a directory.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Process.h"

// Copies program into dir under name (executable) and returns the copy's path.
inline std::string CopyProgram(const std::string& program, const std::string& dir,
                               const std::string& name) {
    namespace fs = std::filesystem;
    std::string to = dir + "/" + name;
    fs::copy_file(program, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_all);
    return to;
}

inline bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Pids of live processes whose executable lies below dir.
inline std::vector<pid_t> ProcessesUnder(const std::string& dir) {
    std::vector<platform::ProcessEntry> table;
    std::vector<pid_t> out;
    platform::ListProcesses(table);
    for (const auto& p : table) {
        if (p.path.compare(0, dir.size() + 1, dir + "/") == 0)
            out.push_back(p.pid);
    }
    return out;
}

// Ends every process started from dir when it goes out of scope (also after a failed check).
class ProcessSweeper {
  public:
    explicit ProcessSweeper(std::string dir) : dir_(std::move(dir)) {}
    ~ProcessSweeper() { Sweep(); }
    void Sweep() const {
        for (pid_t pid : ProcessesUnder(dir_))
            platform::TerminatePid(pid, 500);
    }

  private:
    std::string dir_;
};
