// A reconfiguration killed with SIGKILL at each write of its apply, then started again on the
// same tree: the new start finishes the apply or rolls it back, so the target files and the
// point-of-sale record are exactly those of the run that was not killed, or exactly those from
// before it, never a mix.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "tests/x11/XSession.h"

namespace x11test {
namespace {

namespace fs = std::filesystem;

constexpr char kReconfiguration[] =
    "[LanguageReconf]\n[GeneralInfo]\n"
    "[StateConfProxy]\n1102=proxy2.example.net\n1103=8080\n1100=\n1101=\n"
    "[StateQvInfoPdv]\n1100=NEWCO\n1101=1 avenue Neuve\n";
// Ends the run at its first screen, after the start's recovery has run.
constexpr char kStopAtFirstScreen[] = "[Summary]\n";

// What a run leaves: every file of the target root (mode and text) and the record.
using Snapshot = std::map<std::string, std::string>;

Snapshot Take(StagedWizard& wizard) {
    Snapshot s;
    const fs::path target = wizard.Tree().Path("data/target");
    for (const auto& e : fs::recursive_directory_iterator(target)) {
        struct stat st {};
        if (lstat(e.path().c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;
        std::string text = ReadFile(e.path().string());
        if (e.path().filename() == "setup-summary") {
            // Each run's section is headed by its time.
            std::istringstream in(text);
            text.clear();
            for (std::string line; std::getline(in, line);)
                text += (line.rfind("[", 0) == 0 ? line.substr(line.find(' ')) : line) + "\n";
        }
        s[fs::relative(e.path(), target).string()] =
            std::to_string(st.st_mode & 07777) + " " + text;
    }
    const std::string previous = fs::current_path().string();
    EXPECT_EQ(chdir(wizard.Tree().Bin().c_str()), 0);
    // Without the time of its last write.
    std::istringstream record(RunProgram(wizard.Tree().Bin() + "/qvtool", {"record"}).out);
    for (std::string line; std::getline(record, line);)
        if (line.rfind("DateModif=", 0) != 0 && line.rfind("HeureModif=", 0) != 0)
            s["(record)"] += line + "\n";
    EXPECT_EQ(chdir(previous.c_str()), 0);
    return s;
}

std::string Differences(const Snapshot& got, const Snapshot& want) {
    std::string out;
    for (const auto& [name, text] : got)
        if (!want.count(name) || want.at(name) != text)
            out += " " + name;
    for (const auto& [name, text] : want)
        if (!got.count(name))
            out += " -" + name;
    return out;
}

void CopyData(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

// The wizard with the write counter preloaded.
ProgramResult RunKilledAt(StagedWizard& wizard, int write, const std::vector<std::string>& args) {
    const std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
    setenv("LD_PRELOAD", KILL_AT_WRITE, 1);
    setenv("QV_KILL_AT", std::to_string(write).c_str(), 1);
    setenv("QV_KILL_MATCH", "data/target/:data/LMQPointService.db:data/setup-apply.journal", 1);
    // The counter is loaded before the sanitizers' runtime.
    setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").c_str(), 1);
    ProgramResult r = wizard.RunOffscreen(args);
    unsetenv("LD_PRELOAD");
    unsetenv("QV_KILL_AT");
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    return r;
}

TEST(CrashApply, AReconfigurationKilledAtAnyWriteIsFinishedOrRolledBackWhole) {
    StagedWizard wizard;
    wizard.Tree().Write("bin/reconfigure.ini", kReconfiguration);
    wizard.Tree().Write("bin/stop.ini", kStopAtFirstScreen);
    const std::vector<std::string> reconfigure = {"-reconfig", "--answers", "reconfigure.ini"};
    ASSERT_EQ(wizard.RunUnattended("../config/answers_installation.ini"), 0);
    const fs::path data = wizard.Tree().Path("data");
    const fs::path kept = wizard.Tree().Path("data.installed");
    CopyData(data, kept);
    const Snapshot before = Take(wizard);

    ProgramResult whole = wizard.RunOffscreen(reconfigure);
    ASSERT_EQ(whole.status, 0) << whole.err;
    const Snapshot after = Take(wizard);
    ASSERT_NE(after.at("(record)"), before.at("(record)"));
    ASSERT_NE(after.at("etc/quilvane/proxy.conf"), before.at("etc/quilvane/proxy.conf"));
    ASSERT_NE(after.at("(record)").find("NEWCO"), std::string::npos) << after.at("(record)");
    EXPECT_NE(after.at("(record)").find("CodeClient=123456"), std::string::npos)
        << "the reconfiguration lost the account: " << after.at("(record)");

    int finished = 0, rolledBack = 0, kills = 0;
    for (int write = 1; write < 200; ++write) {
        CopyData(kept, data);
        const ProgramResult killed = RunKilledAt(wizard, write, reconfigure);
        if (killed.status == 0)
            break;  // past the apply's last write
        ASSERT_EQ(killed.status, -1) << "write " << write << ": " << killed.err;
        ++kills;
        wizard.RunOffscreen({"--answers", "stop.ini"});
        const Snapshot now = Take(wizard);
        if (now == after)
            ++finished;
        else if (now == before)
            ++rolledBack;
        else
            ADD_FAILURE() << "killed before write " << write << ", then started: a mix; unlike the "
                          << "finished run:" << Differences(now, after)
                          << "; unlike the previous one:" << Differences(now, before) << "\n"
                          << now.at("(record)");
        EXPECT_FALSE(wizard.Tree().Exists("data/setup-apply.journal")) << "write " << write;
    }
    std::printf("%d kills: %d finished, %d rolled back\n", kills, finished, rolledBack);
    // Staging, journal, record, renames: a good score of points, on both sides of the record.
    EXPECT_GT(kills, 15);
    EXPECT_GT(finished, 3);
    EXPECT_GT(rolledBack, 10);
    const std::string log = wizard.Tree().Read("Log/1_QV.log");
    EXPECT_NE(log.find("(INFO) Interrupted apply rolled back"), std::string::npos);
    EXPECT_NE(log.find("(INFO) Interrupted apply finished"), std::string::npos);
}

}  // namespace
}  // namespace x11test
