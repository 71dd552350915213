#pragma once
// The state table as a graph, read with the automaton's own reader: transitions per event,
// which states state 0 reaches and which can reach the end of the run. Shared by lint and
// graph.
#include <string>
#include <vector>

#include "automate/Automate.h"

namespace authoring {

// Targets that are not a state number.
inline constexpr int kEnd = -1;
inline constexpr int kOutOfRange = -2;  // the engine refuses it and keeps the state
inline constexpr int kComputed = -3;    // a variable: known only while running

struct StateEdge {
    int from = 0;
    int event = 0;  // 1 to 19; 0 for the default (Event_Default)
    NextStateText::Form form = NextStateText::Form::Number;
    int to = kEnd;
    std::string variable;  // Variable form
};

struct StateModel {
    std::vector<AutomateState> states;  // 701 records
    int defined = 0;
    int highest = -1;
    std::vector<char> isDefined;  // per state number
    std::vector<StateEdge> edges;
    // Per state number; only defined states are meaningful.
    std::vector<char> reachable;  // from state 0
    std::vector<char> canEnd;     // some written transitions lead to -1

    bool Defined(int n) const { return n >= 0 && n <= kMaxStateNumber && isDefined[n]; }
};

// Reads the table at path (relative to the current directory) and works out the graph.
// A variable "LastState" leads back to a state that enters the current one; any other variable
// may lead anywhere, the end included, so it never makes a state look unreachable or trapped.
// A state without Event_Default ends on every event it has no text for.
StateModel BuildStateModel(const std::string& path);

}  // namespace authoring
