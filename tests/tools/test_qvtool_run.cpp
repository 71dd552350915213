#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"

namespace fs = std::filesystem;

namespace {

ProgramResult RunTool(const std::vector<std::string>& args) {
    return RunProgram(QVTOOL_PATH, args);
}

// A tree holding the shipped configuration with the demo plug-in's state table in QV, and both
// test plug-ins.
struct RunTree {
    RunTree() {
        fs::copy(DIST_DIR "/config", tree.Path("config"),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        for (const char* file : {"QV_automate.ini", "QV_serv.xml", "QV_params.ini"})
            fs::copy_file(std::string(DEMO_CONFIG_DIR "/") + file, tree.Path("config/QV/") + file,
                          fs::copy_options::overwrite_existing);
        fs::copy_file(DEMO_PLUGIN, tree.Bin() + "/demoActions.so");
        fs::copy_file(TEST_PLUGIN_DIR "/testActions.so", tree.Bin() + "/testActions.so");
    }
    // Replaces the QV demo with a table whose services the test plug-in provides.
    void Table(const std::string& states, const std::vector<std::string>& services) const {
        tree.Write("config/QV/QV_automate.ini",
                   "[CONTEXT]\n1=LastEvent:INT:1\n2=LastState:INT:1\n3=NextState:INT:1\n"
                   "4=Gui:STRING:1\n5=NameState:STRING:1\n6=Target:INT:1\n7=Name:STRING:2\n"
                   "8=Text:VOID:1\n9=Where:PTR:1\n" +
                       states);
        tree.Write("config/QV/QV_params.ini", "[DLLS]\n1=testActions.dll\n");
        std::string xml = "<services>";
        for (const auto& s : services) {
            xml += "<service><name>" + s +
                   "</name><component><name>T</name><library-location>testActions.dll"
                   "</library-location></component></service>";
        }
        tree.Write("config/QV/QV_serv.xml", xml + "</services>");
    }
    ProgramResult Run(const std::string& answers, std::vector<std::string> extra = {}) const {
        std::vector<std::string> args{"run", "--root", tree.Bin()};
        if (!answers.empty()) {
            tree.Write("answers.ini", answers);
            args.insert(args.end(), {"--answers", tree.Path("answers.ini")});
        }
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTool(args);
    }
    TempTree tree;
};

const char kDemoScreens[] =
    "screen StateLanguage state StateLanguage\nscreen StateResult state StateResult\n";

}  // namespace

// The shipped flows run to their end on the answers file, in a copy of the staged files.
TEST(QvtoolRun, ShippedFlowsRunToTheirEnd) {
    const std::string qv =
        "StateLanguage\nStateGuiAskKeyBoard\nStateCountryChoice\nStateInstallationTypeQV\n"
        "StateChoiceTradeMark\nStateChoicePC\nStateConnectRouterPC\nStateNetworkCheck\nStateConnect"
        "RouterPCVerif\n"
        "StateConfProxy\nStateInfo2\nStateQvInfoPdv\nStateSummary\n"
        // the five steps of the apply, each after its progress screen
        "StateApplying\nStateApplying\nStateApplying\nStateApplying\nStateApplying\nStateEnd3\n";
    const std::string rw =
        "StateLanguageR\nGeneralInfo\nStateConfProxy\nStateQvInfoPdv\nStateApplying\nStateApplying"
        "\n"
        "StateApplying\nStateEnd3\n";
    for (const auto& [mode, screens] : {std::pair{"QV", qv}, std::pair{"RW", rw}}) {
        TempTree tree;
        fs::copy(STAGE_BIN "/../config", tree.Path("config"), fs::copy_options::recursive);
        for (const char* p : {SETUP_PLUGIN, MISC_PLUGIN, POINT_PLUGIN})
            fs::copy_file(p, tree.Bin() + "/" + fs::path(p).filename().string());
        tree.Write("config/noxMiscPlugin.ini", "[TestInternet]\nURL.1=127.0.0.1:1\nTimeout=500\n");
        ProgramResult r = RunTool({"run", "--root", tree.Bin(), "--mode", mode, "--answers",
                                   tree.Path("config/demo_answers.ini")});
        EXPECT_EQ(r.status, 0) << mode << r.err;
        std::string shown;
        for (size_t at = r.out.find("screen "); at != std::string::npos;
             at = r.out.find("screen ", at + 1))
            shown += r.out.substr(at + 7, r.out.find(' ', at + 7) - at - 7) + "\n";
        EXPECT_EQ(shown, screens) << mode << r.out;
        EXPECT_TRUE(tree.Exists("data/target/etc/quilvane/setup-summary")) << mode;
    }
}

TEST(QvtoolRun, DemoOutcomes) {
    struct Row {
        const char* name;
        const char* answers;
        std::vector<std::string> extra;
        int status;
        std::string out;
        std::string err;  // part of standard error
    };
    const Row rows[] = {
        {"Answered",
         "[StateLanguage]\nSet.1=Langue=DE\nEvent=1\n[stateresult]\nEvent=1\n",
         {},
         0,
         kDemoScreens,
         ""},
        {"LeftAtOnce",
         "[StateLanguage]\nEvent=2\n",
         {},
         0,
         "screen StateLanguage state StateLanguage\n",
         ""},
        {"NoAnswerFile",
         "",
         {},
         3,
         "screen StateLanguage state StateLanguage\n",
         "no answer for screen StateLanguage"},
        {"NoSection",
         "[StateLanguage]\nEvent=1\nSet.1=Langue=FR\n",
         {},
         3,
         kDemoScreens,
         "no answer for screen StateResult"},
        {"Loops",
         "[StateLanguage]\nEvent=1\n",
         {"--max-steps", "7"},
         4,
         "",
         "stopped after 7 transitions"},
        {"UnknownProperty", "[StateLanguage]\nSet.1=Nope=1\nEvent=1\n", {}, 2, "", "Nope"},
        {"NotANumber", "[StateLanguage]\nSet.1=TypeInstall=x\nEvent=1\n", {}, 2, "", "number"},
        {"BadEvent", "[StateLanguage]\nEvent=one\n", {}, 2, "", "Event is not a number"},
        {"BadSet", "[StateLanguage]\nSet.1=Langue\nEvent=1\n", {}, 2, "", "Name=Value"},
    };
    for (const Row& row : rows) {
        RunTree t;
        ProgramResult r = t.Run(row.answers, row.extra);
        EXPECT_EQ(r.status, row.status) << row.name << ": " << r.err;
        if (!row.out.empty()) {
            EXPECT_EQ(r.out, row.out) << row.name;
        }
        EXPECT_NE(r.err.find(row.err), std::string::npos) << row.name << ": " << r.err;
        // The run leaves no memory file behind.
        EXPECT_FALSE(t.tree.Exists("bin/QVMemoryFile0.def")) << row.name;
    }
}

TEST(QvtoolRun, AnswersSetPropertiesByTheirSize) {
    RunTree t;
    t.Table(
        "[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Screen.One\nEvent_1=${Target}\n"
        "[3]\nActionToRun=Screen.Three\nEvent_1=-1\n",
        {"Screen.One", "Screen.Three"});
    ProgramResult r = t.Run(
        "[One]\nSet.1=Target=3\nSet.2=Name#2=second\nSet.3=Text=\xC3\xA9t\xC3\xA9\nEvent=1\n"
        "[Three]\nEvent=1\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "screen One state One\nscreen Three state Three\n");
    std::string log = t.tree.Read("Log/1_QV.log");
    EXPECT_NE(log.find("(DEBUG) Set [Name] STRING = second"), std::string::npos);
    EXPECT_NE(log.find("(DEBUG) Set [Text] VOID"), std::string::npos);

    for (const char* bad :
         {"Set.1=Name#3=x", "Set.1=Name#0=x", "Set.1=Where=1", "Set.1=Target=99999999999"}) {
        ProgramResult b = t.Run(std::string("[One]\nEvent=1\n") + bad + "\n");
        EXPECT_EQ(b.status, 2) << bad << ": " << b.err;
    }
}

TEST(QvtoolRun, GuiIsReducedToAScreenName) {
    struct Row {
        const char* gui;
        const char* screen;
    };
    const Row rows[] = {
        {"C:\\\\screens\\\\StateLanguage.gui", "StateLanguage"},
        {"Plain", "Plain"},
        {"a.b.c", "a.b"},
        {".hidden", ".hidden"},
        {"\\Top", "\\Top"},
        {"dir\\\\Two", "Two"},
    };
    for (const Row& row : rows) {
        RunTree t;
        std::string service = std::string("Gui.") + row.gui;
        t.Table("[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=" + service + "\nEvent_1=-1\n",
                {service});
        ProgramResult r = t.Run(std::string("[") + row.screen + "]\nEvent=1\n");
        EXPECT_EQ(r.status, 0) << row.gui << ": " << r.err;
        EXPECT_EQ(r.out, std::string("screen ") + row.screen + " state raw\n") << row.gui;
    }
}

TEST(QvtoolRun, StateThatWaitsForeverIsReported) {
    RunTree t;
    t.Table("[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=Noop\nEvent_1=-1\n", {"Noop"});
    ProgramResult r = t.Run("[X]\nEvent=1\n");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("state 1 waits for an event"), std::string::npos) << r.err;
}

TEST(QvtoolRun, UnusableArguments) {
    RunTree t;
    const std::vector<std::vector<std::string>> rows = {
        {"run", "--root", t.tree.Bin(), "--mode", "XX"},
        {"run", "--root", t.tree.Bin(), "--max-steps", "0"},
        {"run", "--root", t.tree.Bin(), "--max-steps", "ten"},
        {"run", "--root", t.tree.Bin(), "--answers", "/no/such/answers.ini"},
        {"run", "--root", "/no/such/dir"},
        {"run", "--root", t.tree.Bin(), "extra"},
    };
    for (const auto& args : rows) {
        ProgramResult r = RunTool(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_FALSE(r.err.empty());
    }
    fs::remove(t.tree.Path("config/QV/QV_automate.ini"));
    EXPECT_EQ(RunTool({"run", "--root", t.tree.Bin()}).status, 2);
    EXPECT_EQ(RunTool({"run", "--help"}).status, 0);
}

// A table that defines no state cannot have run: an ERR line and status 2, as for a missing
// file, never "0 states" followed by a successful end.
TEST(QvtoolRun, ATableWithoutStatesIsAFailure) {
    struct Row {
        const char* name;
        std::string bytes;
    };
    const std::string big =
        "[CONTEXT]\n1=LastEvent:INT:1\n[0]\nActionToRun=x\n" + std::string(65 * 1024 * 1024, ';');
    const Row rows[] = {
        {"empty", ""},
        {"byte-order mark alone", "\xEF\xBB\xBF"},
        {"UTF-16 without its mark", std::string("[\0"
                                                "0\0]\0\n\0",
                                                8)},
        {"UTF-16 big-endian", std::string("\xFE\xFF\0[\0"
                                          "0\0]",
                                          8)},
        {"comments only", "; nothing\n[CONTEXT]\n1=LastEvent:INT:1\n"},
        {"over the size limit", big},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RunTree t;
        t.tree.Write("config/QV/QV_automate.ini", row.bytes);
        ProgramResult r = t.Run(kDemoScreens);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("qvtool run: no state in "), std::string::npos) << r.err;
        std::string log = t.tree.Read("Log/1_QV.log");
        EXPECT_NE(log.find("(INFO) 0 \xC3\xA9tats dans l'automate\r\n"), std::string::npos);
        EXPECT_NE(log.find("(ERR) No state in ..\\config\\QV\\QV_automate.ini : the automaton "
                           "cannot run\r\n"),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("Run of the Automate"), std::string::npos);
    }
}

// What a run creates in Log/ and data/ is the owner's alone, whatever the umask.
TEST(QvtoolRun, AFreshRunsLogAndDataFilesAreOwnerOnly) {
    RunTree t;
    fs::copy_file(POINT_PLUGIN, t.tree.Bin() + "/LMQPointServicePluginu.so");
    mode_t old = umask(0);
    ProgramResult r = t.Run("[StateLanguage]\nSet.1=Langue=FR\nEvent=1\n[StateResult]\nEvent=1\n");
    ProgramResult w =
        RunTool({"plugin", "--root", t.tree.Bin(), ".\\LMQPointServicePluginu.dll",
                 "WriteDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER="
                 "Ville@@@POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER=Nantes"});
    umask(old);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(w.status, 0) << w.err;
    size_t files = 0;
    for (const char* dir : {"Log", "data"}) {
        for (const auto& entry : fs::directory_iterator(t.tree.Path(dir))) {
            struct stat st {};
            ASSERT_EQ(stat(entry.path().c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u) << entry.path();
            ++files;
        }
    }
    EXPECT_GE(files, 2u);
    EXPECT_TRUE(t.tree.Exists("data/LMQPointService.db"));
}

// The wizard's answer file given to qvtool run is one line naming the wizard, before anything
// runs; a file that holds one key of qvtool run's own is taken as it is.
TEST(QvtoolRun, RefusesTheWizardsAnswerFile) {
    struct Row {
        const char* name;
        std::string answers;
        bool refused;
    } rows[] = {
        {"the demo's", ReadFile(DIST_DIR "/config/answers_installation.ini"), true},
        {"a control ID", "[StateLanguage]\n1100=x\n", true},
        {"Push and Leave", "[StateLanguage]\npush=1007\nLEAVE=F3\n", true},
        {"with an Event", "[StateLanguage]\nPush=1007\nEvent=1\n[StateResult]\nEvent=1\n", false},
        {"with a Set", "[StateLanguage]\n1100=x\nset.1=Langue=DE\n", false},
        {"no keys", "[StateLanguage]\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RunTree t;
        ProgramResult r = t.Run(row.answers);
        const bool told = r.err.find("this answer file is for the wizard") != std::string::npos;
        EXPECT_EQ(told, row.refused) << r.err;
        if (!row.refused)
            continue;
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "qvtool run: " + t.tree.Path("answers.ini") +
                             ": this answer file is for the wizard (`QuilvaneWizApp --answers`: "
                             "control IDs, Push=, Leave=); `qvtool run` takes Event= and Set.N= "
                             "keys\n");
        EXPECT_FALSE(t.tree.Exists("Log/1_QV.log"));
    }
}
