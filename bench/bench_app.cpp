// The wizard's pace on the shipped files, offscreen, in namespaces of its own:
// from process start to the first screen shown, against two floors started the
// same way in the same run (a bare Qt window that paints a colour, and one that
// paints a line of text in the system font: the fair floor), the launcher's own
// cost, and from a button press to the next screen shown; also the CPU of a
// wizard that waits on a screen, with and without a playing animation, and its
// resident memory by part. Prints medians and spreads, each figure with its
// goal. Usage: bench_app [--scale] [STARTS] (15 by default); QV_BENCH_STAGE
// names another staged tree.
// --scale: first screen and next screen alone, with the goals of bench_scale's
// configuration.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/MainFrame.h"
#include "app/QVApp.h"
#include "base/Text.h"
#include "platform/Paths.h"
#include "screens/QVAppView.h"
#include "tests/platform/ProcessTestSupport.h"
#include "tests/support/OwnNamespaces.h"
#include "xmlgui/DialogForm.h"

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The shipped configuration's goals; --scale (bench_scale's far larger one) has
// its own.
double firstScreenGoal = 2.0;  // times the text floor
double nextScreenMedianGoalMs = 10;
double nextScreenWorstGoalMs = 30;
constexpr double kFirstScreenMemoryGoalMb = 36;

const char* StageDir() {
    const char* stage = std::getenv("QV_BENCH_STAGE");
    return stage && *stage ? stage : STAGE_DIR;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void Report(const char* what, std::vector<double> v, const char* goal = "") {
    std::sort(v.begin(), v.end());
    std::printf("%-40s n=%-3zu median %6.1f ms  min %6.1f  max %6.1f  p90 %6.1f%s\n", what,
                v.size(), Median(v), v.front(), v.back(), v[v.size() * 9 / 10], goal);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string LoadAverage() {
    std::string load = ReadAll("/proc/loadavg");
    return load.substr(0, load.find(' ', load.find(' ', load.find(' ') + 1) + 1));
}

// A runtime tree copied from the staged one (copies: the program directory
// comes from the executable's own path).
std::string MakeTree(const std::string& name) {
    std::string root =
        (fs::temp_directory_path() / ("qv-bench-app-" + name + "-" + std::to_string(getpid())))
            .string();
    fs::remove_all(root);
    fs::copy(StageDir(), root, fs::copy_options::recursive);
    fs::remove_all(root + "/Log");
    fs::create_directories(root + "/Log");
    fs::create_directories(root + "/desktop");
    fs::create_directories(root + "/marks");
    setenv("QV_DESKTOP_DIR", (root + "/desktop").c_str(), 1);
    return root;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The same tree with a playing animation on the first screen, as a
// configuration may link one to a picture control: the language screen gets the
// busy animation.
std::string MakeAnimatedTree() {
    std::string root = MakeTree("animated");
    const std::string gui = root + "/gui/StateLanguage.gui";
    std::string dialog = ReadAll(gui);
    const size_t end = dialog.rfind("</dialog>");
    if (end == std::string::npos)
        return "";
    dialog.insert(end,
                  "  <control id=\"1501\" class=\"PICTURE\" x=\"290\" "
                  "y=\"200\" width=\"40\" "
                  "height=\"30\" style=\"centerimage\"/>\n");
    WriteFile(gui, dialog);
    const std::string config = root + "/gui/StateLanguage.config.xml";
    std::string settings = ReadAll(config);
    const size_t close = settings.rfind("</widget_settings>");
    if (close == std::string::npos)
        return "";
    settings.insert(close,
                    "  <widget_id><value>1501</value><widget_type>PICTURE</widget_type>"
                    "<widget_mandatory>false</widget_mandatory><external_img_link>"
                    "..\\pictures\\busy.gif</external_img_link></widget_id>\n  ");
    WriteFile(config, settings);
    return root;
}

// One program started the same way for every side: posix_spawn with its
// argument vector and file actions made once (the directory, the standard
// streams on /dev/null), so a start costs the parent nothing but the call. Its
// end is told by a file event (inotify), waited for in poll: the parent takes
// no CPU from the child while it starts.
class Launch {
  public:
    Launch(std::vector<std::string> args, const std::string& dir) : args_(std::move(args)) {
        for (std::string& a : args_)
            argv_.push_back(a.data());
        argv_.push_back(nullptr);
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addchdir_np(&actions_, dir.c_str());
        for (int fd = 0; fd <= 2; ++fd)
            posix_spawn_file_actions_addopen(&actions_, fd, "/dev/null", fd ? O_WRONLY : O_RDONLY,
                                             0);
    }
    ~Launch() { posix_spawn_file_actions_destroy(&actions_); }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    pid_t Start() const {
        pid_t pid = -1;
        return posix_spawn(&pid, argv_[0], &actions_, nullptr, argv_.data(), environ) == 0 ? pid
                                                                                           : -1;
    }

  private:
    std::vector<std::string> args_;
    std::vector<char*> argv_;
    posix_spawn_file_actions_t actions_;
};

void Stop(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Waits until done() holds, re-checking after every event of the watched
// directory; false after 20 s.
template <typename Done>
bool WaitForEvent(int inotify, const Done& done) {
    const Clock::time_point end = Clock::now() + std::chrono::seconds(20);
    char buffer[4096];
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{inotify, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) > 0)
            while (read(inotify, buffer, sizeof buffer) > 0) {
            }
    }
    return true;
}

class Watch {
  public:
    explicit Watch(const std::string& dir, uint32_t mask)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0)
            inotify_add_watch(fd_, dir.c_str(), mask);
    }
    ~Watch() {
        if (fd_ >= 0)
            close(fd_);
    }
    int Fd() const { return fd_; }

  private:
    int fd_;
};

