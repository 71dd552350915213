// A screen's data capture offscreen: button presses and the events they raise, the per-state
// save rules, typed values saved and shown again, invalid entries in red, per-screen set-up.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <tuple>

#include "automate/ContextNames.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "controls/AnimatedPicture.h"
#include "controls/GradientLabel.h"
#include "controls/SkinControls.h"
#include "controls/VEKButton.h"
#include "platform/Paths.h"
#include "services/LanguageConfig.h"
#include "tests/screens/ViewTestSupport.h"

using controls::SkinEdit;

namespace {

const char kDialog[] = R"(<dialog width="400" height="300" style="child">
  <control id="1042" class="STATIC" x="10" y="30" width="80" height="12" text="L1"/>
  <control id="1043" class="STATIC" x="10" y="50" width="80" height="12" text="L2"/>
  <control id="1100" class="EDIT" x="100" y="30" width="120" height="14"/>
  <control id="1101" class="EDIT" x="100" y="50" width="120" height="14"/>
  <control id="1102" class="EDIT" x="100" y="70" width="120" height="14"/>
  <control id="1300" class="COMBOBOX" x="100" y="140" width="120" height="60"
           style="dropdownlist"/>
  <control id="1200" class="LISTBOX" x="100" y="240" width="120" height="20"/>
  <control id="1500" class="PICTURE" x="10" y="200" width="20" height="20"/>
  <control id="1501" class="PICTURE" x="300" y="200" width="20" height="20"/>
  <control id="1007" class="BUTTON" x="230" y="30" width="60" height="14" text="Alpha"/>
  <control id="1008" class="BUTTON" x="230" y="50" width="60" height="14" text="Beta"/>
  <control id="1009" class="BUTTON" x="230" y="70" width="60" height="14" text="Gamma"/>
  <control id="1003" class="BUTTON" x="100" y="270" width="60" height="16" text="Skip"/>
  <control id="1002" class="BUTTON" x="200" y="270" width="60" height="16" text="Back"/>
  <control id="1001" class="BUTTON" x="300" y="270" width="60" height="16" text="Next"/>
</dialog>)";

const char kSettings[] = R"(<s><key_navigate/><widget_settings>
  <widget_id><value>1100</value><widget_type>EDIT</widget_type></widget_id>
</widget_settings></s>)";

class ScreenCaptureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCurrentTextFont({L"Arial", L"Arial", 16, 400});
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        picture.save(QString::fromStdString(host.tree.Path("pictures/keyb1.bmp")));
        host.tree.Write("config/QV/QV_saveContext.ini",
                        "[StateForm]\nIdEdit.1=1100\nProperties.1=Field\n"
                        "IdEdit.2=1101\nProperties.2=Field\n"  // occurrence 1 again: last wins
                        "[StateChoiceBorne]\nIdEdit.1=1100\nProperties.1=Field\n"
                        // Shared with a screen that has 1105 (and no property for it here).
                        "[StateShared]\nIdEdit.1=1105\nIdEdit.2=1100\nProperties.2=Field\n");
        host.tree.Write("config/QV/QV_infoscontext.ini",
                        "[StateForm]\nIdEdit.1=1100\nSize.1=5\nProperties.1=Field\n"
                        "IdEdit.2=1042\nProperties.2=Field\nIdEdit.3=1300\nProperties.3=Pick\n");
        host.tree.Write("config/QV/QV_combobox.ini",
                        "[Form]\nIdCombo.1=1300\nIdCombo.2=1300\nIdCombo.3=1300\n");
    }
    // Builds screen `screen` for state `state`.
    void Build(const std::string& screen, const std::string& state,
               const std::string& dialog = kDialog) {
        window.reset();  // the old view, destroyed outside a switch, raises -1
        host.context.SetString(ctx::kNameState, 1, state.c_str());
        host.context.SetInt(ctx::kLastEvent, 1, 0);
        WriteScreen(host, screen, dialog, kSettings);
        window = ShowScreen(host, &view);
    }
    CVEKButton* Button(int id) { return view->ControlAs<CVEKButton>(id); }
    std::wstring Field(int occurrence = 1) {
        std::wstring v;
        host.context.GetWide("Field", occurrence, &v);
        return v;
    }

    FakeHost host;
    std::unique_ptr<QWidget> window;
    CQVAppView* view = nullptr;
};

