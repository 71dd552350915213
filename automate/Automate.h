#pragma once
// The automaton: owns its logger, the engine's context, the shared block with the state
// registers, the state table read from the state-table file, and the engine. One exists per
// process; its logger, context and shared block are reachable process-wide through the static
// accessors below while it lives.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automate/AutomateContext.h"
#include "automate/AutomateEngine.h"
#include "automate/EngineHook.h"
#include "automate/RunJournal.h"
#include "automate/SharedMemory.h"
#include "base/Log.h"

// Reads the states of a state-table file the way the automaton does: states is reset to 701
// empty records and filled from sections 0 to 700 that have ActionToRun; texts too long for
// their field are cut with a WARNING on log (may be null). Returns the number of defined states;
// highest (may be null) receives the highest defined number, -1 when there is none.
int ReadStateTable(const std::string& path, std::vector<AutomateState>& states, int* highest,
                   CLog* log);

class CAutomate {
  public:
    static constexpr size_t kMaxNameChars = 799;

    // Names are narrow. The memory key is kept but does not name the shared block; the memory
    // file names both its backing file and its mapping.
    CAutomate(const std::string& memoryKey, const std::string& memoryFile,
              const std::string& stateTablePath, const std::string& serviceListPath,
              const std::string& paramsPath, const std::string& logFile, uint32_t logLevel);
    virtual ~CAutomate();
    CAutomate(const CAutomate&) = delete;
    CAutomate& operator=(const CAutomate&) = delete;

    // Runs the event loop until the run ends; returns 0, or -1 at once when the state table
    // defined no state.
    int Run();
    ContextImage* GetContextImage() { return image_; }
    // Copies image into the shared block and makes it the current image when it differs from
    // the current one; 0, or -1 when the block cannot be mapped.
    int UpdateContextImage(ContextImage* image);

    int CreateSharedMemory();
    int InitSharedMemory();
    // 0, or -1 (with an ERR line) when the table defines no state.
    int LoadingIniFile();

    enum class JournalStart { Off, Fresh, Resumed };
    // The journal of this run at path (native), before Run. Off when the settings keep it off,
    // and for an unattended run, which removes a journal left behind (its answers replay from
    // the start). Otherwise a usable journal of mode and of this configuration left by a run
    // that did not end is taken up: its values and registers, its state entered again
    // (Resumed); one that is not is set aside (Fresh, as when there is none).
    JournalStart StartJournal(const std::string& path, const std::string& mode,
                              const JournalSettings& settings, bool unattended);
    CRunJournal* Journal() { return journal_.get(); }

    // The engine's pauses and pump step (not owned; null restores the sleeping default).
    void SetEngineHook(CEngineHook* hook) { engine_->SetHook(hook); }
    CAutomateEngine& Engine() { return *engine_; }
    const AutomateState& State(int n) const { return states_[static_cast<size_t>(n)]; }
    int DefinedStates() const { return definedStates_; }
    int HighestState() const { return highestState_; }

    // The process-wide objects of the living automaton, or null.
    static CLog* Logger() { return logger_; }
    static CAutomateContext* Context() { return context_; }
    static CAutomateSharedMemory* SharedBlock() { return sharedBlock_; }

  private:
    ContextImage* image_ = nullptr;
    std::string memoryKey_;
    std::string memoryFile_;
    std::string stateTablePath_;
    std::string serviceListPath_;
    std::unique_ptr<CAutomateEngine> engine_;
    std::vector<AutomateState> states_;
    int definedStates_ = 0;
    int highestState_ = -1;

    std::unique_ptr<CLog> log_;
    std::unique_ptr<CAutomateContext> context_owned_;
    std::unique_ptr<CAutomateSharedMemory> shared_;
    std::unique_ptr<CRunJournal> journal_;

    static CLog* logger_;
    static CAutomateContext* context_;
    static CAutomateSharedMemory* sharedBlock_;
};
