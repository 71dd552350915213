#pragma once
// The programs an apply starts so that a real root takes its files at once (locale-gen,
// setupcon): started without a shell, with their arguments, inside the target root.
#include <string>
#include <string_view>
#include <vector>

namespace setup {

struct CommandRun {
    bool started = false;
    int status = -1;    // exit status; 128 + the signal for one a signal ended; -1 not started
    std::string error;  // the end of its stderr, or why it could not be started
};

// argv[0] is an absolute path inside root. Run directly when root is "/", else through
// /usr/sbin/chroot (root only). Killed past timeoutMs. Its environment is a fixed, plain one.
CommandRun RunInRoot(const std::string& root, const std::vector<std::string>& argv, int timeoutMs);
// Whether program (absolute, inside root) is there to be run.
bool ProgramInRoot(const std::string& root, std::string_view program);

// locale.gen text with the line of tag ("fr_BE") in UTF-8 enabled: uncommented where Debian's
// list has it commented out, added where it has none; unchanged when it is enabled already.
std::string LocaleGenWith(std::string_view localeGen, std::string_view tag);

}  // namespace setup
