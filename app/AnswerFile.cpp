#include "app/AnswerFile.h"

#include "base/Profile.h"
#include "base/Text.h"

namespace answers {

namespace {

bool SameName(const std::wstring& a, const std::wstring& b) {
    return FoldProfileName(a) == FoldProfileName(b);
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// "Set." and a whole number, as `qvtool run` numbers its entries.
bool IsSetKey(const std::wstring& name) {
    const std::wstring folded = FoldProfileName(name);
    const std::wstring prefix = FoldProfileName(L"Set.");
    if (folded.size() <= prefix.size() || folded.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < folded.size(); ++i)
        if (folded[i] < L'0' || folded[i] > L'9')
            return false;
    return true;
}

bool IsDigits(const std::wstring& name) {
    if (name.empty())
        return false;
    for (wchar_t c : name)
        if (c < L'0' || c > L'9')
            return false;
    return true;
}

AnswerKeys KindOf(const std::vector<ProfileLine>& lines) {
    bool wizard = false, automaton = false;
    for (const ProfileLine& l : lines) {
        if (l.kind != ProfileLine::Kind::Key)
            continue;
        if (IsDigits(l.name) || SameName(l.name, L"Push") || SameName(l.name, L"Leave"))
            wizard = true;
        else if (SameName(l.name, L"Event") || IsSetKey(l.name))
            automaton = true;
    }
    if (wizard && automaton)
        return AnswerKeys::Mixed;
    return wizard ? AnswerKeys::Wizard : automaton ? AnswerKeys::Automaton : AnswerKeys::None;
}

}  // namespace

AnswerKeys KindOfAnswerKeys(const std::string& path) {
    const auto lines = ListProfile(path);
    return lines ? KindOf(*lines) : AnswerKeys::None;
}

std::string AnswerValue(const std::wstring& value) {
    if (value.empty())
        return {};
    const wchar_t first = value.front(), last = value.back();
    const bool quoted = value.size() >= 2 && (first == L'"' || first == L'\'') && last == first;
    if (!IsBlank(first) && !IsBlank(last) && !quoted)
        return Narrow(value);
    // Built in steps: GCC 12 sees a false overlap (-Wrestrict) in "\"" + text + "\"" at -O3.
    std::string out = "\"";
    out += Narrow(value);
    out += '"';
    return out;
}

std::string ErrLine(const Problem& problem) {
    return "ERR state=" + (problem.state.empty() ? std::string("-") : problem.state) +
           " control=" + (problem.control.empty() ? std::string("-") : problem.control) + ": " +
           problem.reason;
}

bool ParseControlId(const std::wstring& text, int* id) {
    if (text.empty() || text.size() > 5)
        return false;
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + (c - L'0');
    }
    if (value < 1 || value > 65535)
        return false;
    *id = value;
    return true;
}

std::wstring LeaveFor(const ScreenAnswer& answer, int visit) {
    std::wstring_view rest = answer.leave;
    for (int n = 1;; ++n) {
        const size_t comma = rest.find(L',');
        std::wstring_view item = rest.substr(0, comma);
        while (!item.empty() && item.front() == L' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == L' ')
            item.remove_suffix(1);
        if (n >= visit || comma == std::wstring_view::npos)
            return std::wstring(item);
        rest.remove_prefix(comma + 1);
    }
}

int ParsePosition(const std::wstring& text) {
    int id = 0;
    if (text.size() < 2 || text[0] != L'#' || !ParseControlId(text.substr(1), &id))
        return 0;
    return id;
}

bool AnswerFile::Load(const std::string& path,
                      const std::function<bool(const std::wstring&)>& knownState,
                      Problem* problem) {
    screens_.clear();
    problem->code = kExitBadFile;
    const auto lines = ListProfile(path);
    if (!lines) {
        problem->reason = "cannot read the answer file " + path;
        return false;
    }
    // Told before any of its keys is refused one by one.
    if (KindOf(*lines) == AnswerKeys::Automaton) {
        problem->reason = path + ": " + kFileForQvtoolRun;
        return false;
    }
    const auto at = [&](const ProfileLine& l) { return path + ":" + std::to_string(l.line); };
    ScreenAnswer* current = nullptr;
    for (const ProfileLine& l : *lines) {
        if (l.kind == ProfileLine::Kind::UnclosedSection) {
            problem->reason = at(l) + ": not INI (a section header without ']')";
            return false;
        }
        if (l.kind == ProfileLine::Kind::Section) {
            problem->state = Narrow(l.name);
            for (const ScreenAnswer& s : screens_) {
                if (SameName(s.section, l.name)) {
                    problem->reason = at(l) + ": the state has a second section";
                    return false;
                }
            }
            if (knownState && !knownState(l.name)) {
                problem->reason = at(l) + ": no such state or screen in the configuration";
                return false;
            }
            screens_.push_back(ScreenAnswer{l.name, {}, {}, {}});
            current = &screens_.back();
            continue;
        }
        problem->control = Narrow(l.name.substr(0, 40));
        if (!current) {
            problem->state.clear();
            problem->reason = at(l) + ": not INI (an entry before any section)";
            return false;
        }
        if (!l.hasEquals) {
            problem->reason = at(l) + ": not INI (expected KEY=VALUE)";
            return false;
        }
        if (l.value.size() > kProfileValueMax) {
            problem->reason = at(l) + ": value of " + std::to_string(l.value.size()) +
                              " characters, more than " + std::to_string(kProfileValueMax);
            return false;
        }
        int id = 0;
        if (ParseControlId(l.name, &id)) {
            for (const Field& f : current->fields) {
                if (f.id == id) {
                    problem->reason = at(l) + ": the control is answered twice";
                    return false;
                }
            }
            current->fields.push_back(Field{id, l.value});
        } else if (SameName(l.name, L"Push")) {
            current->push = l.value;
        } else if (SameName(l.name, L"Leave")) {
            current->leave = l.value;
        } else {
            problem->reason = at(l) + ": unknown key (a control ID, Push or Leave)";
            return false;
        }
    }
    *problem = Problem{};
    return true;
}

const ScreenAnswer* AnswerFile::Find(const std::string& state, const std::string& screen) const {
    for (const std::string& name : {state, screen}) {
        if (name.empty())
            continue;
        for (const ScreenAnswer& s : screens_)
            if (SameName(s.section, Widen(name)))
                return &s;
    }
    return nullptr;
}

}  // namespace answers
