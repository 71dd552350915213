#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "screens/ControlIds.h"
#include "screens/ScreenCatalogue.h"
#include "screens/ScreenProfiles.h"
#include "screens/StateSetup.h"
#include "services/Translator.h"
#include "tests/screens/ScreensTestSupport.h"

using namespace screens;

namespace {

class StateSetupTest : public ScreensTest {};

}  // namespace

TEST(Layout, MultipliersAndMoves) {
    // width, height, MultX, MultY (0: no multiplier)
    const double scales[][4] = {{7, 16, 100, 1.0},    {7, 20, 100, 0.8}, {7, 12, 100, 1.33},
                                {21, 32, 33.33, 0.5}, {6, 16, 0, 0},     {7, 0, 0, 0}};
    for (const auto& s : scales) {
        std::optional<LayoutScale> got = ComputeLayoutScale(int(s[0]), int(s[1]));
        ASSERT_EQ(got.has_value(), s[3] != 0) << s[0] << "x" << s[1];
        if (got) {
            EXPECT_EQ(got->multX, s[2]) << s[0] << "x" << s[1];
            EXPECT_EQ(got->multY, s[3]) << s[0] << "x" << s[1];
        }
    }
    struct Move {
        int id;
        VerticalSpan in;
        double multY;
        VerticalSpan out;
    };
    const Move moves[] = {
        {1100, {100, 140}, 0.5, {50, 70}},
        {1003, {100, 140}, 0.5, {50, 74}},
        {1010, {100, 140}, 0.5, {50, 70}},
        {1100, {33, 99}, 0.8, {26, 79}},
        {1100, {-7, 3}, 0.5, {-3, 1}},  // toward zero
        {1100, {2000000000, 1}, 16.67, {2147483647, 16}},
    };
    for (const Move& m : moves) {
        VerticalSpan s = ScaleVerticalSpan(m.id, m.in, m.multY);
        EXPECT_EQ(s.top, m.out.top) << m.id << " " << m.in.top;
        EXPECT_EQ(s.bottom, m.out.bottom) << m.id << " " << m.in.bottom;
    }
}

TEST_F(StateSetupTest, OnlyAMultiplierOtherThanOneMovesControls) {
    EXPECT_FALSE(PlanLayoutAdaptation(0, 7, 16, log).has_value());
    EXPECT_FALSE(PlanLayoutAdaptation(0, 7, 0, log).has_value());
    EXPECT_EQ(LogCount("DEBUG", "Need To resize"), 0);
    EXPECT_EQ(PlanLayoutAdaptation(1, 7, 32, log), 0.5);
    EXPECT_EQ(LogCount("DEBUG", "Base X: 7 BaseY :32"), 1);
    EXPECT_EQ(LogCount("DEBUG", "Mult X: 100.000000 MultY :0.500000"), 1);
    EXPECT_EQ(LogCount("DEBUG", "Need To resize"), 1);
}

TEST_F(StateSetupTest, ScreenSetupsAndConnectionPictures) {
    // Postcode and phone fields take what each country's hold: none is digits-only.
    EXPECT_EQ(ScreenSetupFor("StateQvInfoPdv").kind, SetupKind::None);
    EXPECT_EQ(ScreenSetupFor("StateQvInfoPdv").editIds, std::vector<int>{});
    EXPECT_EQ(ScreenSetupFor("StateConfProxy").editIds, (std::vector<int>{1101}));
    EXPECT_EQ(ScreenSetupFor("StateErrInfo2").kind, SetupKind::PasswordEdits);
    EXPECT_EQ(ScreenSetupFor("StateChoiceBorne").kind, SetupKind::PreselectFirstChoice);
    EXPECT_TRUE(ScreenSetupFor("StateLanguageR").reconfiguration);
    EXPECT_EQ(ScreenSetupFor("statelanguage").kind, SetupKind::None);

    context.SetString("PCModelType", 1, "T1");
    EXPECT_EQ(ConnectionPicture(ScreenSetupFor("StateConnectBornePC"), true, context, log),
              "..\\pictures\\T1ConnectBorne.gif");
    EXPECT_EQ(LogCount("INFO", "Picture 1501 updated with xxxConnectBorne.gif"), 1);
    EXPECT_FALSE(
        ConnectionPicture(ScreenSetupFor("StateConnectRouterModemAction"), false, context, log));
    EXPECT_EQ(LogCount("ERR", "StateConnectRouterModem, widget 1501 not found"), 1);
    // A model type is data, never a format.
    context.SetString("PCModelType", 1, "%S%n");
    EXPECT_EQ(ConnectionPicture(ScreenSetupFor("StatePPD1"), true, context, log),
              "..\\pictures\\%S%nConnexionICV.gif");
    EXPECT_EQ(LogCount("INFO", "Picture 1501 updated with ..\\pictures\\%S%nConnexionICV.gif"), 1);
}

