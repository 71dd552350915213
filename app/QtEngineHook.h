#pragma once
// The engine's pauses and pump step on Qt: a pause runs an event loop for its length, so
// input and painting go on, and the frame is synchronised with the context before it; a wake
// (an event is waiting for the engine) ends the pause early. The pause lengths stay the
// engine's; only their end can come sooner.
#include <QTimer>
#include <functional>

#include "automate/EngineHook.h"

class CQtEngineHook : public CEngineHook {
  public:
    // sync: the frame's synchronisation; it returns true when an event waits for the engine.
    // running: false once the run must end.
    CQtEngineHook(std::function<bool()> sync, std::function<bool()> running);
    ~CQtEngineHook() override;

    bool Pump() override;
    void Pause(int ms) override;

    // Ends the current pause, or the next one at once when none runs.
    void Wake();

    // Pauses ended by a wake (for tests and the benchmark).
    long Wakes() const { return wakes_; }

  private:
    std::function<bool()> sync_;
    std::function<bool()> running_;
    // One timer for every pause, and no nested loop to quit: an idle pass should cost next to
    // nothing (quitting a loop wakes the dispatcher through a system call).
    QTimer timer_;
    bool paused_ = false;
    bool timedOut_ = false;
    bool woken_ = false;
    long wakes_ = 0;
};
