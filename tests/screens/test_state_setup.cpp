#include <optional>
#include <string>
#include <vector>

#include "screens/StateSetup.h"
#include "services/Translator.h"
#include "tests/screens/ScreensTestSupport.h"

using namespace screens;

namespace {

class StateSetupTest : public ScreensTest {};

// Entries 0 to 3, entry 2 falling back to 0; fonts on entries 0 and 3 only.
const char kFourLanguages[] =
    "Code.0=fr\nLabel.0=Francais\nPoliceButton.0=Tahoma\nSize.0=22\n"
    "Code.1=en\nLabel.1=English\n"
    "Label.2=Belge\nFallback.2=0\n"
    "Code.3=de\nLabel.3=Deutsch\nPoliceButton.3=Verdana\nSize.3=30\n";

std::vector<int> Entries(const std::vector<LanguageButton>& buttons) {
    std::vector<int> out;
    for (const LanguageButton& b : buttons)
        out.push_back(b.entry);
    return out;
}

}  // namespace

TEST(LayoutScale, MultipliersFromTheFontMetrics) {
    struct Row {
        int width;
        int height;
        std::optional<double> multX;
        double multY;
    };
    const Row rows[] = {
        {7, 16, 100.0, 1.0},      {7, 20, 100.0, 0.8},     {7, 12, 100.0, 1.33},
        {7, 32, 100.0, 0.5},      {14, 16, 50.0, 1.0},     {21, 16, 33.33, 1.0},
        {8, 17, 100.0, 0.94},  // 100 / 106
        {6, 16, std::nullopt, 0}, {7, 0, std::nullopt, 0}, {7, -4, std::nullopt, 0},
    };
    for (const Row& r : rows) {
        std::optional<LayoutScale> s = ComputeLayoutScale(r.width, r.height);
        ASSERT_EQ(s.has_value(), r.multX.has_value()) << r.width << "x" << r.height;
        if (s) {
            EXPECT_EQ(s->multX, *r.multX) << r.width << "x" << r.height;
            EXPECT_EQ(s->multY, r.multY) << r.width << "x" << r.height;
        }
    }
}

TEST_F(StateSetupTest, OnlyAMultiplierOtherThanOneMovesControls) {
    EXPECT_FALSE(PlanLayoutAdaptation(0, 7, 16, log).has_value());
    EXPECT_EQ(LogCount("DEBUG", "Need To resize"), 0);
    EXPECT_EQ(PlanLayoutAdaptation(1, 7, 32, log), 0.5);
    EXPECT_EQ(LogCount("DEBUG", "char set 1"), 1);
    EXPECT_EQ(LogCount("DEBUG", "Base X: 7 BaseY :32"), 1);
    EXPECT_EQ(LogCount("DEBUG", "Mult X: 100.000000 MultY :0.500000"), 1);
    EXPECT_EQ(LogCount("DEBUG", "Need To resize"), 1);
    // A height of 0 would divide by zero: the layout stays as designed.
    EXPECT_FALSE(PlanLayoutAdaptation(0, 7, 0, log).has_value());
    EXPECT_EQ(LogCount("DEBUG", "Need To resize"), 1);
}

TEST(LayoutScale, ControlsMoveByMultY) {
    struct Row {
        int id;
        VerticalSpan in;
        double multY;
        VerticalSpan out;
    };
    const Row rows[] = {
        {1100, {100, 140}, 0.5, {50, 70}},
        {1003, {100, 140}, 0.5, {50, 74}},  // buttons below 1010 grow by 4
        {1009, {100, 140}, 0.5, {50, 74}},
        {1010, {100, 140}, 0.5, {50, 70}},
        {1100, {33, 99}, 0.8, {26, 79}},  // truncated
        {1100, {10, 20}, 1.33, {13, 26}},
        {1100, {-7, 3}, 0.5, {-3, 1}},  // toward zero
        {1100, {2000000000, 2100000000}, 16.67, {2147483647, 2147483647}},
    };
    for (const Row& r : rows) {
        VerticalSpan s = ScaleVerticalSpan(r.id, r.in, r.multY);
        EXPECT_EQ(s.top, r.out.top) << r.id << " " << r.in.top;
        EXPECT_EQ(s.bottom, r.out.bottom) << r.id << " " << r.in.bottom;
    }
}