// A name in two rows would silently lose the second row's rules: the lookups take the first.
TEST(ScreenCatalogue, EachScreenAndStateHasOneRowAndItsIdsAreOfTheirKind) {
    std::set<std::string_view> screensSeen, statesSeen;
    for (const ScreenRules& row : ScreenCatalogue()) {
        ASSERT_FALSE(row.screens.empty());
        for (std::string_view name : row.screens)
            EXPECT_TRUE(screensSeen.insert(name).second) << name;
        if (row.save) {
            EXPECT_TRUE(statesSeen.insert(row.save->state).second) << row.save->state;
        }
        for (int id : row.setup.editIds)
            EXPECT_TRUE(ids::kEdits.Contains(id)) << row.screens.front() << " " << id;
        if (row.colours) {
            for (int id : row.colours->labels)
                EXPECT_TRUE(ids::kInvalidDataLabels.Contains(id))
                    << row.screens.front() << " " << id;
        }
    }
}

TEST_F(StateSetupTest, KeyboardIndexOutOfRangeBecomesOne) {
    for (const auto& [stored, shown] :
         {std::pair{0, 1}, {25, 1}, {-5, 1}, {10000, 1}, {24, 24}, {7, 7}}) {
        context.SetInt("KeyboardIndex", 1, stored);
        EXPECT_EQ(CorrectKeyboardIndex(context), shown) << stored;
        EXPECT_EQ(Int("KeyboardIndex"), shown) << stored;
    }
    EXPECT_EQ(KeyboardPicturePath(1), "..\\pictures\\keyb1.bmp");
}

