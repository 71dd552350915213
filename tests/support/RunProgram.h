#pragma once
// Runs a program of the build as a child process (argument vector, never a shell) and collects
// its exit status and output.
#include <string>
#include <vector>

struct ProgramResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// timeoutMs < 0: waits for ever; else the program is killed past it and status is kTimedOut.
inline constexpr int kTimedOut = -1000;
ProgramResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                         int timeoutMs = -1);

// The lines of a program's output, without their line ends.
std::vector<std::string> Lines(const std::string& text);
