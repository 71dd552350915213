#pragma once
// The wizard's only top-level window. It hosts one screen view at a time, runs the automaton
// (started on its first event after start-up) and, on input, paint and timer traffic and after
// every pass of the engine, looks into the context: a requested screen (Gui) replaces the view,
// a waiting event (NextState) becomes LastEvent.
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "app/ControlMap.h"

#include "app/QtEngineHook.h"

class CQVApp;
class CQVAppView;

class CMainFrame : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kKeepOnTopMs = 1000;

    explicit CMainFrame(CQVApp& app);
    ~CMainFrame() override;

    // The first view, which shows no screen file.
    void CreateFirstView();
    // Shows the frame: full screen and on top in modal mode, a normal window otherwise.
    void ShowFrame();

    // Looks into the context; switches the view or raises a waiting event. Returns true when
    // an event waits for the engine (LastEvent is not 0).
    bool SyncWithAutomate();
    // Replaces the active view by a new one for the current screen name. Returns 0.
    int SwitchView();
    // Starts the automaton when the run state is 1; returns when the run has ended.
    void StartAutomate();
    // Start-up is done: the run state becomes 1, and the run starts on the frame's next event.
    void MarkReady();
    // Queues StartAutomate once the run state is 1, ahead of the first view's paint.
    void QueueStart();
    // Destroys the view outside a switch (which ends the run) and hides the frame.
    void DestroyWindow();
    // Lets the engine poll at once (a view raised an event).
    void WakeAutomate() { hook_.Wake(); }

    CQVAppView* ActiveView() const { return view_; }
    // True when the last synchronisation found a screen shown and nothing pending: no screen
    // asked for, no event waiting, no click or switch under way.
    bool WaitingForOperator() const { return waitingForOperator_; }
    CQtEngineHook& Hook() { return hook_; }
    // Views created since construction (the first one included).
    long ViewsCreated() const { return viewsCreated_; }

  signals:
    // Emitted once Run has returned and the window is closed.
    void RunEnded();
    // Emitted by each synchronisation that finds a screen waiting for the operator.
    void OperatorAwaited();

  protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    void KeepOnTop();
    void PlaceFrame();
    // Shows the frame where its mode places it and takes the keyboard focus.
    void ShowPlaced();
    // Rewrites the control map (QV_CONTROL_MAP) when the screen, its focus or the frame moved.
    void UpdateControlMap();
    void CentreView();
    // Asks for a synchronisation from the event loop, never from inside another handler.
    void QueueSync();
    void ApplyTopmost(bool onTop);

    CQVApp& app_;
    CQVAppView* view_ = nullptr;
    CQtEngineHook hook_;
    QTimer keepOnTop_;
    bool startQueued_ = false;
    bool syncQueued_ = false;
    bool endRequested_ = false;
    bool onTop_ = false;
    bool waitingForOperator_ = false;
    long viewsCreated_ = 0;
    long screensBuilt_ = 0;  // views built from a screen file
    std::string controlMap_;
    app::ControlMapKey mapped_;
};
