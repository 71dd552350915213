#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "xmlgui/DialogForm.h"
#include "xmlgui/DlgTemplate.h"

using namespace xmlgui;

namespace {

// One QApplication for the whole program, made before the first test and gone after the last.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_dialog_form";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

const char kScreen[] = R"(<dialog width="356" height="267" style="child">
  <font face="Arial" size="12"/>
  <control id="1001" class="BUTTON" x="256" y="232" width="80" height="20" text="Next" style="tabstop default"/>
  <control id="1041" class="STATIC" x="20" y="16" width="316" height="20" text="Title" style="center"/>
  <control id="1042" class="STATIC" x="20" y="40" width="316" height="12" text="Hidden" style="hidden"/>
  <control id="1100" class="EDIT" x="128" y="54" width="160" height="14" text="abc" style="password border"/>
  <control id="1101" class="EDIT" x="128" y="78" width="60" height="14" style="number disabled"/>
  <control id="1200" class="LISTBOX" x="10" y="100" width="100" height="60" style="sort"/>
  <control id="1300" class="COMBOBOX" x="128" y="102" width="100" height="80"/>
  <control id="1301" class="COMBOBOX" x="128" y="130" width="100" height="40" text="typed" style="simple"/>
  <control id="1500" class="PICTURE" x="300" y="10" width="40" height="40" style="centerimage"/>
  <control class="STATIC" x="0" y="0" width="10" height="10" text="no id"/>
</dialog>)";

DialogTemplate Parse(const char* bytes) {
    CDlgTemplate t;
    EXPECT_NE(t.SerializeFromMemory(bytes), 0) << t.Error();
    return t.Template();
}

bool HasLiberation() {
    return QFontDatabase::hasFamily(QStringLiteral("Liberation Sans"));
}

}  // namespace

TEST(DialogForm, ArialResolvesToAStandInWithArialMetrics) {
    if (!HasLiberation())
        GTEST_SKIP() << "fonts-liberation2 is not installed";
    for (const wchar_t* face : {L"Arial", L"Arial Unicode MS"}) {
        DialogTemplate d = EmptyDialog();
        d.fontFace = face;
        const QFont font = DialogFont(d, 96);
        EXPECT_EQ(font.pixelSize(), 16);
        EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
        // Liberation Sans has Arial's advance widths and heights: Arial at 16 px has the
        // base units 9 x 18 on the original platform.
        const DialogBaseUnits units = BaseUnits(font);
        EXPECT_EQ(units.x, 9);
        EXPECT_EQ(units.y, 18);
    }
    EXPECT_EQ(ResolveFontFamily(QStringLiteral("Liberation Sans")),
              QStringLiteral("Liberation Sans"));
    EXPECT_EQ(ResolveFontFamily(QStringLiteral("No Such Face")), QStringLiteral("No Such Face"));
    // A larger font gives larger units, so the layout grows with the text.
    DialogTemplate big = EmptyDialog();
    big.pointSize = 24;
    EXPECT_GT(BaseUnits(DialogFont(big, 96)).x, 9);
}

TEST(DialogForm, CreatesEveryControlAtItsConvertedPlace) {
    const DialogTemplate d = Parse(kScreen);
    QWidget view;
    const FormResult form = InitializeForm(&view, d);
    EXPECT_EQ(form.created, 10);
    ASSERT_GT(form.units.x, 0);
    ASSERT_GT(form.units.y, 0);
    const PixelRect size = DialogPixels(d, form.units);
    EXPECT_EQ(form.size, QSize(size.width, size.height));
    EXPECT_EQ(view.size(), form.size);
    EXPECT_EQ(BaseUnits(view.font()).x, form.units.x);

    struct Expect {
        int id;
        const char* qtClass;
        const char* dlgClass;
    } expects[] = {
        {1001, "QPushButton", "BUTTON"}, {1041, "QLabel", "STATIC"},
        {1042, "QLabel", "STATIC"},      {1100, "QLineEdit", "EDIT"},
        {1101, "QLineEdit", "EDIT"},     {1200, "QListWidget", "LISTBOX"},
        {1300, "QComboBox", "COMBOBOX"}, {1301, "QComboBox", "COMBOBOX"},
        {1500, "QLabel", "PICTURE"},
    };
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.id);
        QWidget* w = FindControl(&view, e.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget(), &view);
        EXPECT_STREQ(w->metaObject()->className(), e.qtClass);
        EXPECT_EQ(w->property(kControlClassProperty).toString(), QString::fromLatin1(e.dlgClass));
        EXPECT_EQ(ControlId(w), e.id);
        const PixelRect r = ToPixels(*d.Find(e.id), form.units);
        EXPECT_EQ(w->x(), r.x);
        EXPECT_EQ(w->y(), r.y);
        EXPECT_EQ(w->width(), r.width);
        if (e.id == 1300) {
            // Closed, a drop-down list is one line high.
            EXPECT_LT(w->height(), r.height);
            EXPECT_GT(w->height(), 0);
        } else {
            EXPECT_EQ(w->height(), r.height);
        }
    }
    // The converted geometry of one control, worked out by hand from the units.
    QWidget* next = FindControl(&view, 1001);
    EXPECT_EQ(next->geometry(), QRect(MulDiv(256, form.units.x, 4), MulDiv(232, form.units.y, 8),
                                      MulDiv(80, form.units.x, 4), MulDiv(20, form.units.y, 8)));

    EXPECT_EQ(static_cast<QPushButton*>(next)->text(), QStringLiteral("Next"));
    EXPECT_EQ(next->focusPolicy(), Qt::StrongFocus);
    auto* title = static_cast<QLabel*>(FindControl(&view, 1041));
    EXPECT_EQ(title->text(), QStringLiteral("Title"));
    EXPECT_TRUE(title->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(FindControl(&view, 1042)->isHidden());
    EXPECT_FALSE(title->isHidden());
    auto* password = static_cast<QLineEdit*>(FindControl(&view, 1100));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(password->text(), QStringLiteral("abc"));
    auto* digits = static_cast<QLineEdit*>(FindControl(&view, 1101));
    EXPECT_FALSE(digits->isEnabled());
    ASSERT_NE(digits->validator(), nullptr);
    QString letters = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(digits->validator()->validate(letters, pos), QValidator::Invalid);
    EXPECT_TRUE(static_cast<QListWidget*>(FindControl(&view, 1200))->isSortingEnabled());
    EXPECT_FALSE(static_cast<QComboBox*>(FindControl(&view, 1300))->isEditable());
    auto* simple = static_cast<QComboBox*>(FindControl(&view, 1301));
    EXPECT_TRUE(simple->isEditable());
    EXPECT_EQ(simple->currentText(), QStringLiteral("typed"));

    EXPECT_EQ(FindControl(&view, kNoId), nullptr);
    EXPECT_EQ(FindControl(&view, 1002), nullptr);
    EXPECT_EQ(FindControl(nullptr, 1001), nullptr);
    EXPECT_EQ(ControlId(&view), kNoId);
    EXPECT_EQ(ControlId(nullptr), kNoId);
}