TEST_F(ScreenCaptureTest, OnlyTheFirstEventButtonPressCounts) {
    Build("Form", "StateForm");
    view->OnRangeClickButton(1002);
    view->OnRangeClickButton(1003);
    EXPECT_EQ(host.Int(ctx::kLastEvent), 2);
    EXPECT_GE(host.wakes, 2);
}

TEST_F(ScreenCaptureTest, PressesWhileBusyOrWithAScreenPendingAreIgnored) {
    Build("Form", "StateForm");
    const struct {
        const char* name;
        std::function<void()> arrange;
    } cases[] = {
        {"click in progress", [&] { host.click = true; }},
        {"screen being built", [&] { host.building = true; }},
        {"view switching", [&] { host.switching = true; }},
        {"Gui pending", [&] { host.context.SetString(ctx::kGui, 1, "Next"); }},
    };
    for (const auto& c : cases) {
        c.arrange();
        view->OnRangeClickButton(1002);
        EXPECT_EQ(host.Int(ctx::kLastEvent), 0) << c.name;
        host.click = host.building = host.switching = false;
        host.context.SetString(ctx::kGui, 1, "");
    }
}

TEST_F(ScreenCaptureTest, ValidateWithoutASaveSectionSavesNothingAndRaisesOne) {
    Build("Form", "StateNothing");
    host.context.SetWide("Field", 1, L"before");
    view->ControlAs<QLineEdit>(1100)->setText("typed");
    view->OnRangeClickButton(1001);
    EXPECT_EQ(host.Int(ctx::kLastEvent), 1);
    EXPECT_EQ(Field(), L"before");
}

TEST_F(ScreenCaptureTest, ASharedSectionSavesTheFieldsThisScreenHas) {
    Build("Form", "StateShared");
    ASSERT_EQ(view->Control(1105), nullptr);
    view->ControlAs<QLineEdit>(1100)->setText("kept");
    view->OnRangeClickButton(1001);
    EXPECT_EQ(Field(), L"kept");
    EXPECT_EQ(host.Int(ctx::kLastEvent), 1);
}

TEST_F(ScreenCaptureTest, ChoiceButtonsSelectTheStateSaveRule) {
    const struct {
        const char* state;
        int pushed;
        int event;
        int installationType;
        const char* typeBorne;
        std::wstring field;
    } cases[] = {
        {"InstallationType", 1009, 3, 3, "", L""},
        {"InstallationTypeQV", 1009, 1, 3, "", L""},
        {"GuiAskKeyBoard", 1008, 5, 0, "", L""},
        {"StateChoiceBorne", 1007, 1, 0, "", L"kiosk"},  // generic save
        {"StateChoiceBorne", 1008, 1, 0, "others", L""},
        {"installationtype", 1009, 1, 0, "", L""},  // names are case-sensitive
    };
    for (const auto& c : cases) {
        host.context.SetInt(ctx::kInstallationType, 1, 0);
        host.context.SetString(ctx::kTypeBorne, 1, "");
        host.context.SetWide("Field", 1, L"");
        Build("Form", c.state);
        view->ControlAs<QLineEdit>(1100)->setText("kiosk");
        view->OnRangeClickButton(c.pushed);
        EXPECT_TRUE(Button(c.pushed)->GetCheck()) << c.state;
        EXPECT_EQ(host.Int(ctx::kLastEvent), 0) << c.state;  // a choice raises nothing
        view->OnRangeClickButton(1001);
        EXPECT_EQ(host.Int(ctx::kLastEvent), c.event) << c.state << " " << c.pushed;
        EXPECT_EQ(host.Int(ctx::kInstallationType), c.installationType) << c.state;
        EXPECT_EQ(host.String(ctx::kTypeBorne), c.typeBorne) << c.state;
        EXPECT_EQ(Field(), c.field) << c.state << " " << c.pushed;
    }
}

TEST_F(ScreenCaptureTest, TheChosenButtonIsTheOnlyOneSelectedWithItsMarkers) {
    Build("Form", "StateForm");
    view->OnRangeClickButton(1008);
    view->OnRangeClickButton(1009);
    EXPECT_FALSE(Button(1008)->GetCheck());
    EXPECT_TRUE(Button(1009)->GetCheck());
    EXPECT_TRUE(Button(1009)->hasFocus());
    EXPECT_LT(view->Control(1500)->geometry().right(), Button(1009)->geometry().left() + 1);
    EXPECT_GE(view->Control(1501)->geometry().left(), Button(1009)->geometry().right());
}

