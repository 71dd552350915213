// The system's tools the apply starts inside the target root, and the locale list they read.
#include "plugins/setup_actions/SetupCommands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/TempTree.h"

namespace {

TEST(LocaleGen, EnablesTheLocaleWhereverDebiansListHasIt) {
    const struct {
        const char* what;
        const char* list;
        const char* want;
    } rows[] = {
        {"commented out", "# de_DE.UTF-8 UTF-8\n# fr_BE.UTF-8 UTF-8\n# fr_FR.UTF-8 UTF-8\n",
         "# de_DE.UTF-8 UTF-8\nfr_BE.UTF-8 UTF-8\n# fr_FR.UTF-8 UTF-8\n"},
        {"commented with blanks", "#   fr_BE.UTF-8 UTF-8  \n", "fr_BE.UTF-8 UTF-8\n"},
        {"enabled already", "en_GB.UTF-8 UTF-8\nfr_BE.UTF-8 UTF-8\n",
         "en_GB.UTF-8 UTF-8\nfr_BE.UTF-8 UTF-8\n"},
        {"absent", "# Locales to build\nen_GB.UTF-8 UTF-8\n",
         "# Locales to build\nen_GB.UTF-8 UTF-8\nfr_BE.UTF-8 UTF-8\n"},
        {"no final line end", "en_GB.UTF-8 UTF-8", "en_GB.UTF-8 UTF-8\nfr_BE.UTF-8 UTF-8\n"},
        {"empty", "", "fr_BE.UTF-8 UTF-8\n"},
        {"another charset only", "# fr_BE ISO-8859-1\n", "# fr_BE ISO-8859-1\nfr_BE.UTF-8 UTF-8\n"},
        {"the line twice", "# fr_BE.UTF-8 UTF-8\n# fr_BE.UTF-8 UTF-8\n",
         "fr_BE.UTF-8 UTF-8\n# fr_BE.UTF-8 UTF-8\n"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(setup::LocaleGenWith(r.list, "fr_BE"), r.want) << r.what;
}

TEST(RunInRoot, ReportsStatusStderrAndTimeOut) {
    setup::CommandRun ok = setup::RunInRoot("/", {"/bin/true"}, 5000);
    EXPECT_TRUE(ok.started);
    EXPECT_EQ(ok.status, 0);

    // Its arguments reach it as they are: no shell splits or expands them.
    setup::CommandRun failed = setup::RunInRoot("/", {"/bin/ls", "/no such dir;*"}, 5000);
    EXPECT_TRUE(failed.started);
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.error.find("/no such dir;*"), std::string::npos) << failed.error;
    EXPECT_EQ(failed.error.find('\n'), std::string::npos) << "one log line";

    const auto start = std::chrono::steady_clock::now();
    setup::CommandRun hung = setup::RunInRoot("/", {"/bin/sleep", "30"}, 300);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(hung.status, 128 + 9);
    EXPECT_NE(hung.error.find("stopped after"), std::string::npos) << hung.error;

    setup::CommandRun missing = setup::RunInRoot("/", {"/no/such/tool"}, 5000);
    EXPECT_FALSE(missing.started);
    EXPECT_NE(missing.error.find("/no/such/tool"), std::string::npos) << missing.error;
    EXPECT_FALSE(setup::RunInRoot("/", {"relative/tool"}, 5000).started);
    EXPECT_FALSE(setup::RunInRoot("/", {}, 5000).started);
}

TEST(RunInRoot, AnotherRootIsEnteredAndItsOwnProgramsAreLookedFor) {
    TempTree tree;
    const std::string root = tree.Path("root");
    tree.Write("root/usr/sbin/locale-gen", "not a program");
    EXPECT_FALSE(setup::ProgramInRoot(root, "/usr/sbin/locale-gen")) << "not executable";
    EXPECT_TRUE(setup::ProgramInRoot("/", "/bin/true"));
    EXPECT_FALSE(setup::ProgramInRoot(root, "/bin/true")) << "the machine's own is not the root's";
    // The root holds no /bin/true of its own: chroot says so, and that is the failure.
    setup::CommandRun run = setup::RunInRoot(root, {"/bin/true"}, 5000);
    EXPECT_TRUE(run.started);
    EXPECT_NE(run.status, 0);
    EXPECT_FALSE(run.error.empty());
}

}  // namespace
