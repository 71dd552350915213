#include "tools/qvtool/Report.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace authoring {

void Report::Add(const std::string& file, int line, Severity severity, const std::string& message) {
    items_.push_back(Diagnostic{file, line, severity, message});
}

std::vector<Diagnostic> Report::Sorted() const {
    std::vector<Diagnostic> out;
    std::set<std::tuple<std::string, int, int, std::string>> seen;
    for (const Diagnostic& d : items_) {
        if (seen.emplace(d.file, d.line, static_cast<int>(d.severity), d.message).second)
            out.push_back(d);
    }
    std::stable_sort(out.begin(), out.end(), [](const Diagnostic& a, const Diagnostic& b) {
        return std::tie(a.file, a.line) < std::tie(b.file, b.line);
    });
    return out;
}

int Report::Errors() const {
    int n = 0;
    for (const Diagnostic& d : Sorted())
        n += d.severity == Severity::Error;
    return n;
}

int Report::Warnings() const {
    int n = 0;
    for (const Diagnostic& d : Sorted())
        n += d.severity == Severity::Warning;
    return n;
}

std::string FormatDiagnostic(const Diagnostic& d) {
    std::string out = d.file;
    if (d.line > 0)
        out += ":" + std::to_string(d.line);
    out += d.severity == Severity::Error ? ": error: " : ": warning: ";
    // One message, one line: a value with a line break must not start a line of its own.
    for (char c : d.message)
        out += (c == '\n' || c == '\r') ? ' ' : c;
    return out;
}

void Report::Print(FILE* out) const {
    std::vector<Diagnostic> items = Sorted();
    int errors = 0;
    int warnings = 0;
    for (const Diagnostic& d : items) {
        std::fprintf(out, "%s\n", FormatDiagnostic(d).c_str());
        (d.severity == Severity::Error ? errors : warnings)++;
    }
    std::fprintf(out, "%d error%s, %d warning%s\n", errors, errors == 1 ? "" : "s", warnings,
                 warnings == 1 ? "" : "s");
}

}  // namespace authoring
