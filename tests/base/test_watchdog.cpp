#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "base/ProcessLauncher.h"
#include "base/Text.h"
#include "base/WatchDog.h"
#include "tests/platform/ProcessTestSupport.h"
#include "tests/support/TempTree.h"

namespace {

const char kLogDir[] = "..\\Log\\";
const char kLogFile[] = "wd.log";

struct Supervised {
    TempTree tree;
    ProcessSweeper sweeper{tree.Root()};
    std::string name = "qvwd" + std::to_string(getpid());
    std::string prog = CopyProgram(HELPER_PATH, tree.Bin(), name);

    std::string Log() const { return tree.Read("Log/1_wd.log"); }
};

double Since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

TEST(ProcessLauncher, DefaultsAndStartResults) {
    ProcessLauncher bad(L"/no/such/program arg");
    EXPECT_EQ(bad.GetVersion(), L"1.2.0");
    EXPECT_EQ(bad.GetLeft(), 256);
    EXPECT_EQ(bad.GetTop(), 192);
    EXPECT_EQ(bad.GetWidth(), 512);
    EXPECT_EQ(bad.GetHeight(), 384);
    EXPECT_EQ(bad.GetShowMode(), 10);
    EXPECT_EQ(bad.GetLastError(), 0u);
    EXPECT_EQ(bad.Start(), static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(bad.GetLastError(), static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(bad.GetExitCode(), -1);
    EXPECT_EQ(ProcessLauncher(L"   ").Start(), static_cast<uint32_t>(ENOENT));

    ProcessLauncher good(Widen(std::string("\"") + HELPER_PATH + "\" exit 3"));
    EXPECT_EQ(good.Start(), 0u);
    EXPECT_GT(good.GetProcessId(), 0);
    EXPECT_TRUE(WaitFor([&] { return good.GetExitCode() == 3; }, 5000));
}

TEST(WatchDog, AProgramThatEndsByItselfIsNotKilled) {
    Supervised s;
    WatchDog dog(Widen(s.prog), 5000, kLogDir, kLogFile);
    dog.SetArguments(L"sleep 300");
    dog.SetPollInterval(100);
    EXPECT_EQ(dog.GetExecutableName(), Widen(s.name));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(dog.WatchOn(), 0);
    EXPECT_LT(Since(t0), 4000);
    std::string log = s.Log();
    EXPECT_NE(log.find("call function WatchOn "), std::string::npos);
    EXPECT_NE(log.find("call function execute " + s.prog + " sleep 300"), std::string::npos);
    EXPECT_NE(log.find("The Process " + s.name + " is alive"), std::string::npos);
    EXPECT_NE(log.find("The Process " + s.name + " is not alive"), std::string::npos);
    EXPECT_NE(log.find("INFO"), std::string::npos);
    EXPECT_NE(log.find("WatchDog don't kill the process"), std::string::npos);
    EXPECT_NE(log.find("end function WatchOn with returncode 0"), std::string::npos);
    EXPECT_EQ(platform::CountProcesses(s.name), 0);
}

TEST(WatchDog, AProgramThatOutlivesTheTimeOutIsKilledAtTheNextPoll) {
    Supervised s;
    WatchDog dog(Widen(s.prog), 400, kLogDir, kLogFile);
    dog.SetArguments(L"sleep -1");
    dog.SetPollInterval(150);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(dog.WatchOn(), 2);
    double ms = Since(t0);
    // Polls at 150, 300, 450: the third is the first at or after the time-out.
    EXPECT_GE(ms, 450);
    EXPECT_LT(ms, 3000);
    EXPECT_GE(dog.GetTimeExecution(), 400);
    EXPECT_TRUE(WaitFor([&] { return platform::CountProcesses(s.name) == 0; }, 3000));
    std::string log = s.Log();
    EXPECT_NE(log.find("WatchDog need to kill Process"), std::string::npos);
    EXPECT_NE(log.find("end function WatchOn with returncode 2"), std::string::npos);
    EXPECT_NE(log.find("avec timeout=400"), std::string::npos);
}

TEST(WatchDog, ARunningProgramIsTimedNotStartedAgain) {
    Supervised s;
    platform::ChildProcess running;
    ASSERT_EQ(running.Start({s.prog, "sleep", "-1"}), 0);
    WatchDog dog(Widen(s.prog), 200, kLogDir, kLogFile);
    dog.SetArguments(L"sleep -1");
    dog.SetPollInterval(50);
    EXPECT_EQ(dog.WatchOn(), 2);
    EXPECT_TRUE(running.Wait(3000));
    EXPECT_EQ(s.Log().find("call function execute"), std::string::npos);
    EXPECT_EQ(platform::CountProcesses(s.name), 0);
}

TEST(WatchDog, NothingToSuperviseEndsAtTheFirstPoll) {
    Supervised s;
    WatchDog missing(L"/no/such/dir/prog.exe", 10000, kLogDir, kLogFile);
    missing.SetPollInterval(50);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(missing.WatchOn(), 0);
    EXPECT_LT(Since(t0), 2000);

    WatchDog empty(kLogDir, kLogFile);
    EXPECT_FALSE(empty.IsAlive());
    EXPECT_EQ(empty.GetTimeExecution(), 0);
    EXPECT_EQ(empty.KillProcess(), 0);
    EXPECT_EQ(empty.GetTimeOut(), 30000);
    EXPECT_EQ(empty.GetPollInterval(), 5000);
    EXPECT_NE(s.Log().find("End function IsAlive with return 0"), std::string::npos);
}
