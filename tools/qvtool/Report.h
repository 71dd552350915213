#pragma once
// Messages about configuration files in the compilers' form, "FILE:LINE: error|warning: text",
// so editors and CI logs can jump to the line.
#include <cstdio>
#include <string>
#include <vector>

namespace authoring {

enum class Severity { Warning, Error };

struct Diagnostic {
    std::string file;
    int line = 0;  // 0: the file as a whole
    Severity severity = Severity::Error;
    std::string message;
};

class Report {
  public:
    void Add(const std::string& file, int line, Severity severity, const std::string& message);
    void Error(const std::string& file, int line, const std::string& message) {
        Add(file, line, Severity::Error, message);
    }
    void Warning(const std::string& file, int line, const std::string& message) {
        Add(file, line, Severity::Warning, message);
    }

    // Sorted by file and line; the same message at the same place is kept once (a file shared
    // by both modes is read twice).
    std::vector<Diagnostic> Sorted() const;
    int Errors() const;
    int Warnings() const;
    // Every message, then "N errors, M warnings".
    void Print(FILE* out) const;

  private:
    std::vector<Diagnostic> items_;
};

std::string FormatDiagnostic(const Diagnostic& d);

}  // namespace authoring
