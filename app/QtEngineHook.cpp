#include "app/QtEngineHook.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <algorithm>

CQtEngineHook::CQtEngineHook(std::function<bool()> sync, std::function<bool()> running,
                             std::function<bool()> operatorOnly)
    : sync_(std::move(sync)), running_(std::move(running)), operatorOnly_(std::move(operatorOnly)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { timedOut_ = true; });
}

CQtEngineHook::~CQtEngineHook() = default;

bool CQtEngineHook::Pump() {
    // Pending input and paints are handled by the pause that follows every pass (waiting or
    // not); dispatching here as well would only add a second poll per pass.
    if (sync_ && sync_())
        woken_ = true;
    return !running_ || running_();
}

void CQtEngineHook::Pause(int ms) {
    if (sync_ && sync_())
        woken_ = true;
    if (woken_ || (running_ && !running_())) {
        // No wait, but input and paints still get their turn on every pass, so a run of
        // automatic transitions never freezes the window.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (woken_)
            ++wakes_;
        woken_ = false;
        return;
    }
    timedOut_ = false;
    slowPause_ = operatorOnly_ && operatorOnly_();
    if (slowPause_)
        ms = std::max(ms, heartbeats_ ? 2 * kIdleCheckMs : kIdleCheckMs);
    timer_.start(ms > 0 ? ms : 0);
    paused_ = true;
    while (!timedOut_ && !woken_ && (!running_ || running_()))
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    paused_ = false;
    slowPause_ = false;
    timer_.stop();
    if (woken_)
        ++wakes_;
    woken_ = false;
}

void CQtEngineHook::Wake() {
    woken_ = true;
    // A wake from an event handler ends the wait when the handler returns; this also covers
    // one that came from elsewhere.
    if (paused_)
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
            dispatcher->wakeUp();
}

void CQtEngineHook::Heartbeat() {
    heartbeats_ = true;
    // Called from an event handler: the pause's loop sees the flag when the handler returns.
    if (slowPause_)
        timedOut_ = true;
}