TEST_F(ScreenCaptureTest, TypedTextSurvivesTheRoundTripToTheNextScreen) {
    host.context.addPropertiesContext("Pick", "VOID", 1);
    for (const std::wstring& text : {std::wstring(L"Caf\u00e9 Stra\u00dfe \u65e5\u672c"),
                                     std::wstring(L"plain"), std::wstring(L"two\nlines")}) {
        Build("Form", "StateForm");
        view->ControlAs<QLineEdit>(1101)->setText("ignored");
        view->ControlAs<QLineEdit>(1100)->setText(QString::fromStdWString(text));
        // The second entry names the same property: saved in file order, the first one wins
        // only when it comes last, so clear it.
        view->ControlAs<QLineEdit>(1101)->setText(QString::fromStdWString(text));
        view->OnRangeClickButton(1001);
        const std::wstring firstLine = text.substr(0, text.find(L'\n'));
        EXPECT_EQ(Field(), firstLine);

        Build("Form", "StateForm");
        // Size.1=5 bounds typing only: the stored value is shown whole.
        EXPECT_EQ(view->ControlAs<QLineEdit>(1100)->text().toStdWString(), firstLine);
        EXPECT_EQ(view->ControlAs<CGradientLabel>(1042)->Text(), firstLine);
        // Drawn as the other labels are: the panels are light.
        EXPECT_EQ(view->ControlAs<CGradientLabel>(1042)->TextColor(), 0u);
    }
}

TEST_F(ScreenCaptureTest, AnEditTakesAtMostItsSize) {
    Build("Form", "StateForm");
    auto* edit = view->ControlAs<QLineEdit>(1100);
    edit->setFocus();
    QTest::keyClicks(edit, "abcdefgh");
    EXPECT_EQ(edit->text(), "abcde");
}

TEST_F(ScreenCaptureTest, AStoredValueLongerThanTheSizeIsShownAndSavedWhole) {
    host.context.SetWide("Field", 1, L"123456789012");
    Build("Form", "StateForm");  // 1100: Size.1=5
    auto* edit = view->ControlAs<QLineEdit>(1100);
    EXPECT_EQ(edit->text(), "123456789012");
    edit->setFocus();
    edit->end(false);
    QTest::keyClicks(edit, "3");
    EXPECT_EQ(edit->text(), "123456789012");
    view->ControlAs<QLineEdit>(1101)->setText("123456789012");  // the section's second entry
    view->OnRangeClickButton(1001);
    EXPECT_EQ(Field(), L"123456789012");
}

TEST_F(ScreenCaptureTest, TheComboSelectsTheLastItemWithTheSavedData) {
    host.context.addPropertiesContext("Pick", "VOID", 1);
    host.context.SetWide("Pick", 1, L"7");
    Build("Form", "StateForm");
    auto* combo = view->ControlAs<QComboBox>(1300);
    ASSERT_EQ(combo->count(), 3);
    combo->setItemData(0, 3);
    combo->setItemData(1, 7);
    combo->setItemData(2, 7);
    combo->setCurrentIndex(0);
    view->SetEditInformations("Form");
    EXPECT_EQ(combo->currentIndex(), 2);
}

TEST_F(ScreenCaptureTest, InvalidDataFlagsPaintTheirLabelsRed) {
    host.context.addPropertiesContext(ctx::kProxyInvalidData, "INT", 6);
    host.context.SetInt(ctx::kProxyInvalidData, 2, 1);
    host.context.SetInt(ctx::kProxyInvalidData, 1, 2);  // only 1 means invalid
    Build("StateConfProxy", "StateConfProxy");
    EXPECT_EQ(view->ControlAs<CGradientLabel>(1042)->TextColor(), 0u);
    EXPECT_EQ(view->ControlAs<CGradientLabel>(1043)->TextColor(), 255u);
}

