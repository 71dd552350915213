#include <string>
#include <vector>

#include "screens/DataCapture.h"
#include "services/Translator.h"
#include "tests/screens/ScreensTestSupport.h"

using namespace screens;

namespace {

class DataCaptureTest : public ScreensTest {
  protected:
    std::string Section(const std::string& body) {
        tree.Write("config/QV/QV_saveContext.ini", "[S]\n" + body);
        ClearProfileCache();
        return "..\\config\\QV\\QV_saveContext.ini";
    }
};

}  // namespace

TEST_F(DataCaptureTest, SaveRulesInTableOrder) {
    struct Row {
        const char* state;
        int button;
        SaveRule rule;
        bool applied;
        int installationType, tradeMark, lastEvent;  // -1, -1, 0: untouched
        const char* typeBorne;
    };
    const Row rows[] = {
        {"LanguageReconf", 1007, SaveRule::LanguageReconf, false, -1, -1, 0, ""},
        {"LanguageReconf", 0, SaveRule::Generic, false, -1, -1, 0, ""},
        {"Language", 1012, SaveRule::LanguageInstall, false, -1, -1, 0, ""},
        {"language", 1007, SaveRule::Generic, false, -1, -1, 0, ""},  // exact names
        {"StateChoiceBorne", 1008, SaveRule::ChoiceBorne, true, -1, -1, 1, "others"},
        {"StateChoiceBorne", 1007, SaveRule::Generic, false, -1, -1, 0, ""},
        {"StateChoicePC", 0, SaveRule::PcModel, false, -1, -1, 0, ""},
        {"CountryChoice", 0, SaveRule::Country, false, -1, -1, 0, ""},
        {"InstallationType", 1009, SaveRule::InstallationType, true, 3, -1, 3, ""},
        {"InstallationType", 0, SaveRule::Generic, false, -1, -1, 0, ""},
        {"InstallationTypeQV", 1009, SaveRule::InstallationTypeQV, true, 3, -1, 1, ""},
        {"ChoiceTradeMark", 1008, SaveRule::TradeMark, true, -1, 2, 1, ""},
        {"GuiAskKeyBoard", 1008, SaveRule::KeyboardChoice, true, -1, -1, 5, ""},
        {"GuiAskKeyBoard", 1006, SaveRule::Generic, false, -1, -1, 0, ""},
        {"StateInfo2", 1007, SaveRule::Generic, false, -1, -1, 0, ""},
    };
    for (const Row& r : rows) {
        context.SetInt("LastEvent", 1, 0);
        context.SetInt("InstallationType", 1, -1);
        context.SetInt("TradeMark", 1, -1);
        context.SetString("TypeBorne", 1, "");
        SaveRule rule = ChooseSaveRule(r.state, r.button);
        EXPECT_EQ(rule, r.rule) << r.state << " " << r.button;
        EXPECT_EQ(ApplySimpleSaveRule(rule, r.button, context), r.applied) << r.state;
        EXPECT_EQ(Int("InstallationType"), r.installationType) << r.state;
        EXPECT_EQ(Int("TradeMark"), r.tradeMark) << r.state;
        EXPECT_EQ(Int("LastEvent"), r.lastEvent) << r.state;
        EXPECT_EQ(String("TypeBorne"), r.typeBorne) << r.state;
    }
}

TEST_F(DataCaptureTest, SaveContextSections) {
    const auto every = [](int) { return true; };
    std::string body;
    for (int n = 1; n <= 520; ++n)
        body += "IdEdit." + std::to_string(n) + "=1100\nProperties." + std::to_string(n) + "=P" +
                std::to_string(n) + "\n";
    std::vector<SaveContextEntry> e = ReadSaveContext(Section(body), "S", every);
    ASSERT_EQ(e.size(), 500u);
    EXPECT_EQ(e[499].property, "P500");

    // A missing property ends the list after its entry; a missing id before it.
    e = ReadSaveContext(Section("IdEdit.1=1100\nProperties.1=A\nIdEdit.2=1101\n"
                                "IdEdit.3=1102\nProperties.3=C\n"),
                        "S", every);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[1].id, 1101);
    EXPECT_EQ(e[1].property, "@12$@");
    EXPECT_EQ(
        ReadSaveContext(Section("IdEdit.1=1100\nProperties.1=A\nIdEdit.3=1\n"), "S", every).size(),
        1u);
    EXPECT_TRUE(ReadSaveContext(Section(""), "S", every).empty());
    EXPECT_TRUE(ReadSaveContext("..\\config\\QV\\missing.ini", "S", every).empty());

    const std::string huge(10000, 'x');
    e = ReadSaveContext(Section("IdEdit.1=" + huge + "\nProperties.1=" + huge + "\n"), "S", every);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].property, std::string(199, 'x'));
    EXPECT_EQ(e[0].id, 0);  // not a number: no widget has it
}