TEST_F(StateSetupTest, LanguageButtonsOnBothScreens) {
    WriteLanguages(
        "Code.0=fr\nLabel.0=Francais\nCode.1=en\nLabel.1=English\n"
        "Label.2=Belge\nFallback.2=0\n"
        "Code.3=de\nLabel.3=Deutsch\nPoliceButton.3=Verdana\nSize.3=30\n");
    auto upTo = [](int last) { return [last](int id) { return id <= last; }; };
    auto entries = [](const std::vector<LanguageButton>& buttons) {
        std::vector<int> out;
        for (const LanguageButton& b : buttons)
            out.push_back(b.entry);
        return out;
    };

    std::vector<LanguageButton> reconf = PlanLanguageButtons(true, "ID_LANG3", upTo(1009));
    ASSERT_EQ(entries(reconf), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(reconf[2].buttonId, 1009);
    EXPECT_EQ(reconf[2].label, L"Deutsch");
    EXPECT_EQ(reconf[2].face, L"Verdana");
    EXPECT_EQ(reconf[2].height, 34);
    EXPECT_TRUE(reconf[2].current);
    EXPECT_FALSE(reconf[0].current);
    EXPECT_EQ(reconf[1].face, L"Arial");
    EXPECT_EQ(reconf[1].height, 24);

    EXPECT_EQ(entries(PlanLanguageButtons(false, "ID_LANG3", upTo(1010))),
              (std::vector<int>{0, 1, 2, 3}));
    // The walk stops at the first missing button, and at 1039, the last choice button, at the
    // latest.
    const std::pair<int, size_t> walks[] = {{1009, 2}, {1038, 31}, {1039, 32}, {1040, 33}};
    for (const auto& [missing, count] : walks) {
        const auto has = [missing = missing](int id) { return id != missing; };
        EXPECT_EQ(PlanLanguageButtons(false, "", has).size(), count) << missing;
        EXPECT_EQ(PlanLanguageButtons(true, "", has).size(), count) << missing;
        EXPECT_EQ(LanguageButtonIds(has).size(), count) << missing;
    }
    // Entry 16 is 10 pixels taller instead of 4.
    std::vector<LanguageButton> all = PlanLanguageButtons(false, "", [](int) { return true; });
    EXPECT_EQ(all[15].height, 24);
    EXPECT_EQ(all[16].height, 30);
}

TEST_F(StateSetupTest, CountryListSurvivesTablesOfAnyShape) {
    WriteLanguages("Code.0=fr\nCode.1=en\nLabel.2=Belge\nFallback.2=0\n");
    WriteTranslations(Entry("PAYFR", "fr", "France") + Entry("PAYBE", "fr", "Belgique") +
                      Entry("PAYX", "fr", "Quatre") + Entry("PAYGB", "en", "Royaume"));
    ZFQTranslator translator;
    translator.LoadLanguage("fr");
    context.SetString("ID_LANG", 1, "ID_LANG2");  // falls back to fr

    std::string big = "Code Langue KSO;ID_COUNTRY\n";
    for (int i = 0; i < 100000; ++i)
        big += "fr;PAYFR\n";
    struct Row {
        const char* name;
        std::optional<std::string> bytes;  // nullopt: no file
        std::vector<std::wstring> listed;
        int errors;  // "Can not ReadFile KSOCountries.csv" so far
    };
    const Row rows[] = {
        {"good",
         "Code Langue KSO;ID_COUNTRY\nfr;PAYBE\nen;PAYGB\nfr;PAYX\nfr;PAYLU\nfr;PAYFR\n",
         {L"Belgique", L"France"},
         0},
        {"missing", std::nullopt, {}, 1},
        {"empty", "", {}, 2},
        {"other columns", "A;B\nfr;PAYFR\n", {}, 2},
        {"ragged",
         "Code Langue KSO;ID_COUNTRY\nfr\nPAYFR;fr;PAYFR\n;;;\nfr;PAYBE\n",
         {L"Belgique"},
         2},
        {"100000 rows", big, std::vector<std::wstring>(220, L"France"), 2},
    };
    for (const Row& r : rows) {
        if (r.bytes)
            tree.Write("config/KSOCountries.csv", *r.bytes);
        else
            std::remove(tree.Path("config/KSOCountries.csv").c_str());
        EXPECT_EQ(CountryListNames(context, translator, log), r.listed) << r.name;
        EXPECT_EQ(LogCount("ERR", "Can not ReadFile KSOCountries.csv"), r.errors) << r.name;
    }
}

// The list opens on the country chosen last, else on the language entry's country, else on the
// first; a choice the list no longer holds (another language) falls through.
TEST_F(StateSetupTest, CountryListStartsOnTheChosenOrTheLanguagesCountry) {
    WriteLanguages(
        "Code.0=fr\nCountry.0=FR\nLabel.1=Belge\nCountry.1=BE\nFallback.1=0\n"
        "Code.2=en\n");
    WriteTranslations(Entry("PAYFR", "fr", "France") + Entry("PAYBE", "fr", "Belgique") +
                      Entry("PAYLU", "fr", "Luxembourg") + Entry("PAYGB", "en", "UK"));
    tree.Write("config/KSOCountries.csv",
               "Code Langue KSO;ID_COUNTRY\nfr;PAYFR\nfr;PAYXX\nfr;PAYBE\nfr;PAYLU\nen;PAYGB\n");
    ZFQTranslator translator;
    translator.LoadLanguage("fr");
    struct Row {
        const char* language;
        const char* codePays;
        int row;
    } const rows[] = {
        {"ID_LANG0", "", 0},   {"ID_LANG1", "", 1},   {"ID_LANG1", "LU", 2},
        {"ID_LANG0", "LU", 2}, {"ID_LANG1", "GB", 1}, {"ID_LANG0", "XX", 0},
    };
    for (const Row& r : rows) {
        context.SetString("ID_LANG", 1, r.language);
        context.SetString("CodePays", 1, r.codePays);
        CountryListing listing = CountryListFor(context, translator, log);
        EXPECT_EQ(listing.names,
                  (std::vector<std::wstring>{L"France", L"Belgique", L"Luxembourg"}));
        EXPECT_EQ(listing.initialRow, r.row) << r.language << " " << r.codePays;
    }
    std::remove(tree.Path("config/KSOCountries.csv").c_str());
    EXPECT_EQ(CountryListFor(context, translator, log).initialRow, -1);
}

// Every choice in the operator's language; what the run did not choose is left out, a kiosk
// only for a kiosk, and no proxy is said.
TEST_F(StateSetupTest, TheSummaryListsEveryChoiceOfTheRun) {
    WriteLanguages("Code.0=fr\nLabel.0=Français\nLabel.1=Français (Belgique)\nFallback.1=0\n");
    WriteTranslations(Entry("PAYBE", "fr", "Belgique") + Entry("id0250", "fr", "Langue") +
                      Entry("id0252", "fr", "Pays") + Entry("id0256", "fr", "Borne") +
                      Entry("id0257", "fr", "Proxy") + Entry("id0259", "fr", "aucun") +
                      Entry("id0260", "fr", "Adresse"));
    ZFQTranslator translator;
    translator.LoadLanguage("fr");
    context.SetString("ID_LANG", 1, "ID_LANG1");
    context.SetString("CodePays", 1, "BE");
    context.SetWide("BorneLabel", 1, L"Borne standard");
    context.SetWide("Adresse", 1, L"1 rue Haute");
    context.SetWide("Ville", 1, L"Liège");
    auto Lines = [&] {
        std::vector<std::wstring> out;
        for (const SummaryLine& line : SummaryLines(context, translator))
            out.push_back(line.caption + L"=" + line.value);
        return out;
    };
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"Langue=Français (Belgique)", L"Pays=Belgique",
                                                  L"Proxy=aucun", L"Adresse=1 rue Haute, Liège"}));
    context.SetString("PCModelType", 1, "BORNE");
    context.SetWide("ProxyHost", 1, L"proxy.example.net");
    context.SetWide("ProxyPort", 1, L"3128");
    context.SetString("CodePays", 1, "ZZ");  // no name: the code
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                           L"Langue=Français (Belgique)", L"Pays=ZZ", L"Borne=Borne standard",
                           L"Proxy=proxy.example.net:3128", L"Adresse=1 rue Haute, Liège"}));
}

