#include "app/MainFrame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <cstdlib>

#include "app/Backdrop.h"
#include "app/ControlMap.h"
#include "app/QVApp.h"
#include "app/ScreenName.h"
#include "automate/ContextNames.h"
#include "base/StartupTrace.h"
#include "base/Text.h"
#include "screens/QVAppView.h"

namespace {

void Debug(const char* msg) {
    if (CLog* log = CQVApp::AppLog())
        log->Debug(msg);
}

bool SyncsOn(QEvent::Type type) {
    switch (type) {
        case QEvent::Paint:
        case QEvent::UpdateRequest:
        case QEvent::Timer:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::WindowActivate:
            return true;
        default:
            return false;
    }
}

}  // namespace

CMainFrame::CMainFrame(CQVApp& app)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      app_(app),
      hook_([this] { return SyncWithAutomate(); }, [this] { return !endRequested_; },
            [this] { return waitingForOperator_; }) {
    setAttribute(Qt::WA_QuitOnClose, false);
    setContextMenuPolicy(Qt::NoContextMenu);
    if (const char* map = std::getenv("QV_CONTROL_MAP"); map && *map)
        controlMap_ = map;
    keepOnTop_.setInterval(kKeepOnTopMs);
    connect(&keepOnTop_, &QTimer::timeout, this, &CMainFrame::KeepOnTop);
}

CMainFrame::~CMainFrame() {
    keepOnTop_.stop();
    delete view_;
    view_ = nullptr;
}

void CMainFrame::CreateFirstView() {
    view_ = new CQVAppView(app_, this, {app_.currentScreen, {}});
    ++viewsCreated_;
    view_->Create();
    CentreView();
    view_->show();
}

void CMainFrame::ShowFrame() {
    onTop_ = app_.modal;
    setWindowFlags(app_.modal ? Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                              : Qt::Window);
    ShowPlaced();
}

void CMainFrame::ShowPlaced() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (app_.modal) {
        // Full screen is a request to a window manager; without one (a kiosk, a bare X server)
        // nobody grants it, so the frame takes the whole display itself.
        if (screen)
            setGeometry(screen->geometry());
        showFullScreen();
    } else {
        // A normal window a person can move, over the work area.
        if (screen)
            setGeometry(screen->availableGeometry());
        show();
    }
    // Without a window manager nothing else gives the window the keyboard focus, and without it
    // no field shows its caret.
    activateWindow();
}

bool CMainFrame::event(QEvent* e) {
    QueueStart();
    if (!app_.viewSwitching_ && app_.runState_ == kRunRunning && SyncsOn(e->type()))
        QueueSync();
    return QWidget::event(e);
}

void CMainFrame::MarkReady() {
    if (app_.runState_ == kRunStarting)
        app_.runState_ = kRunReady;
}

void CMainFrame::QueueStart() {
    if (app_.runState_ == kRunReady && !startQueued_) {
        // Run never nests inside an arbitrary event such as a paint.
        startQueued_ = true;
        QMetaObject::invokeMethod(this, &CMainFrame::StartAutomate, Qt::QueuedConnection);
    }
}

void CMainFrame::QueueSync() {
    if (syncQueued_)
        return;
    syncQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            syncQueued_ = false;
            if (!app_.viewSwitching_ && app_.runState_ == kRunRunning && SyncWithAutomate())
                hook_.Wake();
        },
        Qt::QueuedConnection);
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // Only the end of the run closes the window.
    if (app_.runState_ == kRunEnded)
        e->accept();
    else
        e->ignore();
}

void CMainFrame::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    CentreView();
}

void CMainFrame::UpdateControlMap() {
    if (controlMap_.empty() || !view_ || !view_->Built() || !view_->Shown())
        return;
    const app::ControlMapKey key = app::ControlMapKeyOf(*this, *view_, viewsCreated_);
    if (key == mapped_)
        return;
    if (app::WriteControlMap(controlMap_, *this, *view_, app_.currentScreen, key))
        mapped_ = key;
}

void CMainFrame::CentreView() {
    if (!view_)
        return;
    QSize size = view_->PreferredSize();
    view_->setGeometry((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
                       size.height());
    // The backdrop around follows the view's picture.
    update();
}

void CMainFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    app::PaintBackdrop(painter, rect(), view_ ? view_->geometry() : QRect(),
                       view_ ? view_->BackgroundPicture() : nullptr);
}

