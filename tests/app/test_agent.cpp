#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/AgentLauncher.h"
#include "app/AgentSharedMemory.h"
#include "platform/Paths.h"
#include "platform/SharedMemory.h"
#include "tests/platform/ProcessTestSupport.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"

namespace {

std::string UniqueName() {
    static int n = 0;
    return "qvtest-agent-" + std::to_string(getpid()) + "-" + std::to_string(++n);
}

bool BlockExists(const std::string& name) {
    platform::NamedMapping m;
    return m.OpenExisting(name);
}

bool NoxAgentRuns() {
    return platform::CountProcesses("noxAgent") > 0;
}

// Environment for the fake starter, restored afterwards.
struct StarterEnv {
    StarterEnv(const std::string& block, int upAt) {
        setenv("QV_HELPER_BLOCK", block.c_str(), 1);
        setenv("QV_HELPER_UP_AT", std::to_string(upAt).c_str(), 1);
    }
    ~StarterEnv() {
        unsetenv("QV_HELPER_BLOCK");
        unsetenv("QV_HELPER_UP_AT");
    }
};

// The program directory of a test tree, restored afterwards.
struct ProgramDir {
    explicit ProgramDir(const std::string& dir) { platform::SetProgramDirectory(dir); }
    ~ProgramDir() { platform::SetProgramDirectory(""); }
};

void WriteSettings(const TempTree& tree, int retries, int delayMs) {
    tree.Write("config/VEKplugins.ini",
               "[VEKFoundationServices]\nNbRetryRunNoxAgent=" + std::to_string(retries) +
                   "\nDelayRunNoxAgent=" + std::to_string(delayMs) + "\n");
}

// The block of the fixed name is the machine's: a leftover without a live agent is removed;
// with one, the test cannot run. The guard ends our agents and never leaves the block behind.
struct FixedBlockGuard {
    explicit FixedBlockGuard(const TempTree& tree) : sweeper(tree.Root()) {}
    ~FixedBlockGuard() {
        sweeper.Sweep();
        if (BlockExists(kAgentBlockName) && !NoxAgentRuns())
            platform::RemoveOrphanedMapping(kAgentBlockName);
    }
    static bool Claim() {
        if (!BlockExists(kAgentBlockName))
            return true;
        if (NoxAgentRuns())
            return false;
        return platform::RemoveOrphanedMapping(kAgentBlockName);
    }
    ProcessSweeper sweeper;
};

ProgramResult RunQvtool(const std::vector<std::string>& args) {
    return RunProgram(QVTOOL_PATH, args);
}

}  // namespace

TEST(AgentBlock, CreateOwnsANewBlockAndSetsTheRunningFlag) {
    TempTree tree;
    const std::string name = UniqueName();
    {
        CAgentSharedMemory owner(name);
        EXPECT_FALSE(owner.Open());  // does not exist yet
        EXPECT_FALSE(owner.GetFlag(AgentFlag::Flag0));
        EXPECT_FALSE(owner.SetText(AgentText::Published, "x"));
        EXPECT_EQ(owner.Create(name + ".def"), 1);
        EXPECT_TRUE(tree.Exists("bin/" + name + ".def"));
        EXPECT_TRUE(owner.GetAgentRunning());
        EXPECT_EQ(owner.LoadImage(), 2);  // no save file: the block stays as it was

        CAgentSharedMemory second(name);
        EXPECT_EQ(second.Create(name + ".def"), 0);  // exists already
        EXPECT_TRUE(second.Open());
        EXPECT_TRUE(IsAgentRunning(name));
        EXPECT_TRUE(owner.SetPublishedText("agent 1.0"));
        EXPECT_EQ(GetAgentText(name), "agent 1.0");

        EXPECT_TRUE(owner.SetAgentRunning(false));
        EXPECT_FALSE(second.Open());
        EXPECT_FALSE(IsAgentRunning(name));
        EXPECT_EQ(GetAgentText(name), "");
        // The accessors work whatever the flag says.
        EXPECT_TRUE(second.SetText(AgentText::Text3, "still"));
    }
    EXPECT_FALSE(BlockExists(name));
    EXPECT_FALSE(tree.Exists("bin/" + name + ".def"));
    EXPECT_FALSE(IsAgentRunning(name));
}

