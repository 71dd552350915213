// noxStart: starts the program named by its first parameter (with the parameters after it),
// detached from the caller, and exits. Status 0 when the program was started, 1 otherwise.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Process.h"

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: noxStart PROGRAM [PARAMETERS...]\n");
        return 1;
    }
    std::vector<std::string> words(argv + 1, argv + argc);
    words[0] = platform::ResolveProgramFile(words[0]);
    int err = platform::SpawnDetached(words);
    if (err != 0) {
        std::fprintf(stderr, "noxStart: cannot start %s: %s\n", words[0].c_str(),
                     std::strerror(err));
        return 1;
    }
    return 0;
}
