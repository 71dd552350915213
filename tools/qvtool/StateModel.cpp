#include "tools/qvtool/StateModel.h"

#include <deque>

#include "automate/ContextNames.h"
#include "base/Profile.h"

namespace authoring {

namespace {

bool IsLastState(const StateEdge& e) {
    return e.form == NextStateText::Form::Variable && e.variable == ctx::kLastState;
}

}  // namespace

StateModel BuildStateModel(const std::string& path) {
    StateModel m;
    m.defined = ReadStateTable(path, m.states, &m.highest, nullptr);
    m.isDefined.assign(kStateCount, 0);
    m.reachable.assign(kStateCount, 0);
    m.canEnd.assign(kStateCount, 0);
    // ReadStateTable leaves an undefined record empty; a defined one may look the same, so
    // definition is asked of the reader's count through the action key.
    for (int n = 0; n <= m.highest; ++n) {
        char value[kProfileValueMax + 1];
        m.isDefined[n] =
            ReadIniString(path.c_str(), std::to_string(n).c_str(), "ActionToRun", value) == 0;
    }
    for (int n = 0; n <= m.highest; ++n) {
        if (!m.isDefined[n])
            continue;
        const AutomateState& s = m.states[static_cast<size_t>(n)];
        for (int e = 1; e < AutomateState::kEvents; ++e) {
            const std::string& text = s.events[static_cast<size_t>(e)];
            if (text.empty())
                continue;
            NextStateText form = ClassifyNextState(text);
            StateEdge edge{n, e, form.form, kComputed, form.variable};
            if (form.form == NextStateText::Form::Number)
                edge.to =
                    (form.number < -1 || form.number > kMaxStateNumber) ? kOutOfRange : form.number;
            m.edges.push_back(edge);
        }
        int d = s.eventDefault;
        m.edges.push_back(StateEdge{n,
                                    0,
                                    NextStateText::Form::Default,
                                    (d < -1 || d > kMaxStateNumber) ? kOutOfRange : d,
                                    {}});
    }

    // Who enters each state by a known number: where "LastState" leads back to.
    std::vector<std::vector<int>> enteredFrom(kStateCount);
    std::vector<std::vector<int>> forward(kStateCount);
    std::vector<int> anywhere;  // states with a computed transition other than LastState
    for (const StateEdge& e : m.edges) {
        if (e.to >= 0) {
            enteredFrom[e.to].push_back(e.from);
            forward[e.from].push_back(e.to);
        } else if (e.to == kComputed && !IsLastState(e)) {
            anywhere.push_back(e.from);
        }
    }
    for (const StateEdge& e : m.edges) {
        if (IsLastState(e)) {
            for (int p : enteredFrom[e.from])
                forward[e.from].push_back(p);
        }
    }

    // Forward from state 0; a computed transition opens every state.
    std::deque<int> queue{0};
    m.reachable[0] = 1;
    bool openAll = false;
    while (!queue.empty()) {
        int s = queue.front();
        queue.pop_front();
        for (int a : anywhere)
            openAll = openAll || a == s;
        for (int t : forward[s]) {
            if (!m.reachable[t]) {
                m.reachable[t] = 1;
                queue.push_back(t);
            }
        }
    }
    if (openAll)
        std::fill(m.reachable.begin(), m.reachable.end(), 1);

    // Backward from the end. An undefined state ends the run: its empty action fails, event 2
    // takes its default, -1.
    std::vector<std::vector<int>> backward(kStateCount);
    for (int s = 0; s < kStateCount; ++s) {
        for (int t : forward[s])
            backward[t].push_back(s);
    }
    for (const StateEdge& e : m.edges) {
        bool ends = e.to == kEnd || (e.to == kComputed && !IsLastState(e)) ||
                    (e.to >= 0 && !m.isDefined[e.to]);
        if (ends && !m.canEnd[e.from]) {
            m.canEnd[e.from] = 1;
            queue.push_back(e.from);
        }
    }
    while (!queue.empty()) {
        int s = queue.front();
        queue.pop_front();
        for (int p : backward[s]) {
            if (!m.canEnd[p]) {
                m.canEnd[p] = 1;
                queue.push_back(p);
            }
        }
    }
    return m;
}

}  // namespace authoring
