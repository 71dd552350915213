#include <gtest/gtest.h>

#include "base/ProgramDirectory.h"
#include "base/Text.h"
#include "platform/Paths.h"
#include "tests/support/TempTree.h"

TEST(ProgramDirectory, IsTheExecutablesDirectory) {
    std::string exe = platform::ExecutablePath();
    EXPECT_EQ(GetProgramDirectory(), exe.substr(0, exe.rfind('/')));
}

TEST(ProgramDirectory, ReadProfileTextHasAnEmptyDefault) {
    TempTree tree;
    tree.Write("config/VEKplugins.ini", "[VEKFoundationServices]\nNbRetryRunNoxAgent=3\n");
    const std::string file = "..\\config\\VEKplugins.ini";
    EXPECT_EQ(ReadProfileText("VEKFoundationServices", "NbRetryRunNoxAgent", file), "3");
    EXPECT_EQ(ReadProfileText("VEKFoundationServices", "Missing", file), "");
    EXPECT_EQ(ReadProfileText("Nope", "NbRetryRunNoxAgent", "..\\config\\none.ini"), "");
    EXPECT_EQ(
        ReadProfileText(std::wstring(L"vekfoundationservices"), std::wstring(L"NBRETRYRUNNOXAGENT"),
                        std::wstring(L"../config/VEKplugins.ini")),
        L"3");
}

TEST(ProgramDirectory, KeepsCaseAndFollowsTheOverride) {
    TempTree tree;
    tree.Write("MixedCase/Bin/x", "");
    const std::string dir = tree.Path("MixedCase/Bin");
    platform::SetProgramDirectory(dir + "/");
    EXPECT_EQ(GetProgramDirectory(), dir);
    // Paths built on it reach files on a case-sensitive file system.
    tree.Write("MixedCase/config/a.ini", "[S]\nK=v\n");
    EXPECT_EQ(ReadProfileText("S", "K", GetProgramDirectory() + "\\..\\config\\a.ini"), "v");
    platform::SetProgramDirectory("");
    std::string exe = platform::ExecutablePath();
    EXPECT_EQ(GetProgramDirectory(), exe.substr(0, exe.rfind('/')));
}

TEST(ProgramDirectory, ReadProfileTextCutsAndKeepsCharacters) {
    TempTree tree;
    tree.Write("config/p.ini", "[S]\nLong=" + std::string(1500, 'x') +
                                   "\nText=Fran\xC3\xA7"
                                   "ais \xE2\x82\xAC\nEmpty=\n");
    const std::string file = "..\\config\\p.ini";
    EXPECT_EQ(ReadProfileText("S", "Long", file), std::string(1023, 'x'));
    EXPECT_EQ(ReadProfileText(std::wstring(L"S"), std::wstring(L"Long"), Widen(file)).size(),
              1023u);
    EXPECT_EQ(ReadProfileText("S", "Text", file),
              "Fran\xC3\xA7"
              "ais \xE2\x82\xAC");
    EXPECT_EQ(ReadProfileText(std::wstring(L"S"), std::wstring(L"Text"), Widen(file)),
              L"Fran\u00e7ais \u20ac");
    EXPECT_EQ(ReadProfileText("S", "Empty", file), "");
}
