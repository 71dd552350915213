// The agent's save file (data/VEKSM.bin), loaded over its block, and every field read back.
#include <unistd.h>

#include "app/AgentSharedMemory.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The block lives as long as the run and is removed at its end.
struct Block {
    Block() : memory("qvfuzz-agent-" + std::to_string(getpid())) {
        memory.SetSaveFile(fuzz::Tree() + "/data/VEKSM.bin");
        created = memory.Create(memory.Name() + ".def") == 1;
    }
    CAgentSharedMemory memory;
    bool created = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Block block;
    if (!block.created)
        __builtin_trap();
    fuzz::Put("data/VEKSM.bin", data, size);
    CAgentSharedMemory& m = block.memory;
    m.LoadImage();
    std::string text;
    for (AgentText t :
         {AgentText::Text3, AgentText::Text36, AgentText::Text69, AgentText::Text327,
          AgentText::Text381, AgentText::Text431, AgentText::Published, AgentText::Text739,
          AgentText::Text743, AgentText::Text759, AgentText::Text1015, AgentText::Text1400}) {
        m.GetText(t, text);
        if (text.size() >= AgentTextSize(t))
            __builtin_trap();
    }
    m.GetList(text);
    m.AppendNumber(static_cast<int>(size));
    int32_t value = 0;
    m.GetInt(value);
    m.GetAgentRunning();
    return 0;
}