TEST(AgentBlock, FieldsKeepToTheirPlaceAndWidth) {
    TempTree tree;
    const std::string name = UniqueName();
    CAgentSharedMemory block(name);
    ASSERT_EQ(block.Create(name + ".def"), 1);
    const AgentText texts[] = {AgentText::Text3,     AgentText::Text36,   AgentText::Text69,
                               AgentText::Text327,   AgentText::Text381,  AgentText::Text431,
                               AgentText::Published, AgentText::Text739,  AgentText::Text743,
                               AgentText::Text759,   AgentText::Text1015, AgentText::Text1400};
    const AgentFlag flags[] = {AgentFlag::Flag0, AgentFlag::Flag326, AgentFlag::Flag481,
                               AgentFlag::Flag482, AgentFlag::Flag1271};
    // Every text filled beyond its width with its own letter: each keeps width - 1 letters and
    // none spills into its neighbour.
    char letter = 'a';
    for (AgentText t : texts)
        ASSERT_TRUE(block.SetText(t, std::string(300, letter++)));
    for (AgentFlag f : flags)
        ASSERT_TRUE(block.SetFlag(f, 0xff));
    ASSERT_TRUE(block.SetInt(-123456));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(block.AppendNumber(i * 7 - 1));
    letter = 'a';
    for (AgentText t : texts) {
        std::string got;
        ASSERT_TRUE(block.GetText(t, got));
        EXPECT_EQ(got, std::string(AgentTextSize(t) - 1, letter++)) << static_cast<int>(t);
    }
    for (AgentFlag f : flags)
        EXPECT_TRUE(block.GetFlag(f));
    EXPECT_TRUE(block.GetAgentRunning());
    EXPECT_FALSE(block.GetFlag(AgentFlag::Saved2));
    EXPECT_FALSE(block.GetFlag(AgentFlag::Saved325));
    int32_t v = 0;
    ASSERT_TRUE(block.GetInt(v));
    EXPECT_EQ(v, -123456);
    std::string list;
    ASSERT_TRUE(block.GetList(list));
    EXPECT_EQ(list, "-1;6;13");

    // A 40-character text in a 33-byte field keeps its first 32; a clear empties the field.
    std::string forty = "0123456789012345678901234567890123456789";
    ASSERT_TRUE(block.SetText(AgentText::Text36, forty));
    std::string got;
    block.GetText(AgentText::Text36, got);
    EXPECT_EQ(got, forty.substr(0, 32));
    ASSERT_TRUE(block.ClearText(AgentText::Text1400));
    block.GetText(AgentText::Text1400, got);
    EXPECT_EQ(got, "");
    ASSERT_TRUE(block.ClearFlag(AgentFlag::Flag482));
    EXPECT_FALSE(block.GetFlag(AgentFlag::Flag482));
    // A cut never splits a UTF-8 character.
    ASSERT_TRUE(block.SetText(AgentText::Text739, "a\xc3\xa9\xc3\xa9"));
    block.GetText(AgentText::Text739, got);
    EXPECT_EQ(got, "a\xc3\xa9");
}

TEST(AgentBlock, ListAppendStopsAtItsCapacity) {
    TempTree tree;
    const std::string name = UniqueName();
    CAgentSharedMemory block(name);
    ASSERT_EQ(block.Create(name + ".def"), 1);
    // 63 numbers "1;1;...;1" make 125 characters.
    for (int i = 0; i < 63; ++i)
        ASSERT_TRUE(block.AppendNumber(1));
    std::string before;
    block.GetList(before);
    ASSERT_EQ(before.size(), 125u);
    EXPECT_FALSE(block.AppendNumber(42));  // 125 + 3 + terminator > 128
    std::string after;
    block.GetList(after);
    EXPECT_EQ(after, before);
    EXPECT_TRUE(block.AppendNumber(4));  // 125 + 2 + terminator = 128
    block.GetList(after);
    EXPECT_EQ(after.size(), 127u);
    EXPECT_FALSE(block.AppendNumber(5));
    ASSERT_TRUE(block.ClearList());
    block.GetList(after);
    EXPECT_EQ(after, "");
    EXPECT_TRUE(block.AppendNumber(-2147483647 - 1));
    block.GetList(after);
    EXPECT_EQ(after, "-2147483648");
}

