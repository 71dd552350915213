#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempTree.h"

extern char** environ;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs qvtool with arguments (no shell) and collects its output.
Result RunTool(const TempTree& tree, const std::vector<std::string>& args) {
    std::string outPath = tree.Path("out.txt"), errPath = tree.Path("err.txt");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> copy = args;
    std::string exe = QVTOOL_PATH;
    std::vector<char*> argv{exe.data()};
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
    r.err = ReadFile(errPath);
    return r;
}

}  // namespace

TEST(QvtoolPlugin, SendsTheTextFromTheProgramDirectory) {
    TempTree tree;
    std::filesystem::copy_file(ECHO_PLUGIN, tree.Path("bin/qvEchoPluginu.so"));
    Result r = RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\qvEchoPluginu.dll",
                              "svc@@@ECHO_STATUS=5@@@ECHO_CODE=1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "echo@@@LMQ_PLUGIN_RESPONSE_RETURN_CODE=1@@@LMQ_PLUGIN_RESPONSE_MESSAGE="
              "svc|ECHO_STATUS=5|ECHO_CODE=1|LMQ_PLUGIN_LOGPATHNAME_PARAMETER=..\\Log\\|"
              "LMQ_PLUGIN_LOGFILENAME_PARAMETER=QV.log|LMQ_PLUGIN_LOGLEVEL_PARAMETER=7|"
              "LMQ_PLUGIN_NBLOGFILE_PARAMETER=3|LMQ_PLUGIN_LOGSIZE_PARAMETER=3072");
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), "5\n");
}

TEST(QvtoolPlugin, ReferencePluginAndHostFailures) {
    TempTree tree;
    std::filesystem::copy_file(POINT_PLUGIN, tree.Path("bin/LMQPointServicePluginu.so"));
    Result w = RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\LMQPointServicePluginu.dll",
                              "WriteDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER="
                              "Ville@@@POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER=Nantes"});
    EXPECT_EQ(w.out.substr(w.out.find('\n') + 1), "0\n") << w.out << w.err;
    Result r = RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\LMQPointServicePluginu.dll",
                              "ReadDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER="
                              "Ville"});
    EXPECT_NE(r.out.find("LMQ_PLUGIN_RESPONSE_MESSAGE=Nantes"), std::string::npos) << r.out;
    EXPECT_NE(tree.Read("Log/1_QV.log").find("[PointServicePlugin]"), std::string::npos);

    Result missing = RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\absent.dll", "svc@@@a=1"});
    EXPECT_EQ(missing.out, "svc@@@a=1\n2\n");
    EXPECT_NE(missing.err.find("absent.so"), std::string::npos) << missing.err;
    Result unnamed = RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\absent.dll", ""});
    EXPECT_EQ(unnamed.out, "\n1\n");

    EXPECT_EQ(RunTool(tree, {"plugin", "--root", tree.Bin(), "only-one"}).status, 2);
    EXPECT_EQ(RunTool(tree, {"plugin", "--help"}).status, 0);
}
