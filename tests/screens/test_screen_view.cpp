// A screen built from its files, offscreen, and driven with the keyboard alone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QTest>

#include "automate/ContextNames.h"
#include "controls/AnimatedPicture.h"
#include "controls/GradientLabel.h"
#include "controls/SkinControls.h"
#include "services/LanguageConfig.h"
#include "tests/screens/ViewTestSupport.h"

using controls::NavComboBox;
using controls::NavEdit;
using controls::NavListBox;
using controls::SkinComboBox;
using controls::SkinEdit;

namespace {

const char kDialog[] = R"(<dialog width="400" height="300" style="child">
  <control id="1041" class="STATIC" x="10" y="5" width="200" height="14" text="T"/>
  <control id="1042" class="STATIC" x="10" y="30" width="80" height="12" text="L1"/>
  <control id="1043" class="STATIC" x="10" y="50" width="80" height="12" text="L2"/>
  <control id="999" class="STATIC" x="300" y="5" width="40" height="12" text="plain"/>
  <control id="1100" class="EDIT" x="100" y="30" width="120" height="14" style="tabstop"/>
  <control id="1101" class="EDIT" x="100" y="50" width="120" height="14" style="number"/>
  <control id="1102" class="EDIT" x="100" y="70" width="120" height="14" style="password"/>
  <control id="1200" class="LISTBOX" x="100" y="90" width="120" height="40"/>
  <control id="1300" class="COMBOBOX" x="100" y="140" width="120" height="60"
           style="dropdownlist"/>
  <control id="1301" class="COMBOBOX" x="230" y="140" width="120" height="60"
           style="dropdownlist"/>
  <control id="1500" class="PICTURE" x="300" y="30" width="20" height="20"/>
  <control id="1007" class="BUTTON" x="230" y="30" width="60" height="14" text="Choice"/>
  <control id="1002" class="BUTTON" x="200" y="270" width="60" height="16" text="Back"/>
  <control id="1001" class="BUTTON" x="300" y="270" width="60" height="16" text="Next"/>
</dialog>)";

std::string Rule(const char* key, int source, int target) {
    return std::string("<key_rule><input><key>") + key + "</key><widget_id>" +
           std::to_string(source) + "</widget_id></input><output><widget_id>" +
           std::to_string(target) + "</widget_id></output></key_rule>";
}

std::string Widget(int id, const char* type, bool mandatory = false, const std::string& link = "") {
    std::string s = "<widget_id><value>" + std::to_string(id) + "</value><widget_type>" + type +
                    "</widget_type><widget_mandatory>" + (mandatory ? "true" : "false") +
                    "</widget_mandatory>";
    if (!link.empty())
        s += "<external_img_link>" + link + "</external_img_link>";
    return s + "</widget_id>";
}

// The walk: 1101 (first empty mandatory edit) -Tab-> 1102 -Tab-> 1200 -Down (stays)-> 1200
// -Right-> 1300 -F3-> 1002 ("button": focus only) -Left-> 1300 -Return-> 1001, pressed.
std::string Settings() {
    return "<s><key_navigate>" + Rule("Tab", 1100, 1101) + Rule("TAB", 1101, 1102) +
           Rule("Tab", 1102, 1200) + Rule("Down", 1200, -1) + Rule("Right", 1200, 1300) +
           Rule("f3", 1300, 1002) + Rule("Left", 1002, 1300) + Rule("RETURN", 1300, 1001) +
           Rule("F4", -1, -1) + "</key_navigate><widget_settings>" + Widget(1100, "EDIT") +
           Widget(1101, "EDIT", true) + Widget(1102, "EDIT", true) + Widget(1200, "LISTBOX") +
           Widget(1300, "COMBOBOX") + Widget(1002, "button") + Widget(1001, "BUTTON") +
           Widget(1500, "PICTURE", false, "..\\pictures\\dot.png") + "</widget_settings></s>";
}

const char kTranslations[] = R"(<Traductions>
  <TraductionElement id="id0001"><Lang codeKSO="en">Name</Lang></TraductionElement>
  <TraductionElement id="id0002"><Lang codeKSO="en">Continue</Lang></TraductionElement>
  <TraductionElement id="id0003"><Lang codeKSO="en">First</Lang></TraductionElement>
  <TraductionElement id="id0004"><Lang codeKSO="en">Second</Lang></TraductionElement>
