#include "app/QVApp.h"

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTimer>
#include <cstdio>

#include "app/AgentLauncher.h"
#include "app/MainFrame.h"
#include "app/MemoryScan.h"
#include "app/ScreenName.h"
#include "app/ShortCut.h"
#include "base/Profile.h"
#include "base/ProgramDirectory.h"
#include "base/StartupTrace.h"
#include "base/Text.h"
#include "clients/MiscServiceClient.h"
#include "controls/QtSupport.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Taskbar.h"

namespace {
constexpr int kMmapThresholdBytes = 256 * 1024;
}  // namespace

CQVApp* CQVApp::instance_ = nullptr;
CLog* CQVApp::log_ = nullptr;

namespace {

bool FileExists(const std::string& name) {
    return access(platform::NativePath(name).c_str(), F_OK) == 0;
}

// Why the parameters file cannot drive a run, or empty: every key of the run comes from it, and
// a missing one would leave a run that shows nothing and reports success.
std::string ParametersFileProblem(const std::string& path) {
    std::string why;
    struct stat st {};
    const int fd = platform::OpenRegularFile(platform::NativePath(path), &why,
                                             platform::FileLinks::Follow, &st);
    if (fd < 0)
        return why;
    close(fd);
    if (static_cast<unsigned long long>(st.st_size) > kProfileMaxBytes)
        return StrFormat("larger than %zu bytes", kProfileMaxBytes);
    return {};
}

}  // namespace

CQVApp::CQVApp() {
    instance_ = this;
    title = Widen(files.applicationName);
}

CQVApp::~CQVApp() {
    if (log_)
        log_->Debug("Release application");
    if (taskbarHidden && platform::FindTaskbar())
        platform::ShowTaskbar();
    // The frame goes first: its view publishes its last event while the automaton lives.
    frame_.reset();
    if (log_) {
        automaton_ = nullptr;
        ownedPort_.reset();
        automate_.reset();
        screenContext_ = nullptr;
        ownedContext_.reset();
        log_->Debug("Release Log");
        DropLogger();
    }
    if (instance_ == this)
        instance_ = nullptr;
}

int CQVApp::FailStart(const std::string& message) {
    if (log_)
        log_->Err(message);
    std::fprintf(stderr, "QuilvaneWizApp: %s\n", message.c_str());
    return kExitConfiguration;
}

void CQVApp::DropLogger() {
    controls::SetControlsLog(nullptr);
    log_ = nullptr;
    ownedLog_.reset();
}

void CQVApp::UseAutomaton(CAutomatonPort* automaton, CAutomateContext* screenContext) {
    automaton_ = automaton;
    screenContext_ = screenContext;
}

CAutomateContext* CQVApp::RefreshContext() {
    if (!automaton_ || !screenContext_)
        return nullptr;
    // The image only changes when properties are added (its count, free address and area
    // move), so an unchanged one is not copied again.
    const ContextImage* source = automaton_->GetContextImage();
    const ContextImage* own = screenContext_->GetImage();
    if (!(source && own && source->count == own->count && source->next_free == own->next_free &&
          source->start == own->start && own->count > 0))
        screenContext_->SetImage(source);
    return screenContext_;
}

void CQVApp::PublishContext() {
    if (automaton_ && screenContext_)
        automaton_->UpdateContextImage(screenContext_->GetImage());
}

const screens::ScreenFiles& CQVApp::Files() {
    screenFiles_ = {files.pictures, files.infos, files.comboBox, files.infosContext,
                    files.saveContext};
    return screenFiles_;
}

void CQVApp::WakeEngine() {
    if (frame_)
        frame_->WakeAutomate();
}

CMainFrame* CQVApp::CreateFrame() {
    frame_ = std::make_unique<CMainFrame>(*this);
    StartupTrace("frame");
    frame_->CreateFirstView();
    return frame_.get();
}

