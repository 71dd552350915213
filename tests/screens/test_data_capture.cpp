#include <string>
#include <vector>

#include "screens/DataCapture.h"
#include "tests/screens/ScreensTestSupport.h"

using namespace screens;

namespace {

class DataCaptureTest : public ScreensTest {
  protected:
    std::string WriteSection(const char* file, const std::string& section,
                             const std::string& body) {
        tree.Write(std::string("config/QV/") + file, "[" + section + "]\n" + body);
        ClearProfileCache();
        return std::string("..\\config\\QV\\") + file;
    }
};

}  // namespace

TEST(SaveDispatch, EveryRowAndItsFallThrough) {
    struct Row {
        const char* state;
        int button;
        SaveRule rule;
    };
    const Row rows[] = {
        {"LanguageReconf", 1007, SaveRule::LanguageReconf},
        {"LanguageReconf", 0, SaveRule::Generic},
        {"Language", 1012, SaveRule::LanguageInstall},
        {"Language", 0, SaveRule::Generic},
        {"language", 1007, SaveRule::Generic},  // names are compared exactly
        {"StateChoiceBorne", 1008, SaveRule::ChoiceBorne},
        {"StateChoiceBorne", 1007, SaveRule::Generic},
        {"StateChoicePC", 0, SaveRule::PcModel},
        {"CountryChoice", 0, SaveRule::Country},
        {"InstallationType", 1009, SaveRule::InstallationType},
        {"InstallationType", 0, SaveRule::Generic},
        {"InstallationTypeQV", 1009, SaveRule::InstallationTypeQV},
        {"ChoiceTradeMark", 1008, SaveRule::TradeMark},
        {"GuiAskKeyBoard", 1008, SaveRule::KeyboardChoice},
        {"GuiAskKeyBoard", 1006, SaveRule::Generic},
        {"StateInfo2", 1007, SaveRule::Generic},
        {"", 1007, SaveRule::Generic},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ChooseSaveRule(r.state, r.button), r.rule) << r.state << " " << r.button;
}

TEST_F(DataCaptureTest, SimpleRulesWriteTheirValues) {
    struct Row {
        const char* state;
        int button;
        bool applied;
        int installationType;  // -1: untouched
        int tradeMark;
        const char* typeBorne;
        int lastEvent;
    };
    const Row rows[] = {
        {"InstallationType", 1009, true, 3, -1, "", 3},
        {"InstallationTypeQV", 1009, true, 3, -1, "", 1},
        {"ChoiceTradeMark", 1008, true, -1, 2, "", 1},
        {"GuiAskKeyBoard", 1008, true, -1, -1, "", 5},
        {"StateChoiceBorne", 1008, true, -1, -1, "others", 1},
        {"StateChoiceBorne", 1007, false, -1, -1, "", 0},  // generic save, nothing here
        {"Language", 1008, false, -1, -1, "", 0},          // left to the view
        {"CountryChoice", 0, false, -1, -1, "", 0},
    };
    for (const Row& r : rows) {
        context.SetInt("LastEvent", 1, 0);
        context.SetInt("InstallationType", 1, -1);
        context.SetInt("TradeMark", 1, -1);
        context.SetString("TypeBorne", 1, "");
        EXPECT_EQ(ApplySimpleSaveRule(ChooseSaveRule(r.state, r.button), r.button, context),
                  r.applied)
            << r.state;
        EXPECT_EQ(Int("InstallationType"), r.installationType) << r.state;
        EXPECT_EQ(Int("TradeMark"), r.tradeMark) << r.state;
        EXPECT_EQ(String("TypeBorne"), r.typeBorne) << r.state;
        EXPECT_EQ(Int("LastEvent"), r.lastEvent) << r.state;
    }
}

TEST_F(DataCaptureTest, SaveContextEndsAtTheFirstMissingIdOrAtFiveHundred) {
    std::string body;
    for (int n = 1; n <= 520; ++n)
        body += "IdEdit." + std::to_string(n) + "=" + std::to_string(1100 + n % 40) +
                "\nProperties." + std::to_string(n) + "=P" + std::to_string(n) + "\n";
    std::vector<SaveContextEntry> e =
        ReadSaveContext(WriteSection("QV_saveContext.ini", "Many", body), "Many");
    ASSERT_EQ(e.size(), 500u);
    EXPECT_EQ(e[0].id, 1101);
    EXPECT_EQ(e[499].property, "P500");

    // A missing property ends the list after its entry; a gap ends it before.
    std::string path = WriteSection("QV_saveContext.ini", "S",
                                    "IdEdit.1=1100\nProperties.1=Name\n"
                                    "IdEdit.2=1101\n"
                                    "IdEdit.3=1102\nProperties.3=Never\n");
    e = ReadSaveContext(path, "S");
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[1].id, 1101);
    EXPECT_EQ(e[1].property, "@12$@");
    path = WriteSection("QV_saveContext.ini", "S",
                        "IdEdit.1=1100\nProperties.1=A\nIdEdit.3=1102\nProperties.3=C\n");
    EXPECT_EQ(ReadSaveContext(path, "S").size(), 1u);

    EXPECT_TRUE(ReadSaveContext(path, "NoSuchState").empty());
    EXPECT_TRUE(ReadSaveContext("..\\config\\QV\\missing.ini", "S").empty());
}

