#include "app/AgentLauncher.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/ProgramDirectory.h"
#include "base/Text.h"
#include "platform/Process.h"
#include "platform/SharedMemory.h"

bool IsAgentRunning(const std::string& blockName) {
    bool flag = false;
    {
        CAgentSharedMemory block(blockName);
        flag = block.Open() && block.GetAgentRunning();
        block.Unmap();  // our own view would count as a holder
    }
    // A killed agent leaves its running flag set: it runs only while a process holds its block.
    return flag && platform::ProbeMapping(blockName) == platform::MappingHolder::Live;
}

bool StartAgent(const std::string& blockName) {
    if (IsAgentRunning(blockName))
        return true;
    const std::string dir = GetProgramDirectory();
    const std::string starter = "\"" + dir + "\\noxStart.exe\"";
    const std::string agent = "\"" + dir + "\\noxAgent.exe\"";
    const std::string settings = dir + "\\..\\config\\VEKplugins.ini";
    const int retries =
        ParseDecimal(ReadProfileText("VEKFoundationServices", "NbRetryRunNoxAgent", settings));
    int delay =
        ParseDecimal(ReadProfileText("VEKFoundationServices", "DelayRunNoxAgent", settings));
    if (delay < 0)
        delay = 0;

    bool running = false;
    for (int attempt = 1; attempt <= retries && !running; ++attempt) {
        // A starter that cannot be launched shows up as an agent that does not run.
        platform::ShellStart("open", starter, agent, dir);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        running = IsAgentRunning(blockName);
    }
    return running;
}

std::string GetAgentText(const std::string& blockName) {
    if (!IsAgentRunning(blockName))
        return {};
    CAgentSharedMemory block(blockName);
    std::string text;
    if (!block.GetPublishedText(text))
        return {};
    return text;
}
