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
#include <memory>
#include <string>

#include "app/AgentSharedMemory.h"
#include "base/Text.h"
#include "platform/SharedMemory.h"

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
    auto block = std::make_unique<CAgentSharedMemory>(blockName);
    block->PublishOnCreate(text);
    if (!block->Create(backing)) {
        // Our own view would count as a holder.
        block.reset();
        // Whoever holds the block owns it, whatever its name; a block nobody holds was left
        // by an agent that was killed: take it over.
        if (platform::ProbeMapping(blockName) == platform::MappingHolder::Live ||
            platform::BackingFileHeld(backing)) {
            std::fprintf(stderr, "noxAgent: another agent owns %s\n", blockName.c_str());
            return 1;
        }
        platform::ReclaimMapping(blockName);
        std::error_code ec;
        std::filesystem::remove(backing, ec);
        block = std::make_unique<CAgentSharedMemory>(blockName);
        block->PublishOnCreate(text);
        if (!block->Create(backing)) {
            std::fprintf(stderr, "noxAgent: cannot create %s\n", blockName.c_str());
            return 1;
        }
    }

    int sig = 0;
    while (sigwait(&stop, &sig) != 0) {
    }

    block->SaveImage();
    block->SetAgentRunning(false);
    return 0;  // the block's destructor removes the object and the backing file
}
