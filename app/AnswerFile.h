#pragma once
// The answer file of an unattended run (QuilvaneWizApp --answers FILE): INI, one section per
// state, named by the state (NameState, "Language") or by its screen ("StateLanguage").
//
//   <control ID>=TEXT   the text of an edit field, or the item of a list or combo box chosen by
//                       its text or, as #N, by its position (from 1)
//   Push=ID|CAPTION     the choice button to push, by ID or caption
//   Leave=ID|KEY        the button or key (Return, F1-F12) that leaves the screen; Return when
//                       absent, as an operator validates
//
// The same reader as every configuration file; everything is checked before the run starts so
// that a bad file never leaves a half-done configuration behind.
#include <functional>
#include <string>
#include <vector>

namespace answers {

// Exit codes of an unattended run; 0 when the run reached its end.
enum ExitCode : int {
    kExitBadFile = 2,    // missing, not INI, unknown key or state, value too long
    kExitNoAnswer = 3,   // a screen that needs an answer has none
    kExitNoControl = 4,  // an answer names a control the screen lacks
    kExitRefused = 5,    // the screen cannot take the answer (no such item, text refused)
    kExitRepeated = 6,   // the same screen came back more than the allowed times
    kExitStalled = 7,    // no screen came within the time limit
};

struct Field {
    int id = 0;
    std::wstring value;
};

struct ScreenAnswer {
    std::wstring section;  // as written
    std::vector<Field> fields;
    std::wstring push;   // empty: none
    std::wstring leave;  // empty: Return
};

// What went wrong, for the ERR line.
struct Problem {
    int code = 0;
    std::string state;
    std::string control;
    std::string reason;
};
// "ERR state=<state> control=<control>: <reason>"
std::string ErrLine(const Problem& problem);

class AnswerFile {
  public:
    // Reads and checks the file. knownState tells whether a section name is a state or screen
    // of the configuration (null: any name). False with the problem filled in.
    bool Load(const std::string& path, const std::function<bool(const std::wstring&)>& knownState,
              Problem* problem);
    // The answer for a state, looked up by state name, then by screen name; null when none.
    const ScreenAnswer* Find(const std::string& state, const std::string& screen) const;
    size_t Size() const { return screens_.size(); }

  private:
    std::vector<ScreenAnswer> screens_;
};

// The leave of the visit-th time (from 1) the screen comes: Leave=A,B,C gives A, B, then C
// from then on; empty for Return.
std::wstring LeaveFor(const ScreenAnswer& answer, int visit);

// Two programs take answer files: the wizard (control IDs, Push, Leave) and `qvtool run`, the
// automaton alone (Event, Set.N). Each tells a file of the other by its keys.
enum class AnswerKeys {
    None,       // neither kind (empty, or only keys of no kind)
    Wizard,     // control IDs, Push or Leave, and no Event or Set.N
    Automaton,  // Event or Set.N, and no control ID, Push or Leave
    Mixed,      // keys of both
};
AnswerKeys KindOfAnswerKeys(const std::string& path);
// The reasons each program gives for a file of the other kind.
inline constexpr char kFileForQvtoolRun[] =
    "this answer file is for `qvtool run` (Event=/Set.N= keys); the wizard takes control IDs, "
    "Push= and Leave=";
inline constexpr char kFileForWizard[] =
    "this answer file is for the wizard (`QuilvaneWizApp --answers`: control IDs, Push=, "
    "Leave=); `qvtool run` takes Event= and Set.N= keys";

// value as an answer file keeps it: quoted when the reader would trim or unquote it.
std::string AnswerValue(const std::wstring& value);

// A whole decimal control ID in [1, 65535].
bool ParseControlId(const std::wstring& text, int* id);
// Position written as "#N" (N from 1); 0 when text is not one.
int ParsePosition(const std::wstring& text);

}  // namespace answers
