#pragma once
// The journal of a run: the context's values and the state registers, written whole after every
// transition, so that a run a crash, a kill or a power cut ended resumes at the state it was in
// with what the operator had entered. It may hold passwords: owner-only, removed at the end.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "automate/AutomateEngine.h"

class CAutomateContext;
class CLog;

struct JournalProperty {
    std::string name;
    std::string type;   // INT, LONG, PTR, STRING or VOID
    std::string value;  // the value's bytes less its trailing zeros; a PTR's is always empty
};

struct JournalContents {
    std::string mode;            // "installation" or "reconfiguration"
    uint64_t configuration = 0;  // ConfigurationHash of the run that wrote it
    int64_t writtenAt = 0;       // seconds since 1970
    int32_t currentState = -1;   // the state entered, whose action runs again on a resume
    int32_t lastState = -1;
    int32_t resumes = 0;                      // runs that resumed at this state and got no further
    std::vector<JournalProperty> properties;  // every property, in the context's order
};

// A state that ended this many resumed runs (a plug-in that crashes there) is not re-entered
// again: the next run starts afresh.
inline constexpr int32_t kJournalMaxResumes = 3;

// Nothing longer is read: 400 properties of 800 bytes as hexadecimal with their names fit.
inline constexpr size_t kJournalMaxBytes = 1 << 20;

std::string EncodeJournal(const JournalContents& journal);
// Fills out from a whole journal and returns an empty text; otherwise why the bytes are no
// journal (what out then holds means nothing). Survives any bytes.
std::string DecodeJournal(std::string_view bytes, JournalContents* out);

// What the values of a journal mean: the defined states (actions, events, defaults) and the
// context's properties (names and types, in order). Comments and spacing do not count.
uint64_t ConfigurationHash(const std::vector<AutomateState>& states,
                           const CAutomateContext& context);

// The context's values as a journal keeps them (properties only).
std::vector<JournalProperty> CaptureProperties(const CAutomateContext& context);
// Writes the journal's values into the context; empty, or why they do not fit its properties
// (nothing is written then). Pointers come back null: an address means nothing in another run.
// The events and the screen asked for are cleared: re-entering the state sets them again.
std::string RestoreProperties(const std::vector<JournalProperty>& properties,
                              CAutomateContext& context);

enum class JournalFile { Missing, Read, Refused };
// Reads the journal at path: a regular file, not a link, at most kJournalMaxBytes; a FIFO or a
// device is never opened for a blocking read. why says what was refused.
JournalFile ReadJournalFile(const std::string& path, std::string* bytes, std::string* why);

// The parameters' keys (section PARAMS): Resume=1 turns the journal on (off when absent),
// ResumeMaxAgeMinutes how old a journal may be to be resumed (1440 when absent or unusable).
struct JournalSettings {
    static constexpr int kDefaultMaxAgeMinutes = 1440;
    bool enabled = false;
    int maxAgeMinutes = kDefaultMaxAgeMinutes;
};
JournalSettings ReadJournalSettings(const std::string& paramsPath);

class CRunJournal {
  public:
    CRunJournal(std::string path, std::string mode, uint64_t configuration,
                CAutomateContext& context, CLog* log);
    // Waits for the last write to reach the disk.
    ~CRunJournal();
    CRunJournal(const CRunJournal&) = delete;
    CRunJournal& operator=(const CRunJournal&) = delete;

    // Writes the context and the registers atomically (0600); 0 or the system error. The first
    // failure of a run is logged, then nothing until a write succeeds again. The file is
    // replaced at once (a killed process finds it); it reaches the disk from a thread of its
    // own, so that no transition waits for the disk.
    int Save(int32_t current, int32_t last, int32_t resumes = 0);
    // The run has ended: no journal stays behind.
    void Remove();

    enum class Found { None, Usable, Rejected };
    // Looks at the journal an earlier run left: Usable fills out (of this mode and
    // configuration, young enough; the context is not touched); Rejected has set it aside.
    // now is seconds since 1970.
    Found Load(int maxAgeMinutes, int64_t now, JournalContents* out);
    // Sets the journal aside (renamed to path + ".rejected") with a WARNING line saying why.
    void Reject(const std::string& why);

    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::string mode_;
    uint64_t configuration_;
    CAutomateContext& context_;
    CLog* log_;
    bool failing_ = false;
    // The flush to disk, behind the writes: the latest one pending.
    void Flushing();
    std::thread flusher_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool flushPending_ = false;
    bool stopping_ = false;
};
