// noxAgent: the stand-in background agent. It owns the shared block "JXAgentShareMemory":
// creates it (restoring the save file, setting the running flag), publishes its name and
// version, and stays up until SIGTERM, SIGINT or SIGHUP; it then saves the image, clears the
// running flag and removes the block.
//
// Options (for tests and demonstrations): --block NAME, --text TEXT.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/AgentSharedMemory.h"
#include "base/Text.h"
#include "platform/Process.h"
#include "platform/SharedMemory.h"

namespace {

// Another live agent, not this one.
bool OtherAgentRuns() {
    std::vector<platform::ProcessEntry> table;
    if (!platform::ListProcesses(table))
        return false;
    for (const auto& p : table) {
        if (p.pid != getpid() && platform::ExecutableNameMatches("noxAgent", p.name))
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    std::string blockName = kAgentBlockName;
    std::string text = std::string("noxAgent ") + QV_VERSION;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--block") == 0 && i + 1 < argc) {
            blockName = argv[++i];
        } else if (std::strcmp(argv[i], "--text") == 0 && i + 1 < argc) {
            text = argv[++i];
        } else {
            std::fprintf(stderr, "usage: noxAgent [--block NAME] [--text TEXT]\n");
            return 2;
        }
    }

    // The stop signals are taken with sigwait, never by a handler.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    const std::string backing = blockName + ".def";
    CAgentSharedMemory block(blockName);
    block.PublishOnCreate(text);
    if (!block.Create(backing)) {
        if (OtherAgentRuns()) {
            std::fprintf(stderr, "noxAgent: another agent owns %s\n", blockName.c_str());
            return 1;
        }
        // Left behind by an agent that was killed: take it over.
        platform::RemoveOrphanedMapping(blockName);
        std::error_code ec;
        std::filesystem::remove(backing, ec);
        if (!block.Create(backing)) {
            std::fprintf(stderr, "noxAgent: cannot create %s\n", blockName.c_str());
            return 1;
        }
    }

    int sig = 0;
    while (sigwait(&stop, &sig) != 0) {
    }

    block.SaveImage();
    block.SetAgentRunning(false);
    return 0;  // the block's destructor removes the object and the backing file
}
