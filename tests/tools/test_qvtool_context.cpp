#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"

namespace {

ProgramResult RunTool(const std::vector<std::string>& args) {
    return RunProgram(QVTOOL_PATH, args);
}

}  // namespace

TEST(QvtoolContext, PrintsEveryPropertyOfTheModesTable) {
    TempTree tree;
    tree.Write("config/RW/RW_automate.ini",
               "[CONTEXT]\n1=LastEvent:INT:1\n2=Field:STRING:2\n3=Blob:VOID:1\n");
    ProgramResult r = RunTool({"context", "--root", tree.Bin(), "--mode", "RW"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("1     Field                              200 1"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("2     Field                              200 2"), std::string::npos);
    EXPECT_NE(r.out.find("3     Blob                               800 1"), std::string::npos);
    EXPECT_NE(r.out.find("4 properties"), std::string::npos);
    EXPECT_TRUE(tree.Exists("Log/1_RW.log"));
}

TEST(QvtoolContext, ReportsUnreadableFilesAndBadArguments) {
    TempTree tree;
    EXPECT_EQ(RunTool({"context", "--root", tree.Bin()}).status, 2);
    EXPECT_EQ(RunTool({"context", "--root", tree.Bin(), "--mode", "XX"}).status, 2);
    EXPECT_EQ(RunTool({"context", "--root", "/no/such/dir"}).status, 2);
    EXPECT_EQ(RunTool({"context", "--bogus"}).status, 2);
    EXPECT_EQ(RunTool({"nosuchcommand"}).status, 2);
    EXPECT_EQ(RunTool({"context", "--help"}).status, 0);
}

TEST(QvtoolContext, DemoTableLoads) {
    TempTree tree;
    std::filesystem::copy(DIST_DIR "/config", tree.Path("config"),
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    for (const char* mode : {"QV", "RW"}) {
        ProgramResult r = RunTool({"context", "--root", tree.Bin(), "--mode", mode});
        EXPECT_EQ(r.status, 0) << mode;
        EXPECT_NE(r.out.find("LastEvent"), std::string::npos);
        EXPECT_EQ(r.out.find("stopped"), std::string::npos) << r.out;
    }
}
