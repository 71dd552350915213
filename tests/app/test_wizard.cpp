// The wizard as a process (offscreen) in a temporary runtime tree with the stand-in agent:
// start-up in both modes, the single copy, the agent, the block number, the title, and a clean
// end on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/AgentLauncher.h"
#include "app/AgentSharedMemory.h"
#include "platform/Process.h"
#include "platform/SharedMemory.h"
#include "tests/platform/ProcessTestSupport.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"

namespace fs = std::filesystem;

namespace {

constexpr int kStartMs = 20000;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

bool MappingExists(const std::string& name) {
    platform::NamedMapping m;
    return m.OpenExisting(name);
}

class WizardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* dir : {"config", "gui", "pictures", "data"})
            fs::copy(std::string(DIST_DIR) + "/" + dir, tree.Path(dir),
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        for (const char* program :
             {WIZARD_PATH, NOX_AGENT_PATH, NOX_START_PATH, SETUP_PLUGIN, MISC_PLUGIN, POINT_PLUGIN})
            CopyProgram(program, tree.Bin(), fs::path(program).filename().string());
        setenv("QV_DESKTOP_DIR", tree.Path("desktop").c_str(), 1);
        fs::create_directories(tree.Path("desktop"));
    }
    void TearDown() override {
        sweeper.Sweep();
        unsetenv("QV_DESKTOP_DIR");
        if (!ownsAgent)
            return;
        if (MappingExists(kAgentBlockName) && platform::CountProcesses("noxAgent") == 0)
            platform::RemoveOrphanedMapping(kAgentBlockName);
    }

    std::unique_ptr<platform::ChildProcess> Start(std::vector<std::string> args = {}) {
        auto p = std::make_unique<platform::ChildProcess>();
        args.insert(args.begin(), tree.Bin() + "/QuilvaneWizApp");
        EXPECT_EQ(p->Start(args, tree.Bin()), 0);
        return p;
    }
    std::string Log(const char* name = "1_QV.log") {
        return tree.Exists(std::string("Log/") + name) ? tree.Read(std::string("Log/") + name) : "";
    }
    bool WaitForLog(const std::string& line, const char* name = "1_QV.log", size_t count = 1) {
        return WaitFor([&] { return Count(Log(name), line) >= count; }, kStartMs);
    }
    // Ends a wizard the way the system asks a program to stop; returns its exit code.
    int Stop(platform::ChildProcess& p) {
        ::kill(p.Pid(), SIGTERM);
        if (!p.Wait(10000))
            return -1000;
        return p.ExitCode();
    }

    TempTree tree;
    ProcessSweeper sweeper{tree.Root()};
    bool ownsAgent = !MappingExists(kAgentBlockName);
};

