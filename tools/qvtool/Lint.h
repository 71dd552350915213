#pragma once
// The configuration check behind "qvtool lint": reads a whole configuration with the wizard's
// own readers and reports what would go wrong at run time, with the file and line to fix.
#include <string>
#include <vector>

#include "tools/qvtool/Report.h"

namespace authoring {

struct LintOptions {
    std::vector<std::string> modes{"QV", "RW"};
    // Where the screens' files lie (the PathGui the services write), relative to the program
    // directory.
    std::string guiDir = "..\\gui\\";
};

// Checks the configuration around the current directory, which must be the program directory
// (bin/); messages name files by absolute paths.
void LintConfiguration(const LintOptions& options, Report& report);

// "..\config\QV\QV_automate.ini" seen from the program directory, as an absolute path.
std::string DisplayPath(const std::string& relative);

}  // namespace authoring
