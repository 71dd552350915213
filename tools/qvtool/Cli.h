#pragma once
// Argument handling shared by the qvtool sub-commands.
#include <map>
#include <set>
#include <string>
#include <vector>

struct CommandArgs {
    std::map<std::string, std::string> options;  // "--mode" -> "RW"
    std::set<std::string> flags;                 // "--start"
    std::vector<std::string> positional;
    std::string error;  // non-empty when the words are off

    bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::string Get(const std::string& option, const std::string& def = {}) const {
        auto it = options.find(option);
        return it == options.end() ? def : it->second;
    }
};

// Splits argv into options that take a value, flags, and positional words. "--root" is always
// a value option and "--help" always a flag.
CommandArgs ParseCommandArgs(const std::vector<std::string>& argv,
                             const std::set<std::string>& valueOptions,
                             const std::set<std::string>& flagOptions);

// Makes the --root directory (default: qvtool's own directory) the program directory and the
// current directory, as the wizard's start-up does. False, with a reason on stderr, when it
// cannot.
bool EnterProgramDirectory(const CommandArgs& args);

// text on one line: line breaks shown as \n and \r.
std::string OneLine(const std::string& text);

// Exit status for unusable arguments or files.
inline constexpr int kStatusUsage = 2;
