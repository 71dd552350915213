#include <gtest/gtest.h>

#include <climits>

#include <cstdio>
#include <string>
#include <vector>

#include "base/Profile.h"
#include "platform/Paths.h"
#include "services/LanguageConfig.h"
#include "tests/support/TempTree.h"

namespace {

const char kLanguages[] =
    "[LANGUAGE]\n"
    "Code.0=fr\nLabel.0=Fran\xC3\xA7"
    "ais\nCountry.0=FR\nJavaLang.0=fr_FR\n"
    "Police.0=Tahoma\nPoliceButton.0=Verdana\nSize.0=21\nMode.0=Bold\n"
    "Code.1=en\nLabel.1=English\nCountry.1=GB\nJavaLang.1=en_GB\n"
    "Code.2=de\nLabel.2=Deutsch\nMode.2=bold\n"
    // Entry 3 has no code but a fallback: passed over by the code search.
    "Label.3=Belgique\nFallback.3=0\n"
    "Code.4=it\nLabel.4=Italiano\nFallback.4=1\n"
    "Code.5=pt\nLabel.5=Portugues\nFallback.5=4\n"
    // A cycle, a self-reference, a fallback that is no number, one past the end.
    "Code.6=c1\nFallback.6=7\n"
    "Code.7=c2\nFallback.7=6\n"
    "Code.8=c3\nFallback.8=8\n"
    "Code.9=c4\nFallback.9=two\n"
    "Code.10=c5\nFallback.10=50\n"
    // A gap: entry 11 is missing, so entry 12 is never reached by code.
    "Code.12=nl\nLabel.12=Nederlands\n";

class LanguageConfigTest : public testing::Test {
  protected:
    void SetUp() override {
        tree.Write("config/language.ini", kLanguages);
        SetPlugins("[VEKFoundationServices]\nIndexDefaultLangue=4\n");
        platform::SetProgramDirectory(tree.Bin());
    }
    void TearDown() override {
        platform::SetProgramDirectory("");
        ClearProfileCache();
    }
    void SetPlugins(const std::string& text) {
        tree.Write("config/VEKplugins.ini", text);
        ClearProfileCache();
    }
    TempTree tree;
};

}  // namespace

TEST_F(LanguageConfigTest, IndexFromIdLangOrCode) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"ID_LANG3", 3},
        {"ID_LANG12", 12},
        {"ID_LANG", 0},
        {"xID_LANG5.7", 5},
        {"ID_LANG99.", 99},
        {"ID_LANGx", 0},
        {"fr", 0},
        {"de", 2},
        {"it", 4},
        {"pt", 5},
        {"DE", 4},
        {"nl", 4},
        {"zz", 4},
        {"xyz", 4},
        {"", 4},
        {"f", 4},
        {"ID_LANG99999999999", INT_MAX},  // saturates: names no language
    };
    for (const auto& [text, index] : cases) {
        EXPECT_EQ(LanguageIndex(text), index) << text;
        std::wstring wide(text.begin(), text.end());
        EXPECT_EQ(LanguageIndex(wide), index) << text;
    }
}

TEST_F(LanguageConfigTest, DefaultIndex) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"[VEKFoundationServices]\nIndexDefaultLangue=2\n", 2},
        {"[VEKFoundationServices]\nIndexDefaultLangue=two\n", 0},
        {"[VEKFoundationServices]\nOther=1\n", 0},
        {"", 0},
    };
    for (const auto& [text, index] : cases) {
        SetPlugins(text);
        EXPECT_EQ(DefaultLanguageIndex(), index) << text;
        EXPECT_EQ(LanguageIndex("zz"), index) << text;
    }
    tree.Write("config/VEKplugins.ini", "");
    std::remove(tree.Path("config/VEKplugins.ini").c_str());
    ClearProfileCache();
    EXPECT_EQ(LanguageIndex("zz"), 0);
}

