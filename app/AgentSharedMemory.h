#pragma once
// The agent's shared block "JXAgentShareMemory" (2048 bytes): the agent publishes its state
// there; the wizard reads the running flag and the published text. Every accessor maps a fresh
// view and returns false when the block cannot be mapped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "automate/SharedMemory.h"

inline constexpr const char kAgentBlockName[] = "JXAgentShareMemory";
// The backing file the agent creates beside itself while it owns the block.
inline constexpr const char kAgentBackingFile[] = "JXAgentShareMemory.def";
// The save file of the two kept flags, relative to the program's directory.
inline constexpr const char kAgentSaveFile[] = "..\\data\\VEKSM.bin";

// One-byte flags, named by their offset in the block.
enum class AgentFlag : uint16_t {
    Flag0 = 0,
    Running = 1,  // non-zero while the agent runs
    Saved2 = 2,   // kept in the save file
    Saved325 = 325,
    Flag326 = 326,
    Flag481 = 481,
    Flag482 = 482,
    Flag1271 = 1271,
};

// NUL-terminated narrow texts, named by their offset; AgentTextSize gives the field's width.
enum class AgentText : uint16_t {
    Text3 = 3,
    Text36 = 36,
    Text69 = 69,
    Text327 = 327,
    Text381 = 381,
    Text431 = 431,
    Published = 483,  // the agent's published text
    Text739 = 739,
    Text743 = 743,
    Text759 = 759,
    Text1015 = 1015,
    Text1400 = 1400,
};

constexpr size_t AgentTextSize(AgentText t) {
    switch (t) {
        case AgentText::Text3:
        case AgentText::Text36:
            return 33;
        case AgentText::Text327:
        case AgentText::Text381:
        case AgentText::Text431:
            return 50;
        case AgentText::Text739:
            return 4;
        case AgentText::Text743:
            return 16;
        case AgentText::Text1400:
            return 9;
        case AgentText::Text69:
        case AgentText::Published:
        case AgentText::Text759:
        case AgentText::Text1015:
            return 256;
    }
    return 0;
}

class CAgentSharedMemory : public CSharedMemory {
  public:
    static constexpr size_t kBlockBytes = 2048;
    static constexpr size_t kIntOffset = 377;
    static constexpr size_t kListOffset = 1272;
    static constexpr size_t kListBytes = 128;

    explicit CAgentSharedMemory(const std::string& name = kAgentBlockName);

    // For the program that owns the block: 1 (true) only when a new, zeroed block was created;
    // the save file is then loaded into it and the running flag set. 0 (false) when a block of
    // that name exists already or creation fails.
    int Create(const std::string& backingFile) override;
    // A text that Create publishes before it sets the running flag, so that a reader never
    // sees a running agent without its text.
    void PublishOnCreate(std::string text) { createText_ = std::move(text); }
    // True when the block exists, is mapped and its running flag is set.
    bool Open() override;

    bool GetFlag(AgentFlag f);
    // Stores one byte; the two saved flags also write the save file.
    bool SetFlag(AgentFlag f, uint8_t value);
    bool ClearFlag(AgentFlag f) { return SetFlag(f, 0); }

    // Reads at most the field's width less one character.
    bool GetText(AgentText t, std::string& out);
    // Copies at most the field's width less one byte (cut on a UTF-8 boundary); the rest of the
    // field, its last byte included, is zero.
    bool SetText(AgentText t, std::string_view text);
    bool ClearText(AgentText t) { return SetText(t, {}); }

    bool GetInt(int32_t& out);
    bool SetInt(int32_t value);

    // The ";"-separated list of decimal numbers (128 bytes with its terminator). Append fails,
    // writing nothing, when the result would not fit.
    bool AppendNumber(int number);
    bool ClearList();
    bool GetList(std::string& out);

    bool GetAgentRunning() { return GetFlag(AgentFlag::Running); }
    bool SetAgentRunning(bool running) { return SetFlag(AgentFlag::Running, running ? 1 : 0); }
    bool GetPublishedText(std::string& out) { return GetText(AgentText::Published, out); }
    bool SetPublishedText(std::string_view text) { return SetText(AgentText::Published, text); }

    // The save file: 2048 bytes, zero but for the two saved flags. 1 when written, 2 when the
    // file or the block cannot be opened (the previous file is then left as it was).
    int SaveImage();
    // 1 when 2048 bytes were read and copied over the block, 0 when the file is shorter, 2 when
    // the file or the block cannot be opened.
    int LoadImage();

    const std::string& SaveFile() const { return saveFile_; }
    void SetSaveFile(const std::string& path) { saveFile_ = path; }

  private:
    // Maps a fresh view through the plain base Open (the running flag plays no part).
    unsigned char* Map();

    // While the base class works (Create), its calls of Open must reach the plain one.
    bool plainOpen_ = false;
    std::string saveFile_ = kAgentSaveFile;
    std::string createText_;
};
