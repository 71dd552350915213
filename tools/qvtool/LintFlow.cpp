// What the operator meets on the way: where "Back" leads when it names $LastState, and whether
// a hint names the buttons the way its screen labels them in each language.
#include <algorithm>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "automate/ContextNames.h"
#include "base/Text.h"
#include "tools/qvtool/LintInternal.h"

namespace authoring::lint {

namespace {

bool IsWordChar(wchar_t c) {
    return std::iswalnum(static_cast<wint_t>(c)) != 0;
}

// The caption as a word of its own in the text (case counts: "Back" is a caption, "goes back"
// is not).
bool NamesWord(const std::wstring& text, const std::wstring& word) {
    for (size_t at = text.find(word); at != std::wstring::npos; at = text.find(word, at + 1)) {
        const bool startsWord = at == 0 || !IsWordChar(text[at - 1]);
        const size_t end = at + word.size();
        const bool endsWord = end >= text.size() || !IsWordChar(text[end]);
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

const std::wstring* TextOf(const TextTables& tables, const std::string& code,
                           const std::string& id) {
    auto table = tables.find(code);
    if (table == tables.end())
        return nullptr;
    auto text = table->second.find(id);
    return text == table->second.end() || text->second.empty() ? nullptr : &text->second;
}

}  // namespace

// $LastState leads back to the state the current one was entered from. Entered from a state
// this one leads to (the operator came back from it), "Back" becomes a step forward. (An action
// state that only passes on to this one makes it a step on the spot too, but a screen with one
// way on looks the same in the table.)
void Linter::LintBackTransitions(const IniFile& table, const StateModel& m) {
    const size_t states = m.states.size();
    std::vector<std::set<int>> next(states), previous(states);
    std::set<int> backByLastState;
    for (const StateEdge& e : m.edges) {
        if (e.form == NextStateText::Form::Variable && e.variable == ctx::kLastState)
            backByLastState.insert(e.from);
        else if (e.to >= 0 && m.Defined(e.to) && e.event != 0) {
            next[static_cast<size_t>(e.from)].insert(e.to);
            previous[static_cast<size_t>(e.to)].insert(e.from);
        }
    }
    auto reaches = [&](int from, int to) {
        std::vector<char> seen(states, 0);
        std::vector<int> todo{from};
        while (!todo.empty()) {
            int n = todo.back();
            todo.pop_back();
            for (int t : next[static_cast<size_t>(n)]) {
                if (t == to)
                    return true;
                if (!seen[static_cast<size_t>(t)]) {
                    seen[static_cast<size_t>(t)] = 1;
                    todo.push_back(t);
                }
            }
        }
        return false;
    };
    for (int s : backByLastState) {
        // Entered from a state that leads here, or from one whose own $LastState came back.
        std::set<int> enteredFrom = previous[static_cast<size_t>(s)];
        for (int q : backByLastState) {
            if (previous[static_cast<size_t>(q)].count(s))
                enteredFrom.insert(q);
        }
        std::string section = std::to_string(s);
        int line = 0;
        for (const StateEdge& e : m.edges) {
            if (e.from == s && e.form == NextStateText::Form::Variable)
                line = table.KeyLine(
                    section, e.event == 0 ? "Event_Default" : StrFormat("Event_%d", e.event));
        }
        for (int p : enteredFrom) {
            if (p == s || p == 0)
                continue;
            if (reaches(s, p)) {
                report_.Warning(table.Display(), line,
                                StrFormat("state %d: $LastState can lead back to state %d, which "
                                          "comes after it: entered from there, Back goes "
                                          "forward",
                                          s, p));
            }
        }
    }
}

// A hint that names a button ("press OK") must name it as the screen labels it in the same
// language: a caption that the same button has elsewhere (another language, another screen)
// misleads where this screen reads otherwise.
void Linter::LintHints(const TextTables& tables) {
    std::map<int, std::set<std::wstring>> captions;  // event button -> its captions anywhere
    for (const auto& [screen, texts] : screenTexts_) {
        for (const auto& [id, trad] : texts.buttonTrads) {
            for (const auto& [code, table] : tables) {
                if (const std::wstring* text = TextOf(tables, code, trad))
                    captions[id].insert(*text);
            }
        }
        for (const auto& [id, text] : texts.buttonTexts)
            captions[id].insert(text);
    }
    for (const auto& [screen, texts] : screenTexts_) {
        for (const auto& [code, table] : tables) {
            std::set<std::wstring> own, elsewhere;
            for (int id : texts.buttons) {
                auto trad = texts.buttonTrads.find(id);
                const std::wstring* text =
                    trad != texts.buttonTrads.end() ? TextOf(tables, code, trad->second) : nullptr;
                auto dialogText = texts.buttonTexts.find(id);
                if (text)
                    own.insert(*text);
                else if (dialogText != texts.buttonTexts.end())
                    own.insert(dialogText->second);
                if (captions.count(id))
                    elsewhere.insert(captions[id].begin(), captions[id].end());
            }
            for (const TradUse& hint : texts.hints) {
                const std::wstring* text = TextOf(tables, code, hint.id);
                if (!text)
                    continue;
                for (const std::wstring& caption : elsewhere) {
                    if (caption.size() < 2 || own.count(caption) || !NamesWord(*text, caption))
                        continue;
                    report_.Warning(hint.file, hint.line,
                                    StrFormat("screen %s, %s: %s names %s, which no button of "
                                              "the screen reads in that language",
                                              screen.c_str(), code.c_str(), Quote(hint.id).c_str(),
                                              Quote(Narrow(caption)).c_str()));
                }
            }
        }
    }
}

}  // namespace authoring::lint