TEST(AgentBlock, SaveFileKeepsOnlyTheTwoSavedFlags) {
    TempTree tree;
    const std::string name = UniqueName();
    {
        CAgentSharedMemory block(name);
        ASSERT_EQ(block.Create(name + ".def"), 1);
        block.SetText(AgentText::Published, "not saved");
        block.SetFlag(AgentFlag::Flag0, 1);
        ASSERT_TRUE(block.SetFlag(AgentFlag::Saved2, 7));  // also writes the save file
        std::string image = tree.Read("data/VEKSM.bin");
        ASSERT_EQ(image.size(), 2048u);
        EXPECT_EQ(image[2], 7);
        ASSERT_TRUE(block.SetFlag(AgentFlag::Saved325, 9));
        image = tree.Read("data/VEKSM.bin");
        ASSERT_EQ(image.size(), 2048u);
        for (size_t i = 0; i < image.size(); ++i) {
            if (i == 2)
                EXPECT_EQ(image[i], 7);
            else if (i == 325)
                EXPECT_EQ(image[i], 9);
            else
                EXPECT_EQ(image[i], 0) << i;
        }
        EXPECT_EQ(block.SaveImage(), 1);
        // An unwritable place: 2, and the previous file stays.
        block.SetSaveFile("..\\nodir\\VEKSM.bin");
        EXPECT_EQ(block.SaveImage(), 2);
        EXPECT_EQ(tree.Read("data/VEKSM.bin").size(), 2048u);
    }
    // The next owner gets the two flags back and the running flag set.
    CAgentSharedMemory next(name);
    ASSERT_EQ(next.Create(name + ".def"), 1);
    EXPECT_TRUE(next.GetFlag(AgentFlag::Saved2));
    EXPECT_TRUE(next.GetFlag(AgentFlag::Saved325));
    EXPECT_FALSE(next.GetFlag(AgentFlag::Flag0));
    EXPECT_TRUE(next.GetAgentRunning());
    std::string text;
    next.GetPublishedText(text);
    EXPECT_EQ(text, "");

    // A short file is not loaded.
    tree.Write("data/VEKSM.bin", std::string(2047, '\x01'));
    EXPECT_EQ(next.LoadImage(), 0);
    EXPECT_FALSE(next.GetFlag(AgentFlag::Flag0));
    // A full one is copied over the whole block; texts read from it stay within their fields.
    tree.Write("data/VEKSM.bin", std::string(2048, 'z'));
    EXPECT_EQ(next.LoadImage(), 1);
    next.GetPublishedText(text);
    EXPECT_EQ(text, std::string(255, 'z'));
    CAgentSharedMemory absent(UniqueName());
    EXPECT_EQ(absent.SaveImage(), 2);
    EXPECT_EQ(absent.LoadImage(), 2);
}

TEST(AgentLauncher, AStarterThatSucceedsOnTheSecondLaunchIsLaunchedTwice) {
    TempTree tree;
    ProcessSweeper sweeper(tree.Root());
    ProgramDir programDir(tree.Bin());
    const std::string name = UniqueName();
    CopyProgram(HELPER_PATH, tree.Bin(), "noxStart");
    WriteSettings(tree, 5, 400);
    StarterEnv env(name, 2);
    EXPECT_TRUE(StartAgent(name));
    EXPECT_EQ(tree.Read("bin/launches"), "xx");
    EXPECT_EQ(GetAgentText(name), "helper agent");
    // Already running: nothing is launched.
    EXPECT_TRUE(StartAgent(name));
    EXPECT_EQ(tree.Read("bin/launches"), "xx");
    sweeper.Sweep();
    EXPECT_FALSE(IsAgentRunning(name));
    EXPECT_FALSE(BlockExists(name));
}

TEST(AgentLauncher, AnAgentThatNeverComesUpCostsEveryRetry) {
    TempTree tree;
    ProcessSweeper sweeper(tree.Root());
    ProgramDir programDir(tree.Bin());
    const std::string name = UniqueName();
    CopyProgram(HELPER_PATH, tree.Bin(), "noxStart");
    WriteSettings(tree, 3, 150);
    StarterEnv env(name, 0);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(StartAgent(name));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(450));
    EXPECT_TRUE(WaitFor([&] { return tree.Read("bin/launches") == "xxx"; }, 3000))
        << tree.Read("bin/launches");
    EXPECT_EQ(GetAgentText(name), "");

    // No retries configured, or no settings at all: nothing is launched.
    std::filesystem::remove(tree.Path("bin/launches"));
    WriteSettings(tree, 0, 10);
    EXPECT_FALSE(StartAgent(name));
    std::filesystem::remove(tree.Path("config/VEKplugins.ini"));
    EXPECT_FALSE(StartAgent(name));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(tree.Exists("bin/launches"));

    // A missing starter: every attempt fails quietly.
    std::filesystem::remove(tree.Path("bin/noxStart"));
    WriteSettings(tree, 2, 10);
    EXPECT_FALSE(StartAgent(name));
}

