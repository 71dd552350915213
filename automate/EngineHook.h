#pragma once
// What the engine's loop does between polls. The loop calls Pump once per pass (where pending
// window work would be dispatched) and Pause for its waits: 20 ms between polls, 200 ms after a
// service request. The default sleeps; a GUI supplies one that runs its event loop for the
// length of the pause and synchronises its frame after each pass; tools and tests use one that
// does not sleep. Kept free of any GUI toolkit.
#include <chrono>
#include <thread>

class CEngineHook {
  public:
    virtual ~CEngineHook() = default;

    // Called once at the end of every pass of the loop. Returning false ends the run after
    // this pass (the registers are left as they are).
    virtual bool Pump() { return true; }

    // Waits ms milliseconds.
    virtual void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// Never waits: the loop goes as fast as the services let it.
class CNoSleepHook : public CEngineHook {
  public:
    void Pause(int) override {}
};
