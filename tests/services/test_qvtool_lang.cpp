#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"

namespace {

ProgramResult RunTool(const std::vector<std::string>& args) {
    return RunProgram(QVTOOL_PATH, args);
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
    ProgramResult r = RunTool({"lang", "--root", tree.Bin(), "--id", "id0070", "--lang", "de"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Die Installation wurde erfolgreich abgeschlossen.\n");
    r = RunTool({"lang", "--root", tree.Bin(), "--id", "PAYAT", "--lang", "de"});
    EXPECT_EQ(r.out, "\xC3\x96sterreich\n");

    for (const char* id : {"nothing", "abcdefghijklmnopq"}) {
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
    ProgramResult r = RunTool({"lang", "--root", tree.Bin(), "--list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("2     de   Deutsch                  -        de\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("6     -    Fran\xC3\xA7"
                         "ais (Belgique)"),
              std::string::npos);
    EXPECT_NE(r.out.find("8 languages, default index 0\n"), std::string::npos);

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

namespace {

// The lines of the table, each as code points (every character here takes one column).
std::vector<std::u32string> TableLines(const std::string& out) {
    std::vector<std::u32string> lines;
    std::u32string line;
    for (size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if ((c & 0xC0) != 0x80) {
            line.push_back(c);  // the first byte stands for the whole character
        }
    }
    lines.pop_back();  // the count line
    return lines;
}

}  // namespace

// Labels with letters of two bytes, or longer than the column, keep the columns in line: each
// column starts at the character where its header starts.
TEST_F(QvtoolLang, ListColumnsLineUpByCharacters) {
    const std::string files[] = {
        "",  // the demo's
        "[LANGUAGE]\nCode.0=fr\nLabel.0=Fran\xC3\xA7"
        "ais\n"
        "Code.1=de\nLabel.1=\xC3\x96sterreichisches Deutsch (\xC3\x96sterreich)\n"
        "Label.2=\xC3\x89\xC3\xA9\xC3\xA8\xC3\xAA\xC3\xAB\nFallback.2=0\n",
    };
    for (const std::string& file : files) {
        if (!file.empty())
            tree.Write("config/language.ini", file);
        ProgramResult r = RunTool({"lang", "--root", tree.Bin(), "--list"});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::u32string> lines = TableLines(r.out);
        ASSERT_GE(lines.size(), 4u) << r.out;
        const std::u32string& header = lines[0];
        for (const char* column : {"code", "label", "fallback", "resolved"}) {
            const std::u32string name(column, column + std::char_traits<char>::length(column));
            const size_t at = header.find(name);
            ASSERT_NE(at, std::u32string::npos) << column;
            for (size_t n = 1; n < lines.size(); ++n) {
                ASSERT_GT(lines[n].size(), at) << r.out;
                EXPECT_EQ(lines[n][at - 1], U' ') << column << " in line " << n << "\n" << r.out;
                EXPECT_NE(lines[n][at], U' ') << column << " in line " << n << "\n" << r.out;
            }
        }
    }
}
