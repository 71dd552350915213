// The X-driven suite runs in namespaces of its own: its processes (the wizard counts its own
// copies machine-wide), its /dev/shm (the agent's and the automaton's shared blocks), its /tmp
// (the X server's socket and lock) and its network.
#include <cstdio>
#include <cstring>

#include "base/Text.h"
#include "tests/support/OwnNamespaces.h"

int main(int argc, char** argv) {
    InitLocale();
    // The private /tmp would hide a build that lives under /tmp.
    for (const char* dir : {STAGE_DIR, SOURCE_DIR, BINARY_DIR}) {
        if (std::strncmp(dir, "/tmp/", 5) == 0) {
            std::fprintf(stderr,
                         "x11 suite: %s lies under /tmp, which the suite replaces with a private "
                         "one; build outside /tmp to run it\n",
                         dir);
            return 77;  // CTest's "skipped"
        }
    }
    return tests::RunInOwnNamespaces(
        argc, argv,
        {.privateTmp = true, .privateNetwork = true, .required = true, .label = "x11 suite"});
}