</Traductions>)";

class ScreenViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetCurrentTextFont({L"Arial", L"Arial", 16, 400});
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        picture.save(QString::fromStdString(host.tree.Path("pictures/bg.png")));
        picture.scaled(8, 8).save(QString::fromStdString(host.tree.Path("pictures/dot.png")));
        host.tree.Write("config/trad/VEK_Trad.xml", kTranslations);
        ASSERT_GT(host.translator.LoadLanguage("en"), 0);
        host.context.SetString(ctx::kNameState, 1, "StateForm");
    }
    void Build(const std::string& pictures =
                   "[Form]\nBackground=..\\pictures\\bg.png\n"
                   "ButtonId.1=1001\nButtonTrad.1=id0002\n"
                   "ButtonNormal.1=..\\pictures\\bg.png\n"
                   "ButtonPush.1=..\\pictures\\bg.png\n"
                   "ButtonOver.1=..\\pictures\\bg.png\n"
                   "ButtonId.2=1002\n") {
        host.tree.Write("config/QV/QV_pictures.ini", pictures);
        host.tree.Write("config/QV/QV_infos.ini",
                        "[Form]\nIdCompo.1=1041\nIdTrad.1=id0002\nFontSize.1=2\n"
                        "IdCompo.2=1042\nIdTrad.2=id0001\nIdMandatory.2=1\n"
                        "IdCompo.3=1043\nIdTrad.3=id9999\n"
                        "IdCompo.4=1099\nIdTrad.4=id0001\n");
        host.tree.Write("config/QV/QV_combobox.ini",
                        "[Form]\nIdCombo.1=1300\nIdTrad.1=id0003\nIdCombo.2=1300\n"
                        "IdTrad.2=id0004\nIdCombo.3=1301\nIdTrad.3=id0003\n");
        WriteScreen(host, "Form", kDialog, Settings());
        window = ShowScreen(host, &view);
    }
    QWidget* Focus() { return QApplication::focusWidget(); }
    int FocusId() { return Focus() ? Focus()->property("qvControlId").toInt() : 0; }
    void Key(Qt::Key key) { QTest::keyClick(Focus(), key); }

    FakeHost host;
    std::unique_ptr<QWidget> window;
    CQVAppView* view = nullptr;
};

