// A person's installation killed with SIGKILL half-way (a crash, a power cut), then started
// again on the same tree: it comes back at the screen it was on, with what had been entered on
// the screens before, and the run that then ends leaves no journal behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/TempTree.h"
#include "tests/x11/XSession.h"

namespace x11test {
namespace {

constexpr int kRunMs = 60000;
constexpr const char kJournal[] = "data/QV_run.journal";

XServer* server = nullptr;

class XServerEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { server = new XServer(1280, 1024); }
    void TearDown() override {
        delete server;
        server = nullptr;
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

// The shipped key script of the installation, split at the first line that waits for screen:
// what comes before (with that line) and what comes after.
std::pair<std::string, std::string> SplitFlow(const std::string& screen) {
    const std::string flow =
        ReadFile(std::string(SOURCE_DIR) + "/scripts/flows/installation_pc.keys");
    const std::string marker = "screen " + screen + "\n";
    const size_t at = flow.find(marker);
    if (at == std::string::npos)
        return {};
    return {flow.substr(0, at + marker.size()), flow.substr(at + marker.size())};
}

std::string StatesLine(const std::string& journal) {
    std::istringstream in(journal);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("states ", 0) == 0)
            return line;
    return {};
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(CrashResume, AKilledInstallationComesBackAtItsScreenWithWhatWasEntered) {
    ASSERT_TRUE(server && server->Running()) << "Xvfb did not start";
    StagedWizard wizard;
    const auto [before, after] = SplitFlow("StateQvInfoPdv");
    ASSERT_FALSE(before.empty());
    wizard.Start();
    // Language to the point-of-sale screen: the proxy and the account entered and left.
    wizard.RunScript(before);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    // Typed, never left: not saved, so not expected back.
    wizard.Type("Chez Marcel");
    const std::string journal = wizard.Tree().Path(kJournal);
    struct stat st {};
    ASSERT_EQ(stat(journal.c_str(), &st), 0) << "no journal while the run goes on";
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(StatesLine(wizard.Tree().Read(kJournal)), "states 21 20");
    wizard.Kill();
    ASSERT_FALSE(::testing::Test::HasFatalFailure());

    wizard.Start();
    ScreenMap map = wizard.WaitScreen("StateQvInfoPdv");
    ASSERT_FALSE(::testing::Test::HasFatalFailure()) << wizard.Log();
    EXPECT_EQ(Count(wizard.Log(), "(INFO) Run resumed at state 21 (ShowPointOfSale)"), 1);
    EXPECT_EQ(map.controls[1100].caption, "");
    // Back through the screens entered before the kill: each shows what was typed on it.
    wizard.Key("F2");
    map = wizard.WaitScreen("StateInfo2");
    EXPECT_EQ(map.controls[1100].caption, "123456");
    EXPECT_EQ(map.controls[1101].caption, "SITE7");
    EXPECT_EQ(map.controls[1102].caption.empty(), false) << "the password is kept (as dots)";
    wizard.Key("F2");
    map = wizard.WaitScreen("StateConfProxy");
    EXPECT_EQ(map.controls[1102].caption, "proxy.example.net");
    EXPECT_EQ(map.controls[1103].caption, "3128");
    wizard.Key("Return");
    wizard.WaitScreen("StateInfo2");
    wizard.Key("Return");
    wizard.WaitScreen("StateQvInfoPdv");
    wizard.RunScript(after);
    ASSERT_EQ(wizard.WaitExit(kRunMs), 0) << wizard.Log();

    EXPECT_FALSE(wizard.Tree().Exists(kJournal)) << "the ended run left its journal";
    EXPECT_FALSE(wizard.Tree().Exists(std::string(kJournal) + ".rejected"));
    EXPECT_NE(wizard.Target("etc/apt/apt.conf.d/90quilvane-proxy").find("proxy.example.net:3128"),
              std::string::npos);
    EXPECT_NE(wizard.Target("etc/quilvane/account.conf").find("123456"), std::string::npos);
    EXPECT_EQ(wizard.Log().find("(ERR)"), std::string::npos);
}

// The shipped key script cut at each screen it waits for: the screen and the keys given there.
std::vector<std::pair<std::string, std::string>> Screens(const std::string& flow) {
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream in(flow);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("screen ", 0) == 0)
            out.push_back({line.substr(7), ""});
        else if (!out.empty() && !line.empty() && line[0] != '#')
            out.back().second += line + "\n";
    }
    return out;
}

// Killed on every screen in turn, and started again each time: each start comes back on the
// screen it was killed on, showing what it showed, and the run that ends configures the target
// as one never killed.
TEST(CrashResume, KilledOnEveryScreenTheInstallationComesBackThereEachTime) {
    ASSERT_TRUE(server && server->Running()) << "Xvfb did not start";
    const auto screens =
        Screens(ReadFile(std::string(SOURCE_DIR) + "/scripts/flows/installation_pc.keys"));
    ASSERT_GT(screens.size(), 15u);
    StagedWizard wizard;
    wizard.Start();
    int kills = 0;
    for (const auto& [screen, keys] : screens) {
        SCOPED_TRACE(screen + " (kill " + std::to_string(kills + 1) + ")");
        const ScreenMap before = wizard.WaitScreen(screen);
        ASSERT_FALSE(::testing::Test::HasFatalFailure()) << wizard.Log();
        wizard.Kill();
        ++kills;
        wizard.Start();
        const ScreenMap after = wizard.WaitScreen(screen);
        ASSERT_FALSE(::testing::Test::HasFatalFailure()) << wizard.Log();
        for (const auto& [id, control] : before.controls)
            EXPECT_EQ(after.Has(id) ? after.controls.at(id).caption : "(none)", control.caption)
                << "control " << id;
        EXPECT_EQ(after.focus, before.focus);
        wizard.RunScript(keys);
        ASSERT_FALSE(::testing::Test::HasFatalFailure()) << wizard.Log();
    }
    ASSERT_EQ(wizard.WaitExit(kRunMs), 0) << wizard.Log();
    EXPECT_FALSE(wizard.Tree().Exists(kJournal));
    // The first screen's state is journaled as it starts: every start resumed.
    EXPECT_EQ(Count(wizard.Log(), "(INFO) Run resumed at state"), kills);
    EXPECT_NE(wizard.Target("etc/apt/apt.conf.d/90quilvane-proxy").find("proxy.example.net:3128"),
              std::string::npos);
    EXPECT_NE(wizard.Target("etc/quilvane/account.conf").find("123456"), std::string::npos);
    EXPECT_NE(wizard.Target("etc/default/locale").find("en_GB"), std::string::npos);
}

}  // namespace
}  // namespace x11test