TEST(AgentLauncher, RealStarterAndAgentBringTheAgentUp) {
    TempTree tree;
    if (!FixedBlockGuard::Claim())
        GTEST_SKIP() << "another agent owns " << kAgentBlockName;
    FixedBlockGuard guard(tree);
    ProgramDir programDir(tree.Bin());
    CopyProgram(NOX_START_PATH, tree.Bin(), "noxStart");
    CopyProgram(NOX_AGENT_PATH, tree.Bin(), "noxAgent");
    WriteSettings(tree, 5, 300);
    std::string saved(2048, '\0');
    saved[325] = 1;
    tree.Write("data/VEKSM.bin", saved);

    EXPECT_FALSE(IsAgentRunning());
    ASSERT_TRUE(StartAgent());
    EXPECT_EQ(GetAgentText(), std::string("noxAgent ") + QV_VERSION);
    {
        CAgentSharedMemory view;
        EXPECT_TRUE(view.GetFlag(AgentFlag::Saved325));  // restored from the save file
        view.SetFlag(AgentFlag::Flag0, 1);
        view.SetText(AgentText::Text69, "not saved");
    }
    ProgramResult running = RunQvtool({"agent", "--root", tree.Bin()});
    EXPECT_EQ(running.status, 0);
    EXPECT_NE(running.out.find(std::string("text: noxAgent ") + QV_VERSION), std::string::npos)
        << running.out;

    // SIGTERM: the agent saves its image, clears its flag and removes the block.
    guard.sweeper.Sweep();
    EXPECT_FALSE(IsAgentRunning());
    EXPECT_FALSE(BlockExists(kAgentBlockName));
    EXPECT_FALSE(tree.Exists("bin/JXAgentShareMemory.def"));
    EXPECT_EQ(tree.Read("data/VEKSM.bin"), saved);
    ProgramResult stopped = RunQvtool({"agent", "--root", tree.Bin()});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_NE(stopped.out.find("agent: not running"), std::string::npos);

    // qvtool starts it the way the wizard does.
    ProgramResult started = RunQvtool({"agent", "--root", tree.Bin(), "--start"});
    EXPECT_EQ(started.status, 0) << started.out;
    EXPECT_TRUE(IsAgentRunning());
    EXPECT_EQ(RunQvtool({"agent", "--bogus"}).status, 2);
}

TEST(AgentLauncher, AKilledAgentLeavesAStaleBlockThatTheNextAgentTakesOver) {
    TempTree tree;
    if (!FixedBlockGuard::Claim())
        GTEST_SKIP() << "another agent owns " << kAgentBlockName;
    FixedBlockGuard guard(tree);
    ProgramDir programDir(tree.Bin());
    const std::string agent = CopyProgram(NOX_AGENT_PATH, tree.Bin(), "noxAgent");
    platform::ChildProcess first;
    ASSERT_EQ(first.Start({agent, "--text", "first"}, tree.Bin()), 0);
    ASSERT_TRUE(WaitFor([] { return GetAgentText() == "first"; }, 5000));
    ::kill(first.Pid(), SIGKILL);
    ASSERT_TRUE(first.Wait(3000));

    // The flag is still set, but nobody holds the block: the agent is not running, and the
    // launcher would start a new one.
    EXPECT_FALSE(IsAgentRunning());
    EXPECT_EQ(GetAgentText(), "");
    EXPECT_TRUE(tree.Exists("bin/JXAgentShareMemory.def"));

    platform::ChildProcess second;
    ASSERT_EQ(second.Start({agent, "--text", "second"}, tree.Bin()), 0);
    EXPECT_TRUE(WaitFor([] { return GetAgentText() == "second"; }, 5000));
    // A third agent finds the second alive and leaves.
    platform::ChildProcess third;
    ASSERT_EQ(third.Start({agent, "--text", "third"}, tree.Bin()), 0);
    ASSERT_TRUE(third.Wait(5000));
    EXPECT_EQ(third.ExitCode(), 1);
    EXPECT_EQ(GetAgentText(), "second");

    EXPECT_TRUE(platform::TerminatePid(second.Pid()));
    EXPECT_FALSE(BlockExists(kAgentBlockName));
    EXPECT_FALSE(tree.Exists("bin/JXAgentShareMemory.def"));
}

