// QuilvaneWizApp: the wizard. Exit codes: 0 when the run has ended (and for --help), -1 (255
// as Linux reports it) when another copy runs or the agent cannot be reached, 1 when no window
// can be made, 8 when there is no display and no answer file to run offscreen from, 9 to 12
// when the run could not do its work (app/QVApp.h).
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
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/AnswerDriver.h"
#include "app/MainFrame.h"
#include "app/QVApp.h"
#include "app/StartupWarmUp.h"
#include "app/StopSignals.h"
#include "app/Unattended.h"
#include "automate/PluginCall.h"
#include "base/Log.h"
#include "base/StartupTrace.h"
#include "base/Text.h"

namespace {

// A plug-in that calls exit() during one of its calls ends the process with a status of its
// own choosing, which could read as one of ours (3 is the answer files' "no answer"). Such an
// end is logged with the call's name and given its own status.
void EndDuringPluginCall() {
    const std::string call = CurrentPluginCall();
    if (call.empty())
        return;
    const std::string message = "The process was ended during the plug-in call " + call + " - Exit";
    if (CLog* log = CQVApp::AppLog())
        log->Err(message);
    std::fprintf(stderr, "QuilvaneWizApp: %s\n", message.c_str());
    std::fflush(stderr);
    _exit(kExitPluginEnded);
}

// The first thing the process runs, before any library's initialisers: Qt's take tens of
// milliseconds, and a stop signal in that time would kill the wizard with the default action.
// The signals are held back here (a raw system call, since the C library is not set up yet) and
// stay so in every thread: app::StopSignals takes them on a thread of its own.
constexpr unsigned long kStopSignalMask =
    (1UL << (SIGTERM - 1)) | (1UL << (SIGINT - 1)) | (1UL << (SIGHUP - 1));

void HoldStopSignals(int, char**, char**) {
    unsigned long mask = kStopSignalMask;
    syscall(SYS_rt_sigprocmask, SIG_BLOCK, &mask, nullptr, sizeof mask);
}

__attribute__((section(".preinit_array"),
               used)) void (*const kHoldStopSignals)(int, char**, char**) = &HoldStopSignals;

// Without a display, Qt would abort with its own message (status 134).
constexpr int kExitNoDisplay = 8;

bool NoDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return false;
    }
    return true;
}

// Qt's own options that choose a display (it takes them with one dash or two).
bool NamesDisplay(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        for (const char* option : {"-platform", "--platform", "-display", "--display"})
            if (arg == option)
                return true;
    return false;
}

void PrintUsage() {
    std::printf(
        "usage: QuilvaneWizApp [-reconfig] [--answers FILE [--max-visits N] [--grab DIR]]\n"
        "                      [--record FILE [--record-secrets]] [Qt options]\n"
        "The installation wizard of the workstation, from the runtime tree it lies in\n"
        "(../config, ../gui, ../pictures; its log in ../Log).\n"
        "\n"
        "  -reconfig          the reconfiguration instead of the installation (also /reconfig)\n"
        "%s"
        "  -h, --help         print this text and exit\n"
        "Qt's own options (-platform NAME, -display X11DISPLAY, ...) are passed on to Qt.\n"
        "\n"
        "A person needs a display (DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM); without one\n"
        "only --answers runs, offscreen.\n"
        "Exit status: 0 the run ended; 1 no window could be made; 255 another copy runs or the\n"
        "agent cannot be reached; 8 no display and no --answers; 9 the parameters file, the\n"
        "state table, the service list or an action library cannot be used (stderr says which\n"
        "and why); 10 the run ended without showing a screen; 11 a plug-in ended the process\n"
        "during one of its calls; 12 a stop signal came and the run did not end within 5 s\n"
        "(a plug-in call that does not return); with --answers, 2 the file or\n"
        "an option is unusable, 3 a screen has no answer, 4 no such control or choice button,\n"
        "5 the screen refused an answer, 6 a screen came back too often, 7 no new screen for\n"
        "120 s.\n",
        app::Unattended::kOptionsHelp);
}

}  // namespace

int main(int argc, char** argv) {
    app::StopSignals stopSignals;  // one that came early is taken now
    std::atexit(EndDuringPluginCall);
    InitLocale();
    StartupTrace("main");
    std::vector<std::string> args(argv + 1, argv + argc);
    app::Unattended unattended;
    // Checked before anything starts: a bad answer file leaves nothing half-done.
    if (int refused = unattended.TakeOptions(args); refused != 0)
        return refused;
    if (unattended.WantsHelp()) {
        PrintUsage();
        return 0;
    }
    if (NoDisplay() && !NamesDisplay(args)) {
        if (!unattended.HasAnswers()) {
            std::fprintf(stderr,
                         "QuilvaneWizApp: no display (DISPLAY, WAYLAND_DISPLAY and "
                         "QT_QPA_PLATFORM are unset): start it with a display, or run it "
                         "unattended with --answers FILE\n");
            return kExitNoDisplay;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
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
        app.unattended = unattended.HasAnswers();
        int init = app.InitInstance(commandLine);
        if (init != 0)
            return init;
        CMainFrame* frame = app.Frame();
        QObject::connect(frame, &CMainFrame::RunEnded, &qapp, [] { QCoreApplication::exit(0); });
        QSocketNotifier stop(stopSignals.NotifyFd(), QSocketNotifier::Read);
        QObject::connect(&stop, &QSocketNotifier::activated, &qapp, [&app, frame, &stopSignals] {
            char buffer[16];
            while (read(stopSignals.NotifyFd(), buffer, sizeof buffer) > 0) {
            }
            if (app.RunState() == kRunRunning)
                frame->DestroyWindow();
            else if (app.RunState() != kRunEnded)
                QCoreApplication::exit(0);
        });
        unattended.Attach(app);
        if (unattended.HasAnswers())
            stopSignals.WatchProgress(app::AnswerDriver::kStallMs, answers::kExitStalled);
        code = QApplication::exec();
        unattended.Detach(app);
        if (app.RunExitCode() != 0)
            code = app.RunExitCode();
        if (unattended.ExitCode() != 0)
            code = unattended.ExitCode();
    }
    return code;
}