TEST_F(DataCaptureTest, SaveContextPassesOverWidgetsTheScreenLacks) {
    const auto has = [](int id) { return id == 1100 || id == 1102; };
    const struct {
        const char* body;
        std::vector<std::pair<int, std::string>> saved;
    } rows[] = {
        // An absent widget is passed over before its property is read: no property there does
        // not end the list.
        {"IdEdit.1=1105\nIdEdit.2=1100\nProperties.2=B\n", {{1100, "B"}}},
        {"IdEdit.1=1105\nProperties.1=A\nIdEdit.2=1102\nProperties.2=B\n", {{1102, "B"}}},
        {"IdEdit.1=1100\nProperties.1=A\nIdEdit.2=1101\nIdEdit.3=1102\nProperties.3=C\n",
         {{1100, "A"}, {1102, "C"}}},
        // A widget the screen has without its property is still the last.
        {"IdEdit.1=1100\nIdEdit.2=1102\nProperties.2=C\n", {{1100, "@12$@"}}},
        // The first missing IdEdit still ends the list.
        {"IdEdit.1=1105\nIdEdit.3=1100\nProperties.3=C\n", {}},
    };
    for (const auto& row : rows) {
        std::vector<std::pair<int, std::string>> saved;
        for (const SaveContextEntry& e : ReadSaveContext(Section(row.body), "S", has))
            saved.emplace_back(e.id, e.property);
        EXPECT_EQ(saved, row.saved) << row.body;
    }
}

TEST_F(DataCaptureTest, InfosContextKeepsAnEntryWithoutPropertyAsTheLast) {
    std::vector<InfosContextEntry> e =
        ReadInfosContext(Section("IdEdit.1=1045\nProperties.1=KSOLabel\n"
                                 "IdEdit.2=1101\nSize.2=5\nProperties.2=Name\n"
                                 "IdEdit.3=1300\nIdEdit.4=1102\nProperties.4=Never\n"),
                         "S");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_FALSE(e[0].size.has_value());
    EXPECT_EQ(e[1].size, 5);
    EXPECT_EQ(e[2].id, 1300);
    EXPECT_EQ(e[2].property, "@1@");
}

// The reason is read only where a screen has flags, and a field that is no edit is not named.
TEST_F(DataCaptureTest, TheFirstWrongEntryIsReadWhereTheScreenHasFlags) {
    struct Row {
        const char* screen;
        const char* reason;
        int field;
        bool found;
        int expectedField;
    } const rows[] = {
        {"StateConfProxy", "id0301", 1104, true, 1104},
        {"StateQvInfoPdv", "id0310", 1107, true, 1107},
        {"StateInfo2", "id0320", 1041, true, 0},  // a label, not a field
        {"StateConfProxy", "", 1104, false, 0},   // all valid
        {"StateLanguage", "id0301", 1104, false, 0},
    };
    for (const Row& r : rows) {
        context.SetString("InvalidReason", 1, r.reason);
        context.SetInt("InvalidField", 1, r.field);
        std::optional<InvalidEntry> entry = InvalidEntryFor(r.screen, context);
        ASSERT_EQ(entry.has_value(), r.found) << r.screen << " " << r.reason;
        if (entry) {
            EXPECT_EQ(entry->reason, r.reason);
            EXPECT_EQ(entry->field, r.expectedField) << r.screen;
        }
    }
}

TEST_F(DataCaptureTest, InfosContextReadsTheLabelTextKeys) {
    std::vector<InfosContextEntry> e =
        ReadInfosContext(Section("IdEdit.1=1044\nProperties.1=KeyboardLabel\nTranslate.1=1\n"
                                 "IdEdit.2=1047\nProperties.2=KeyboardIndex\nIdTrad.2=id0353\n"
                                 "IdEdit.3=1048\nProperties.3=X\nTranslate.3=yes\n"),
                         "S");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_TRUE(e[0].translateValue);
    EXPECT_TRUE(e[0].trad.empty());
    EXPECT_FALSE(e[1].translateValue);
    EXPECT_EQ(e[1].trad, "id0353");
    EXPECT_FALSE(e[2].translateValue);  // only "1" says so
}

