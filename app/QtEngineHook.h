#pragma once
// The engine's pauses and pump step on Qt: a pause runs an event loop for its length, so
// input and painting go on, and the frame is synchronised with the context before it; a wake
// (an event is waiting for the engine) ends the pause early. While only the operator can move
// the run on (a screen waits, nothing is pending), a pause lasts up to kIdleCheckMs instead:
// every change the operator makes wakes it, and the slow check still sees registers written
// from outside the process. A heartbeat (the frame's once-a-second tick) may time that check,
// so that a waiting wizard wakes once a second, not twice.
#include <QTimer>
#include <functional>

#include "automate/EngineHook.h"

class CQtEngineHook : public CEngineHook {
  public:
    static constexpr int kIdleCheckMs = 1000;

    // sync: the frame's synchronisation; it returns true when an event waits for the engine.
    // running: false once the run must end. operatorOnly (optional): true while nothing but
    // the operator can change the registers.
    CQtEngineHook(std::function<bool()> sync, std::function<bool()> running,
                  std::function<bool()> operatorOnly = {});
    ~CQtEngineHook() override;

    bool Pump() override;
    void Pause(int ms) override;

    // Ends the current pause, or the next one at once when none runs.
    void Wake();
    // Ends a pause that only the operator could end, so that the engine looks at its registers.
    // Once heartbeats come, the hook's own slow check waits twice as long, as a fallback only.
    void Heartbeat();

    // Pauses ended by a wake (for tests and the benchmark).
    long Wakes() const { return wakes_; }

  private:
    std::function<bool()> sync_;
    std::function<bool()> running_;
    std::function<bool()> operatorOnly_;
    // One timer for every pause, and no nested loop to quit: an idle pass should cost next to
    // nothing (quitting a loop wakes the dispatcher through a system call).
    QTimer timer_;
    bool paused_ = false;
    bool timedOut_ = false;
    bool woken_ = false;
    bool slowPause_ = false;
    bool heartbeats_ = false;
    long wakes_ = 0;
};
