// QuilvaneWizApp: the wizard. Exit codes: 0 when the run has ended, -1 (255 as Linux reports
// it) when another copy runs or the agent cannot be reached, 1 when no window can be made.
//
// --answers FILE runs it unattended from an answer file (app/AnswerFile.h, whose exit codes
// it adds), offscreen when there is no display; --max-visits N is how often one screen may come
// back before the run stops (3); --grab DIR saves a picture of every screen as it passes.
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/AnswerDriver.h"
#include "app/AnswerFile.h"
#include "app/MainFrame.h"
#include "app/QVApp.h"
#include "base/Profile.h"
#include "base/ProgramDirectory.h"
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

// A section names a screen of gui/ (StateLanguage), its state (Language), or a state whose
// screen name is cut short (LanguageReconf for StateLanguageR).
bool KnownState(const std::wstring& section) {
    namespace fs = std::filesystem;
    const std::wstring wanted = FoldProfileName(section);
    const std::wstring prefixed = FoldProfileName(L"State" + section);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(GetProgramDirectory() + "/../gui", ec)) {
        if (entry.path().extension() != ".gui")
            continue;
        const std::wstring stem = FoldProfileName(entry.path().stem().wstring());
        if (stem == wanted || stem == prefixed || (stem.size() > 6 && prefixed.rfind(stem, 0) == 0))
            return true;
    }
    return false;
}

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
    std::string commandLine;
    std::string answerPath;
    std::string grabDir;
    int maxVisits = AnswerDriver::kDefaultMaxVisits;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--answers" && i + 1 < argc) {
            answerPath = argv[++i];
            continue;
        }
        if (arg == "--grab" && i + 1 < argc) {
            grabDir = argv[++i];
            continue;
        }
        if (arg == "--max-visits" && i + 1 < argc) {
            maxVisits = std::atoi(argv[++i]);
            if (maxVisits < 1 || maxVisits > 1000) {
                std::fprintf(stderr, "ERR state=- control=-: --max-visits takes 1 to 1000\n");
                return answers::kExitBadFile;
            }
            continue;
        }
        if (!commandLine.empty())
            commandLine += ' ';
        commandLine += arg;
    }
    // Checked before anything starts: a bad file leaves nothing half-done.
    answers::AnswerFile answerFile;
    if (!answerPath.empty()) {
        answers::Problem problem;
        if (!answerFile.Load(answerPath, KnownState, &problem)) {
            std::fprintf(stderr, "%s\n", answers::ErrLine(problem).c_str());
            return problem.code;
        }
        if (NoDisplay())
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Qt's own event dispatcher wakes more cheaply than the GLib one; the engine's 20 ms poll
    // makes that the bulk of the idle cost.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
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
            if (app.runState == kRunRunning)
                frame->DestroyWindow();
            else if (app.runState != kRunEnded)
                QCoreApplication::exit(0);
        });
        std::unique_ptr<AnswerDriver> driver;
        if (!answerPath.empty()) {
            driver = std::make_unique<AnswerDriver>(app, answerFile, maxVisits, true);
            driver->GrabInto(grabDir);
            driver->Start();
        }
        code = QApplication::exec();
        if (driver && driver->ExitCode() != 0)
            code = driver->ExitCode();
    }
    return code;
}
