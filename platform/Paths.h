#pragma once
// Paths: the system's configuration keeps Windows-style relative paths; every file open
// goes through NativePath.
#include <string>
#include <string_view>

namespace platform {

// Turns a configured path ("..\config\QV\QV_automate.ini") into a native one (backslash to '/').
std::string NativePath(std::string_view path);

// Full path of the running executable; empty when it cannot be read.
std::string ExecutablePath();

// Directory of the running executable, without a final slash, case kept. A directory set with
// SetProgramDirectory (tools that act in another runtime tree, tests) takes its place.
std::string ProgramDirectory();
void SetProgramDirectory(const std::string& dir);

// Makes dir the current directory; false when it cannot.
bool ChangeDirectory(const std::string& dir);

}  // namespace platform
