#pragma once
// The state machine of a mode as Graphviz DOT.
#include <string>

namespace authoring {

// DOT of the state table at stateTable (relative to the current directory): one node per
// defined state (number, service, screen when a dialog file of the service's name lies in
// guiDir), one edge per written event; the entry, the end, states that end the run, unreachable
// states and targets without a section are marked.
std::string StateGraphDot(const std::string& name, const std::string& stateTable,
                          const std::string& guiDir);

// "dot" on the PATH, or empty.
std::string FindDot();

}  // namespace authoring
