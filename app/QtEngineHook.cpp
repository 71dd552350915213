#include "app/QtEngineHook.h"

#include <QCoreApplication>

CQtEngineHook::CQtEngineHook(std::function<bool()> sync, std::function<bool()> running)
    : sync_(std::move(sync)), running_(std::move(running)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
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
    QEventLoop loop;
    QObject::connect(&timer_, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer_.start(ms > 0 ? ms : 0);
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
    timer_.stop();
    QObject::disconnect(&timer_, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (woken_)
        ++wakes_;
    woken_ = false;
}

void CQtEngineHook::Wake() {
    woken_ = true;
    if (loop_)
        loop_->quit();
}