// Process start to the first paint of a floor window.
double FloorFirstPaint(const std::string& root, const Launch& launch, const std::string& marker) {
    fs::remove(marker);
    Watch watch(root + "/marks", IN_CREATE);
    const Clock::time_point t0 = Clock::now();
    const pid_t pid = launch.Start();
    if (pid < 0)
        return -1;
    const bool painted =
        WaitForEvent(watch.Fd(), [&] { return access(marker.c_str(), F_OK) == 0; });
    const double ms = painted ? Ms(Clock::now() - t0) : -1;
    Stop(pid);
    return ms;
}

// Reads what was appended to the log since the last call and tells whether the
// first screen was shown (the view's DEBUG line on its first paint).
class LogTail {
  public:
    explicit LogTail(std::string path) : path_(std::move(path)) {}
    bool Shown() {
        if (fd_ < 0 && (fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC)) < 0)
            return false;
        char buffer[8192];
        ssize_t n;
        while ((n = read(fd_, buffer, sizeof buffer)) > 0) {
            tail_.append(buffer, static_cast<size_t>(n));
            if (tail_.find("Screen shown : StateLanguage") != std::string::npos)
                return true;
            if (tail_.size() > 256)
                tail_.erase(0, tail_.size() - 256);
        }
        return false;
    }
    ~LogTail() {
        if (fd_ >= 0)
            close(fd_);
    }

  private:
    std::string path_;
    std::string tail_;
    int fd_ = -1;
};

// A wizard started in root, once its first screen is shown; -1 when it did not
// come. With keep, the wizard is left running and its pid stored there.
double WizardFirstScreen(const std::string& root, const Launch& launch, pid_t* keep = nullptr) {
    const std::string log = root + "/Log/1_QV.log";
    fs::remove(log);
    Watch watch(root + "/Log", IN_CREATE | IN_MODIFY);
    LogTail tail(log);
    const Clock::time_point t0 = Clock::now();
    const pid_t pid = launch.Start();
    if (pid < 0)
        return -1;
    const bool shown = WaitForEvent(watch.Fd(), [&] { return tail.Shown(); });
    const double ms = shown ? Ms(Clock::now() - t0) : -1;
    if (keep && shown)
        *keep = pid;
    else
        Stop(pid);
    return ms;
}