TEST_F(DataCaptureTest, ContextLabelsShowValuesOfEveryTypeTranslatedAndSetInTheirText) {
    ASSERT_EQ(context.addPropertiesContext("Shown", "VOID", 1), 0);
    tree.Write("config/trad/VEK_Trad.xml",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<T>\n"
               "<TraductionElement id=\"id0360\"><Lang codeKSO=\"de\">Englisch (USA)</Lang>"
               "</TraductionElement>\n"
               "<TraductionElement id=\"PAYBE\"><Lang codeKSO=\"de\">Belgien</Lang>"
               "</TraductionElement>\n"
               "<TraductionElement id=\"idTry\"><Lang codeKSO=\"de\">Versuch %1 von %1</Lang>"
               "</TraductionElement>\n"
               "<TraductionElement id=\"idEmpty\"><Lang codeKSO=\"de\"></Lang>"
               "</TraductionElement>\n</T>\n");
    ZFQTranslator translator;
    ASSERT_GT(translator.LoadLanguage("de"), 0);
    context.SetInt("KeyboardIndex", 1, -7);
    context.SetString("CodePays", 1, "BE");
    struct Row {
        const char* name;
        const char* property;
        std::wstring value;  // written to "Shown" when the property is "Shown"
        bool translate;
        const char* trad;
        std::wstring shown;
    };
    const Row rows[] = {
        {"wide text as it is", "Shown", L"Caf\u00e9 %1", false, "", L"Caf\u00e9 %1"},
        {"an INT in decimal", "KeyboardIndex", L"", false, "", L"-7"},
        {"a STRING as text", "CodePays", L"", false, "", L"BE"},
        {"a translation ID translated", "Shown", L"id0360", true, "", L"Englisch (USA)"},
        {"an ID left as it is unless asked", "Shown", L"PAYBE", false, "", L"PAYBE"},
        {"a value that is no ID", "Shown", L"proxy.example.net:3128", true, "",
         L"proxy.example.net:3128"},
        {"an ID too long to be one", "Shown", L"id0360id0360id0360", true, "",
         L"id0360id0360id0360"},
        {"an ID with an empty text", "Shown", L"idEmpty", true, "", L"idEmpty"},
        {"every slot of the text", "KeyboardIndex", L"", false, "idTry", L"Versuch -7 von -7"},
        {"a translated value in the text", "Shown", L"PAYBE", true, "idTry",
         L"Versuch Belgien von Belgien"},
        {"a value holding the slot is set once", "Shown", L"%1", false, "idTry",
         L"Versuch %1 von %1"},
        {"a text without translation shows its ID", "Shown", L"x", false, "idNone", L"idNone"},
        {"a property the context lacks", "Missing", L"", true, "idTry", L"Versuch  von "},
    };
    for (const Row& r : rows) {
        if (std::string(r.property) == "Shown")
            context.SetWide("Shown", 1, r.value);
        InfosContextEntry entry;
        entry.id = 1044;
        entry.property = r.property;
        entry.translateValue = r.translate;
        entry.trad = r.trad;
        EXPECT_EQ(ContextLabelText(entry, context, translator), r.shown) << r.name;
    }
    EXPECT_FALSE(ContextValueText(context, "Missing"));
}

TEST_F(DataCaptureTest, OnlyFlagsEqualToOnePaintTheirLabelRed) {
    context.SetInt("PdvInvalidData", 1, 1);
    context.SetInt("PdvInvalidData", 2, 2);
    context.SetInt("PdvInvalidData", 15, 1);
    context.SetInt("ProxyInvalidData", 3, 1);
    EXPECT_EQ(LabelsToPaintRed("StateQvInfoPdv", context), (std::vector<int>{1042, 1056}));
    EXPECT_EQ(LabelsToPaintRed("StateConfProxy", context), (std::vector<int>{1045}));
    EXPECT_TRUE(LabelsToPaintRed("StateInfo2", context).empty());
}

TEST(GeneralInfoLabel, BrokenSequencesBecomeS) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"Espa\u00EF\u00BF\u00BDol", L"Espasol"},
        {L"\u00EF\u00BF\u00BD\u00EF\u00BF\u00BD", L"ss"},
        {L"\u00EF\u00BF!\u00BD", L"\u00EF\u00BF!\u00BD"},  // interrupted: kept
    };
    for (const auto& [in, out] : rows)
        EXPECT_EQ(MendGeneralInfoLabel(in), out);
}