TEST_F(ScreenCaptureTest, APasswordNeverReachesTheLog) {
    host.tree.Write("config/QV/QV_infoscontext.ini",
                    "[StateConfProxy]\nIdEdit.1=1101\nProperties.1=Field\n");
    host.context.SetWide("Field", 1, L"s3cr3t-pw");
    Build("StateConfProxy", "StateConfProxy");
    EXPECT_EQ(view->ControlAs<QLineEdit>(1101)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(view->ControlAs<QLineEdit>(1101)->text(), "s3cr3t-pw");
    EXPECT_EQ(view->ControlAs<QLineEdit>(1101)->displayText(), "*********");
    const std::string log = host.tree.Read("Log/1_QV.log");
    EXPECT_EQ(log.find("s3cr3t"), std::string::npos);
    EXPECT_NE(log.find("Update widget [1101] with [*********]"), std::string::npos);
}

TEST_F(ScreenCaptureTest, ACountryThatCannotBeSavedKeepsTheOperatorOnTheScreen) {
    Build("StateCountryChoice", "CountryChoice");  // no country table: an empty list
    EXPECT_EQ(view->ControlAs<QListWidget>(1200)->count(), 0);
    view->OnRangeClickButton(1001);
    EXPECT_EQ(host.Int(ctx::kLastEvent), 0);
    const std::string log = host.tree.Read("Log/1_QV.log");
    EXPECT_NE(log.find("(ERR) Unable to save language and country"), std::string::npos);
    EXPECT_NE(log.find("(ERR) Country not saved : the country screen stays"), std::string::npos);
    view->OnRangeClickButton(1002);  // the screen still answers
    EXPECT_EQ(host.Int(ctx::kLastEvent), 2);
}

TEST_F(ScreenCaptureTest, PerScreenSetUp) {
    Build("StateQvInfoPdv", "StateQvInfoPdv");
    // The postcode (1102) takes letters and spaces.
    EXPECT_FALSE(view->ControlAs<SkinEdit>(1102)->DigitsOnly());
    EXPECT_FALSE(view->ControlAs<SkinEdit>(1101)->DigitsOnly());

    Build("StateChoicePC", "StateChoicePC");
    EXPECT_TRUE(Button(1007)->GetCheck());
    EXPECT_TRUE(Button(1007)->hasFocus());

    for (int index : {0, 25, -5, 10000}) {
        host.context.SetInt(ctx::kKeyboardIndex, 1, index);
        Build("StateGuiKeyBoard", "GuiKeyBoard");
        EXPECT_EQ(host.Int(ctx::kKeyboardIndex), 1) << index;
        EXPECT_TRUE(view->ControlAs<AnimatedPicture>(1501)->IsLoaded()) << index;
    }
}

TEST_F(ScreenCaptureTest, ContextLabelsShowTranslatedValuesInTheirTexts) {
    host.tree.Write("config/trad/VEK_Trad.xml",
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<T>\n"
                    "<TraductionElement id=\"idLayout\"><Lang codeKSO=\"en\">Belgian</Lang>"
                    "</TraductionElement>\n"
                    "<TraductionElement id=\"idOf\"><Lang codeKSO=\"en\">%1 / 24</Lang>"
                    "</TraductionElement>\n</T>\n");
    host.translator.LoadLanguage("en");
    host.tree.Write("config/QV/QV_infoscontext.ini",
                    "[StateForm]\nIdEdit.1=1042\nProperties.1=Field\nTranslate.1=1\n"
                    "IdEdit.2=1043\nProperties.2=KeyboardIndex\nIdTrad.2=idOf\n"
                    "IdEdit.3=1100\nProperties.3=Field\nTranslate.3=1\n");
    ClearProfileCache();
    host.context.SetWide("Field", 1, L"idLayout");
    host.context.SetInt(ctx::kKeyboardIndex, 1, 3);
    Build("Form", "StateForm");
    EXPECT_EQ(view->ControlAs<CGradientLabel>(1042)->Text(), L"Belgian");
    EXPECT_EQ(view->ControlAs<CGradientLabel>(1043)->Text(), L"3 / 24");
    // A field shows what it will save: the value itself.
    EXPECT_EQ(view->ControlAs<QLineEdit>(1100)->text(), "idLayout");
}

TEST_F(ScreenCaptureTest, TheEndScreenSaysWhatTheFlowDidOnceApplied) {
    const char dialog[] = R"(<dialog width="400" height="300" style="child">
  <control id="1043" class="STATIC" x="10" y="30" width="300" height="12"/>
  <control id="1044" class="STATIC" x="10" y="50" width="300" height="12"/>
  <control id="1001" class="BUTTON" x="300" y="270" width="60" height="16" text="Finish"/>
</dialog>)";
    host.tree.Write("config/trad/VEK_Trad.xml",
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<T>\n"
                    "<TraductionElement id=\"idFail\"><Lang codeKSO=\"en\">Not applied</Lang>"
                    "</TraductionElement>\n"
                    "<TraductionElement id=\"idDone\"><Lang codeKSO=\"en\">Reconfigured</Lang>"
                    "</TraductionElement>\n"
                    "<TraductionElement id=\"idNext\"><Lang codeKSO=\"en\">Restart</Lang>"
                    "</TraductionElement>\n</T>\n");
    host.translator.LoadLanguage("en");
    host.tree.Write("config/QV/QV_infos.ini",
                    "[StateEnd3]\nIdCompo.1=1043\nIdTrad.1=idFail\nIdTradSuccess.1=idDone\n"
                    "IdCompo.2=1044\nIdTradSuccess.2=idNext\n");
    ClearProfileCache();
    for (const auto& [analysis, result, next] :
         {std::tuple{0, L"Reconfigured", L"Restart"}, std::tuple{2, L"Not applied", L""}}) {
        host.context.SetInt(ctx::kAnalyseState, 1, analysis);
        window.reset();
        host.context.SetString(ctx::kNameState, 1, "StateEnd3");
        WriteScreen(host, "StateEnd3", dialog, kSettings);
        window = ShowScreen(host, &view);
        EXPECT_EQ(view->ControlAs<CGradientLabel>(1043)->Text(), result) << analysis;
        EXPECT_EQ(view->ControlAs<CGradientLabel>(1044)->Text(), next) << analysis;
    }
}

}  // namespace

