// The shell's Qt-free rules: the screen name taken from Gui, the not-topmost screens, the
// Modal value and the choice of the shared-block number.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "app/FileSet.h"
#include "app/MemoryScan.h"
#include "app/ScreenName.h"
#include "automate/SharedMemory.h"
#include "platform/SharedMemory.h"
#include "tests/support/TempTree.h"

TEST(ScreenName, ReducesGuiToTheScreenName) {
    struct Case {
        const char* gui;
        const char* name;
    } cases[] = {
        {"..\\gui\\StateLanguage.gui", "StateLanguage"},
        {"C:\\screens\\dir.v2\\StateResult.gui", "StateResult"},
        {"StateLanguage", "StateLanguage"},
        {"StateLanguage.gui", "StateLanguage"},
        {"a.b.gui", "a.b"},
        // A backslash or dot in first place is kept.
        {"\\StateLanguage", "\\StateLanguage"},
        {".hidden", ".hidden"},
        {"..\\gui\\.gui", ".gui"},
        {"..\\gui\\", ""},
        {"", ""},
        // Forward slashes are not separators here.
        {"../gui/Screen.gui", "../gui/Screen"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScreenNameFromGui(c.gui), c.name) << c.gui;
}

TEST(ScreenName, OnlyTheFiveExactNamesAreNotTopmost) {
    for (const char* name :
         {"StateConfProxy", "StateQvInfoPdv", "StateInfo2", "StateInfo2b", "StateErrInfo2"})
        EXPECT_TRUE(IsNotTopmostScreen(name)) << name;
    for (const char* name : {"stateinfo2", "StateInfo2 ", "StateInfo", "StateLanguage", ""})
        EXPECT_FALSE(IsNotTopmostScreen(name)) << name;
}

TEST(ScreenName, OnlyExactlyFalseTurnsModalOff) {
    EXPECT_FALSE(IsModalValue("false"));
    for (const char* value : {"False", "FALSE", "true", "0", "", " false", "@1@"})
        EXPECT_TRUE(IsModalValue(value)) << value;
}

TEST(ModeAndFiles, SwitchesSelectTheReconfigurationFiles) {
    EXPECT_EQ(ModeFromCommandLine("/reconfig"), Mode::Reconfiguration);
    EXPECT_EQ(ModeFromCommandLine("-reconfig"), Mode::Reconfiguration);
    EXPECT_EQ(ModeFromCommandLine("-Reconfig"), Mode::Installation);
    EXPECT_EQ(ModeFromCommandLine(""), Mode::Installation);
}

TEST(MemoryScan, SkipsNumbersLiveRunsHoldAndTakesBackWhatKilledRunsLeft) {
    TempTree tree;
    EXPECT_EQ(FirstFreeMemoryNumber(), 0);
    platform::BackingFile live0, live1;
    ASSERT_TRUE(live0.CreateExclusive("QVMemoryFile0.def"));
    ASSERT_TRUE(live1.CreateExclusive("QVMemoryFile1.def"));
    EXPECT_EQ(FirstFreeMemoryNumber(), 2);
    EXPECT_EQ(MemoryFileName(FirstFreeMemoryNumber()), "QVMemoryFile2.def");
    EXPECT_EQ(MemoryKeyName(FirstFreeMemoryNumber()), "QVMemoryKey2.def");
    // A run in another tree holds the mapping of number 2 (no file here).
    platform::NamedMapping held;
    ASSERT_TRUE(held.CreateNew("QVMemoryFile2.def", 64));
    EXPECT_TRUE(MemoryNumberInUse(2));
    EXPECT_EQ(FirstFreeMemoryNumber(), 3);
    held.Close();
    EXPECT_FALSE(MemoryNumberInUse(2));
    // A gap is taken first.
    live0.Close();
    EXPECT_EQ(FirstFreeMemoryNumber(), 0);
    // A memory file nobody holds is a killed run's: free again (start-up removes it).
    tree.Write("bin/QVMemoryFile0.def", "");
    EXPECT_FALSE(MemoryNumberInUse(0));
}

TEST(MemoryScan, AKilledRunsBlockIsRemovedAndItsNumberReused) {
    TempTree tree;
    // The child creates file and block the way a run does, and dies without cleaning up.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto* block = new CAutomateSharedMemory("QVMemoryFile0.def");
        _exit(block->Create("QVMemoryFile0.def") == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(platform::ProbeMapping("QVMemoryFile0.def"), platform::MappingHolder::Dead);
    ASSERT_TRUE(tree.Exists("bin/QVMemoryFile0.def"));

    EXPECT_EQ(FirstFreeMemoryNumber(), 0);
    EXPECT_EQ(platform::ProbeMapping("QVMemoryFile0.def"), platform::MappingHolder::None);
    EXPECT_FALSE(std::filesystem::exists("/dev/shm/QVMemoryFile0.def"));
}

TEST(MemoryScan, ALiveBlockIsNeverReclaimed) {
    const std::string name = "qvtest-held-" + std::to_string(getpid());
    EXPECT_EQ(platform::ProbeMapping(name), platform::MappingHolder::None);
    EXPECT_FALSE(platform::ReclaimMapping(name));
    platform::NamedMapping owner;
    ASSERT_TRUE(owner.CreateNew(name, 64));
    EXPECT_EQ(platform::ProbeMapping(name), platform::MappingHolder::Live);
    EXPECT_FALSE(platform::ReclaimMapping(name));
    platform::NamedMapping reader;
    EXPECT_TRUE(reader.OpenExisting(name));
}
