// The shell's Qt-free rules: the screen name taken from Gui, the not-topmost screens, the
// Modal value and the choice of the shared-block number.
#include <gtest/gtest.h>

#include <unistd.h>

#include "app/FileSet.h"
#include "app/MemoryScan.h"
#include "app/ScreenName.h"
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

TEST(MemoryScan, SkipsExistingFilesAndMappingsHeldElsewhere) {
    TempTree tree;
    EXPECT_EQ(FirstFreeMemoryNumber(), 0);
    tree.Write("bin/QVMemoryFile0.def", "");
    tree.Write("bin/QVMemoryFile1.def", "");
    EXPECT_EQ(FirstFreeMemoryNumber(), 2);
    EXPECT_EQ(MemoryFileName(FirstFreeMemoryNumber()), "QVMemoryFile2.def");
    EXPECT_EQ(MemoryKeyName(FirstFreeMemoryNumber()), "QVMemoryKey2.def");
    // A run in another tree holds the mapping of number 2 (no file here).
    platform::NamedMapping held;
    if (held.CreateNew("QVMemoryFile2.def", 64)) {
        EXPECT_TRUE(MemoryNumberInUse(2));
        EXPECT_EQ(FirstFreeMemoryNumber(), 3);
        held.Close();
    }
    EXPECT_FALSE(MemoryNumberInUse(2));
    // A gap is taken first.
    unlink("QVMemoryFile0.def");
    EXPECT_EQ(FirstFreeMemoryNumber(), 0);
}
