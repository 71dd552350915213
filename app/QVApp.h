#pragma once
// The application object: start-up in its fixed order, the state the frame and the screens
// share, and the release at exit. One exists per process (CQVApp::Instance()).
#include <functional>
#include <memory>
#include <string>

#include "app/AutomatonPort.h"
#include "app/FileSet.h"
#include "automate/Automate.h"
#include "automate/AutomateContext.h"
#include "base/Log.h"
#include "screens/ScreenHost.h"
#include "services/Translator.h"

class CMainFrame;

// Exit statuses of a run that could not do its work, attended or unattended (the unattended
// run adds its own, 2 to 7: app/AnswerFile.h).
enum RunExit : int {
    // The parameters file, the state table, the service list or an action library listed in
    // the parameters cannot be used (the ERR line and stderr say which and why).
    kExitConfiguration = 9,
    // The run ended without ever showing a screen.
    kExitNoScreen = 10,
    // A plug-in ended the process during one of its calls.
    kExitPluginEnded = 11,
    // A stop signal came while a plug-in call did not return; ended after the grace period.
    kExitStopHung = 12,
};

// Run states.
enum RunState : int {
    kRunStarting = 0,
    kRunReady = 1,
    kRunRunning = 2,
    kRunEnded = 3,
    kRunMinimiseDeferred = 5,
};

class CQVApp : public screens::ScreenHost {
  public:
    static constexpr size_t kMaxPathChars = 199;
    static constexpr uint32_t kLogLevel = LOG_DEBUG;

    CQVApp();
    // The release: shows the taskbar again, then deletes the frame, the automaton, the screen
    // context and the logger.
    ~CQVApp() override;
    CQVApp(const CQVApp&) = delete;
    CQVApp& operator=(const CQVApp&) = delete;

    // Start-up. 0 when the main window is up; -1 when the process must end with -1 (another
    // copy runs, or the agent cannot be reached); 1 when the window could not be made;
    // kExitConfiguration when the configuration cannot drive a run.
    int InitInstance(const std::string& commandLine);
    // 0, or the RunExit of a run that ended without doing its work.
    int RunExitCode() const { return runExit_; }

    static CQVApp* Instance() { return instance_; }
    // The application's logger, process-wide; null before start-up and after release.
    static CLog* AppLog() { return log_; }

    // Used by frame tests that supply their own automaton and context (not owned).
    void UseAutomaton(CAutomatonPort* automaton, CAutomateContext* screenContext);
    CAutomatonPort* Automaton() const { return automaton_; }
    CAutomateContext* ScreenContext() const { return screenContext_; }
    CMainFrame* Frame() const { return frame_.get(); }
    // Creates the frame with its first, empty view (start-up step 17; tests call it too).
    CMainFrame* CreateFrame();

    // The screen context loaded with the automaton's image; the 84 KB copy is skipped while
    // the image has not changed. Null without an automaton.
    CAutomateContext* RefreshContext() override;
    void PublishContext() override;

    // What the screen views need (screens::ScreenHost).
    CLog& Log() override { return log_ ? *log_ : CLog::Quiet(); }
    ZFQTranslator& Translator() override { return translator; }
    const screens::ScreenFiles& Files() override;
    void WakeEngine() override;
    bool MayRaiseEvents() const override {
        return !clickInProgress && !screenBuilding && !viewSwitching_;
    }
    bool ViewSwitching() const override { return viewSwitching_; }
    int RunState() const { return runState_; }
    // The screen shown is one of the parameters' "NotTopmost" screens.
    bool NotTopmost() const { return notTopmost_; }
    void SetClickInProgress(bool on) override { clickInProgress = on; }
    void SetScreenBuilding(bool on) override { screenBuilding = on; }
    bool TranslationsLoaded() const override { return translationsLoaded; }
    void SetTranslationsLoaded() override { translationsLoaded = true; }
    // The start-up steps nothing before the first screen needs, the desktop entry and the
    // window title's plug-in call, run once the first screen has painted (or when a run ends
    // without one).
    void ScreenPainted() override;
    void FinishStartup();
    void ScreenLeaving(const CQVAppView& view, int nID, unsigned nChar) override {
        if (leavingHook)
            leavingHook(view, nID, nChar);
    }

    // Shared state (GUI thread only).
    FileSet files = FileSet::For(Mode::Installation);
    std::wstring title;
    std::string currentScreen = "Initialisation";
    std::string memoryFile;
    std::string memoryKey;
    bool modal = true;
    bool clickInProgress = false;
    bool screenBuilding = false;
    bool translationsLoaded = false;
    bool taskbarHidden = false;
    // An answer file drives the run (set before InitInstance): it neither resumes nor keeps a
    // journal.
    bool unattended = false;
    ZFQTranslator translator;
    // Told of every press that leaves a screen (the answer recorder).
    std::function<void(const CQVAppView&, int, unsigned)> leavingHook;

  private:
    // The frame is the one writer of the run state and of what the switch shows; tests reach
    // them through their peer.
    friend class CMainFrame;
    friend class CQVAppTestPeer;

    void DropLogger();
    // Logs message at ERR, says it on stderr too, and returns kExitConfiguration.
    int FailStart(const std::string& message);

    int runState_ = kRunStarting;
    int runExit_ = 0;
    bool notTopmost_ = false;
    bool viewSwitching_ = false;

    screens::ScreenFiles screenFiles_;

    static CQVApp* instance_;
    static CLog* log_;

    std::unique_ptr<CLog> ownedLog_;
    std::unique_ptr<CAutomate> automate_;
    std::unique_ptr<CAutomatonPort> ownedPort_;
    std::unique_ptr<CAutomateContext> ownedContext_;
    CAutomatonPort* automaton_ = nullptr;
    CAutomateContext* screenContext_ = nullptr;
    std::unique_ptr<CMainFrame> frame_;
    bool startupTailPending_ = false;
    bool trimPending_ = false;
};