TEST_F(WizardTest, InstallationModeShowsTheFirstScreenAndEndsCleanly) {
    auto wizard = Start();
    ASSERT_TRUE(WaitForLog("Screen shown : StateLanguage")) << Log();
    ASSERT_TRUE(WaitForLog("Window title")) << Log();
    std::string log = Log();
    // Nothing before the first screen waits on the desktop entry or the title's plug-in call.
    EXPECT_LT(log.find("Screen shown : StateLanguage"), log.find("Creation shortcut"));
    EXPECT_LT(log.find("Screen shown : StateLanguage"), log.find("Window title"));
    for (const char* line :
         {"[QVApp]  (DEBUG) Init Log", "[QVApp]  (DEBUG) Application Initialisation",
          "[QVApp]  (DEBUG) Creation shortcut : 0",
          "Searching Background in [Initialisation] of ..\\config\\QV\\QV_pictures.ini",
          "Using background ..\\pictures\\StateLanguage.png", "Switch View End",
          "Load Context : ..\\config\\QV\\QV_automate.ini"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_NE(log.find("[QVApp]  (DEBUG) Window title : VEK " QV_VERSION "\r\n"),
              std::string::npos);
    EXPECT_EQ(log.find("(ERR)"), std::string::npos) << log;
    EXPECT_TRUE(tree.Exists("desktop/Quilvane Setup.desktop"));
    EXPECT_FALSE(tree.Exists("Log/1_RW.log"));
    // Its block: the first free number.
    std::string block;
    for (int n = 0; n < 10 && block.empty(); ++n) {
        std::string name = "QVMemoryFile" + std::to_string(n) + ".def";
        if (tree.Exists("bin/" + name))
            block = name;
    }
    ASSERT_FALSE(block.empty());
    EXPECT_TRUE(MappingExists(block));

    EXPECT_EQ(Stop(*wizard), 0);
    log = Log();
    EXPECT_NE(log.find("Destroy MainFrame"), std::string::npos);
    EXPECT_LT(log.find("Release application"), log.find("[QVApp]  (DEBUG) Release Log"));
    EXPECT_FALSE(tree.Exists("bin/" + block));
    EXPECT_FALSE(MappingExists(block));
}

TEST_F(WizardTest, TheReconfigSwitchSelectsTheReconfigurationFiles) {
    struct Case {
        const char* arg;
        const char* log;
        const char* tag;
    } cases[] = {{"-reconfig", "1_RW.log", "[RWApp]"},
                 {"/reconfig", "1_RW.log", "[RWApp]"},
                 {"-Reconfig", "1_QV.log", "[QVApp]"}};
    for (const Case& c : cases) {
        fs::remove_all(tree.Path("Log"));
        fs::create_directories(tree.Path("Log"));
        fs::remove(tree.Path("desktop/Quilvane Setup.desktop"));
        auto wizard = Start({c.arg});
        ASSERT_TRUE(WaitForLog("Window title", c.log)) << c.arg;
        std::string log = Log(c.log);
        EXPECT_NE(log.find(std::string(c.tag) + "  (DEBUG) Application Initialisation"),
                  std::string::npos)
            << c.arg;
        bool reconfig = std::string(c.log) == "1_RW.log";
        EXPECT_EQ(log.find("Creation shortcut") == std::string::npos, reconfig) << c.arg;
        EXPECT_EQ(tree.Exists("desktop/Quilvane Setup.desktop"), !reconfig) << c.arg;
        if (reconfig) {
            EXPECT_NE(log.find("..\\config\\RW\\RW_automate.ini"), std::string::npos);
            EXPECT_NE(log.find("..\\config\\RW\\RW_pictures.ini"), std::string::npos);
        }
        EXPECT_EQ(Stop(*wizard), 0) << c.arg;
    }
}

TEST_F(WizardTest, ASecondCopyLeavesOnlyItsErrorLineAndExitsWithMinusOne) {
    auto first = Start();
    ASSERT_TRUE(WaitForLog("Screen shown : StateLanguage")) << Log();
    auto second = Start();
    ASSERT_TRUE(second->Wait(kStartMs));
    EXPECT_EQ(second->ExitCode(), 255);  // -1 as Linux reports it
    std::string log = Log();
    EXPECT_EQ(Count(log, "[QVApp]  (ERR) Application already running!! - Exit\r\n"), 1u);
    EXPECT_EQ(Count(log, "Init Log"), 2u);
    EXPECT_EQ(Count(log, "Application Initialisation"), 1u);
    EXPECT_EQ(Count(log, "Release application"), 0u);
    EXPECT_EQ(Stop(*first), 0);
}

TEST_F(WizardTest, MemoryFilesOfLiveRunsMoveTheBlockToTheNextNumber) {
    // Held the way a live run holds its memory files.
    platform::BackingFile live0, live1;
    ASSERT_TRUE(live0.CreateExclusive(tree.Path("bin/QVMemoryFile0.def")));
    ASSERT_TRUE(live1.CreateExclusive(tree.Path("bin/QVMemoryFile1.def")));
    auto wizard = Start();
    ASSERT_TRUE(WaitForLog("Screen shown : StateLanguage")) << Log();
    EXPECT_TRUE(tree.Exists("bin/QVMemoryFile2.def"));
    EXPECT_EQ(Stop(*wizard), 0);
    EXPECT_FALSE(tree.Exists("bin/QVMemoryFile2.def"));
    EXPECT_TRUE(tree.Exists("bin/QVMemoryFile0.def"));
    EXPECT_TRUE(tree.Exists("bin/QVMemoryFile1.def"));
}

TEST_F(WizardTest, AKilledRunsMemoryFileAndBlockAreTakenBack) {
    auto first = Start();
    ASSERT_TRUE(WaitForLog("Screen shown : StateLanguage")) << Log();
    ASSERT_TRUE(tree.Exists("bin/QVMemoryFile0.def"));
    ::kill(first->Pid(), SIGKILL);
    ASSERT_TRUE(first->Wait(kStartMs));
    ASSERT_TRUE(MappingExists("QVMemoryFile0.def"));  // what a killed run leaves

    auto second = Start();
    ASSERT_TRUE(WaitForLog("Screen shown : StateLanguage", "1_QV.log", 2)) << Log();
    EXPECT_EQ(Count(Log(), "[QVApp]  (WARNING) file mapping found and deleted\r\n"), 1u);
    EXPECT_TRUE(tree.Exists("bin/QVMemoryFile0.def"));
    EXPECT_FALSE(tree.Exists("bin/QVMemoryFile1.def"));
    EXPECT_EQ(Stop(*second), 0);
    EXPECT_FALSE(tree.Exists("bin/QVMemoryFile0.def"));
    EXPECT_FALSE(MappingExists("QVMemoryFile0.def"));
}

TEST_F(WizardTest, WithoutTheMiscellaneousPluginTheTitleIsVekAlone) {
    fs::remove(tree.Path("bin/noxMiscPluginu.so"));
    auto wizard = Start();
    ASSERT_TRUE(WaitForLog("Window title")) << Log();
    EXPECT_NE(Log().find("[QVApp]  (DEBUG) Window title : VEK \r\n"), std::string::npos);
    EXPECT_EQ(Stop(*wizard), 0);
}

TEST_F(WizardTest, NoAgentEndsTheStartWithMinusOne) {
    if (!ownsAgent && platform::CountProcesses("noxAgent") > 0)
        GTEST_SKIP() << "an agent of this machine runs";
    if (!ownsAgent)
        platform::RemoveOrphanedMapping(kAgentBlockName);
    fs::remove(tree.Path("bin/noxStart"));
    tree.Write("config/VEKplugins.ini",
               "[VEKFoundationServices]\nNbRetryRunNoxAgent=2\nDelayRunNoxAgent=50\n");
    auto wizard = Start();
    ASSERT_TRUE(wizard->Wait(kStartMs));
    EXPECT_EQ(wizard->ExitCode(), 255);
    std::string log = Log();
    EXPECT_NE(log.find("[QVApp]  (ERR) Cannot start noxAgent - Exit\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Application Initialisation"), std::string::npos);
}

}  // namespace

TEST_F(WizardTest, AStateTableWithoutStatesEndsTheStartWithAFailure) {
    for (const char* bytes : {"", "\xEF\xBB\xBF"}) {
        tree.Write("config/QV/QV_automate.ini", bytes);
        auto wizard = Start();
        ASSERT_TRUE(wizard->Wait(kStartMs));
        EXPECT_EQ(wizard->ExitCode(), 9);
        EXPECT_EQ(Count(Log(),
                        "(ERR) No state in ..\\config\\QV\\QV_automate.ini : the automaton "
                        "cannot run\r\n"),
                  1u)
            << Log();
        EXPECT_EQ(Count(Log(), "Screen shown"), 0u);
        std::filesystem::remove(tree.Path("Log/1_QV.log"));
    }
}

// A stop signal that comes before the handlers exist (here: pending from the first
// instruction on, as if sent while the libraries load) still ends the wizard cleanly.
TEST_F(WizardTest, AStopSignalDuringTheStartIsHandledNotFatal) {
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setsigmask(&attr, &term);
    std::string exe = tree.Bin() + "/QuilvaneWizApp";
    char* argv[] = {exe.data(), nullptr};
    pid_t pid = -1;
    std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(tree.Bin());
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), nullptr, &attr, argv, environ), 0);
    std::filesystem::current_path(cwd);
    posix_spawnattr_destroy(&attr);
    ::kill(pid, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 1000 && !ended; ++i) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended)
            usleep(10 * 1000);
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "the signal was never handled";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "signalled: " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

