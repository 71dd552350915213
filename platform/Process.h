#pragma once
// Processes: the process table (/proc), matching by executable name, starting programs with an
// argument vector (never through a shell) and terminating them.
#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One live process of the table. Zombies are left out: they no longer run.
struct ProcessEntry {
    pid_t pid = 0;
    std::string name;  // base name of the executable (from /proc/<pid>/exe, else comm)
    std::string path;  // full executable path; empty when it cannot be read
};

// A fresh snapshot of the process table. False when /proc cannot be read.
bool ListProcesses(std::vector<ProcessEntry>& out);

// Longest asked name that takes part in matching; longer names are cut.
inline constexpr size_t kMaxMatchName = 256;

// The matching rule: the asked name begins with the process's executable name (case ignored),
// and the character after that prefix is the end of the asked name or a '.', so "shop.exe"
// matches a process "shop" or "SHOP" but not "sh". An empty process name matches nothing.
bool ExecutableNameMatches(std::string_view asked, std::string_view processName);

// Number of processes whose executable name matches; 0 when the table cannot be read (a line
// goes to standard error then).
int CountProcesses(std::string_view executableName);

// Terminates the first matching process other than the caller: SIGTERM, then SIGKILL when it
// is still alive after the grace. 0 when one was terminated, 1 otherwise.
inline constexpr int kTerminateGraceMs = 2000;
int TerminateProcess(std::string_view executableName, int graceMs = kTerminateGraceMs);

// Terminates one process by id the same way. True when it is gone afterwards.
bool TerminatePid(pid_t pid, int graceMs = kTerminateGraceMs);

// True while the process exists and is not a zombie.
bool IsProcessAlive(pid_t pid);

// Full path of the running program, cut to fit buffer (with its terminator); returns the
// length written. A size of 0 or above 1024 gives 0 and writes nothing.
int ProgramPath(char* buffer, size_t size);

// Turns a program named the system's way into the file to run: backslashes become '/', a
// relative name is taken in workDir, and a name ending in ".exe" that does not exist is tried
// without the suffix.
std::string ResolveProgramFile(std::string_view file, const std::string& workDir = {});

// Splits a command line into words: blanks separate, double quotes group (and are removed),
// a backslash before a double quote makes it literal. No other expansion takes place.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Exit code reported for a process that still runs.
inline constexpr int kStillActive = 259;

// A started program. It runs detached (own session, standard streams on /dev/null, no
// descriptor inherited beyond them); a background waiter reaps it when it ends, so no zombie is
// left even when nobody asks for its exit code.
class ChildProcess {
  public:
    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (resolved with ResolveProgramFile) with argv in workDir (empty: the current
    // directory). Returns 0, or the system error code when it could not be started.
    int Start(const std::vector<std::string>& argv, const std::string& workDir = {});

    pid_t Pid() const;
    bool HasExited() const;
    // The exit status (128 + signal number when a signal ended it), kStillActive while it runs,
    // -1 when nothing was started.
    int ExitCode() const;
    // Waits up to timeoutMs (negative: for ever) for the end. True when it has ended.
    bool Wait(int timeoutMs) const;

  private:
    struct State;
    std::shared_ptr<State> state_;
};

// Starts a program detached and lets it run on its own (reaped when it ends). Returns 0 or the
// system error code.
int SpawnDetached(const std::vector<std::string>& argv, const std::string& workDir = {});

// The shell's "open" of a program: file (a path, possibly quoted) is started with parameters
// split by SplitCommandLine, in directory. Each text longer than 511 characters is refused,
// since a cut path would name another program. Other verbs than "open" and "" are refused.
// Returns 0 or the system error code.
inline constexpr size_t kMaxShellText = 511;
int ShellStart(std::string_view verb, std::string_view file, std::string_view parameters,
               std::string_view directory);

}  // namespace platform