// The launcher's own cost: posix_spawn of the smallest program to its reaped
// end.
std::vector<double> LauncherCost(int runs) {
    Launch launch({"/bin/true"}, "/");
    std::vector<double> out;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point t0 = Clock::now();
        const pid_t pid = launch.Start();
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid)
            out.push_back(Ms(Clock::now() - t0));
    }
    return out;
}

// The three programs started in turn, in the order W T C C T W ..., so that a
// machine busier at one moment weighs on every side alike.
void FirstScreenAgainstFloors(const std::string& root, int runs) {
    const std::string textMark = root + "/marks/text", colourMark = root + "/marks/colour";
    Launch wizardLaunch({root + "/bin/QuilvaneWizApp"}, root + "/bin");
    Launch textLaunch({BARE_WINDOW, textMark}, root);
    Launch colourLaunch({BARE_WINDOW, colourMark, "--colour"}, root);
    std::vector<double> wizard, text, colour;
    auto take = [](std::vector<double>& into, double ms) {
        if (ms > 0)
            into.push_back(ms);
    };
    // One start of each first, not counted: the page cache and the agent are then
    // as they are for every counted start.
    WizardFirstScreen(root, wizardLaunch);
    FloorFirstPaint(root, textLaunch, textMark);
    FloorFirstPaint(root, colourLaunch, colourMark);
    for (int i = 0; i < runs; ++i) {
        if (i % 2 == 0) {
            take(wizard, WizardFirstScreen(root, wizardLaunch));
            take(text, FloorFirstPaint(root, textLaunch, textMark));
            take(colour, FloorFirstPaint(root, colourLaunch, colourMark));
        } else {
            take(colour, FloorFirstPaint(root, colourLaunch, colourMark));
            take(text, FloorFirstPaint(root, textLaunch, textMark));
            take(wizard, WizardFirstScreen(root, wizardLaunch));
        }
    }
    if (wizard.empty() || text.empty() || colour.empty()) {
        std::fprintf(stderr, "a floor window or the wizard did not show\n");
        return;
    }
    const std::vector<double> launcher = LauncherCost(runs);
    Report("launcher: posix_spawn of /bin/true, reaped", launcher, "  (in every figure below)");
    Report("process start -> colour window paint", colour);
    Report("process start -> text window paint", text);
    Report("process start -> first screen", wizard);
    const double w = Median(wizard), t = Median(text), c = Median(colour), l = Median(launcher);
    std::printf("first screen / text window (fair floor)  %.2f  (goal <= %.1f)%s\n", w / t,
                firstScreenGoal, w / t <= firstScreenGoal ? "" : "  MISSED");
    std::printf(
        "first screen / colour window             %.2f  (no goal: no "
        "text drawn)\n",
        w / c);
    std::printf("  the same less the launcher             %.2f and %.2f\n", (w - l) / (t - l),
                (w - l) / (c - l));
}

// CPU time of every thread of a process, in nanoseconds (their schedstat
// lines).
long long ProcessCpuNs(pid_t pid) {
    long long total = 0;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec))
        total += std::atoll(ReadAll(task.path().string() + "/schedstat").c_str());
    return total;
}

