#include "tools/qvtool/Graph.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

#include "automate/ContextNames.h"
#include "base/Text.h"
#include "platform/Paths.h"
#include "tools/qvtool/StateModel.h"

namespace authoring {

namespace {

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n' || c == '\r')
            continue;
        out += c;
    }
    return out;
}

std::string Node(int state) {
    return "s" + std::to_string(state);
}

}  // namespace

std::string StateGraphDot(const std::string& name, const std::string& stateTable,
                          const std::string& guiDir) {
    StateModel m = BuildStateModel(stateTable);
    std::string out = "digraph \"" + Escape(name) + "\" {\n";
    out += "  node [shape=box, style=rounded, fontname=\"Helvetica\"];\n";
    out += "  edge [fontname=\"Helvetica\", fontsize=10];\n";
    out += "  end [label=\"end (-1)\", shape=doublecircle];\n";

    std::set<int> ending;
    std::set<int> undefined;
    std::set<std::string> variables;
    bool outOfRange = false;
    for (const StateEdge& e : m.edges) {
        if (e.to == kEnd && e.event != 0)
            ending.insert(e.from);
        if (e.to == kEnd && e.event == 0 &&
            m.states[static_cast<size_t>(e.from)].eventDefault == -1)
            continue;
        if (e.to >= 0 && !m.Defined(e.to))
            undefined.insert(e.to);
        if (e.to == kComputed)
            variables.insert(e.variable);
        outOfRange = outOfRange || e.to == kOutOfRange;
    }
    for (int n = 0; n <= m.highest; ++n) {
        if (!m.Defined(n))
            continue;
        const AutomateState& s = m.states[static_cast<size_t>(n)];
        std::string label = std::to_string(n);
        if (n == 0)
            label += "\\nentry";
        else if (!s.action.empty())
            label += "\\n" + Escape(s.action);
        struct stat st {};
        if (n != 0 && !s.action.empty() &&
            stat(platform::NativePath(guiDir + s.action + ".gui").c_str(), &st) == 0)
            label += "\\nscreen " + Escape(s.action);
        if (!m.reachable[n])
            label += "\\nunreachable";
        std::string attrs = "label=\"" + label + "\"";
        if (n == 0)
            attrs += ", penwidth=2";
        if (ending.count(n))
            attrs += ", peripheries=2";
        if (!m.reachable[n])
            attrs += ", style=\"rounded,dashed\", color=gray50, fontcolor=gray50";
        if (!m.canEnd[n])
            attrs += ", color=red";
        out += "  " + Node(n) + " [" + attrs + "];\n";
    }
    for (int n : undefined)
        out += "  " + Node(n) + " [label=\"" + std::to_string(n) +
               "\\nno section\", color=red, fontcolor=red];\n";
    for (const std::string& v : variables) {
        std::string label = v == ctx::kLastState ? "back (${LastState})" : "${" + v + "}";
        out += "  \"var " + Escape(v) + "\" [label=\"" + Escape(label) + "\", shape=diamond];\n";
    }
    if (outOfRange)
        out += "  range [label=\"out of range\", shape=octagon, color=red];\n";
    for (const StateEdge& e : m.edges) {
        if (e.event == 0 && m.states[static_cast<size_t>(e.from)].eventDefault == -1)
            continue;  // no Event_Default: unlisted events end the run
        std::string to = e.to == kEnd          ? "end"
                         : e.to == kOutOfRange ? "range"
                         : e.to == kComputed   ? "\"var " + Escape(e.variable) + "\""
                                               : Node(e.to);
        std::string label = e.event == 0 ? "default" : std::to_string(e.event);
        out += "  " + Node(e.from) + " -> " + to + " [label=\"" + label + "\"" +
               (e.event == 0 ? ", style=dashed" : "") + "];\n";
    }
    out += "}\n";
    return out;
}

std::string FindDot() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        start = end + 1;
        if (dir.empty())
            continue;
        std::string candidate = dir + "/dot";
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

}  // namespace authoring
