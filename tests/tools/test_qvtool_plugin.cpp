#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"

namespace {

ProgramResult RunTool(const TempTree&, const std::vector<std::string>& args) {
    return RunProgram(QVTOOL_PATH, args);
}

}  // namespace

TEST(QvtoolPlugin, SendsTheTextFromTheProgramDirectory) {
    TempTree tree;
    std::filesystem::copy_file(ECHO_PLUGIN, tree.Path("bin/qvEchoPluginu.so"));
    ProgramResult r = RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\qvEchoPluginu.dll",
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
    ProgramResult w =
        RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\LMQPointServicePluginu.dll",
                       "WriteDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER="
                       "Ville@@@POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER=Nantes"});
    EXPECT_EQ(w.out.substr(w.out.find('\n') + 1), "0\n") << w.out << w.err;
    ProgramResult r =
        RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\LMQPointServicePluginu.dll",
                       "ReadDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER="
                       "Ville"});
    EXPECT_NE(r.out.find("LMQ_PLUGIN_RESPONSE_MESSAGE=Nantes"), std::string::npos) << r.out;
    EXPECT_NE(tree.Read("Log/1_QV.log").find("[PointServicePlugin]"), std::string::npos);

    ProgramResult missing =
        RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\absent.dll", "svc@@@a=1"});
    EXPECT_EQ(missing.out, "svc@@@a=1\n2\n");
    EXPECT_NE(missing.err.find("absent.so"), std::string::npos) << missing.err;
    ProgramResult unnamed = RunTool(tree, {"plugin", "--root", tree.Bin(), ".\\absent.dll", ""});
    EXPECT_EQ(unnamed.out, "\n1\n");

    EXPECT_EQ(RunTool(tree, {"plugin", "--root", tree.Bin(), "only-one"}).status, 2);
    EXPECT_EQ(RunTool(tree, {"plugin", "--help"}).status, 0);
}

// Results 1 to 4 are both the host's failures and codes plug-ins answer: only the host's are
// explained, on standard error and in the log.
TEST(QvtoolPlugin, HostFailuresAreToldApartFromThePluginsOwnCodes) {
    TempTree tree;
    std::filesystem::copy_file(ECHO_PLUGIN, tree.Path("bin/qvEchoPluginu.so"));
    std::filesystem::copy_file(NORELEASE_PLUGIN, tree.Path("bin/qvNoReleasePluginu.so"));
    std::filesystem::copy_file(POINT_PLUGIN, tree.Path("bin/LMQPointServicePluginu.so"));
    struct Row {
        const char* library;
        const char* request;
        const char* result;
        const char* explained;  // null: the plug-in answered, nothing to explain
    };
    const Row rows[] = {
        {".\\qvEchoPluginu.dll", "svc@@@ECHO_STATUS=4", "4", nullptr},
        {".\\qvEchoPluginu.dll", "svc@@@ECHO_STATUS=2", "2", nullptr},
        {".\\qvEchoPluginu.dll", "svc@@@ECHO_STATUS=1", "1", nullptr},
        {".\\LMQPointServicePluginu.dll",
         "WriteDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER=DateModif"
         "@@@POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER=x",
         "4", nullptr},
        {".\\qvNoReleasePluginu.dll", "svc", "4",
         "Initialize, RequestService or Release is not exported"},
        {".\\absent.dll", "svc", "2", "not loaded"},
        {".\\absent.dll", "", "1", "without a service name"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.library) + " " + row.request);
        ProgramResult r = RunTool(tree, {"plugin", "--root", tree.Bin(), row.library, row.request});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1),
                  row.result + std::string("\n"))
            << r.out;
        if (row.explained) {
            EXPECT_NE(r.err.find(row.explained), std::string::npos) << r.err;
            EXPECT_NE(tree.Read("Log/1_QV.log").find(std::string("[qvtool]  (ERR) ")),
                      std::string::npos);
        } else {
            EXPECT_EQ(r.err, "");
        }
    }
}