// Resident memory by what it is made of, from the process's smaps.
void PrintMemoryBreakdown(pid_t pid, const std::string& root) {
    const std::string program = root + "/bin/";
    struct Group {
        const char* name;
        std::vector<const char*> parts;  // in the mapping's path
        long kb = 0;
    };
    std::vector<Group> groups = {
        {"Qt libraries", {"libQt6"}},
        {"ICU", {"libicu"}},
        {"libcurl and its TLS, SSH, LDAP chain",
         {"libcurl",   "libgnutls",  "libcrypto",    "libssl",      "libssh",
          "libnettle", "libhogweed", "libgmp",       "libp11",      "libtasn1",
          "libldap",   "liblber",    "libsasl",      "libkrb5",     "libk5crypto",
          "libgssapi", "libidn2",    "libunistring", "librtmp",     "libnghttp2",
          "libpsl",    "libbrotli",  "libzstd",      "libkeyutils", "libcom_err"}},
        {"C and C++ runtime", {"libc.so", "libstdc++", "libm.so", "libgcc_s", "ld-linux"}},
        {"fonts, font and text libraries",
         {"/fonts/", "fontconfig", "libfreetype", "libharfbuzz", "libgraphite", "libpng", "libz.so",
          "libexpat", "libbrotlidec"}},
        {"the program (Xerces in it) and plug-ins", {program.c_str()}},
        {"other libraries and files", {"/"}},
    };
    long heap = 0, anonymous = 0, total = 0, files = 0;
    std::istringstream smaps(ReadAll("/proc/" + std::to_string(pid) + "/smaps"));
    std::string line, path;
    while (std::getline(smaps, line)) {
        std::istringstream fields(line);
        std::string range;
        fields >> range;
        // A mapping's first line starts with its address range, "start-end" in hex.
        if (range.find('-') != std::string::npos &&
            range.find_first_not_of("0123456789abcdef-") == std::string::npos) {
            std::string perms, offset, dev, inode;
            fields >> perms >> offset >> dev >> inode;
            std::getline(fields, path);
            path.erase(0, path.find_first_not_of(' '));
            ++files;
            continue;
        }
        if (line.rfind("Rss:", 0) != 0)
            continue;
        const long kb = std::atol(line.c_str() + 4);
        total += kb;
        if (path == "[heap]") {
            heap += kb;
            continue;
        }
        if (path.empty() || path[0] == '[') {
            anonymous += kb;
            continue;
        }
        // Private pages a library wrote (relocations) count as anonymous in the
        // kernel's total; here they stay with their library.
        for (Group& g : groups) {
            bool in = false;
            for (const char* part : g.parts)
                in = in || path.find(part) != std::string::npos;
            if (in) {
                g.kb += kb;
                break;
            }
        }
    }
    std::printf("resident memory on the first screen      %.1f MB  (goal <= %.0f MB)%s\n",
                total / 1024.0, kFirstScreenMemoryGoalMb,
                total / 1024.0 <= kFirstScreenMemoryGoalMb ? "" : "  MISSED");
    std::printf("  %-38s %5.1f MB\n", "heap", heap / 1024.0);
    std::printf("  %-38s %5.1f MB\n", "other anonymous (pictures, stacks)", anonymous / 1024.0);
    for (const Group& g : groups)
        std::printf("  %-38s %5.1f MB\n", g.name, g.kb / 1024.0);
    std::set<std::string> libraries;
    std::istringstream maps(ReadAll("/proc/" + std::to_string(pid) + "/maps"));
    while (std::getline(maps, line))
        if (line.find(".so") != std::string::npos)
            libraries.insert(line.substr(line.find('/')));
    std::printf("  shared objects mapped                  %zu\n", libraries.size());
}

