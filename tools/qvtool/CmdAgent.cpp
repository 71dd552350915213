// qvtool agent: tells whether the background agent runs and what it publishes; with --start it
// first makes sure the agent runs, as the wizard's start-up does.
#include <cstdio>
#include <string>

#include "app/AgentLauncher.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"

int CmdAgent(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {}, {"--start"});
    if (args.Has("--help")) {
        std::printf(
            "usage: qvtool agent [--root BINDIR] [--start]\n"
            "Prints whether the agent runs (its shared block \"%s\" carries the running flag\n"
            "and a live process holds it: a killed agent's block does not count) and the text\n"
            "it publishes. --start first starts it through noxStart with the\n"
            "retries and pause of config/VEKplugins.ini, as the wizard does.\n"
            "Status 0 when the agent runs, 1 when it does not.\n",
            kAgentBlockName);
        return 0;
    }
    if (!args.error.empty() || !args.positional.empty()) {
        std::fprintf(stderr, "qvtool agent: %s\n",
                     args.error.empty() ? "usage: qvtool agent [--root BINDIR] [--start]"
                                        : args.error.c_str());
        return kStatusUsage;
    }
    if (!EnterProgramDirectory(args))
        return kStatusUsage;

    if (args.Has("--start"))
        StartAgent();
    if (!IsAgentRunning()) {
        std::printf("agent: not running\n");
        return 1;
    }
    std::printf("agent: running\ntext: %s\n", GetAgentText().c_str());
    return 0;
}
