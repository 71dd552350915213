#include "app/QtEngineHook.h"

#include <QCoreApplication>

CQtEngineHook::CQtEngineHook(std::function<bool()> sync, std::function<bool()> running)
    : sync_(std::move(sync)), running_(std::move(running)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &loop_, &QEventLoop::quit);
}

CQtEngineHook::~CQtEngineHook() = default;

bool CQtEngineHook::Pump() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (sync_ && sync_())
        woken_ = true;
    return !running_ || running_();
}

void CQtEngineHook::Pause(int ms) {
    if (sync_ && sync_())
        woken_ = true;
    if (woken_ || (running_ && !running_())) {
        if (woken_)
            ++wakes_;
        woken_ = false;
        return;
    }
    timer_.start(ms > 0 ? ms : 0);
    paused_ = true;
    loop_.exec();
    paused_ = false;
    timer_.stop();
    if (woken_)
        ++wakes_;
    woken_ = false;
}

void CQtEngineHook::Wake() {
    woken_ = true;
    if (paused_)
        loop_.quit();
}