namespace {

// Unsets the variables that give the wizard a display, and puts them back.
struct NoDisplayEnvironment {
    NoDisplayEnvironment() {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    ~NoDisplayEnvironment() {
        for (size_t i = 0; i < saved.size(); ++i)
            if (saved[i])
                setenv(kNames[i], saved[i]->c_str(), 1);
    }
    static constexpr const char* kNames[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    std::vector<std::optional<std::string>> saved;
};

}  // namespace

// The usage text names every option and starts nothing, whatever else the line holds.
TEST_F(WizardTest, HelpPrintsEveryOptionAndStartsNothing) {
    NoDisplayEnvironment noDisplay;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"},
             {"-h"},
             {"-reconfig", "--answers", "../config/missing.ini", "-h"},
             {"--max-visits", "0", "--help"}}) {
        ProgramResult r = RunProgram(tree.Bin() + "/QuilvaneWizApp", args);
        SCOPED_TRACE(args.back());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind("usage: QuilvaneWizApp", 0), 0u) << r.out;
        for (const char* option :
             {"-reconfig", "--answers FILE", "--max-visits N", "--grab DIR", "--record FILE",
              "--record-secrets", "--help", "-platform", " 8 no display"})
            EXPECT_NE(r.out.find(option), std::string::npos) << option << "\n" << r.out;
    }
    EXPECT_FALSE(tree.Exists("Log/1_QV.log"));
    EXPECT_FALSE(tree.Exists("Log/1_RW.log"));
}

