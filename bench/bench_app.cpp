// The wizard's pace on the shipped files, offscreen: from process start to the first screen
// shown, against a bare Qt window started the same way in the same run (the ratio holds on any
// machine), and from a button press to the next screen shown; also the CPU and memory of a
// wizard that waits on a screen. Prints medians and spreads.
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

// CPU time of a process's main thread in nanoseconds (its schedstat line).
long long CpuNs(pid_t pid) {
    return std::atoll(ReadAll("/proc/" + std::to_string(pid) + "/schedstat").c_str());
}

long RssKb(pid_t pid) {
    std::string status = ReadAll("/proc/" + std::to_string(pid) + "/status");
    size_t at = status.find("VmRSS:");
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + 6);
}

// A runtime tree copied from the staged one (copies: the program directory comes from the
// executable's own path).
std::string MakeTree() {
    std::string root =
        (fs::temp_directory_path() / ("qv-bench-app-" + std::to_string(getpid()))).string();
    fs::remove_all(root);
    fs::copy(STAGE_DIR, root, fs::copy_options::recursive);
    fs::remove_all(root + "/Log");
    fs::create_directories(root + "/Log");
    fs::create_directories(root + "/desktop");
    setenv("QV_DESKTOP_DIR", (root + "/desktop").c_str(), 1);
    return root;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Process start to the first paint of a bare window (the floor of any Qt program).
std::vector<double> BareWindowFirstPaint(const std::string& root, int runs) {
    std::vector<double> times;
    const std::string marker = root + "/bare.painted";
    for (int i = 0; i < runs; ++i) {
        fs::remove(marker);
        platform::ChildProcess bare;
        Clock::time_point t0 = Clock::now();
        if (bare.Start({BARE_WINDOW, marker}, root) != 0)
            break;
        while (!fs::exists(marker) && Clock::now() - t0 < std::chrono::seconds(20))
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (fs::exists(marker))
            times.push_back(Ms(Clock::now() - t0));
        ::kill(bare.Pid(), SIGTERM);
        bare.Wait(10000);
    }
    return times;
}

std::vector<double> FirstScreenFromProcessStart(const std::string& root, int runs) {
    std::vector<double> firstScreen;
    std::vector<double> idleCpu;
    std::vector<double> rssMb;
    const std::string log = root + "/Log/1_QV.log";
    for (int i = 0; i < runs; ++i) {
        fs::remove(log);
        platform::ChildProcess wizard;
        Clock::time_point t0 = Clock::now();
        if (wizard.Start({root + "/bin/QuilvaneWizApp"}, root + "/bin") != 0) {
            std::fprintf(stderr, "cannot start the wizard\n");
            return firstScreen;
        }
        bool shown = false;
        while (!shown && Clock::now() - t0 < std::chrono::seconds(20)) {
            shown = ReadAll(log).find("Screen shown : StateLanguage") != std::string::npos;
            if (!shown)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        if (shown)
            firstScreen.push_back(Ms(Clock::now() - t0));
        if (shown && i < 3) {
            // A wizard waiting on its screen, once the first paints and caches have settled: CPU
            // share over five seconds, resident memory.
            std::this_thread::sleep_for(std::chrono::seconds(2));
            long long before = CpuNs(wizard.Pid());
            Clock::time_point c0 = Clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(5));
            long long after = CpuNs(wizard.Pid());
            idleCpu.push_back(100.0 * static_cast<double>(after - before) / 1e6 /
                              Ms(Clock::now() - c0));
            rssMb.push_back(RssKb(wizard.Pid()) / 1024.0);
        }
        ::kill(wizard.Pid(), SIGTERM);
        wizard.Wait(10000);
    }
    if (!firstScreen.empty())
        Report("process start -> first screen", firstScreen);
    for (double v : idleCpu)
        std::printf("idle CPU while a screen waits      %.2f %%\n", v);
    for (double v : rssMb)
        std::printf("resident memory on a screen        %.1f MB\n", v);
    return firstScreen;
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
    std::string root = MakeTree();
    // Interleaved runs would be fairer on a busy machine; one after the other keeps each
    // program's caches warm the same way.
    std::vector<double> bare = BareWindowFirstPaint(root, 10);
    if (!bare.empty())
        Report("process start -> bare window paint", bare);
    std::vector<double> wizard = FirstScreenFromProcessStart(root, 10);
    if (!bare.empty() && !wizard.empty())
        std::printf("first screen / bare window         %.2f\n", Median(wizard) / Median(bare));
    NextScreenAfterAnEvent(root, 40);
    ProcessSweeper(root).Sweep();
    fs::remove_all(root);
    return 0;
}
