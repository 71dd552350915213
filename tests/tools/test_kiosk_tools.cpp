// The kiosk's two small programs: quilvane-setup-session (the first-boot stamp after a good run
// only) and quilvane-setup-reconfigure (the unit it asks systemd for).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"

namespace {

struct SessionCase {
    const char* name;
    std::vector<std::string> args;  // "STAMP" stands for the stamp's path
    int status;
    bool stamped;
};

std::vector<std::string> Expand(const std::vector<std::string>& args, const std::string& stamp) {
    std::vector<std::string> out;
    for (const std::string& a : args)
        out.push_back(a == "STAMP" ? stamp : a == "HELPER" ? HELPER_PATH : a);
    return out;
}

class SessionStatus : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SessionStatus, StampsOnlyAGoodRunAndEndsWithItsStatus) {
    const SessionCase& c = GetParam();
    TempTree tree;
    const std::string stamp = tree.Path("data/installation.done");
    ProgramResult r = RunProgram(SESSION_PATH, Expand(c.args, stamp));
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(tree.Exists("data/installation.done"), c.stamped);
    EXPECT_FALSE(tree.Exists("data/installation.done.new"));
    if (c.stamped) {
        EXPECT_NE(tree.Read("data/installation.done").find("ended with 0\n"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SessionStatus,
    ::testing::Values(
        SessionCase{"Success", {"--stamp", "STAMP", "--", "HELPER", "exit", "0"}, 0, true},
        SessionCase{"Failure", {"--stamp", "STAMP", "--", "HELPER", "exit", "3"}, 3, false},
        // The wizard's "another copy runs" (-1) must not count as done either.
        SessionCase{"Refused", {"--stamp", "STAMP", "--", "HELPER", "exit", "255"}, 255, false},
        SessionCase{"NoProgram", {"--stamp", "STAMP", "--", "/nonexistent/wizard"}, 127, false},
        SessionCase{"NoStampWanted", {"--", "HELPER", "exit", "0"}, 0, false},
        SessionCase{"RelativeStamp", {"--stamp", "done", "--", "HELPER", "exit", "0"}, 2, false},
        SessionCase{"StampWithoutValue", {"--stamp"}, 2, false},
        SessionCase{"NoCommand", {"--stamp", "STAMP", "--"}, 2, false},
        SessionCase{
            "UnknownOption", {"--stamp", "STAMP", "-x", "--", "HELPER", "exit", "0"}, 2, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Session, StampThatCannotBeWrittenIsAFailure) {
    TempTree tree;
    ProgramResult r = RunProgram(
        SESSION_PATH, {"--stamp", tree.Path("no/such/dir/done"), "--", HELPER_PATH, "exit", "0"});
    EXPECT_EQ(r.status, 125);
    EXPECT_FALSE(tree.Exists("no/such/dir/done"));
}

TEST(Session, PlantedLinksAreReplacedNotFollowed) {
    TempTree tree;
    tree.Write("config/victim", "untouched");
    const std::string stamp = tree.Path("data/installation.done");
    ASSERT_EQ(symlink(tree.Path("config/victim").c_str(), (stamp + ".new").c_str()), 0);
    ProgramResult r = RunProgram(SESSION_PATH, {"--stamp", stamp, "--", HELPER_PATH, "exit", "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(tree.Read("config/victim"), "untouched");
    struct stat st {};
    ASSERT_EQ(lstat(stamp.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

struct ReconfigureCase {
    const char* name;
    std::vector<std::string> args;
    const char* exitOfSystemctl;
    int status;
    std::vector<std::string> systemctlArgs;  // empty: systemctl is not run
};

class Reconfigure : public ::testing::TestWithParam<ReconfigureCase> {};

TEST_P(Reconfigure, AsksSystemdForTheUnit) {
    const ReconfigureCase& c = GetParam();
    TempTree tree;
    const std::string report = tree.Path("data/systemctl-args");
    setenv("QV_SYSTEMCTL", HELPER_PATH, 1);
    setenv("QV_HELPER_ARGS", report.c_str(), 1);
    setenv("QV_HELPER_EXIT", c.exitOfSystemctl, 1);
    ProgramResult r = RunProgram(RECONFIGURE_PATH, c.args);
    unsetenv("QV_SYSTEMCTL");
    unsetenv("QV_HELPER_ARGS");
    unsetenv("QV_HELPER_EXIT");
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.systemctlArgs.empty()) {
        EXPECT_FALSE(tree.Exists("data/systemctl-args"));
    } else {
        ASSERT_TRUE(tree.Exists("data/systemctl-args"));
        EXPECT_EQ(Lines(tree.Read("data/systemctl-args")), c.systemctlArgs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, Reconfigure,
    ::testing::Values(
        ReconfigureCase{"Waits", {}, "0", 0, {"start", "quilvane-setup-reconfigure.service"}},
        ReconfigureCase{"NoBlock",
                        {"--no-block"},
                        "0",
                        0,
                        {"start", "--no-block", "quilvane-setup-reconfigure.service"}},
        // Refused rights or a failed unit: the caller sees systemctl's status.
        ReconfigureCase{"Refused", {}, "4", 4, {"start", "quilvane-setup-reconfigure.service"}},
        ReconfigureCase{"UnknownOption", {"--now"}, "0", 2, {}},
        ReconfigureCase{"Help", {"--help"}, "0", 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