TEST_F(ScreenViewTest, ControlsAreMadeByTheirIdsWithTheDialogStyles) {
    Build();
    EXPECT_NE(view->ControlAs<CVEKButton>(1001), nullptr);
    EXPECT_NE(view->ControlAs<CGradientLabel>(1041), nullptr);
    EXPECT_NE(view->ControlAs<NavEdit>(1100), nullptr);
    EXPECT_NE(view->ControlAs<NavListBox>(1200), nullptr);
    EXPECT_NE(view->ControlAs<NavComboBox>(1300), nullptr);
    EXPECT_NE(view->ControlAs<AnimatedPicture>(1500), nullptr);
    EXPECT_NE(view->ControlAs<QLabel>(999), nullptr);
    EXPECT_TRUE(view->ControlAs<SkinEdit>(1101)->DigitsOnly());
    EXPECT_EQ(view->ControlAs<QLineEdit>(1102)->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(view->ControlAs<QComboBox>(1300)->isEditable());
    EXPECT_TRUE(view->ControlAs<AnimatedPicture>(1500)->IsLoaded());
    EXPECT_FALSE(host.building);
}

TEST_F(ScreenViewTest, ButtonsAndLabelsComeFromTheProfiles) {
    Build();
    ASSERT_EQ(view->ConfiguredButtons().size(), 2u);
    auto* next = view->ControlAs<CVEKButton>(1001);
    EXPECT_EQ(next->Caption(controls::kStateNormal),
              L"Continue");  // the caption wins over the bitmaps
    EXPECT_TRUE(next->SkinBuilt());
    EXPECT_EQ(next->ButtonType(), controls::kTypeRadio);

    auto* title = view->ControlAs<CGradientLabel>(1041);
    EXPECT_EQ(title->Text(), L"Continue");
    EXPECT_EQ(title->LabelFont().pixelSize(), 16 + 2 + 3);
    EXPECT_TRUE(title->LabelFont().bold());
    EXPECT_EQ(title->TextColor(), 0x333333u);
    EXPECT_TRUE(title->IsTransparent());
    EXPECT_EQ(view->ControlAs<CGradientLabel>(1042)->Text(), L"* Name");
    EXPECT_EQ(view->ControlAs<CGradientLabel>(1042)->TextColor(), 0u);
    EXPECT_EQ(view->ControlAs<CGradientLabel>(1043)->Text(), L"id9999");

    auto* first = view->ControlAs<QComboBox>(1300);
    ASSERT_EQ(first->count(), 2);
    EXPECT_EQ(first->itemText(1), "Second");
    EXPECT_EQ(first->itemData(0).toInt(), 1);
    EXPECT_EQ(first->itemData(1).toInt(), 2);
    EXPECT_EQ(view->ControlAs<QComboBox>(1301)->itemData(0).toInt(), 1);
    EXPECT_EQ(view->ControlAs<SkinComboBox>(1300)->VisibleItems(), 10);
    const std::string log = host.tree.Read("Log/1_QV.log");
    EXPECT_NE(log.find("Widget 1099 not found"), std::string::npos);
    EXPECT_NE(log.find("Widget 2-1042 updated"), std::string::npos);
    EXPECT_NE(log.find("Combobox 3-1301 updated"), std::string::npos);
}

TEST_F(ScreenViewTest, ButtonsNeedABackgroundAndAnUnbrokenList) {
    const struct {
        const char* name;
        std::string pictures;
    } cases[] = {
        {"no background", "[Form]\nButtonId.1=1001\nButtonTrad.1=id0002\n"},
        {"ButtonId.1 missing", "[Form]\nBackground=..\\pictures\\bg.png\nButtonId.2=1001\n"},
    };
    for (const auto& c : cases) {
        Build(c.pictures);
        EXPECT_TRUE(view->ConfiguredButtons().empty()) << c.name;
        EXPECT_EQ(view->ControlAs<CVEKButton>(1001)->Caption(controls::kStateNormal), L"Next")
            << c.name;
        window.reset();
    }
}

TEST_F(ScreenViewTest, TheKeyboardAloneWalksTheScreenToItsValidateButton) {
    Build();
    const struct {
        Qt::Key key;
        int focus;
    } walk[] = {
        {Qt::Key_Tab, 1102}, {Qt::Key_Tab, 1200},  {Qt::Key_Down, 1200},   {Qt::Key_Right, 1300},
        {Qt::Key_F3, 1002},  {Qt::Key_Left, 1300}, {Qt::Key_Return, 1001},
    };
    ASSERT_EQ(FocusId(), 1101);  // the first empty mandatory edit
    QTest::keyClicks(Focus(), "12ab3");
    EXPECT_EQ(view->ControlAs<QLineEdit>(1101)->text(), "123");
    for (const auto& step : walk) {
        EXPECT_EQ(host.Int(ctx::kLastEvent), 0) << "before " << step.focus;
        Key(step.key);
        EXPECT_EQ(FocusId(), step.focus) << "after key " << step.key;
    }
    // Return landed on a BUTTON and pressed it; "button" in lower case never did.
    EXPECT_EQ(host.Int(ctx::kLastEvent), 1);
    EXPECT_GE(host.publishes, 1);
    EXPECT_FALSE(host.click);
}

TEST_F(ScreenViewTest, ANegativeTargetOnAButtonPressesIt) {
    Build();
    view->Control(1002)->setFocus();
    Key(Qt::Key_F4);
    EXPECT_EQ(FocusId(), 1002);
    EXPECT_EQ(host.Int(ctx::kLastEvent), 0);  // 1002's entry says "button"
    view->Control(1001)->setFocus();
    Key(Qt::Key_F4);
    EXPECT_EQ(host.Int(ctx::kLastEvent), 1);
}

TEST_F(ScreenViewTest, ARightClickDoesNothing) {
    Build();
    auto* list = view->ControlAs<QListWidget>(1200);
    list->addItems({"a", "b"});
    list->setCurrentRow(0);
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, second.center());
    EXPECT_EQ(list->currentRow(), 0);
    QTest::mouseClick(view->Control(1001), Qt::RightButton);
    EXPECT_EQ(host.Int(ctx::kLastEvent), 0);
}