TEST_F(LanguageConfigTest, ReadersAndFallbackChains) {
    EXPECT_EQ(LanguageCount(), 11);
    EXPECT_EQ(LanguageCode(0), "fr");
    EXPECT_EQ(LanguageCountry(0), "FR");
    EXPECT_EQ(LanguageLabel(0), L"Fran\u00e7ais");
    EXPECT_EQ(LanguageCode(3), "");
    EXPECT_EQ(LanguageCode(-1), "");
    EXPECT_EQ(LanguageLabel(42), L"");

    struct Case {
        int n;
        int resolved;
        std::string code;
        std::wstring label;
        std::string javaLang;
    };
    const std::vector<Case> cases = {
        {0, 0, "fr", L"Fran\u00e7ais", "fr_FR"},
        {3, 0, "fr", L"Fran\u00e7ais", "fr_FR"},
        {4, 1, "en", L"English", "en_GB"},
        {5, 1, "en", L"English", "en_GB"},  // two steps
        {6, -1, "", L"", ""},               // cycle 6 -> 7 -> 6
        {7, -1, "", L"", ""},
        {8, -1, "", L"", ""},   // itself
        {9, -1, "", L"", ""},   // not a number
        {10, 50, "", L"", ""},  // an entry that does not exist has no keys
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveLanguageFallback(c.n), c.resolved) << c.n;
        EXPECT_EQ(ResolvedLanguageCode(c.n), c.code) << c.n;
        EXPECT_EQ(ResolvedLanguageLabel(c.n), c.label) << c.n;
        EXPECT_EQ(ResolvedJavaLang(c.n), c.javaLang) << c.n;
    }
    // The plain readers stay with the entry itself.
    EXPECT_EQ(LanguageLabel(4), L"Italiano");
    EXPECT_EQ(LanguageCode(4), "it");

    // By text: the index first, then the reader.
    EXPECT_EQ(LanguageCode("ID_LANG2"), "de");
    EXPECT_EQ(LanguageCode(L"ID_LANG2"), "de");
    EXPECT_EQ(LanguageLabel("it"), L"Italiano");
    EXPECT_EQ(ResolvedLanguageCode("it"), "en");
    EXPECT_EQ(ResolvedLanguageLabel(L"ID_LANG3"), L"Fran\u00e7ais");
    EXPECT_EQ(ResolvedJavaLang("pt"), "en_GB");
    EXPECT_EQ(LanguageCountry("zz"), "");  // default index 4 has no country
}

TEST_F(LanguageConfigTest, FilesComeFromTheProgramDirectory) {
    // Another tree as the current directory: the program directory's files are read.
    TempTree other;
    other.Write("config/language.ini", "[LANGUAGE]\nCode.0=xx\n");
    EXPECT_EQ(LanguageCode(0), "fr");
    EXPECT_EQ(LanguageFilePath(), tree.Bin() + "\\..\\config\\language.ini");
    EXPECT_EQ(PluginsFilePath(), tree.Bin() + "\\..\\config\\VEKplugins.ini");
    platform::SetProgramDirectory(other.Bin());
    EXPECT_EQ(LanguageCode(0), "xx");
    EXPECT_EQ(LanguageCount(), 1);
}

TEST_F(LanguageConfigTest, MissingFileReadsAsEmpty) {
    platform::SetProgramDirectory(tree.Root() + "/nowhere");
    EXPECT_EQ(LanguageCount(), 0);
    EXPECT_EQ(LanguageIndex("fr"), 0);
    EXPECT_EQ(LanguageCode(0), "");
    EXPECT_EQ(ResolvedLanguageLabel(0), L"");
}

TEST_F(LanguageConfigTest, FontsFromAnEntryWithDefaults) {
    struct Case {
        int n;
        LanguageFontDefaults defaults;
        TextFont expected;
    };
    const std::vector<Case> cases = {
        {0, LanguageScreenFontDefaults(), {L"Tahoma", L"Verdana", 21, 700}},
        {0, StartupFontDefaults(), {L"Tahoma", L"Verdana", 21, 700}},
        {1, LanguageScreenFontDefaults(), {L"Arial", L"Arial", 18, 400}},
        {1, StartupFontDefaults(), {L"@1@", L"@1@", 0, 400}},
        {2, LanguageScreenFontDefaults(), {L"Arial", L"Arial", 18, 400}},  // "bold"
        {1, {L"Face", "12", "Bold"}, {L"Face", L"Face", 12, 700}},
    };
    for (const Case& c : cases) {
        SetCurrentTextFont({L"old", L"old", 99, 700});
        ApplyLanguageFonts(c.n, c.defaults);
        const TextFont& f = CurrentTextFont();
        EXPECT_EQ(f.face, c.expected.face) << c.n;
        EXPECT_EQ(f.buttonFace, c.expected.buttonFace) << c.n;
        EXPECT_EQ(f.height, c.expected.height) << c.n;
        EXPECT_EQ(f.weight, c.expected.weight) << c.n;
    }
}

