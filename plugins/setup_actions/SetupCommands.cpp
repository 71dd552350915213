// Starting the system's own tools inside the target root, and the locale list they read.
#include "plugins/setup_actions/SetupCommands.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace setup {

namespace {

constexpr size_t kKeptErrorBytes = 2048;
constexpr char kChroot[] = "/usr/sbin/chroot";

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';  // one log line
    return text;
}

}  // namespace

bool ProgramInRoot(const std::string& root, std::string_view program) {
    const std::string path = (root == "/" ? "" : root) + std::string(program);
    return access(path.c_str(), X_OK) == 0;
}

CommandRun RunInRoot(const std::string& root, const std::vector<std::string>& argv, int timeoutMs) {
    CommandRun run;
    if (argv.empty() || argv[0].empty() || argv[0][0] != '/') {
        run.error = "no program";
        return run;
    }
    std::vector<std::string> words;
    if (root != "/")
        words = {kChroot, root};
    words.insert(words.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (std::string& w : words)
        args.push_back(w.data());
    args.push_back(nullptr);
    // The tools need a path and a plain locale, nothing of the wizard's environment.
    std::string path = "PATH=/usr/sbin:/usr/bin:/sbin:/bin", lang = "LC_ALL=C";
    char* env[] = {path.data(), lang.data(), nullptr};

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        run.error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        run.error = std::string("cannot start ") + args[0] + ": " + std::strerror(spawned);
        return run;
    }
    run.started = true;

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string err;
    bool killed = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        pollfd p{pipeFds[0], POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // its end of the pipe is closed: it ended, or will at once
        err.append(buffer, static_cast<size_t>(n));
        if (err.size() > 2 * kKeptErrorBytes)
            err.erase(0, err.size() - kKeptErrorBytes);
    }
    close(pipeFds[0]);
    // One that closed its stderr early still has the rest of its time, and no more.
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, killed ? 0 : WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (done == 0 && std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            killed = true;
        } else if (done == 0) {
            usleep(10000);
        }
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (err.size() > kKeptErrorBytes)
        err.erase(0, err.size() - kKeptErrorBytes);
    run.error = Trimmed(err);
    if (killed)
        run.error = "stopped after " + std::to_string(timeoutMs / 1000) + " s" +
                    (run.error.empty() ? "" : ": " + run.error);
    return run;
}

std::string LocaleGenWith(std::string_view localeGen, std::string_view tag) {
    const std::string wanted = std::string(tag) + ".UTF-8 UTF-8";
    std::string out;
    bool found = false;
    for (size_t pos = 0; pos < localeGen.size();) {
        size_t eol = localeGen.find('\n', pos);
        const size_t next = eol == std::string_view::npos ? localeGen.size() : eol + 1;
        std::string_view line = localeGen.substr(pos, next - pos);
        pos = next;
        std::string_view body = line;
        while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
            body.remove_suffix(1);
        std::string_view bare = body;
        bool commented = false;
        if (!bare.empty() && bare.front() == '#') {
            commented = true;
            bare.remove_prefix(1);
            while (!bare.empty() && bare.front() == ' ')
                bare.remove_prefix(1);
        }
        while (!bare.empty() && (bare.back() == ' ' || bare.back() == '\t'))
            bare.remove_suffix(1);
        if (!found && bare == wanted) {
            found = true;
            out += commented ? wanted + "\n" : std::string(line);
            continue;
        }
        out += line;
    }
    if (!found) {
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += wanted + "\n";
    }
    return out;
}

}  // namespace setup