// The progress line says which step of how many, in the operator's language; the end screen
// names a failed step, and says nothing of its own for a failure without one.
TEST_F(StateSetupTest, ProgressAndFailureNameTheStep) {
    WriteLanguages("Code.0=fr\n");
    WriteTranslations(Entry("id0274", "fr", "Étape") + Entry("id0276", "fr", "Langue") +
                      Entry("id0273", "fr", "Échec :") + Entry("id0070", "fr", "Réussi"));
    ZFQTranslator translator;
    translator.LoadLanguage("fr");
    EXPECT_EQ(ApplyProgressText(context, translator), L"");
    context.SetString("ApplyStep", 1, "id0276");
    context.SetInt("ApplyStepNumber", 1, 2);
    context.SetInt("ApplyStepCount", 1, 5);
    EXPECT_EQ(ApplyProgressText(context, translator), L"Étape 2 / 5: Langue");
    context.SetInt("ApplyStepNumber", 1, 6);  // past the count: the step alone
    EXPECT_EQ(ApplyProgressText(context, translator), L"Langue");

    context.SetInt("AnalyseState", 1, 0);
    EXPECT_EQ(EndResultText(context, translator), L"Réussi");
    context.SetInt("AnalyseState", 1, 2);
    EXPECT_EQ(EndResultText(context, translator), std::nullopt);
    context.SetString("ApplyFailedStep", 1, "id0276");
    EXPECT_EQ(EndResultText(context, translator), L"Échec : Langue");
}