// Without a display a person could not see the wizard: one line says what to do instead of
// Qt's abort; an answer file or a display named on the line still starts it.
TEST_F(WizardTest, WithoutADisplayOnlyAnAnswerFileStartsIt) {
    NoDisplayEnvironment noDisplay;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{}, {"-reconfig"}, {"--max-visits", "2"}}) {
        ProgramResult r = RunProgram(tree.Bin() + "/QuilvaneWizApp", args);
        EXPECT_EQ(r.status, 8) << r.err;
        ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_NE(r.err.find("start it with a display"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--answers FILE"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(tree.Exists("Log/1_QV.log"));
    EXPECT_FALSE(tree.Exists("Log/1_RW.log"));

    // With an answer file it runs offscreen: the first screen is answered, the second has none.
    tree.Write("config/one.ini", "[Language]\nPush=English (United Kingdom)\n");
    ProgramResult r =
        RunProgram(tree.Bin() + "/QuilvaneWizApp", {"--answers", "../config/one.ini"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.out.find("screen StateLanguage\n"), std::string::npos) << r.out;
}

// Pictures go into the folder --grab names, made with its parents; one that cannot be made is
// one line before anything starts, not one line per screen.
TEST_F(WizardTest, TheGrabFolderIsMadeOrRefusedAtOnce) {
    tree.Write("config/one.ini", "[Language]\nPush=English (United Kingdom)\n");
    const std::string shots = tree.Path("shots/of/the run");
    ProgramResult made = RunProgram(tree.Bin() + "/QuilvaneWizApp",
                                    {"--answers", "../config/one.ini", "--grab", shots});
    EXPECT_EQ(made.status, 3) << made.err;
    EXPECT_TRUE(tree.Exists("shots/of/the run/01_StateLanguage.png")) << made.err;
    EXPECT_EQ(made.err.find("cannot save"), std::string::npos) << made.err;

    fs::remove_all(tree.Path("Log"));
    fs::create_directories(tree.Path("Log"));
    tree.Write("blocker", "a file where a folder would go");
    for (const std::string& dir : {tree.Path("blocker/shots"), tree.Path("blocker")}) {
        ProgramResult r = RunProgram(tree.Bin() + "/QuilvaneWizApp",
                                     {"--answers", "../config/one.ini", "--grab", dir});
        EXPECT_EQ(r.status, 2) << dir;
        ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("ERR state=- control=-: --grab " + dir + ": ", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(tree.Exists("Log/1_QV.log"));
}

namespace {

// A configuration with one state whose action is the test plug-in's service.
void WriteOneActionFlow(TempTree& tree, const std::string& service) {
    tree.Write("config/QV/QV_params.ini", "[DLLS]\n1=testActions.dll\n[PARAMS]\nModal=false\n");
    tree.Write("config/QV/QV_serv.xml",
               "<services><service><name>" + service +
                   "</name><component><name>Test</name><library-location>testActions.dll"
                   "</library-location></component></service></services>");
    // The shipped context definition, and states of its own.
    const std::string shipped = tree.Read("config/QV/QV_automate.ini");
    tree.Write("config/QV/QV_automate.ini",
               shipped.substr(0, shipped.find("\n[0]") + 1) +
                   "[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=" + service + "\nEvent_1=-1\n");
}

}  // namespace

// A configuration that cannot drive a run is a failure with its reason, attended and
// unattended, never a run that ends at once with status 0.
TEST_F(WizardTest, AConfigurationThatCannotRunIsAFailureThatSaysWhy) {
    const std::string params = tree.Read("config/QV/QV_params.ini");
    const std::string services = tree.Read("config/QV/QV_serv.xml");
    struct Row {
        const char* name;
        std::function<void()> spoil;
        const char* reason;
    } rows[] = {
        {"no setup plug-in", [&] { fs::remove(tree.Path("bin/setupActions.so")); },
         "setupActions.dll cannot be loaded: "},
        {"a plug-in that is not a library",
         [&] { tree.Write("bin/setupActions.so", "not a library"); },
         "setupActions.so: file too short"},
        {"junk service list", [&] { tree.Write("config/QV/QV_serv.xml", "<services"); },
         "the service list ..\\config\\QV\\QV_serv.xml cannot be read"},
        {"empty service list", [&] { tree.Write("config/QV/QV_serv.xml", "<services/>"); },
         "names no service"},
        {"no parameters file", [&] { fs::remove(tree.Path("config/QV/QV_params.ini")); },
         "The parameters file ..\\config\\QV\\QV_params.ini cannot be used: cannot open"},
        {"parameters over the limit",
         [&] { tree.Write("config/QV/QV_params.ini", params + std::string(8u << 20, ';')); },
         "larger than 8388608 bytes"},
    };
    for (const Row& row : rows) {
        for (bool unattended : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (unattended ? ", unattended" : ""));
            CopyProgram(SETUP_PLUGIN, tree.Bin(), "setupActions.so");
            tree.Write("config/QV/QV_params.ini", params);
            tree.Write("config/QV/QV_serv.xml", services);
            fs::remove(tree.Path("Log/1_QV.log"));
            row.spoil();
            std::vector<std::string> args;
            if (unattended)
                args = {"--answers", "../config/answers_installation.ini"};
            ProgramResult r = RunProgram(tree.Bin() + "/QuilvaneWizApp", args);
            EXPECT_EQ(r.status, 9) << r.err;
            EXPECT_NE(r.err.find(row.reason), std::string::npos) << r.err;
            EXPECT_NE(Log().find(row.reason), std::string::npos) << Log();
            EXPECT_EQ(Log().find("Screen shown : State"), std::string::npos);
        }
    }
}

// A plug-in's own exit is not one of the wizard's statuses: it is logged with the call's name.
// A run whose flow shows no screen is a failure.
TEST_F(WizardTest, APluginsExitAndARunWithoutAScreenAreNotSuccesses) {
    CopyProgram(std::string(TEST_PLUGIN_DIR) + "/testActions.so", tree.Bin(), "testActions.so");
    struct Row {
        const char* service;
        int status;
        const char* line;
    } rows[] = {
        {"Exit.3", 11,
         "The process was ended during the plug-in call RequestService of service Exit.3 in "
         "testActions.dll - Exit"},
        {"Exit.0", 11, "during the plug-in call RequestService of service Exit.0"},
        {"Event.1", 10, "(ERR) The run ended without showing a screen"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.service);
        WriteOneActionFlow(tree, row.service);
        fs::remove(tree.Path("Log/1_QV.log"));
        ProgramResult r = RunProgram(tree.Bin() + "/QuilvaneWizApp",
                                     {"--answers", "../config/answers_installation.ini"});
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_NE(Log().find(row.line), std::string::npos) << Log();
    }
}

// A stop signal reaches the wizard while a plug-in call never returns: after the grace period
// the process ends, naming the call, instead of ignoring the signal for ever.
TEST_F(WizardTest, AStopSignalEndsARunHeldByAPluginThatNeverReturns) {
    CopyProgram(std::string(TEST_PLUGIN_DIR) + "/testActions.so", tree.Bin(), "testActions.so");
    WriteOneActionFlow(tree, "Hang");
    auto wizard = Start();
    ASSERT_TRUE(WaitForLog("Request Service : Hang")) << Log();
    ::kill(wizard->Pid(), SIGTERM);
    ASSERT_TRUE(wizard->Wait(15000)) << "the stop signal was ignored";
    EXPECT_EQ(wizard->ExitCode(), 12);
    EXPECT_NE(Log().find("(ERR) Stop signal 15: the run did not end within 5 s, the plug-in call "
                         "RequestService of service Hang in testActions.dll was running - Exit"),
              std::string::npos)
        << Log();
}
