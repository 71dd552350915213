#include "tools/qvtool/LintInternal.h"

#include <utility>

#include "base/Text.h"
#include "tools/qvtool/Lint.h"

namespace authoring::lint {

IniFile::IniFile(std::string relative) : relative_(std::move(relative)) {
    display_ = DisplayPath(relative_);
    if (auto lines = ListProfile(relative_)) {
        readable_ = true;
        lines_ = std::move(*lines);
    }
    Index();
}

bool IniFile::HasSection(std::string_view section) const {
    return sections_.count(FoldProfileName(Widen(section))) != 0;
}

int IniFile::SectionLine(std::string_view section) const {
    auto it = sections_.find(FoldProfileName(Widen(section)));
    return it == sections_.end() ? 0 : it->second.line;
}

int IniFile::KeyLine(std::string_view section, std::string_view key) const {
    auto it = sections_.find(FoldProfileName(Widen(section)));
    if (it == sections_.end())
        return 0;
    auto k = it->second.keyLines.find(FoldProfileName(Widen(key)));
    return k == it->second.keyLines.end() ? 0 : k->second;
}

std::vector<const ProfileLine*> IniFile::Keys(std::string_view section) const {
    std::vector<const ProfileLine*> out;
    auto it = sections_.find(FoldProfileName(Widen(section)));
    if (it != sections_.end()) {
        for (size_t i : it->second.keys)
            out.push_back(&lines_[i]);
    }
    return out;
}

void IniFile::CheckShape(Report& report) const {
    for (const Repeat& r : repeats_) {
        report.Error(display_, r.line,
                     StrFormat("%s %s repeats line %d: only the first one is read",
                               r.section ? "section" : "key", Quote(r.name).c_str(), r.first));
    }
    for (const ProfileLine& l : lines_) {
        if (l.kind == ProfileLine::Kind::UnclosedSection) {
            report.Warning(display_, l.line,
                           "section header without ']' is ignored: the keys below stay in "
                           "the section above");
        }
    }
    if (firstOrphan_ > 0)
        report.Warning(display_, firstOrphan_, "key before any section is never read");
}

void IniFile::CheckNumbered(Report& report, std::string_view section, std::string_view prefix,
                            int start) const {
    std::map<int, int> numbers;  // n -> line
    std::wstring fold = FoldProfileName(Widen(prefix));
    for (const ProfileLine* k : Keys(section)) {
        std::wstring name = FoldProfileName(k->name);
        if (name.size() <= fold.size() || name.compare(0, fold.size(), fold) != 0)
            continue;
        std::wstring digits = name.substr(fold.size());
        if (digits.find_first_not_of(L"0123456789") != std::wstring::npos || digits.size() > 6 ||
            (digits.size() > 1 && digits[0] == L'0'))
            continue;
        numbers.emplace(ParseDecimal(digits), k->line);
    }
    int expected = start;
    for (auto [n, line] : numbers) {
        if (n < start)
            continue;
        if (n != expected) {
            report.Warning(display_, line,
                           StrFormat("%.*s%d is never read: the list ends at the missing "
                                     "%.*s%d",
                                     static_cast<int>(prefix.size()), prefix.data(), n,
                                     static_cast<int>(prefix.size()), prefix.data(), expected));
            return;
        }
        ++expected;
    }
}

void IniFile::Index() {
    Section* current = nullptr;
    bool first = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const ProfileLine& l = lines_[i];
        if (l.kind == ProfileLine::Kind::UnclosedSection)
            continue;
        if (l.kind == ProfileLine::Kind::Section) {
            auto [it, inserted] = sections_.try_emplace(FoldProfileName(l.name));
            if (inserted) {
                it->second.line = l.line;
                order_.push_back(Narrow(l.name));
            } else {
                repeats_.push_back(Repeat{true, Narrow(l.name), l.line, it->second.line});
            }
            current = &it->second;
            first = inserted;
            continue;
        }
        if (!current) {
            if (firstOrphan_ == 0)
                firstOrphan_ = l.line;
            continue;
        }
        if (!first)
            continue;  // reported with its section
        auto [k, inserted] = current->keyLines.try_emplace(FoldProfileName(l.name), l.line);
        if (inserted)
            current->keys.push_back(i);
        else
            repeats_.push_back(Repeat{false, Narrow(l.name), l.line, k->second});
    }
}

}  // namespace authoring::lint