TEST_F(DataCaptureTest, ValuesAreCutTo199Characters) {
    const std::string huge(10000, 'x');
    std::string path = WriteSection("QV_saveContext.ini", "S",
                                    "IdEdit.1=" + huge + "\nProperties.1=" + huge + "\n");
    std::vector<SaveContextEntry> e = ReadSaveContext(path, "S");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].property, std::string(199, 'x'));
    EXPECT_EQ(e[0].id, 0);  // no number: no widget has it

    path = WriteSection("QV_infoscontext.ini", "S",
                        "IdEdit.1=1100\nSize.1=5\nProperties.1=" + huge + "\n");
    std::vector<InfosContextEntry> i = ReadInfosContext(path, "S");
    ASSERT_EQ(i.size(), 1u);
    EXPECT_EQ(i[0].property.size(), 199u);
}

TEST_F(DataCaptureTest, InfosContextEntries) {
    std::string path = WriteSection("QV_infoscontext.ini", "StateInfo2",
                                    "IdEdit.1=1045\nProperties.1=KSOLabel\n"
                                    "IdEdit.2=1101\nSize.2=5\nProperties.2=Name\n"
                                    "IdEdit.3=1300\nSize.3=junk\n"
                                    "IdEdit.4=1102\nProperties.4=Never\n");
    std::vector<InfosContextEntry> e = ReadInfosContext(path, "StateInfo2");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].id, 1045);
    EXPECT_FALSE(e[0].size.has_value());
    EXPECT_EQ(e[0].property, "KSOLabel");
    EXPECT_EQ(e[1].size, 5);
    EXPECT_EQ(e[2].id, 1300);
    EXPECT_EQ(e[2].property, "@1@");  // missing: kept, and the last
    EXPECT_EQ(e[2].size, 0);

    EXPECT_TRUE(ReadInfosContext(path, "stateinfo3").empty());
}

TEST(ColorTable, ScreensAndTheirLabels) {
    struct Row {
        const char* screen;
        size_t count;
        ColorRule first;
        ColorRule last;
    };
    const Row rows[] = {
        {"StateConfProxy", 6, {"ProxyInvalidData", 1, 1042}, {"ProxyInvalidData", 6, 1048}},
        {"StateInfo2", 4, {"PPSInvalidData", 1, 1042}, {"PPSInvalidData", 4, 1046}},
        {"StateInfo2b", 4, {"PPSInvalidData", 1, 1042}, {"PPSInvalidData", 4, 1046}},
        {"StateErrInfo2", 4, {"PPSInvalidData", 1, 1042}, {"PPSInvalidData", 4, 1046}},
        {"StateQvInfoPdv", 15, {"PdvInvalidData", 1, 1042}, {"PdvInvalidData", 15, 1056}},
    };
    for (const Row& r : rows) {
        std::vector<ColorRule> rules = ColorRulesFor(r.screen);
        ASSERT_EQ(rules.size(), r.count) << r.screen;
        for (const auto& [got, want] :
             {std::pair{rules.front(), r.first}, std::pair{rules.back(), r.last}}) {
            EXPECT_STREQ(got.property, want.property) << r.screen;
            EXPECT_EQ(got.occurrence, want.occurrence) << r.screen;
            EXPECT_EQ(got.labelId, want.labelId) << r.screen;
        }
    }
    // Proxy labels skip 1044.
    EXPECT_EQ(ColorRulesFor("StateConfProxy")[2].labelId, 1045);
    EXPECT_EQ(ColorRulesFor("StateInfo2")[2].labelId, 1045);
    EXPECT_TRUE(ColorRulesFor("stateconfproxy").empty());
}

TEST_F(DataCaptureTest, OnlyFlagsEqualToOnePaintRed) {
    context.SetInt("PdvInvalidData", 1, 1);
    context.SetInt("PdvInvalidData", 2, 2);
    context.SetInt("PdvInvalidData", 15, 1);
    EXPECT_EQ(LabelsToPaintRed("StateQvInfoPdv", context), (std::vector<int>{1042, 1056}));
    EXPECT_TRUE(LabelsToPaintRed("StateConfProxy", context).empty());
}

TEST(GeneralInfoLabel, BrokenSequencesBecomeS) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"Portugu\u00EF\u00BF\u00BD", L"Portugus"},
        {L"\u00EF\u00BF\u00BDa\u00EF\u00BF\u00BD\u00EF\u00BF\u00BD", L"sass"},
        {L"\u00EF\u00BF!\u00BD", L"\u00EF\u00BF!\u00BD"},  // interrupted: kept
        {L"\u00EF\u00BF", L"\u00EF\u00BF"},
        {L"", L""},
    };
    for (const auto& [in, out] : rows)
        EXPECT_EQ(MendGeneralInfoLabel(in), out);
}

TEST_F(DataCaptureTest, GeneralInfoShowsTheCurrentLanguageMended) {
    // The label's bytes are the UTF-8 form of U+00EF U+00BF U+00BD.
    WriteLanguages(
        "Code.0=fr\nLabel.0=Fran\xC3\xA7"
        "ais\nCode.1=es\nLabel.1=Espa\xC3\xAF\xC2\xBF\xC2\xBDol\n");
    context.SetString("ID_LANG", 1, "ID_LANG1");
    EXPECT_EQ(GeneralInfoLanguageLabel(context), L"Espasol");
    context.SetString("ID_LANG", 1, "ID_LANG0");
    EXPECT_EQ(GeneralInfoLanguageLabel(context), L"Fran\u00E7ais");
}