namespace {

class LanguageScreenTest : public ScreenCaptureTest {
  protected:
    void SetUp() override {
        ScreenCaptureTest::SetUp();
        platform::SetProgramDirectory(host.tree.Bin());
        std::string entries = "[LANGUAGE]\n";
        const char* codes[] = {"fr", "en", "", "de"};
        for (int n = 0; n < 4; ++n)
            entries += StrFormat("Code.%d=%s\nLabel.%d=L%d\n", n, codes[n], n, n);
        entries += "Fallback.2=0\n";
        host.tree.Write("config/language.ini", entries);
        ClearProfileCache();
        host.context.SetString(ctx::kIdLang, 1, "ID_LANG1");
    }
    void TearDown() override {
        platform::SetProgramDirectory("");
        ClearProfileCache();
    }
    std::wstring Caption(int id) { return Button(id)->Caption(controls::kStateNormal); }
    // A language screen with the buttons 1007 .. last and the validate button.
    static std::string LanguageDialog(int last) {
        std::string dialog = R"(<dialog width="400" height="300" style="child">)";
        for (int id = 1007; id <= last; ++id)
            dialog += StrFormat(R"(<control id="%d" class="BUTTON" x="10" y="%d" width="60" )"
                                R"(height="8" text="b"/>)",
                                id, 8 * (id - 1007));
        return dialog + R"(<control id="1001" class="BUTTON" x="300" y="270" width="60" )"
                        R"(height="16" text="Next"/></dialog>)";
    }
};

TEST_F(LanguageScreenTest, ReconfigurationSkipsEntriesWithAFallback) {
    Build("StateLanguage", "Language");
    EXPECT_EQ(Caption(1007), L"L0");
    EXPECT_EQ(Caption(1009), L"L2");
    EXPECT_TRUE(Button(1008)->GetCheck());  // ID_LANG1
    EXPECT_TRUE(Button(1008)->hasFocus());
    EXPECT_FALSE(Button(1007)->GetCheck());

    Build("StateLanguageR", "LanguageReconf");
    EXPECT_EQ(Caption(1007), L"L0");
    EXPECT_EQ(Caption(1008), L"L1");
    EXPECT_EQ(Caption(1009), L"L3");
}

TEST_F(LanguageScreenTest, WithALoggerThatWritesNothingTheScreensDoTheSameWork) {
    host.quiet = true;
    Build("StateConfProxy", "StateConfProxy");
    EXPECT_EQ(view->ControlAs<QLineEdit>(1101)->echoMode(), QLineEdit::Password);

    Build("StateLanguage", "Language");
    EXPECT_TRUE(Button(1008)->GetCheck());  // the set-up of the language buttons ran
    view->OnRangeClickButton(1009);
    view->OnRangeClickButton(1001);
    EXPECT_EQ(host.String(ctx::kIdLang), "ID_LANG2");
    EXPECT_EQ(host.Int(ctx::kLastEvent), 1);
    EXPECT_EQ(host.tree.Read("Log/1_QV.log").find("manageSaveData"), std::string::npos);
}

TEST_F(LanguageScreenTest, TheStateNotTheScreenNameShowsTheGeneralInfoLanguage) {
    const char dialog[] = R"(<dialog width="400" height="300" style="child">
  <control id="1045" class="STATIC" x="10" y="30" width="80" height="12" text="x"/>
  <control id="1046" class="STATIC" x="10" y="50" width="80" height="12" text="y"/>
</dialog>)";
    const struct {
        const char* screen;
        const char* state;
        std::wstring label1045, label1046;
    } rows[] = {
        {"StateGeneralInfo", "GeneralInfo", L"L1", L"L1"},  // ID_LANG1
        {"GeneralInfo", "StateOther", L"x", L"y"},
    };
    for (const auto& row : rows) {
        Build(row.screen, row.state, dialog);
        EXPECT_EQ(view->ControlAs<CGradientLabel>(1045)->Text(), row.label1045) << row.screen;
        EXPECT_EQ(view->ControlAs<CGradientLabel>(1046)->Text(), row.label1046) << row.screen;
    }
}