TEST(ScreenSetupTable, KindsAndTheirData) {
    struct Row {
        const char* screen;
        SetupKind kind;
        std::vector<int> edits;
    };
    const Row rows[] = {
        {"StateConnectRouterPC", SetupKind::ConnectionPicture, {}},
        {"StateConnectRouterPCVerif", SetupKind::ConnectionPicture, {}},
        {"StateConnectRouterModemAction", SetupKind::ConnectionPicture, {}},
        {"StateConnectBornePC", SetupKind::ConnectionPicture, {}},
        {"StatePPD1", SetupKind::ConnectionPicture, {}},
        {"StateChoicePC", SetupKind::PreselectFirstChoice, {}},
        {"StateInstallationType", SetupKind::PreselectFirstChoice, {}},
        {"StateInstallationTypeQV", SetupKind::PreselectFirstChoice, {}},
        {"StateChoiceTradeMark", SetupKind::PreselectFirstChoice, {}},
        {"StateGuiAskKeyBoard", SetupKind::PreselectFirstChoice, {}},
        {"StateChoiceBorne", SetupKind::PreselectFirstChoice, {}},
        {"StateConfProxy", SetupKind::PasswordEdits, {1101}},
        {"StateInfo2", SetupKind::PasswordEdits, {1102}},
        {"StateInfo2b", SetupKind::PasswordEdits, {1102}},
        {"StateErrInfo2", SetupKind::PasswordEdits, {1102}},
        {"StateQvInfoPdv", SetupKind::DigitsOnlyEdits, {1102, 1107, 1108, 1112}},
        {"StateEnd3", SetupKind::EndResult, {}},
        {"StateCountryChoice", SetupKind::CountryList, {}},
        {"StateGuiKeyBoard", SetupKind::KeyboardPicture, {}},
        {"StateLanguage", SetupKind::LanguageButtons, {}},
        {"StateLanguageR", SetupKind::LanguageButtons, {}},
        {"statelanguage", SetupKind::None, {}},
        {"StateEnd", SetupKind::None, {}},
    };
    for (const Row& r : rows) {
        ScreenSetup s = ScreenSetupFor(r.screen);
        EXPECT_EQ(s.kind, r.kind) << r.screen;
        EXPECT_EQ(s.editIds, r.edits) << r.screen;
    }
    EXPECT_TRUE(ScreenSetupFor("StateLanguageR").reconfiguration);
    EXPECT_FALSE(ScreenSetupFor("StateLanguage").reconfiguration);
}

TEST_F(StateSetupTest, ConnectionPicturesFollowTheModelType) {
    struct Row {
        const char* screen;
        const char* path;
        const char* line;
        const char* missing;
    };
    const Row rows[] = {
        {"StateConnectRouterPC", "..\\pictures\\T1connectRouter.gif",
         "Picture 1501 updated with xxxConnectRouter.gif",
         "StateConnectRouterPC, widget 1501 not found"},
        {"StateConnectRouterModemAction", "..\\pictures\\T1ConnectBorneRouter.gif",
         "Picture 1501 updated with xxxConnectBorneRouter.gif",
         "StateConnectRouterModem, widget 1501 not found"},
        {"StateConnectBornePC", "..\\pictures\\T1ConnectBorne.gif",
         "Picture 1501 updated with xxxConnectBorne.gif",
         "StateConnectBornePC, widget 1501 not found"},
        {"StatePPD1", "..\\pictures\\T1ConnexionICV.gif",
         "Picture 1501 updated with ..\\pictures\\T1ConnexionICV.gif",
         "PPD1, widget 1501 not found"},
    };
    context.SetString("PCModelType", 1, "T1");
    for (const Row& r : rows) {
        ScreenSetup s = ScreenSetupFor(r.screen);
        EXPECT_EQ(ConnectionPicture(s, true, context, log), std::string(r.path)) << r.screen;
        EXPECT_EQ(LogCount("INFO", r.line), 1) << r.screen;
        EXPECT_FALSE(ConnectionPicture(s, false, context, log).has_value());
        EXPECT_EQ(LogCount("ERR", r.missing), 1) << r.screen;
    }
    // A model type is data, never a format.
    context.SetString("PCModelType", 1, "%S%d%n");
    EXPECT_EQ(ConnectionPicture(ScreenSetupFor("StatePPD1"), true, context, log),
              "..\\pictures\\%S%d%nConnexionICV.gif");
    EXPECT_FALSE(ConnectionPicture(ScreenSetupFor("StateEnd3"), true, context, log));
}

