// QuilvaneWizApp: the wizard. Exit codes: 0 when the run has ended, -1 (255 as Linux reports
// it) when another copy runs or the agent cannot be reached, 1 when no window can be made.
//
// --answers FILE runs it unattended from an answer file, offscreen when there is no display;
// --record FILE writes the answer file of the run (app/Unattended.h for all the options,
// app/AnswerFile.h for the exit codes they add).
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/QVApp.h"
#include "app/StartupWarmUp.h"
#include "app/Unattended.h"
#include "base/StartupTrace.h"
#include "base/Text.h"

namespace {

int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    char byte = 1;
    ssize_t written = write(stopPipe[1], &byte, 1);
    (void)written;
}

// SIGTERM, SIGINT and SIGHUP end the run the way closing the window does, so the release
// runs and no shared block is left behind.
void CatchStopSignals() {
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

// The first thing the process runs, before any library's initialisers: Qt's take tens of
// milliseconds, and a stop signal in that time would kill the wizard with the default action.
// The signals are only held back here (a raw system call, since the C library is not set up
// yet); main installs the handlers and lets them through.
constexpr unsigned long kStopSignalMask =
    (1UL << (SIGTERM - 1)) | (1UL << (SIGINT - 1)) | (1UL << (SIGHUP - 1));

void HoldStopSignals(int, char**, char**) {
    unsigned long mask = kStopSignalMask;
    syscall(SYS_rt_sigprocmask, SIG_BLOCK, &mask, nullptr, sizeof mask);
}

void ReleaseStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

__attribute__((section(".preinit_array"),
               used)) void (*const kHoldStopSignals)(int, char**, char**) = &HoldStopSignals;

bool NoDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CatchStopSignals();
    ReleaseStopSignals();  // one that came early is handled now
    InitLocale();
    StartupTrace("main");
    std::vector<std::string> args(argv + 1, argv + argc);
    app::Unattended unattended;
    // Checked before anything starts: a bad answer file leaves nothing half-done.
    if (int refused = unattended.TakeOptions(args); refused != 0)
        return refused;
    if (unattended.HasAnswers() && NoDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string commandLine;
    for (const std::string& arg : args)
        commandLine += (commandLine.empty() ? "" : " ") + arg;
    // Qt's own event dispatcher wakes more cheaply than the GLib one; the engine's 20 ms poll
    // makes that the bulk of the idle cost.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    StartupWarmUp warmUp;
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    warmUp.WaitForXml();
    StartupTrace("QApplication");

    int code = 0;
    {
        CQVApp app;
        int init = app.InitInstance(commandLine);
        if (init != 0)
            return init;
        CMainFrame* frame = app.Frame();
        QObject::connect(frame, &CMainFrame::RunEnded, &qapp, [] { QCoreApplication::exit(0); });
        QSocketNotifier stop(stopPipe[0], QSocketNotifier::Read);
        QObject::connect(&stop, &QSocketNotifier::activated, &qapp, [&app, frame] {
            char buffer[16];
            while (read(stopPipe[0], buffer, sizeof buffer) > 0) {
            }
            if (app.RunState() == kRunRunning)
                frame->DestroyWindow();
            else if (app.RunState() != kRunEnded)
                QCoreApplication::exit(0);
        });
        unattended.Attach(app);
        code = QApplication::exec();
        unattended.Detach(app);
        if (unattended.ExitCode() != 0)
            code = unattended.ExitCode();
    }
    return code;
}