TEST_F(LanguageScreenTest, TheWalkGoesOnToTheLastChoiceButton) {
    std::string entries = "[LANGUAGE]\n";
    for (int n = 0; n < 33; ++n)
        entries += StrFormat("Code.%d=c%d\nLabel.%d=L%d\n", n, n, n, n);
    host.tree.Write("config/language.ini", entries);
    ClearProfileCache();
    host.context.SetString(ctx::kIdLang, 1, "ID_LANG32");
    Build("StateLanguage", "Language", LanguageDialog(1039));
    EXPECT_EQ(Caption(1038), L"L31");
    EXPECT_EQ(Caption(1039), L"L32");
    EXPECT_TRUE(Button(1039)->GetCheck());
    view->OnRangeClickButton(1038);
    EXPECT_TRUE(Button(1038)->GetCheck());
    view->OnRangeClickButton(1001);
    EXPECT_EQ(host.String(ctx::kIdLang), "ID_LANG31");
}

TEST_F(LanguageScreenTest, OnlyThePressedLanguageIsRed) {
    Build("StateLanguage", "Language", LanguageDialog(1010));
    const auto red = [&] {
        std::vector<int> ids;
        for (int id = 1007; id <= 1010; ++id) {
            if (Button(id)->TextColor(controls::kStateNormal) == 255u)
                ids.push_back(id);
        }
        return ids;
    };
    EXPECT_EQ(red(), std::vector<int>{1008});  // ID_LANG1
    for (int id : {1008, 1009, 1010, 1009})
        view->OnRangeClickButton(id);
    EXPECT_EQ(red(), std::vector<int>{1009});
    for (int state : {controls::kStatePushed, controls::kStateHot, controls::kStateDisabled}) {
        EXPECT_EQ(Button(1009)->TextColor(state), 255u) << state;
        EXPECT_EQ(Button(1008)->TextColor(state), 0u) << state;
    }
}

TEST_F(LanguageScreenTest, ValidatingSavesThePressedLanguage) {
    Build("StateLanguage", "Language");
    view->OnRangeClickButton(1009);
    EXPECT_TRUE(Button(1009)->GetCheck());
    view->OnRangeClickButton(1001);
    // The entry pressed is recorded, although its texts come from its fallback.
    EXPECT_EQ(host.String(ctx::kIdLang), "ID_LANG2");
    EXPECT_EQ(host.Int(ctx::kLastEvent), 1);

    Build("StateLanguageR", "LanguageReconf");
    view->OnRangeClickButton(1009);  // the third entry without fallback: 3
    view->OnRangeClickButton(1001);
    EXPECT_EQ(host.String(ctx::kIdLang), "ID_LANG3");
}

}  // namespace