// A wizard waiting on its first screen, once the first paints and caches have
// settled: its CPU share over ten seconds, and what it keeps resident.
void WaitingScreen(const std::string& root, const char* what, bool memory) {
    Launch launch({root + "/bin/QuilvaneWizApp"}, root + "/bin");
    pid_t pid = -1;
    if (WizardFirstScreen(root, launch, &pid) < 0) {
        std::fprintf(stderr, "the wizard did not show its first screen\n");
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long long before = ProcessCpuNs(pid);
    const Clock::time_point c0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const long long after = ProcessCpuNs(pid);
    std::printf("idle CPU over 10 s, %-20s %.3f %%\n", what,
                100.0 * static_cast<double>(after - before) / 1e6 / Ms(Clock::now() - c0));
    if (memory)
        PrintMemoryBreakdown(pid, root);
    Stop(pid);
}

// In this process: the real start-up and automaton; a press alternates validate
// on the language screen (the language is saved, event 1 -> keyboard question)
// and Back on the next screen (event 2 -> back to the language screen).
void NextScreenAfterAnEvent(const std::string& root, int presses) {
    platform::SetProgramDirectory(root + "/bin");
    static int argc = 1;
    static char name[] = "bench_app";
    static char* argv[] = {name, nullptr};
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::vector<double> next;
    {
        CQVApp app;
        if (app.InitInstance("") != 0) {
            std::fprintf(stderr, "start-up failed\n");
            return;
        }
        CMainFrame* frame = app.Frame();
        QObject::connect(frame, &CMainFrame::RunEnded, &qapp, [] { QCoreApplication::exit(0); });
        CQVAppView* pressedOn = nullptr;
        Clock::time_point pressedAt;
        QTimer driver;
        driver.setInterval(1);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            CQVAppView* view = frame->ActiveView();
            if (!view || !view->Shown() || view == pressedOn)
                return;
            if (pressedOn)
                next.push_back(Ms(Clock::now() - pressedAt));
            if (static_cast<int>(next.size()) >= presses) {
                driver.stop();
                frame->DestroyWindow();
                return;
            }
            int id = app.currentScreen == "StateLanguage" ? 1001 : 1002;
            auto* button = qobject_cast<QAbstractButton*>(xmlgui::FindControl(view, id));
            if (!button)
                return;
            pressedOn = view;
            pressedAt = Clock::now();
            button->click();
        });
        driver.start();
        QApplication::exec();
    }
    if (next.empty())
        return;
    char goal[96];
    if (nextScreenWorstGoalMs < 1e9)
        std::snprintf(goal, sizeof goal, "  (goal median <= %.0f, worst <= %.0f)",
                      nextScreenMedianGoalMs, nextScreenWorstGoalMs);
    else
        std::snprintf(goal, sizeof goal, "  (goal median <= %.0f)", nextScreenMedianGoalMs);
    const bool met = Median(next) <= nextScreenMedianGoalMs &&
                     *std::max_element(next.begin(), next.end()) <= nextScreenWorstGoalMs;
    if (!met)
        std::strncat(goal, "  MISSED", sizeof goal - std::strlen(goal) - 1);
    Report("button press -> next screen", next, goal);
}

int Bench(int starts, bool scale) {
    std::printf("load average at the start %s, %u cores\n", LoadAverage().c_str(),
                std::thread::hardware_concurrency());
    std::string root = MakeTree("shipped");
    FirstScreenAgainstFloors(root, starts);
    std::string animated;
    if (!scale) {
        WaitingScreen(root, "no animation", true);
        animated = MakeAnimatedTree();
    }
    if (!animated.empty())
        WaitingScreen(animated, "one animation", false);
    NextScreenAfterAnEvent(root, 40);
    ProcessSweeper(root).Sweep();
    fs::remove_all(root);
    if (!animated.empty()) {
        ProcessSweeper(animated).Sweep();
        fs::remove_all(animated);
    }
    std::printf("load average at the end %s\n", LoadAverage().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const bool scale = argc > 1 && std::string(argv[1]) == "--scale";
    if (scale) {
        firstScreenGoal = 3.0;
        nextScreenMedianGoalMs = 20;
        nextScreenWorstGoalMs = 1e9;
    }
    const int starts = argc > 1 + scale ? std::max(1, std::atoi(argv[1 + scale])) : 15;
    // Line by line: the figures come from a child that ends with _exit.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The wizard counts its copies machine-wide and its shared blocks have fixed
    // names: in namespaces of its own, copies started by other builds cannot meet
    // these.
    return tests::RunInOwnNamespaces({.label = "bench_app"},
                                     [starts, scale] { return Bench(starts, scale); });
}
