#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/Text.h"
#include "clients/PointServiceClient.h"
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
        EXPECT_EQ(r.status, row.explained ? 3 : 0);
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

namespace {

bool HasLine(const std::string& text, const std::string& line) {
    for (const std::string& l : Lines(text))
        if (l == line)
            return true;
    return false;
}

}  // namespace

// A deployer learns from the help which requests the reference plug-ins take, without their
// sources: every service, and every field of the record with what may be done with it.
TEST(QvtoolPlugin, HelpListsTheServicesAndEveryField) {
    ProgramResult r = RunProgram(QVTOOL_PATH, {"plugin", "--help"});
    ASSERT_EQ(r.status, 0);
    for (const char* service :
         {"ReadDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER=FIELD",
          "POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER=VALUE", "getLmqPluginVersionService",
          ".\\LMQPointServicePluginu.dll", ".\\noxMiscPluginu.dll", "TestInternetService",
          "getFreeDiskSpaceService", "getFileSectionKeyService", "getPathInstallService"})
        EXPECT_NE(r.out.find(service), std::string::npos) << service;
    size_t fields = 0;
    for (const pointservice::Field& f : pointservice::kFields) {
        std::string line = std::string("  ") + f.name;
        line.resize(21, ' ');
        const bool read = f.read || std::string(f.name) == "LanguePays";
        line += std::string(read ? "r" : "-") + (f.write ? "w" : "-");
        EXPECT_TRUE(HasLine(r.out, line)) << line << "\n" << r.out;
        ++fields;
    }
    EXPECT_EQ(fields, 25u);
    // Fields that only the plug-in sets are not offered for writing.
    for (const char* line : {"  DateModif          r-", "  Ville              rw"})
        EXPECT_TRUE(HasLine(r.out, line)) << line;
}

// The whole record, one NAME=value a line, every field the client reads in the order of the
// record; line breaks of a value cannot split it.
TEST(QvtoolRecord, PrintsTheWholeRecord) {
    TempTree tree;
    std::filesystem::copy_file(POINT_PLUGIN, tree.Path("bin/LMQPointServicePluginu.so"));
    PointServiceClient client;
    client.SetLibraryPath(Widen(tree.Path("bin/LMQPointServicePluginu.so")));
    ASSERT_EQ(client.WriteVille(L"Li\u00e8ge"), 0);
    ASSERT_EQ(client.WriteAdresse(L"12 rue des Lilas\nB\u00e2timent C"), 0);
    ASSERT_EQ(client.WriteLanguePays(L"FR", L"BE"), 0);

    ProgramResult r = RunProgram(QVTOOL_PATH, {"record", "--root", tree.Bin()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    std::vector<std::string> names;
    for (const std::string& line : lines)
        names.push_back(line.substr(0, line.find('=')));
    std::vector<std::string> readable;
    for (const pointservice::Field& f : pointservice::kFields)
        if (f.read)
            readable.push_back(f.name);
    EXPECT_EQ(names, readable) << r.out;
    for (const char* line : {"Ville=Li\xC3\xA8ge", "Adresse=12 rue des Lilas\\nB\xC3\xA2timent C",
                             "Langue=FR", "Pays=BE", "LangueISO=fr", "CodeClient="})
        EXPECT_TRUE(HasLine(r.out, line)) << line << "\n" << r.out;
    std::wstring date;
    ASSERT_EQ(client.ReadDateModif(date), 0);
    EXPECT_TRUE(HasLine(r.out, "DateModif=" + Narrow(date))) << r.out;
    EXPECT_EQ(date.size(), 10u);
}

// A record that cannot be read is one line on stderr and nothing on stdout: half a record
// would pass for the record.
TEST(QvtoolRecord, AnUnreadableRecordPrintsNothing) {
    struct Row {
        const char* name;
        bool plugin;
        bool data;
        int status;
        const char* err;
    } rows[] = {
        {"no plug-in", false, true, 1,
         "cannot read CodeClient: Plug-in .\\LMQPointServicePluginu.dll not loaded"},
        {"no data folder", true, false, 1, "cannot read CodeClient (result 6): Storage failure"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempTree tree;
        if (row.plugin)
            std::filesystem::copy_file(POINT_PLUGIN, tree.Path("bin/LMQPointServicePluginu.so"));
        if (!row.data)
            std::filesystem::remove_all(tree.Path("data"));
        ProgramResult r = RunProgram(QVTOOL_PATH, {"record", "--root", tree.Bin()});
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind(std::string("qvtool record: ") + row.err, 0), 0u) << r.err;
    }
    EXPECT_EQ(RunProgram(QVTOOL_PATH, {"record", "extra"}).status, 2);
    EXPECT_EQ(RunProgram(QVTOOL_PATH, {"record", "--root", "/no/such/dir"}).status, 2);
    EXPECT_EQ(RunProgram(QVTOOL_PATH, {"record", "--help"}).status, 0);
}