bool CMainFrame::SyncWithAutomate() {
    waitingForOperator_ = false;
    CAutomatonPort* automaton = app_.Automaton();
    CAutomateContext* context = app_.ScreenContext();
    if (!automaton || !context)
        return false;
    app_.RefreshContext();
    char gui[CAutomateContext::kStringBufferBytes] = "";
    context->GetString(ctx::kGui, 1, gui);
    const std::string name = ScreenNameFromGui(gui);

    char nameState[CAutomateContext::kStringBufferBytes] = "";
    context->GetString(ctx::kNameState, 1, nameState);
    if (nameState[0] != '\0' && !app_.translationsLoaded && view_)
        view_->LoadTraductions(nameState);

    if (!name.empty() && !app_.viewSwitching_) {
        if (app_.clickInProgress)
            return false;
        app_.currentScreen = std::string(CutUtf8(name, CQVApp::kMaxPathChars));
        app_.viewSwitching_ = true;
        context->SetString(ctx::kGui, 1, "");
        int32_t next = 0;
        context->GetInt(ctx::kNextState, 1, &next);
        // The same screen again, passing on by itself (the progress screen between the
        // apply's steps), keeps its view: a rebuild would cost the apply a view per step.
        if (next == 0 || !view_ || !view_->ShowAgain(app_.currentScreen))
            SwitchView();
        app_.viewSwitching_ = false;
        context->SetInt(ctx::kLastEvent, 1, 0);
        if (next != 0) {
            // A screen that passes on at once (a progress screen) is painted before the work
            // that follows holds the run, or the previous screen would stay on the display.
            repaint();
            context->SetInt(ctx::kLastEvent, 1, next);
        }
        context->SetInt(ctx::kNextState, 1, 0);
        app_.PublishContext();
    }
    if (app_.clickInProgress)
        return false;
    int32_t next = 0;
    if (context->GetInt(ctx::kNextState, 1, &next) >= 0 && next != 0) {
        context->SetInt(ctx::kLastEvent, 1, next);
        context->SetInt(ctx::kNextState, 1, 0);
        app_.PublishContext();
    }
    int32_t last = 0;
    context->GetInt(ctx::kLastEvent, 1, &last);
    waitingForOperator_ = last == 0 && name.empty() && view_ && view_->Built() &&
                          !app_.viewSwitching_ && !app_.clickInProgress;
    if (waitingForOperator_) {
        UpdateControlMap();
        emit OperatorAwaited();
    }
    return last != 0;
}

int CMainFrame::SwitchView() {
    Debug("Switch View Begin");
    char pathGui[CAutomateContext::kStringBufferBytes] = "";
    if (CAutomateContext* context = app_.RefreshContext())
        context->GetString(ctx::kPathGui, 1, pathGui);
    const std::string path = StrFormat("%s%s.gui", pathGui, app_.currentScreen.c_str());
    screens::ScreenRequest request{app_.currentScreen, Widen(CutUtf8(path, CQVApp::kMaxPathChars)),
                                   view_};

    Debug("Create New View");
    Debug("Get Frame");
    Debug("Get ActiveView");
    CQVAppView* old = view_;
    Debug("Get Active Doc");
    Debug("Set Active View to NULL");
    view_ = nullptr;
    Debug("Create New Viewer Object");
    auto* created = new CQVAppView(app_, this, std::move(request));
    ++viewsCreated_;
    created->Create();
    Debug("Destroy OldView");
    // A view's destruction cannot fail: it throws nothing, so there is nothing to catch here.
    delete old;
    setWindowTitle(QString::fromStdWString(app_.title));
    Debug("Show View");
    view_ = created;
    CentreView();
    created->show();
    Debug("Set NewView");
    created->SetViewInterface();
    if (created->Built())
        ++screensBuilt_;
    Debug("Active NewView");
    // The screen may have chosen its initial focus.
    if (!created->focusWidget())
        created->setFocus();

    app_.notTopmost_ = IsNotTopmostScreen(app_.currentScreen);
    PlaceFrame();
    Debug("Switch View End");
    StartupTrace("screen built");
    return 0;
}

void CMainFrame::ApplyTopmost(bool onTop) {
    if (onTop == onTop_)
        return;
    onTop_ = onTop;
    // Changing the flags re-creates the native window; do it only on a change.
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    ShowPlaced();
}

void CMainFrame::PlaceFrame() {
    if (app_.modal)
        ApplyTopmost(!app_.notTopmost_);
    else
        ApplyTopmost(false);
}

void CMainFrame::StartAutomate() {
    if (app_.runState_ != kRunReady)
        return;
    CAutomatonPort* automaton = app_.Automaton();
    if (automaton && app_.ScreenContext())
        app_.ScreenContext()->SetImage(automaton->GetContextImage());
    app_.runState_ = kRunRunning;
    keepOnTop_.start();
    if (!app_.modal) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            setGeometry(screen->availableGeometry());
    }
    update();
    StartupTrace("run starts");
    if (automaton) {
        automaton->SetEngineHook(&hook_);
        automaton->Run();
        automaton->SetEngineHook(nullptr);
    }
    app_.FinishStartup();
    // A run that never showed a screen did nothing the operator asked for: not a success.
    if (screensBuilt_ == 0 && !endRequested_) {
        app_.Log().Err("The run ended without showing a screen: see the lines above - Exit");
        app_.runExit_ = kExitNoScreen;
    }
    app_.runState_ = kRunEnded;
    keepOnTop_.stop();
    close();
    emit RunEnded();
}

void CMainFrame::KeepOnTop() {
    if (app_.modal) {
        activateWindow();
        if (!app_.notTopmost_)
            raise();
    }
    if (!app_.viewSwitching_ && app_.runState_ == kRunRunning && SyncWithAutomate())
        hook_.Wake();
    hook_.Heartbeat();
}

void CMainFrame::DestroyWindow() {
    Debug("Destroy MainFrame");
    endRequested_ = true;
    keepOnTop_.stop();
    // Outside a switch the view's destruction raises event -1, which ends the run.
    delete view_;
    view_ = nullptr;
    hook_.Wake();
    hide();
}
