#include "platform/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/Paths.h"
#include "platform/SharedMemory.h"

extern char** environ;

namespace platform {
namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ReadSmallFile(const std::string& path, std::string& out) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[1024];
    ssize_t n = read(fd, buf, sizeof buf);
    close(fd);
    if (n < 0)
        return false;
    out.assign(buf, static_cast<size_t>(n));
    return true;
}

// The state letter of /proc/<pid>/stat; 0 when it cannot be read.
char ProcessState(pid_t pid) {
    std::string stat;
    if (!ReadSmallFile("/proc/" + std::to_string(pid) + "/stat", stat))
        return 0;
    // The command name in parentheses may itself hold ')' and blanks.
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return 0;
    return stat[close + 2];
}

bool ReadExecutable(pid_t pid, std::string& name, std::string& path) {
    std::string base = "/proc/" + std::to_string(pid);
    char buf[PATH_MAX];
    ssize_t n = readlink((base + "/exe").c_str(), buf, sizeof buf - 1);
    if (n > 0) {
        path.assign(buf, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.resize(path.size() - deleted.size());
        name = path.substr(path.find_last_of('/') + 1);
        return !name.empty();
    }
    path.clear();
    if (!ReadSmallFile(base + "/comm", name))
        return false;
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0'))
        name.pop_back();
    return !name.empty();
}

int PidfdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

int PidfdSignal(int pidfd, int sig) {
#ifdef SYS_pidfd_send_signal
    return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, sig, nullptr, 0));
#else
    (void)pidfd;
    (void)sig;
    errno = ENOSYS;
    return -1;
#endif
}

// Waits until the process has ended; true when it has.
bool WaitGone(pid_t pid, int pidfd, int timeoutMs) {
    if (pidfd >= 0) {
        struct pollfd p {
            pidfd, POLLIN, 0
        };
        int r;
        do {
            r = poll(&p, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        return r > 0;
    }
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (IsProcessAlive(pid)) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Sends sig; ESRCH-like results (the process ended meanwhile) give false with errno set.
bool SendSignal(pid_t pid, int pidfd, int sig) {
    if (pidfd >= 0)
        return PidfdSignal(pidfd, sig) == 0;
    return kill(pid, sig) == 0;
}

// Terminates pid; 0 when it was signalled, else the errno of the failed signal.
int Terminate(pid_t pid, int graceMs) {
    int pidfd = PidfdOpen(pid);
    if (pidfd < 0 && errno == ESRCH)
        return ESRCH;
    int err = 0;
    if (!SendSignal(pid, pidfd, SIGTERM)) {
        err = errno;
    } else if (!WaitGone(pid, pidfd, graceMs < 0 ? 0 : graceMs)) {
        if (SendSignal(pid, pidfd, SIGKILL))
            WaitGone(pid, pidfd, 1000);
    }
    if (pidfd >= 0)
        close(pidfd);
    return err;
}

std::string CurrentDirectory() {
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string();
}

std::string StripQuotes(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text.remove_prefix(1);
        text.remove_suffix(1);
    }
    return std::string(text);
}

}  // namespace

bool ListProcesses(std::vector<ProcessEntry>& out) {
    out.clear();
    DIR* dir = opendir("/proc");
    if (!dir)
        return false;
    while (struct dirent* e = readdir(dir)) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (!end || *end != '\0' || pid <= 0 || pid > INT_MAX)
            continue;
        // A process may end at any point below; it then simply drops out of the table.
        char state = ProcessState(static_cast<pid_t>(pid));
        if (state == 0 || state == 'Z' || state == 'X' || state == 'x')
            continue;
        ProcessEntry entry;
        entry.pid = static_cast<pid_t>(pid);
        if (!ReadExecutable(entry.pid, entry.name, entry.path))
            continue;
        out.push_back(std::move(entry));
    }
    closedir(dir);
    return true;
}

bool ExecutableNameMatches(std::string_view asked, std::string_view processName) {
    if (asked.size() > kMaxMatchName)
        asked = asked.substr(0, kMaxMatchName);
    if (processName.empty() || processName.size() > asked.size())
        return false;
    for (size_t i = 0; i < processName.size(); ++i) {
        if (Lower(asked[i]) != Lower(processName[i]))
            return false;
    }
    return asked.size() == processName.size() || asked[processName.size()] == '.';
}

int CountProcesses(std::string_view executableName) {
    std::vector<ProcessEntry> table;
    if (!ListProcesses(table)) {
        std::fputs("Snapshot failure.\n", stderr);
        return 0;
    }
    if (table.empty()) {
        std::fputs("Process32First failure.\n", stderr);
        return 0;
    }
    int count = 0;
    for (const ProcessEntry& p : table) {
        if (p.pid != 0 && ExecutableNameMatches(executableName, p.name))
            ++count;
    }
    return count;
}

int TerminateProcess(std::string_view executableName, int graceMs) {
    std::vector<ProcessEntry> table;
    if (!ListProcesses(table)) {
        std::fputs("Snapshot failure.\n", stderr);
        return 1;
    }
    const pid_t self = getpid();
    for (const ProcessEntry& p : table) {
        if (p.pid == self || !ExecutableNameMatches(executableName, p.name))
            continue;
        int err = Terminate(p.pid, graceMs);
        if (err == 0)
            return 0;
        if (err != ESRCH)
            return 1;
        // It ended while we looked at it: the next match is the first one now.
    }
    return 1;
}

