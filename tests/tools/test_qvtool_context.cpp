#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempTree.h"

extern char** environ;

namespace {

struct Result {
    int status = -1;
    std::string out;
};

// Runs qvtool with arguments (no shell) and collects its standard output.
Result RunTool(const std::vector<std::string>& args) {
    std::string outPath = "/tmp/qvtool-out-" + std::to_string(getpid());
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    std::string exe = QVTOOL_PATH;
    argv.push_back(exe.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    Result r;
    if (posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ) == 0) {
        int st = 0;
        waitpid(pid, &st, 0);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    posix_spawn_file_actions_destroy(&fa);
    r.out = ReadFile(outPath);
    std::filesystem::remove(outPath);
    return r;
}

}  // namespace

TEST(QvtoolContext, PrintsEveryPropertyOfTheModesTable) {
    TempTree tree;
    tree.Write("config/RW/RW_automate.ini",
               "[CONTEXT]\n1=LastEvent:INT:1\n2=Field:STRING:2\n3=Blob:VOID:1\n");
    Result r = RunTool({"context", "--root", tree.Bin(), "--mode", "RW"});
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
        Result r = RunTool({"context", "--root", tree.Bin(), "--mode", mode});
        EXPECT_EQ(r.status, 0) << mode;
        EXPECT_NE(r.out.find("LastEvent"), std::string::npos);
        EXPECT_EQ(r.out.find("stopped"), std::string::npos) << r.out;
    }
}