int CQVApp::InitInstance(const std::string& commandLine) {
    translationsLoaded = false;
    // Pictures are blocks of hundreds of kilobytes to megabytes. glibc raises its mmap threshold
    // to the size of each such block freed, after which the next ones come from the heaps, where
    // their pages stay when the view that held them is gone: a fixed threshold keeps every
    // large block in a mapping of its own, returned to the system when freed.
    mallopt(M_MMAP_THRESHOLD, kMmapThresholdBytes);

    files = FileSet::For(ModeFromCommandLine(commandLine));
    title = Widen(files.applicationName);

    // Every configured path is relative to the program's directory.
    std::string dir = GetProgramDirectory();
    if (dir != " ")
        platform::ChangeDirectory(dir);

    ownedLog_ = std::make_unique<CLog>("..\\Log\\", files.logName, kLogSizeKb,
                                       files.applicationName, kLogFileCount, kLogLevel);
    log_ = ownedLog_.get();
    log_->Debug("Init Log");
    // Pictures and skins the controls refuse are logged with the application's lines.
    controls::SetControlsLog(log_);
    StartupTrace("logger");

    if (platform::CountProcesses("QuilvaneWizApp.exe") > 1) {
        log_->Err("Application already running!! - Exit");
        std::fprintf(stderr, "QuilvaneWizApp: another copy of the wizard is running\n");
        DropLogger();
        return -1;
    }
    if (std::string why = ParametersFileProblem(files.parameters); !why.empty())
        return FailStart(StrFormat("The parameters file %s cannot be used: %s - Exit",
                                   files.parameters.c_str(), why.c_str()));

    StartupTrace("single copy");
    StartAgent();
    if (GetAgentText().empty()) {
        log_->Err("Cannot start noxAgent - Exit");
        DropLogger();
        return -1;
    }

    StartupTrace("agent");
    int n = FirstFreeMemoryNumber();
    memoryFile = MemoryFileName(n);
    memoryKey = MemoryKeyName(n);

    char value[1024] = "";
    ReadIniString(files.parameters.c_str(), "PARAMS", "Modal", value);
    modal = IsModalValue(value);
    if (modal && platform::FindTaskbar())
        taskbarHidden = platform::HideTaskbar();

    currentScreen = "Initialisation";
    clickInProgress = false;

    log_->Debug("Application Initialisation");

    if (FileExists(memoryFile)) {
        std::remove(platform::NativePath(memoryFile).c_str());
        if (FileExists(memoryFile))
            log_->Err("file mapping found and can not be deleted");
        else
            log_->Warning("file mapping found and deleted");
    }

    automate_ =
        std::make_unique<CAutomate>(memoryKey, memoryFile, files.stateTable, files.serviceList,
                                    files.parameters, files.logName, kLogLevel);
    StartupTrace("automaton");
    if (automate_->DefinedStates() == 0)  // the automaton logged why
        return FailStart(
            StrFormat("The state table %s defines no state - Exit", files.stateTable.c_str()));
    if (const CActionManager* actions = automate_->Engine().ActionManager();
        actions && !actions->ConfigurationError().empty())
        return FailStart("The run cannot start: " + actions->ConfigurationError() + " - Exit");
    automate_->StartJournal(platform::NativePath("..\\data\\" + files.prefix + "_run.journal"),
                            files.mode == Mode::Installation ? "installation" : "reconfiguration",
                            ReadJournalSettings(files.parameters), unattended);
    ownedPort_ = std::make_unique<app::LiveAutomaton>(*automate_);
    automaton_ = ownedPort_.get();
    ownedContext_ = std::make_unique<CAutomateContext>(files.logName, kLogLevel);
    screenContext_ = ownedContext_.get();

    if (!CreateFrame())
        return 1;
    StartupTrace("first view");

    frame_->setWindowTitle(QStringLiteral("Please wait during initialisation..."));
    frame_->ShowFrame();
    StartupTrace("frame shown");

    startupTailPending_ = true;
    frame_->MarkReady();
    frame_->QueueStart();
    return 0;
}

void CQVApp::ScreenPainted() {
    if (!frame_)
        return;
    if (startupTailPending_) {
        QTimer::singleShot(0, frame_.get(), [this] { FinishStartup(); });
    } else if (!trimPending_) {
        // The view that went held its pictures (a background alone is 2 MB); the allocator
        // keeps such freed pages unless asked, and the process would grow screen by screen.
        // Once the new screen is on the display, so the switch does not wait for it.
        trimPending_ = true;
        QTimer::singleShot(0, frame_.get(), [this] {
            trimPending_ = false;
            malloc_trim(0);
        });
    }
}

void CQVApp::FinishStartup() {
    if (!startupTailPending_ || !log_)
        return;
    startupTailPending_ = false;
    if (files.mode == Mode::Installation) {
        std::wstring wdir = Widen(GetProgramDirectory());
        CShortCut shortcut(log_);
        int32_t result = shortcut.CreateShortcut(
            wdir + L"\\QuilvaneWizApp.exe", L"Quilvane Setup",
            L"C:\\Documents and Settings\\All Users\\Desktop\\Quilvane Setup.lnk", wdir);
        // A failure's status is a Windows-style number; its reason tells a Linux reader more.
        log_->Debug(result == kShortcutOk ? StrFormat("Creation shortcut : %d", result)
                                          : "Creation shortcut : " + shortcut.LastError());
    }
    MiscServiceClient misc;
    misc.SetLibraryPath(miscservice::kLibraryPath);
    misc.SetLogSettingsFrom(*log_, miscservice::kModuleName);
    title = MakeVersionTitle(misc.getLMQVersionService());
    log_->Debug("Window title : " + Narrow(title));
    if (frame_)
        frame_->setWindowTitle(QString::fromStdWString(title));
    // The start-up's parses and first view are gone; their freed pages go back to the system.
    malloc_trim(0);
    StartupTrace("start-up finished");
}