TEST_F(StateSetupTest, EndScreenTextsFollowTheResultAndTheFlow) {
    WriteTranslations(Entry("id0070", "en", "Installed") + Entry("idOk", "en", "Done") +
                      Entry("idNext", "en", "Restart"));
    ZFQTranslator translator;
    translator.LoadLanguage("en");
    const std::string labels = "..\\config\\QV\\QV_infos.ini";
    struct Row {
        const char* name;
        const char* section;
        int analyse;
        std::vector<std::pair<int, std::wstring>> texts;
    };
    const Row rows[] = {
        {"success texts of the flow",
         "IdCompo.1=1041\nIdTrad.1=idTitle\nIdCompo.2=1043\nIdTrad.2=idFail\n"
         "IdTradSuccess.2=idOk\nIdCompo.3=1044\nIdTradSuccess.3=idNext\nIdMandatory.3=1\n",
         0,
         {{1043, L"Done"}, {1044, L"* Restart"}}},
        {"a success text without translation shows its ID",
         "IdCompo.1=1043\nIdTradSuccess.1=idNone\n",
         0,
         {{1043, L"idNone"}}},
        {"no success text: label 1043 as before",
         "IdCompo.1=1043\nIdTrad.1=idFail\n",
         0,
         {{1043, L"Installed"}}},
        {"not applied", "IdCompo.1=1043\nIdTradSuccess.1=idOk\n", 3, {}},
        {"no analysis yet", "IdCompo.1=1043\nIdTradSuccess.1=idOk\n", -1, {}},
        {"entries stop at the first missing IdCompo",
         "IdCompo.1=1043\nIdTradSuccess.1=idOk\nIdCompo.3=1044\nIdTradSuccess.3=idNext\n",
         0,
         {{1043, L"Done"}}},
    };
    for (const Row& r : rows) {
        tree.Write("config/QV/QV_infos.ini", std::string("[StateEnd3]\n") + r.section);
        ClearProfileCache();
        context.SetInt("AnalyseState", 1, r.analyse);
        EXPECT_EQ(EndResultTexts(context, translator, labels, "StateEnd3"), r.texts) << r.name;
    }
}

// A configured button's caption and its pictures are read together: the theme's buttons draw
// a translated caption over their skins.
TEST_F(ScreensTest, ButtonEntriesKeepTheirCaptionAndTheirPictures) {
    tree.Write("config/QV/QV_pictures.ini",
               "[S]\n"
               "ButtonId.1=1001\nButtonTrad.1=id0003\nButtonNormal.1=n.png\nButtonPush.1=p.png\n"
               "ButtonOver.1=o.png\nButtonDisable.1=d.png\n"
               "ButtonId.2=1002\nButtonTrad.2=id0004\nButtonNormal.2=n.png\nButtonPush.2=p.png\n"
               "ButtonId.3=1007\nButtonNormal.3=n.png\nButtonPush.3=p.png\nButtonOver.3=o.png\n"
               "ButtonId.4=1008\n");
    ClearProfileCache();
    const std::string file = "..\\config\\QV\\QV_pictures.ini";
    const struct {
        int n;
        int id;
        bool trad, bitmaps;
        std::wstring disabled;
    } rows[] = {
        {1, 1001, true, true, L"d.png"},  // caption and all four looks
        {2, 1002, true, false, L""},      // no hover look: the caption alone
        {3, 1007, false, true, L""},      // the looks alone, no disabled one
        {4, 1008, false, false, L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.n);
        const std::optional<screens::ButtonEntry> entry =
            screens::ReadButtonEntry(file, "S", row.n);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->id, row.id);
        EXPECT_EQ(entry->trad.has_value(), row.trad);
        EXPECT_EQ(entry->hasBitmaps, row.bitmaps);
        EXPECT_EQ(entry->disabled, row.disabled);
        EXPECT_EQ(entry->normal, row.bitmaps ? L"n.png" : L"");
    }
    EXPECT_FALSE(screens::ReadButtonEntry(file, "S", 5));
}
