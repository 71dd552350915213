#pragma once
// Makes sure the background agent runs and reads the text it publishes in its shared block.
// The launcher keeps no state: every check opens and closes its own view of the block, and it
// never creates the block (that is the agent's part).
#include <string>

#include "app/AgentSharedMemory.h"

// The block exists and its running flag is set. A block left by an agent that was killed still
// carries the flag, so it reads as running until the next agent takes it over.
bool IsAgentRunning(const std::string& blockName = kAgentBlockName);

// Starts the agent through its starter ("noxStart" beside the program, given the agent's path)
// up to "NbRetryRunNoxAgent" times, pausing "DelayRunNoxAgent" milliseconds after each launch,
// until the agent runs. Returns whether it runs at the end.
bool StartAgent(const std::string& blockName = kAgentBlockName);

// The agent's published text; empty when the agent does not run.
std::string GetAgentText(const std::string& blockName = kAgentBlockName);
