#pragma once
// What the main frame needs of the automaton. The wizard hands it the real one; frame tests
// hand it a scripted one.
#include "automate/Automate.h"
#include "automate/EngineHook.h"

class CAutomatonPort {
  public:
    virtual ~CAutomatonPort() = default;
    // Runs until the run ends.
    virtual int Run() = 0;
    virtual ContextImage* GetContextImage() = 0;
    virtual int UpdateContextImage(ContextImage* image) = 0;
    // Not owned; null restores the default.
    virtual void SetEngineHook(CEngineHook* hook) = 0;
};

namespace app {

// The automaton of a real run.
class LiveAutomaton : public CAutomatonPort {
  public:
    explicit LiveAutomaton(CAutomate& automate) : automate_(automate) {}
    int Run() override { return automate_.Run(); }
    ContextImage* GetContextImage() override { return automate_.GetContextImage(); }
    int UpdateContextImage(ContextImage* image) override {
        return automate_.UpdateContextImage(image);
    }
    void SetEngineHook(CEngineHook* hook) override { automate_.SetEngineHook(hook); }

  private:
    CAutomate& automate_;
};

}  // namespace app
