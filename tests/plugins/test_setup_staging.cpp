// The staged apply's own parts: its journal's text, finishing a plan again after a kill, and
// the sweep that removes what a killed apply left and nothing else.
#include "plugins/setup_actions/SetupStaging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "plugins/setup_actions/SetupLogic.h"
#include "tests/support/TempTree.h"

namespace fs = std::filesystem;

namespace {

setup::ApplyPlan Plan() {
    setup::ApplyPlan p;
    p.target = "/tmp/a root";
    p.fields = {"RaisonSociale", "Adresse"};
    p.recordHash = setup::RecordHash({{"RaisonSociale", "NEWCO"}, {"Adresse", "1 rue"}});
    p.renames = {"etc/default/keyboard", "etc/quilvane/proxy.conf"};
    p.removes = {"etc/quilvane/proxy-credentials"};
    return p;
}

TEST(ApplyJournal, ReadsBackWhatItWrote) {
    setup::ApplyPlan committed = Plan();
    committed.committed = true;
    setup::ApplyPlan noRecord = Plan();
    noRecord.fields.clear();
    noRecord.recordHash.clear();
    setup::ApplyPlan empty;
    empty.target = "/";
    empty.committed = true;
    for (const setup::ApplyPlan& p : {Plan(), committed, noRecord, empty}) {
        std::string problem;
        const auto back = setup::ParseApplyJournal(setup::ApplyJournalText(p), &problem);
        ASSERT_TRUE(back) << problem << "\n" << setup::ApplyJournalText(p);
        EXPECT_EQ(*back, p);
    }
}

TEST(ApplyJournal, IsNotTrustedWhenTornOrNamingAnotherFile) {
    const std::string good = setup::ApplyJournalText(Plan());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"cut in its last line", good.substr(0, good.size() - 1)},
        {"cut before its end", good.substr(0, good.find("end "))},
        {"a line lost", replaced("rename etc/quilvane/proxy.conf\n", "")},
        {"text after its end", good + "rename etc/default/locale\n"},
        {"another header", replaced("quilvane-apply 1", "quilvane-apply 2")},
        {"a path out of the root", replaced("etc/quilvane/proxy.conf", "../../etc/shadow")},
        {"a file no apply writes", replaced("etc/quilvane/proxy.conf", "etc/passwd")},
        {"a file named twice", replaced("etc/quilvane/proxy.conf", "etc/default/keyboard")},
        {"an odd field name", replaced("field Adresse", "field Adr=esse")},
        {"a short hash", replaced(Plan().recordHash, "abc")},
        {"another state", replaced("state staged", "state maybe")},
        {"a record without fields", replaced("field RaisonSociale\nfield Adresse\n", "")},
        {"oversized", good + std::string(setup::kApplyJournalMax, '#')},
    };
    for (const auto& c : cases) {
        std::string problem;
        EXPECT_FALSE(setup::ParseApplyJournal(c.text, &problem)) << c.what;
        EXPECT_FALSE(problem.empty()) << c.what;
    }
}

TEST(ApplyJournal, TheRecordHashTellsValuesAndFieldsApart) {
    const std::string h = setup::RecordHash({{"A", "1"}, {"B", "2"}});
    EXPECT_EQ(h.size(), 16u);
    EXPECT_EQ(h, setup::RecordHash({{"A", "1"}, {"B", "2"}}));
    EXPECT_NE(h, setup::RecordHash({{"A", "1"}, {"B", "3"}}));
    EXPECT_NE(h, setup::RecordHash({{"A", "1="}, {"B", "2"}}));
    EXPECT_NE(h, setup::RecordHash({{"B", "2"}, {"A", "1"}}));
}

TEST(StagedApply, FinishingAgainAfterAKillEndsTheSame) {
    TempTree tree;
    setup::ApplyPlan p;
    p.target = tree.Path("target");
    p.renames = {"etc/default/keyboard", "etc/default/locale"};
    p.removes = {"etc/quilvane/proxy.conf"};
    tree.Write("target/etc/default/keyboard", "old keyboard");
    tree.Write("target/etc/quilvane/proxy.conf", "old proxy");
    ASSERT_TRUE(setup::StageFile(p.target, "etc/default/keyboard", "new keyboard", 0644));
    ASSERT_TRUE(setup::StageFile(p.target, "etc/default/locale", "new locale", 0600));
    EXPECT_EQ(tree.Read("target/etc/default/keyboard"), "old keyboard") << "staged only";

    // Killed after the first rename: the second finish completes it.
    ASSERT_EQ(rename(tree.Path("target/etc/default/keyboard.qv-staged").c_str(),
                     tree.Path("target/etc/default/keyboard").c_str()),
              0);
    for (int round = 0; round < 2; ++round) {
        std::string error;
        ASSERT_TRUE(setup::FinishPlan(p, &error)) << round << ": " << error;
        EXPECT_EQ(tree.Read("target/etc/default/keyboard"), "new keyboard");
        EXPECT_EQ(tree.Read("target/etc/default/locale"), "new locale");
        EXPECT_EQ(fs::status(tree.Path("target/etc/default/locale")).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_FALSE(tree.Exists("target/etc/quilvane/proxy.conf"));
    }
    // A staged file that is gone with nothing at its final name is a failure, not a success.
    p.renames.push_back("etc/quilvane/account.conf");
    std::string error;
    EXPECT_FALSE(setup::FinishPlan(p, &error));
    EXPECT_NE(error.find("account.conf"), std::string::npos) << error;
}

TEST(StagedApply, TheSweepRemovesTheApplysLeftoversAndNothingElse) {
    TempTree tree;
    const std::string target = tree.Path("target");
    const char* leftovers[] = {
        "etc/default/keyboard.qv-staged",
        "etc/default/keyboard.qv-staged.tmpAb12Cd",
        "etc/default/locale.tmpZZ99zz",
        "etc/quilvane/proxy-credentials.qv-staged",
        "etc/apt/apt.conf.d/90quilvane-proxy.tmp000000",
        ".quilvane-check",
        ".quilvane-check.tmpqwerty",
    };
    const char* kept[] = {
        "etc/default/keyboard",       "etc/default/keyboard.bak", "etc/default/grub.qv-staged",
        "etc/default/keyboard.tmp12", "etc/passwd.tmpAb12Cd",     "etc/quilvane/notes.qv-staged",
        "etc/apt/apt.conf.d/50other",
    };
    for (const char* f : leftovers)
        tree.Write(std::string("target/") + f, "x");
    for (const char* f : kept)
        tree.Write(std::string("target/") + f, "x");
    EXPECT_EQ(setup::DropStaged(target), static_cast<int>(std::size(leftovers)));
    for (const char* f : leftovers)
        EXPECT_FALSE(tree.Exists(std::string("target/") + f)) << f;
    for (const char* f : kept)
        EXPECT_TRUE(tree.Exists(std::string("target/") + f)) << f;
    EXPECT_EQ(setup::DropStaged(target), 0);
    EXPECT_EQ(setup::DropStaged(tree.Path("no such root")), 0);
}

}  // namespace
