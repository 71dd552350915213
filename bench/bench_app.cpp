// The wizard's pace on the shipped files, offscreen: from process start to the first screen
// shown, against a bare Qt window started the same way in the same run (the ratio holds on any
// machine), and from a button press to the next screen shown; also the CPU of a wizard that
// waits on a screen, with and without a playing animation, and its resident memory by part.
// Prints medians and spreads.
#include <signal.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/QVApp.h"
#include "base/Text.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "screens/QVAppView.h"
#include "tests/platform/ProcessTestSupport.h"
#include "xmlgui/DialogForm.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    std::printf("%-34s n=%zu median %.1f ms  min %.1f  max %.1f  p90 %.1f\n", what, v.size(),
                median, v.front(), v.back(), v[v.size() * 9 / 10]);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A runtime tree copied from the staged one (copies: the program directory comes from the
// executable's own path).
std::string MakeTree(const std::string& name) {
    std::string root =
        (fs::temp_directory_path() / ("qv-bench-app-" + name + "-" + std::to_string(getpid())))
            .string();
    fs::remove_all(root);
    fs::copy(STAGE_DIR, root, fs::copy_options::recursive);
    fs::remove_all(root + "/Log");
    fs::create_directories(root + "/Log");
    fs::create_directories(root + "/desktop");
    setenv("QV_DESKTOP_DIR", (root + "/desktop").c_str(), 1);
    return root;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The same tree with a playing animation on the first screen, as a configuration may link one
// to a picture control: the language screen gets the busy animation.
std::string MakeAnimatedTree() {
    std::string root = MakeTree("animated");
    const std::string gui = root + "/gui/StateLanguage.gui";
    std::string dialog = ReadAll(gui);
    const size_t end = dialog.rfind("</dialog>");
    if (end == std::string::npos)
        return "";
    dialog.insert(end,
                  "  <control id=\"1501\" class=\"PICTURE\" x=\"290\" y=\"200\" width=\"40\" "
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Process start to the first paint of a bare window (the floor of any Qt program).
double BareWindowFirstPaint(const std::string& root) {
    const std::string marker = root + "/bare.painted";
    fs::remove(marker);
    platform::ChildProcess bare;
    Clock::time_point t0 = Clock::now();
    if (bare.Start({BARE_WINDOW, marker}, root) != 0)
        return -1;
    while (!fs::exists(marker) && Clock::now() - t0 < std::chrono::seconds(20))
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    double ms = fs::exists(marker) ? Ms(Clock::now() - t0) : -1;
    ::kill(bare.Pid(), SIGTERM);
    bare.Wait(10000);
    return ms;
}

// A wizard started in root, once its first screen is shown; null when it did not come.
std::unique_ptr<platform::ChildProcess> StartWizard(const std::string& root, double* ms) {
    const std::string log = root + "/Log/1_QV.log";
    fs::remove(log);
    auto wizard = std::make_unique<platform::ChildProcess>();
    Clock::time_point t0 = Clock::now();
    if (wizard->Start({root + "/bin/QuilvaneWizApp"}, root + "/bin") != 0)
        return nullptr;
    while (Clock::now() - t0 < std::chrono::seconds(20)) {
        if (ReadAll(log).find("Screen shown : StateLanguage") != std::string::npos) {
            if (ms)
                *ms = Ms(Clock::now() - t0);
            return wizard;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ::kill(wizard->Pid(), SIGTERM);
    wizard->Wait(10000);
    return nullptr;
}

void StopWizard(platform::ChildProcess& wizard) {
    ::kill(wizard.Pid(), SIGTERM);
    wizard.Wait(10000);
}

// The two programs started in turn, so that a machine busier at one moment weighs on both.
void FirstScreenAgainstBareWindow(const std::string& root, int runs) {
    std::vector<double> bare, wizard;
    for (int i = 0; i < runs; ++i) {
        double b = BareWindowFirstPaint(root);
        if (b > 0)
            bare.push_back(b);
        double w = 0;
        if (auto p = StartWizard(root, &w)) {
            wizard.push_back(w);
            StopWizard(*p);
        }
    }
    if (bare.empty() || wizard.empty()) {
        std::fprintf(stderr, "the bare window or the wizard did not show\n");
        return;
    }
    Report("process start -> bare window paint", bare);
    Report("process start -> first screen", wizard);
    std::printf("first screen / bare window         %.2f\n", Median(wizard) / Median(bare));
}

// CPU time of every thread of a process, in nanoseconds (their schedstat lines).
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
        {"Xerces, ICU", {"libxerces", "libicu"}},
        {"its curl, TLS and LDAP chain",
         {"libcurl",   "libgnutls",  "libcrypto",    "libssl",      "libssh",
          "libnettle", "libhogweed", "libgmp",       "libp11",      "libtasn1",
          "libldap",   "liblber",    "libsasl",      "libkrb5",     "libk5crypto",
          "libgssapi", "libidn2",    "libunistring", "librtmp",     "libnghttp2",
          "libpsl",    "libbrotli",  "libzstd",      "libkeyutils", "libcom_err"}},
        {"C and C++ runtime", {"libc.so", "libstdc++", "libm.so", "libgcc_s", "ld-linux"}},
        {"fonts, font and text libraries",
         {"/fonts/", "fontconfig", "libfreetype", "libharfbuzz", "libgraphite", "libpng", "libz.so",
          "libexpat", "libbrotlidec"}},
        {"the program and its plug-ins", {program.c_str()}},
        {"other libraries and files", {"/"}},
    };
    long heap = 0, anonymous = 0, total = 0;
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
        // Private pages a library wrote (relocations) count as anonymous in the kernel's total;
        // here they stay with their library.
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
    std::printf("resident memory on a waiting screen %.1f MB\n", total / 1024.0);
    std::printf("  %-34s %5.1f MB\n", "heap", heap / 1024.0);
    std::printf("  %-34s %5.1f MB\n", "other anonymous (pictures, stacks)", anonymous / 1024.0);
    for (const Group& g : groups)
        std::printf("  %-34s %5.1f MB\n", g.name, g.kb / 1024.0);
}

// A wizard waiting on its first screen, once the first paints and caches have settled: its CPU
// share over ten seconds, and what it keeps resident.
void WaitingScreen(const std::string& root, const char* what, bool memory) {
    auto wizard = StartWizard(root, nullptr);
    if (!wizard) {
        std::fprintf(stderr, "the wizard did not show its first screen\n");
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long long before = ProcessCpuNs(wizard->Pid());
    const Clock::time_point c0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const long long after = ProcessCpuNs(wizard->Pid());
    std::printf("idle CPU over 10 s, %-14s %.3f %%\n", what,
                100.0 * static_cast<double>(after - before) / 1e6 / Ms(Clock::now() - c0));
    if (memory)
        PrintMemoryBreakdown(wizard->Pid(), root);
    StopWizard(*wizard);
}

// In this process: the real start-up and automaton; a press alternates validate on the language
// screen (the language is saved, event 1 -> keyboard question) and Back on the next screen
// (event 2 -> back to the language screen).
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
    if (!next.empty())
        Report("button press -> next screen", next);
}

}  // namespace

int main() {
    InitLocale();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string root = MakeTree("shipped");
    FirstScreenAgainstBareWindow(root, 20);
    WaitingScreen(root, "no animation", true);
    std::string animated = MakeAnimatedTree();
    if (!animated.empty())
        WaitingScreen(animated, "one animation", false);
    NextScreenAfterAnEvent(root, 40);
    ProcessSweeper(root).Sweep();
    fs::remove_all(root);
    if (!animated.empty()) {
        ProcessSweeper(animated).Sweep();
        fs::remove_all(animated);
    }
    return 0;
}