TEST_F(StateSetupTest, KeyboardIndexOutOfRangeBecomesOne) {
    const std::pair<int, int> rows[] = {{0, 1}, {25, 1},  {-5, 1}, {10000, 1},
                                        {1, 1}, {24, 24}, {7, 7}};
    for (const auto& [stored, shown] : rows) {
        context.SetInt("KeyboardIndex", 1, stored);
        EXPECT_EQ(CorrectKeyboardIndex(context), shown) << stored;
        EXPECT_EQ(Int("KeyboardIndex"), shown) << stored;
    }
    EXPECT_EQ(KeyboardPicturePath(1), "..\\pictures\\keyb1.bmp");
    EXPECT_EQ(KeyboardPicturePath(24), "..\\pictures\\keyb24.bmp");
}

TEST_F(StateSetupTest, EndScreenShowsTheResultOnlyAfterASuccessfulAnalysis) {
    WriteTranslations(Entry("id0070", "fr", "Installation reussie"));
    ZFQTranslator translator;
    translator.LoadLanguage("fr");
    context.SetInt("AnalyseState", 1, 0);
    EXPECT_EQ(EndResultText(context, translator), std::wstring(L"Installation reussie"));
    context.SetInt("AnalyseState", 1, 3);
    EXPECT_FALSE(EndResultText(context, translator).has_value());
}

