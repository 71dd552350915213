#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempTree.h"

extern char** environ;

namespace {

struct Result {
    int status = -1;
    std::string out;
};

// Runs qvtool with arguments (no shell); standard output is collected, standard error dropped.
Result RunTool(const std::vector<std::string>& args) {
    std::string outPath = "/tmp/qvtool-lang-out-" + std::to_string(getpid());
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> copy = args;
    std::string exe = QVTOOL_PATH;
    std::vector<char*> argv{exe.data()};
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    Result r;
    if (posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), environ) == 0) {
        int st = 0;
        waitpid(pid, &st, 0);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    posix_spawn_file_actions_destroy(&fa);
    r.out = ReadFile(outPath);
    std::filesystem::remove(outPath);
    return r;
}

class QvtoolLang : public testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy(DIST_DIR "/config", tree.Path("config"),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
    }
    TempTree tree;
};

}  // namespace

TEST_F(QvtoolLang, PrintsATranslationOrNothing) {
    Result r = RunTool({"lang", "--root", tree.Bin(), "--id", "id0070", "--lang", "de"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Die Installation wurde erfolgreich abgeschlossen.\n");
    r = RunTool({"lang", "--root", tree.Bin(), "--id", "PAYAT", "--lang", "de"});
    EXPECT_EQ(r.out, "\xC3\x96sterreich\n");

    for (const char* id : {"PAYAT", "nothing", "abcdefghijklmnopq"}) {
        r = RunTool({"lang", "--root", tree.Bin(), "--id", id, "--lang", "fr"});
        EXPECT_EQ(r.status, 1) << id;
        EXPECT_EQ(r.out, "") << id;
    }
    EXPECT_EQ(RunTool({"lang", "--root", tree.Bin(), "--id", "id0070", "--lang", "fra"}).status, 2);
    std::filesystem::remove(tree.Path("config/trad/VEK_Trad.xml"));
    EXPECT_EQ(RunTool({"lang", "--root", tree.Bin(), "--id", "id0070", "--lang", "de"}).status, 2);
    tree.Write("config/trad/VEK_Trad.xml", "<broken>");
    EXPECT_EQ(RunTool({"lang", "--root", tree.Bin(), "--id", "id0070", "--lang", "de"}).status, 2);
}

TEST_F(QvtoolLang, ListsTheLanguageFile) {
    Result r = RunTool({"lang", "--root", tree.Bin(), "--list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("2     de   Deutsch                  -        de\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("6     -    Fran\xC3\xA7"
                         "ais (Belgique)"),
              std::string::npos);
    EXPECT_NE(r.out.find("7 languages, default index 0\n"), std::string::npos);

    tree.Write("config/language.ini",
               "[LANGUAGE]\nCode.0=aa\nFallback.0=1\nCode.1=bb\nFallback.1=0\nCode.2=cc\n"
               "Fallback.2=x\nCode.4=ee\n");
    r = RunTool({"lang", "--root", tree.Bin(), "--list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("0     aa   -                        1        (unresolved)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("3 languages"), std::string::npos);

    std::filesystem::remove(tree.Path("config/language.ini"));
    EXPECT_EQ(RunTool({"lang", "--root", tree.Bin(), "--list"}).status, 2);
}

TEST_F(QvtoolLang, RefusesUnusableArguments) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"lang"},
             {"lang", "--id", "id0070"},
             {"lang", "--lang", "fr"},
             {"lang", "--list", "--id", "id0070", "--lang", "fr"},
             {"lang", "--list", "extra"},
             {"lang", "--list", "--root", "/no/such/dir"},
             {"lang", "--id"},
         }) {
        EXPECT_EQ(RunTool(args).status, 2) << args.size();
    }
    EXPECT_EQ(RunTool({"lang", "--help"}).status, 0);
}
