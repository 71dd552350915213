#pragma once
// The event loop of the automaton: turns events (LastEvent) into state changes and state
// changes into service requests. The state registers live in the shared block only.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automate/ActionManager.h"
#include "automate/EngineHook.h"

// One state of the state table.
struct AutomateState {
    static constexpr int kEvents = 20;
    static constexpr size_t kMaxEventChars = 799;
    static constexpr size_t kMaxActionChars = 199;

    std::array<std::string, kEvents> events;  // next-state text per event; empty when absent
    std::string action;                       // ActionToRun
    int32_t eventDefault = -1;                // Event_Default
};

// The form of a next-state text, in the order the engine recognises them: empty (the state's
// Event_Default), "$" first (the INT property named by the first piece between "${}"), or a
// number read the way atoi reads it.
struct NextStateText {
    enum class Form { Default, Variable, Number };
    Form form = Form::Default;
    std::string variable;  // Variable: the property name (empty when the text names none)
    int32_t number = 0;    // Number
};
NextStateText ClassifyNextState(std::string_view text);

class CAutomateContext;
class CAutomateSharedMemory;
class CRunJournal;
class CLog;

// What the engine and its action manager work with. CAutomate owns them and hands them down;
// each may be null (nothing is logged, no register is kept).
struct AutomateServices {
    CLog* log = nullptr;
    CAutomateContext* context = nullptr;
    CAutomateSharedMemory* block = nullptr;
};

inline constexpr int kMaxStateNumber = 700;
inline constexpr int kStateCount = kMaxStateNumber + 1;

class CAutomateEngine {
  public:
    explicit CAutomateEngine(AutomateServices services);
    virtual ~CAutomateEngine();
    CAutomateEngine(const CAutomateEngine&) = delete;
    CAutomateEngine& operator=(const CAutomateEngine&) = delete;

    // Copies records 0 to highest, loads the action manager and its service list, and leaves
    // event 1 pending.
    int Initialize(const AutomateState* states, int highest, const std::string& memoryKey,
                   const std::string& serviceListPath, const std::string& logFile,
                   const std::string& paramsPath);
    // The event loop; returns the status of its last step.
    int WaitEvents(void* contextImage);
    // One transition: 0, or -1 when the registers cannot be read, the event is out of range or
    // the next state is refused.
    int SetNewState();
    // Requests the current state's service; the action manager's result.
    int ExecuteAction(void* contextImage);
    int LoadActionManager(const std::string& memoryKey, const std::string& serviceListPath,
                          const std::string& paramsPath);
    int setCurrentState(int state);
    int getCurrentState();

    // Not owned; null for none. Written after every transition, removed when the run ends
    // (the end state or event -1).
    void SetJournal(CRunJournal* journal) { journal_ = journal; }
    // The run re-enters state (its action runs again) instead of following event 1 from state 0.
    void ResumeAt(int32_t state, int32_t last);
    // Not owned; null restores the default hook (which sleeps).
    void SetHook(CEngineHook* hook) { hook_ = hook ? hook : &defaultHook_; }
    // Events consumed by SetNewState since construction (refused transitions included).
    long Steps() const { return steps_; }
    CActionManager* ActionManager() { return actions_.get(); }
    int HighestState() const { return highest_; }

  private:
    void PollLastEvent();
    const AutomateState& State(int32_t n) const;

    AutomateServices services_;
    std::vector<AutomateState> states_;
    std::string memoryKey_;
    std::unique_ptr<CActionManager> actions_;
    std::string logFile_;
    std::string paramsPath_;
    int highest_ = -1;
    long steps_ = 0;
    CEngineHook defaultHook_;
    CEngineHook* hook_ = &defaultHook_;
    CRunJournal* journal_ = nullptr;
    bool resumePending_ = false;
};
