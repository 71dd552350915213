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

namespace {

// A reader (a wizard, the launcher) holds the block too, for the moment of one read; only a
// hold that outlasts several probes is an owner.
bool OwnedByAnother(const std::string& blockName, const std::string& backing) {
    constexpr int kProbes = 10;
    for (int i = 0; i < kProbes; ++i) {
        if (platform::ProbeMapping(blockName) != platform::MappingHolder::Live &&
            !platform::BackingFileHeld(backing))
            return false;
        usleep(20 * 1000);
    }
    return true;
}

// Whoever holds the block owns it, whatever its name; a block nobody holds was left by an
// agent that was killed: take it over.
bool TakeOver(std::unique_ptr<CAgentSharedMemory>& block, const std::string& blockName,
              const std::string& backing, const std::string& text) {
    constexpr int kAttempts = 5;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        block.reset();  // our own view would count as a holder
        if (OwnedByAnother(blockName, backing)) {
            std::fprintf(stderr, "noxAgent: another agent owns %s\n", blockName.c_str());
            return false;
        }
        // A reader may open the dead block between the probe and the reclaim: probe again.
        platform::ReclaimMapping(blockName);
        std::error_code ec;
        std::filesystem::remove(backing, ec);
        block = std::make_unique<CAgentSharedMemory>(blockName);
        block->PublishOnCreate(text);
        if (block->Create(backing))
            return true;
    }
    std::fprintf(stderr, "noxAgent: cannot create %s\n", blockName.c_str());
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
    auto block = std::make_unique<CAgentSharedMemory>(blockName);
    block->PublishOnCreate(text);
    if (!block->Create(backing) && !TakeOver(block, blockName, backing, text))
        return 1;

    int sig = 0;
    while (sigwait(&stop, &sig) != 0) {
    }

    block->SaveImage();
    block->SetAgentRunning(false);
    return 0;  // the block's destructor removes the object and the backing file
}