bool TerminatePid(pid_t pid, int graceMs) {
    if (pid <= 0 || pid == getpid())
        return false;
    int err = Terminate(pid, graceMs);
    return (err == 0 || err == ESRCH) && !IsProcessAlive(pid);
}

bool IsProcessAlive(pid_t pid) {
    if (pid <= 0)
        return false;
    char state = ProcessState(pid);
    return state != 0 && state != 'Z' && state != 'X' && state != 'x';
}

int ProgramPath(char* buffer, size_t size) {
    if (!buffer || size == 0 || size > 1024)
        return 0;
    std::string path = ExecutablePath();
    size_t n = path.size() < size - 1 ? path.size() : size - 1;
    std::memcpy(buffer, path.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

std::string ResolveProgramFile(std::string_view file, const std::string& workDir) {
    std::string path = NativePath(file);
    if (path.empty())
        return path;
    if (path[0] != '/') {
        std::string base = NativePath(workDir);
        if (base.empty() || base[0] != '/') {
            std::string cwd = CurrentDirectory();
            base = base.empty() ? cwd : cwd + "/" + base;
        }
        path = base + "/" + path;
    }
    if (access(path.c_str(), F_OK) != 0 && path.size() > 4) {
        std::string_view ext(path.data() + path.size() - 4, 4);
        if (Lower(ext[0]) == '.' && Lower(ext[1]) == 'e' && Lower(ext[2]) == 'x' &&
            Lower(ext[3]) == 'e') {
            std::string bare = path.substr(0, path.size() - 4);
            if (access(bare.c_str(), F_OK) == 0)
                return bare;
        }
    }
    return path;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
            word += '"';
            inWord = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

struct ChildProcess::State {
    std::mutex mutex;
    std::condition_variable ended;
    pid_t pid = 0;
    bool exited = false;
    int code = -1;
};

ChildProcess::ChildProcess() = default;
ChildProcess::~ChildProcess() = default;

int ChildProcess::Start(const std::vector<std::string>& argv, const std::string& workDir) {
    if (argv.empty() || argv[0].empty())
        return EINVAL;
    for (const std::string& a : argv) {
        if (a.find('\0') != std::string::npos)
            return EINVAL;
    }
    std::string program = ResolveProgramFile(argv[0], workDir);
    std::string dir = NativePath(workDir);

    std::vector<std::string> words = argv;
    words[0] = program;
    std::vector<char*> cargv;
    for (std::string& w : words)
        cargv.push_back(w.data());
    cargv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    int err = 0;
    if (!dir.empty())
        err = posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    if (!err)
        err = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!err)
        err = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!err)
        err = posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!err)
        err = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    if (!err)
        err = posix_spawnattr_setflags(
            &attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (!err)
        err = posix_spawnattr_setsigmask(&attr, &none);
    if (!err)
        err = posix_spawnattr_setsigdefault(&attr, &all);
    pid_t pid = 0;
    if (!err)
        err = posix_spawn(&pid, program.c_str(), &actions, &attr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (err)
        return err;

    auto state = std::make_shared<State>();
    state->pid = pid;
    state_ = state;
    // The waiter owns a share of the state, so it outlives this object.
    std::thread([state] {
        int status = 0;
        pid_t r;
        do {
            r = waitpid(state->pid, &status, 0);
        } while (r < 0 && errno == EINTR);
        std::lock_guard<std::mutex> lock(state->mutex);
        state->exited = true;
        if (r < 0)
            state->code = -1;
        else if (WIFEXITED(status))
            state->code = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            state->code = 128 + WTERMSIG(status);
        state->ended.notify_all();
    }).detach();
    return 0;
}

pid_t ChildProcess::Pid() const {
    return state_ ? state_->pid : 0;
}

bool ChildProcess::HasExited() const {
    if (!state_)
        return false;
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->exited;
}

int ChildProcess::ExitCode() const {
    if (!state_)
        return -1;
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->exited ? state_->code : kStillActive;
}

bool ChildProcess::Wait(int timeoutMs) const {
    if (!state_)
        return false;
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (timeoutMs < 0) {
        state_->ended.wait(lock, [this] { return state_->exited; });
        return true;
    }
    return state_->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return state_->exited; });
}

int SpawnDetached(const std::vector<std::string>& argv, const std::string& workDir) {
    ChildProcess child;
    return child.Start(argv, workDir);
}

int ShellStart(std::string_view verb, std::string_view file, std::string_view parameters,
               std::string_view directory) {
    if (verb.size() > kMaxShellText || file.size() > kMaxShellText ||
        parameters.size() > kMaxShellText || directory.size() > kMaxShellText)
        return ENAMETOOLONG;
    if (!verb.empty()) {
        std::string v(verb);
        for (char& c : v)
            c = Lower(c);
        if (v != "open")
            return EINVAL;
    }
    std::string program = StripQuotes(file);
    if (program.empty())
        return ENOENT;
    std::string dir = StripQuotes(directory);
    std::vector<std::string> argv{ResolveProgramFile(program, dir)};
    for (std::string& w : SplitCommandLine(parameters))
        argv.push_back(std::move(w));
    return SpawnDetached(argv, dir);
}

}  // namespace platform