TEST(DialogForm, TabOrderFollowsTheFile) {
    const DialogTemplate d = Parse(kScreen);
    QWidget view;
    InitializeForm(&view, d);
    EXPECT_EQ(FindControl(&view, 1001)->nextInFocusChain(), FindControl(&view, 1041));
}

namespace {

class MarkedButton : public QPushButton {
  public:
    using QPushButton::QPushButton;
};

// Buttons become MarkedButton, list boxes are left out, the rest comes from the default.
class TestFactory : public ControlFactory {
  public:
    QWidget* Create(const DlgControl& control, QWidget* parent) override {
        ++calls;
        if (control.cls == ControlClass::Button)
            return new MarkedButton(QString::fromStdWString(control.text), parent);
        if (control.cls == ControlClass::ListBox)
            return nullptr;
        // Created without a parent: the form adopts it.
        return fallback.Create(control, nullptr);
    }
    DefaultControlFactory fallback;
    int calls = 0;
};

}  // namespace

TEST(DialogForm, ScreensCanSupplyTheirOwnControls) {
    const DialogTemplate d = Parse(kScreen);
    QWidget view;
    TestFactory factory;
    const FormResult form = InitializeForm(&view, d, &factory);
    EXPECT_EQ(factory.calls, 10);
    EXPECT_EQ(form.created, 9);
    EXPECT_NE(dynamic_cast<MarkedButton*>(FindControl(&view, 1001)), nullptr);
    EXPECT_EQ(FindControl(&view, 1200), nullptr);
    QWidget* title = FindControl(&view, 1041);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->parentWidget(), &view);
}

TEST(DialogForm, EmptyDialogAndDistributedScreen) {
    QWidget view;
    const FormResult empty = InitializeForm(&view, EmptyDialog());
    EXPECT_EQ(empty.created, 0);
    EXPECT_EQ(empty.size, QSize(MulDiv(92, empty.units.x, 4), MulDiv(46, empty.units.y, 8)));
    EXPECT_TRUE(view.findChildren<QWidget*>().isEmpty());

    // Every shipped screen is accepted and has its title and validate button, but those that
    // pass on by themselves: the one shown while the network check runs, the progress screen.
    int screens = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SOURCE_DIR "/dist/gui")) {
        if (entry.path().extension() != ".gui")
            continue;
        ++screens;
        CDlgTemplate t;
        ASSERT_NE(t.SerializeFrom(entry.path().string()), 0) << entry.path() << t.Error();
        QWidget screen;
        InitializeForm(&screen, t.Template());
        const std::string stem = entry.path().stem().string();
        const bool leavesByItself = stem == "StateNetworkCheck" || stem == "StateApplying";
        EXPECT_NE(FindControl(&screen, 1041), nullptr) << entry.path();
        EXPECT_EQ(FindControl(&screen, 1001) != nullptr, !leavesByItself) << entry.path();
    }
    EXPECT_GE(screens, 17);
}

TEST(DialogForm, NullViewCreatesNothing) {
    const FormResult r = InitializeForm(nullptr, EmptyDialog());
    EXPECT_EQ(r.created, 0);
    EXPECT_TRUE(r.size.isEmpty());
}

TEST(DialogForm, AReplacedControlIsFoundOnceTaggedAgain) {
    const DialogTemplate d = Parse(kScreen);
    QWidget view;
    InitializeForm(&view, d);
    QWidget* old = FindControl(&view, 1300);
    ASSERT_NE(old, nullptr);
    auto* fresh = new QComboBox(&view);
    fresh->setGeometry(old->geometry());
    delete old;
    EXPECT_EQ(FindControl(&view, 1300), nullptr);
    TagControl(fresh, 1300, ControlClass::ComboBox);
    EXPECT_EQ(FindControl(&view, 1300), fresh);
    EXPECT_EQ(ControlId(fresh), 1300);
    EXPECT_EQ(fresh->property(kControlClassProperty).toString(), QStringLiteral("COMBOBOX"));
    // A widget named like a control elsewhere in the tree is not a control of the view.
    QWidget inner(&view);
    auto* nested = new QWidget(&inner);
    TagControl(nested, 1002, ControlClass::Button);
    EXPECT_EQ(FindControl(&view, 1002), nullptr);
}