TEST_F(ScreenViewTest, AScreenWithoutSettingsStillShows) {
    host.tree.Write("config/QV/QV_pictures.ini", "[Bare]\nBackground=..\\pictures\\bg.png\n");
    WriteScreen(host, "Bare", kDialog);
    window = ShowScreen(host, &view);
    EXPECT_TRUE(view->Settings().rules.empty());
    EXPECT_FALSE(host.building);
    Key(Qt::Key_Tab);  // no rule: nothing moves, nothing breaks
    const std::string log = host.tree.Read("Log/1_QV.log");
    EXPECT_NE(log.find("(ERR) File ..\\gui\\Bare.config.xml not found"), std::string::npos);
    EXPECT_NE(log.find("End SetViewInterface for Bare"), std::string::npos);
}

TEST_F(ScreenViewTest, ANewViewTakesTheShownBackgroundWhenItsBytesAreTheSame) {
    QImage other(320, 200, QImage::Format_RGB32);
    other.fill(Qt::darkRed);
    other.save(QString::fromStdString(host.tree.Path("pictures/other.png")));
    host.tree.Write("pictures/copy.png", host.tree.Read("pictures/bg.png"));
    Build(
        "[Form]\nBackground=..\\pictures\\bg.png\n[Again]\nBackground=..\\pictures\\bg.png\n"
        "[Copy]\nBackground=..\\pictures\\copy.png\n[Other]\nBackground=..\\pictures\\other.png\n");
    const qint64 shown = view->BackgroundPicture()->cacheKey();
    struct Row {
        const char* screen;
        bool shared;
        QSize size;
    };
    for (const Row& row : {Row{"Again", true, {640, 480}}, Row{"Copy", true, {640, 480}},
                           Row{"Other", false, {320, 200}}}) {
        WriteScreen(host, row.screen, kDialog);
        CQVAppView next(host, window.get(), {host.screen, host.screenFile, view});
        const QImage* picture = next.BackgroundPicture();
        ASSERT_NE(picture, nullptr) << row.screen;
        EXPECT_EQ(picture->cacheKey() == shown, row.shared) << row.screen;
        EXPECT_EQ(picture->size(), row.size) << row.screen;
        EXPECT_EQ(next.PreferredSize(), row.size) << row.screen;
    }
}

TEST_F(ScreenViewTest, OnlyAProgressScreenIsShownAgainInItsView) {
    host.context.addPropertiesContext("ApplyStep", "STRING", 1);
    for (const char* name : {"ApplyStepNumber", "ApplyStepCount"})
        host.context.addPropertiesContext(name, "INT", 1);
    const char progress[] = R"(<dialog width="400" height="300" style="child">
  <control id="1041" class="STATIC" x="10" y="5" width="200" height="14" text="T"/>
  <control id="1043" class="STATIC" x="10" y="50" width="200" height="14" text="L2"/>
</dialog>)";
    host.tree.Write("config/QV/QV_pictures.ini",
                    "[StateApplying]\nBackground=..\\pictures\\bg.png\n");
    WriteScreen(host, "StateApplying", progress);
    host.context.SetString("ApplyStep", 1, "id0002");
    window = ShowScreen(host, &view);
    auto* step = view->ControlAs<CGradientLabel>(1043);
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->Text(), L"Continue");
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->Shown(); }));

    host.context.SetString("ApplyStep", 1, "id0001");
    EXPECT_FALSE(view->ShowAgain("StateEnd3"));  // another screen is built anew
    EXPECT_EQ(step->Text(), L"Continue");
    EXPECT_TRUE(view->ShowAgain("StateApplying"));
    EXPECT_EQ(view->ControlAs<CGradientLabel>(1043), step);
    EXPECT_EQ(step->Text(), L"Name");
    EXPECT_FALSE(view->Shown());  // painted again, and logged as shown again
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->Shown(); }));

    Build();  // a screen of fields and buttons is never kept
    EXPECT_FALSE(view->ShowAgain("Form"));
}

}  // namespace