TEST_F(StateSetupTest, LanguageButtonsOnBothScreens) {
    WriteLanguages(kFourLanguages);
    context.SetString("ID_LANG", 1, "ID_LANG3");
    auto upTo = [](int last) { return [last](int id) { return id <= last; }; };

    std::vector<LanguageButton> reconf = PlanLanguageButtons(true, "ID_LANG3", upTo(1009));
    EXPECT_EQ(Entries(reconf), (std::vector<int>{0, 1, 3}));
    ASSERT_EQ(reconf.size(), 3u);
    EXPECT_EQ(reconf[2].buttonId, 1009);
    EXPECT_EQ(reconf[2].label, L"Deutsch");
    EXPECT_EQ(reconf[2].face, L"Verdana");
    EXPECT_EQ(reconf[2].height, 34);
    EXPECT_TRUE(reconf[2].current);
    EXPECT_FALSE(reconf[0].current);
    EXPECT_EQ(reconf[1].face, L"Arial");  // defaults
    EXPECT_EQ(reconf[1].height, 24);

    std::vector<LanguageButton> install = PlanLanguageButtons(false, "ID_LANG3", upTo(1010));
    EXPECT_EQ(Entries(install), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(install[2].label, L"Belge");
    EXPECT_EQ(install[0].height, 26);

    // The walk ends at the first missing button, and never goes past 1037.
    EXPECT_EQ(PlanLanguageButtons(false, "ID_LANG0", [](int id) { return id != 1009; }).size(), 2u);
    EXPECT_TRUE(PlanLanguageButtons(false, "ID_LANG0", [](int) { return false; }).empty());
    std::vector<LanguageButton> all =
        PlanLanguageButtons(true, "ID_LANG0", [](int) { return true; });
    ASSERT_EQ(all.size(), 31u);
    EXPECT_EQ(all.back().buttonId, 1037);
    EXPECT_EQ(all.back().label, L"");  // more buttons than languages
}

TEST_F(StateSetupTest, SeventeenthLanguageButtonIsTaller) {
    std::string entries;
    for (int n = 0; n <= 17; ++n)
        entries += "Code." + std::to_string(n) + "=c" + std::to_string(n) + "\nSize." +
                   std::to_string(n) + "=20\n";
    WriteLanguages(entries);
    std::vector<LanguageButton> b =
        PlanLanguageButtons(false, "ID_LANG0", [](int) { return true; });
    ASSERT_GE(b.size(), 18u);
    EXPECT_EQ(b[15].height, 24);
    EXPECT_EQ(b[16].height, 30);
    EXPECT_EQ(b[17].height, 24);
}

TEST_F(StateSetupTest, CountryListOfTheCurrentLanguage) {
    WriteLanguages("Code.0=fr\nCode.1=en\nLabel.2=Belge\nFallback.2=0\n");
    WriteTranslations(Entry("PAYFR", "fr", "France") + Entry("PAYBE", "fr", "Belgique") +
                      Entry("PAYGB", "en", "United Kingdom") + Entry("PAYX", "fr", "Quatre") +
                      Entry("PAYCHX", "fr", "Six"));
    tree.Write("config/KSOCountries.csv",
               "Code Langue KSO;ID_COUNTRY\n"
               "fr;PAYFR\nfr;PAYBE\nen;PAYGB\nfr;PAYX\nfr;PAYCHX\nfr;PAYLU\nFR;PAYFR\n");
    ZFQTranslator translator;
    translator.LoadLanguage("fr");
    context.SetString("ID_LANG", 1, "ID_LANG2");  // falls back to fr
    EXPECT_EQ(CountryListNames(context, translator, log),
              (std::vector<std::wstring>{L"France", L"Belgique"}));
    EXPECT_EQ(LogCount("ERR", "Can not ReadFile KSOCountries.csv"), 0);
}

TEST_F(StateSetupTest, CountryTablesOfAnyShapeAreSurvived) {
    WriteLanguages("Code.0=fr\n");
    WriteTranslations(Entry("PAYFR", "fr", "France"));
    ZFQTranslator translator;
    translator.LoadLanguage("fr");
    context.SetString("ID_LANG", 1, "ID_LANG0");

    static const char kBinary[] = "Code Langue KSO;ID_COUNTRY\n\0\xff;\n;\n\n\n";
    std::string big = "Code Langue KSO;ID_COUNTRY\n";
    for (int i = 0; i < 100000; ++i)
        big += "fr;PAYFR\n";
    std::string late = "Code Langue KSO;ID_COUNTRY\n";
    for (int i = 0; i < 220; ++i)
        late += "en;PAYGB\n";
    late += "fr;PAYFR\n";  // row 220: never examined

    struct Row {
        const char* name;
        std::optional<std::string> bytes;  // nullopt: no file
        size_t listed;
        int errors;
    };
    const Row rows[] = {
        {"missing", std::nullopt, 0, 1},
        {"empty", std::string(), 0, 1},
        {"header only", std::string("Code Langue KSO;ID_COUNTRY\n"), 0, 0},
        {"other columns", std::string("A;B\nfr;PAYFR\n"), 0, 0},
        {"ragged", std::string("Code Langue KSO;ID_COUNTRY\nfr\nPAYFR;fr;PAYFR\n;;;\nfr;PAYFR\n"),
         1, 0},
        {"binary", std::string(kBinary, sizeof kBinary - 1), 0, 0},
        {"100000 rows", big, 220, 0},
        {"row 220", late, 0, 0},
    };
    int errors = 0;
    for (const Row& r : rows) {
        if (r.bytes)
            tree.Write("config/KSOCountries.csv", *r.bytes);
        else
            std::remove(tree.Path("config/KSOCountries.csv").c_str());
        EXPECT_EQ(CountryListNames(context, translator, log).size(), r.listed) << r.name;
        errors += r.errors;
        EXPECT_EQ(LogCount("ERR", "Can not ReadFile KSOCountries.csv"), errors) << r.name;
    }
}
