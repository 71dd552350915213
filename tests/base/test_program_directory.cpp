#include <gtest/gtest.h>

#include "base/ProgramDirectory.h"
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