// The take-over asks who holds the block, not whether some agent runs: an agent on another
// block does not keep a killed one's block from being taken over.
TEST(AgentLauncher, AKilledAgentsBlockIsTakenOverWhileAnUnrelatedAgentRuns) {
    TempTree tree;
    ProcessSweeper sweeper(tree.Root());
    const std::string agent = CopyProgram(NOX_AGENT_PATH, tree.Bin(), "noxAgent");
    const std::string mine = UniqueName(), other = UniqueName();
    platform::ChildProcess unrelated, first, second, third;
    ASSERT_EQ(unrelated.Start({agent, "--block", other, "--text", "other"}, tree.Bin()), 0);
    ASSERT_TRUE(WaitFor([&] { return GetAgentText(other) == "other"; }, 5000));
    ASSERT_EQ(first.Start({agent, "--block", mine, "--text", "first"}, tree.Bin()), 0);
    ASSERT_TRUE(WaitFor([&] { return GetAgentText(mine) == "first"; }, 5000));
    ::kill(first.Pid(), SIGKILL);
    ASSERT_TRUE(first.Wait(3000));

    ASSERT_EQ(second.Start({agent, "--block", mine, "--text", "second"}, tree.Bin()), 0);
    EXPECT_TRUE(WaitFor([&] { return GetAgentText(mine) == "second"; }, 5000));
    EXPECT_FALSE(second.Wait(200));  // it runs, it did not give up
    // The live owner still keeps a later agent out.
    ASSERT_EQ(third.Start({agent, "--block", mine, "--text", "third"}, tree.Bin()), 0);
    ASSERT_TRUE(third.Wait(5000));
    EXPECT_EQ(third.ExitCode(), 1);
    EXPECT_TRUE(platform::TerminatePid(second.Pid()));
    EXPECT_TRUE(platform::TerminatePid(unrelated.Pid()));
    EXPECT_FALSE(BlockExists(mine));
    EXPECT_FALSE(BlockExists(other));
}

// A reader (a wizard, the launcher polling the text) holds the block for a moment; an agent
// starting in that moment still takes a killed agent's block over.
TEST(AgentLauncher, AReaderOfAKilledAgentsBlockDoesNotKeepItFromBeingTakenOver) {
    TempTree tree;
    ProcessSweeper sweeper(tree.Root());
    const std::string agent = CopyProgram(NOX_AGENT_PATH, tree.Bin(), "noxAgent");
    const std::string mine = UniqueName();
    platform::ChildProcess first, second;
    ASSERT_EQ(first.Start({agent, "--block", mine, "--text", "first"}, tree.Bin()), 0);
    ASSERT_TRUE(WaitFor([&] { return GetAgentText(mine) == "first"; }, 5000));
    ::kill(first.Pid(), SIGKILL);
    ASSERT_TRUE(first.Wait(3000));

    platform::NamedMapping reader;
    ASSERT_TRUE(reader.OpenExisting(mine));
    ASSERT_EQ(second.Start({agent, "--block", mine, "--text", "second"}, tree.Bin()), 0);
    usleep(100 * 1000);
    reader.Close();
    EXPECT_TRUE(WaitFor([&] { return GetAgentText(mine) == "second"; }, 5000));
    EXPECT_FALSE(second.Wait(200));
    EXPECT_TRUE(platform::TerminatePid(second.Pid()));
    EXPECT_FALSE(BlockExists(mine));
}

// The launcher reads the flag, then the text, each through its own view. An agent that ends
// between the two reads leaves either its last text (killed: the block stays) or nothing
// (stopped: the block is gone); neither is a crash or a half-read text.
TEST(AgentLauncher, AnAgentThatEndsBetweenTwoReadsOfItsBlock) {
    for (int sig : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(sig == SIGKILL ? "killed" : "stopped");
        TempTree tree;
        ProcessSweeper sweeper(tree.Root());
        const std::string agent = CopyProgram(NOX_AGENT_PATH, tree.Bin(), "noxAgent");
        const std::string name = UniqueName();
        platform::ChildProcess p;
        ASSERT_EQ(p.Start({agent, "--block", name, "--text", "agent text"}, tree.Bin()), 0);
        ASSERT_TRUE(WaitFor([&] { return IsAgentRunning(name); }, 5000));
        ::kill(p.Pid(), sig);
        ASSERT_TRUE(p.Wait(3000));
        std::string text = GetAgentText(name);
        EXPECT_FALSE(IsAgentRunning(name));
        if (sig == SIGKILL) {
            EXPECT_EQ(text, "");
            EXPECT_EQ(platform::ProbeMapping(name), platform::MappingHolder::Dead);
            EXPECT_TRUE(platform::ReclaimMapping(name));
        } else {
            EXPECT_EQ(text, "");
            EXPECT_FALSE(BlockExists(name));
        }
    }
}
