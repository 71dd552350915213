// The skinned button offscreen: latching, presses by mouse and Space, skins and their layers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "controls/AnimatedPicture.h"
#include "controls/GifWalk.h"
#include "controls/VEKButton.h"
#include "tests/controls/WidgetTestSupport.h"

using namespace controls;
using namespace widgettest;

namespace {

struct SkinFiles {
    QTemporaryDir dir;
    QString normal = SolidPicture(dir, "n.bmp", ToQColor(kGreen), 40, 20);
    QString pushed = SolidPicture(dir, "p.bmp", ToQColor(kBlue), 40, 20);
    QString hot = SolidPicture(dir, "h.bmp", QColor(255, 255, 0), 40, 20);
};

void ScreenButton(CVEKButton& b, const SkinFiles& f) {
    b.resize(100, 40);
    b.SetBitmaps(f.normal, false, f.pushed, f.hot, QString());
    b.SetFontHeights(24, true);
    b.SetCheckMode(false);
    b.SetEdgeWidths(0, true);
    b.SetEdgeStyles(kEdgeFlat, false, kEdgeSunken, kEdgeRaised, kEdgeFlat);
    b.SetBitmapShift(false, true);
    b.SetButtonType(kTypeRadio, false);
    b.BuildSkin(nullptr, 0, kLayerNoFocus);
}

}  // namespace

TEST(VEKButton, PushedBitmapShowsWhileChecked) {
    SkinFiles f;
    QWidget parent;
    CVEKButton b(&parent);
    ScreenButton(b, f);
    EXPECT_EQ(b.CurrentState(), kStateNormal);
    EXPECT_TRUE(Near(Px(Grab(b), 50, 20), kGreen, 2));
    b.SetCheck(true);
    EXPECT_EQ(b.CurrentState(), kStatePushed);
    EXPECT_TRUE(Near(Px(Grab(b), 50, 20), kBlue, 2));
    b.SetCheck(false);
    EXPECT_TRUE(Near(Px(Grab(b), 50, 20), kGreen, 2));
}

TEST(VEKButton, RadioLatchingLeavesOneChecked) {
    SkinFiles f;
    QWidget parent;
    parent.resize(400, 100);
    std::vector<std::unique_ptr<CVEKButton>> buttons;
    for (int i = 0; i < 3; ++i) {
        buttons.push_back(std::make_unique<CVEKButton>(&parent));
        ScreenButton(*buttons.back(), f);
        buttons.back()->move(i * 110, 0);
    }
    CVEKButton other(&parent);  // another group is left alone
    other.SetButtonType(kTypeRadio);
    other.SetGroup(1);
    other.SetCheck(true);
    parent.show();

    int previous = -1;
    for (int pick : {1, 2, 0}) {
        QTest::mouseClick(buttons[size_t(pick)].get(), Qt::LeftButton, {}, QPoint(50, 20));
        // The click is handled (the screen saves) while the previous choice still shows.
        if (previous >= 0) {
            EXPECT_TRUE(buttons[size_t(previous)]->GetCheck()) << "pick " << pick;
        }
        QCoreApplication::sendPostedEvents();
        previous = pick;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(buttons[size_t(i)]->GetCheck(), i == pick) << "pick " << pick << " i " << i;
        }
        EXPECT_TRUE(Near(Px(Grab(*buttons[size_t(pick)]), 50, 20), kBlue, 2));
    }
    EXPECT_TRUE(other.GetCheck());

    // Latch, the screens' own operation, leaves one checked at once.
    buttons[1]->Latch();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(buttons[size_t(i)]->GetCheck(), i == 1) << i;
    EXPECT_TRUE(other.GetCheck());
    buttons[1]->Latch();
    EXPECT_TRUE(buttons[1]->GetCheck());
    EXPECT_FALSE(buttons[0]->GetCheck());

    // A push button never stays checked; a check box toggles.
    CVEKButton push(&parent);
    push.SetCheck(true);
    EXPECT_FALSE(push.GetCheck());
    CVEKButton box(&parent);
    box.resize(50, 20);
    box.SetButtonType(kTypeCheck);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(box.GetCheck());
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(box.GetCheck());
    parent.hide();
}

TEST(VEKButton, SpaceChecksAtTheClickAndTheGroupFollowsAfterIt) {
    SkinFiles f;
    QWidget parent;
    CVEKButton choice(&parent), validate(&parent);
    for (CVEKButton* b : {&choice, &validate}) {
        ScreenButton(*b, f);
        b->setFocusPolicy(Qt::StrongFocus);
    }
    validate.move(110, 0);
    parent.show();
    choice.Latch();
    bool choiceKeptAtClick = false;
    QObject::connect(&validate, &QAbstractButton::clicked,
                     [&] { choiceKeptAtClick = choice.GetCheck() && validate.GetCheck(); });
    validate.setFocus();
    QTest::keyPress(&validate, Qt::Key_Space);
    EXPECT_FALSE(validate.GetCheck()) << "checked before the click";
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(choice.GetCheck());
    QTest::keyRelease(&validate, Qt::Key_Space);
    EXPECT_TRUE(choiceKeptAtClick);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(choice.GetCheck());
    EXPECT_TRUE(validate.GetCheck());
}

TEST(VEKButton, PressDragOffReleaseSendsNoClick) {
    SkinFiles f;
    QWidget parent;
    parent.resize(300, 100);
    CVEKButton b(&parent);
    ScreenButton(b, f);
    b.SetButtonType(kTypePush);
    parent.show();
    int clicks = 0;
    QObject::connect(&b, &QAbstractButton::clicked, [&] { ++clicks; });

    SendMouse(&b, QEvent::MouseButtonPress, QPoint(50, 20), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(b.CurrentState(), kStatePushed);
    SendMouse(&b, QEvent::MouseMove, QPoint(250, 80), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(b.CurrentState(), kStateNormal);
    EXPECT_TRUE(Near(Px(Grab(b), 50, 20), kGreen, 2));
    SendMouse(&b, QEvent::MouseButtonRelease, QPoint(250, 80), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(clicks, 0);

    // The same press released over the button clicks.
    SendMouse(&b, QEvent::MouseButtonPress, QPoint(50, 20), Qt::LeftButton, Qt::LeftButton);
    SendMouse(&b, QEvent::MouseButtonRelease, QPoint(50, 20), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(clicks, 1);
    parent.hide();
}

TEST(VEKButton, DisabledWithNormalBitmapIsEmbossed) {
    SkinFiles f;
    CVEKButton b;
    b.resize(100, 40);
    b.SetBitmaps(f.normal, true);  // every state uses the normal picture
    const uint32_t face = Rgb(200, 100, 50);
    b.SetBackgroundColors(face, true, face, face, face);
    b.SetEdgeWidths(0, true);
    b.BuildSkin(nullptr, 0, kLayerNoFocus);
    b.setEnabled(false);
    ASSERT_EQ(b.CurrentState(), kStateDisabled);
    QImage img = Grab(b);
    // Picture of 40 x 20 centred: (30, 10) .. (69, 29).
    EXPECT_EQ(Px(img, 50, 20), Darken70(face));
    EXPECT_EQ(Px(img, 69, 29), Rgb(255, 255, 255));  // the white layer shows at the far edges
    EXPECT_EQ(Px(img, 29, 9), Darken70(face));       // the dark layer sits one pixel up-left
    EXPECT_EQ(Px(img, 5, 5), face);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            ASSERT_NE(Px(img, x, y), kGreen);
        }
    }
}

TEST(VEKButton, SetTextColorsAllTakesBlackWhereSetTextColorsLeavesRed) {
    const struct {
        const char* name;
        std::function<void(CVEKButton&)> toBlack;
        bool redLeft;
    } cases[] = {
        // Black is the system button-text colour, SetTextColors' sentinel.
        {"SetTextColors", [](CVEKButton& b) { b.SetTextColors(0, true); }, true},
        {"SetTextColorsAll", [](CVEKButton& b) { b.SetTextColorsAll(0); }, false},
    };
    for (const auto& c : cases) {
        CVEKButton b;
        b.resize(160, 50);
        b.SetCaptions(L"MMMM");
        b.SetFontHeights(30, true);
        b.SetBackgroundColors(Rgb(255, 255, 255), true);
        b.BuildSkin(nullptr, 0, kLayerNoFocus);
        b.SetTextColors(kRed, true);
        c.toBlack(b);
        QImage img = Grab(b);
        int red = 0;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                red += Near(Px(img, x, y), kRed, 40);
            }
        }
        EXPECT_EQ(red > 100, c.redLeft) << c.name;
        EXPECT_EQ(b.TextColor(kStateNormal) == kRed, c.redLeft) << c.name;
    }
}

TEST(VEKButton, CaptionColourEdgesAndReadBack) {
    CVEKButton b;
    b.resize(160, 50);
    b.SetCaptions(L"MMMM");
    b.SetFontHeights(30, true);
    b.SetFontStyles(kFontBold, true);
    b.SetTextColors(kRed, true);
    b.SetBackgroundColors(Rgb(255, 255, 255), true);
    b.SetEdgeWidths(2, true);
    b.SetEdgeStyles(kEdgeRaised, true);
    b.BuildSkin(nullptr, 7, kLayerNoFocus);
    EXPECT_EQ(b.CallerValue(), 7);
    EXPECT_EQ(b.Caption(kStateHot), L"MMMM");
    QImage img = Grab(b);
    int red = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            red += Near(Px(img, x, y), kRed, 40);
        }
    }
    EXPECT_GT(red, 100);
    // Raised edges of a white face: white outer top-left, half-grey outer bottom-right.
    EXPECT_EQ(Px(img, 5, 0), Rgb(255, 255, 255));
    EXPECT_EQ(Px(img, 159, 25), Rgb(127, 127, 127));
    EXPECT_EQ(Px(img, 158, 25), Rgb(178, 178, 178));

    // Held down: sunken edges, white outer bottom-right.
    b.SetEdgeStyles(kEdgeRaised, false, kEdgeSunken, kEdgeRaised, kEdgeFlat);
    b.setDown(true);
    ASSERT_EQ(b.CurrentState(), kStatePushed);
    QImage down = Grab(b);
    EXPECT_EQ(Px(down, 5, 0), Rgb(127, 127, 127));
    EXPECT_EQ(Px(down, 159, 25), Rgb(255, 255, 255));
    b.setDown(false);

    b.setEnabled(false);  // embossed caption: no red left
    QImage disabled = Grab(b);
    for (int y = 0; y < disabled.height(); ++y) {
        for (int x = 0; x < disabled.width(); ++x) {
            ASSERT_FALSE(Near(Px(disabled, x, y), kRed, 40));
        }
    }
}

TEST(VEKButton, KeyColourRegionBecomesTheMask) {
    QTemporaryDir dir;
    QImage shape(20, 20, QImage::Format_RGB32);
    shape.fill(QColor(255, 0, 255));
    for (int y = 5; y < 15; ++y) {
        for (int x = 5; x < 15; ++x) {
            shape.setPixelColor(x, y, ToQColor(kBlue));
        }
    }
    QString path = dir.filePath(QStringLiteral("shape.bmp"));
    ASSERT_TRUE(shape.save(path, "BMP"));
    CVEKButton b;
    b.resize(20, 20);
    b.SetBitmaps(path, true);
    b.SetEdgeWidths(0, true);
    b.SetBitmapAlignments(0x20, true);
    b.SetBitmapRect(kStateNormal, Rect{0, 0, 20, 20});
    b.SetKeyColors(kStateNormal, Rgb(255, 0, 255), Rgb(255, 0, 255));
    b.BuildSkin(nullptr, 0, kLayerNoFocus);
    (void)Grab(b);
    EXPECT_EQ(b.mask().boundingRect(), QRect(5, 5, 10, 10));
}

TEST(VEKButton, BackdropHoverAndCheckModeCompanions) {
    SkinFiles f;
    QImage backdrop(300, 100, QImage::Format_RGB32);
    backdrop.fill(ToQColor(kRed));
    QWidget parent;
    parent.resize(300, 100);
    CVEKButton b(&parent);
    b.setGeometry(100, 30, 100, 40);
    b.SetCaptions(L"x");
    b.SetEdgeWidths(0, true);
    b.SetCheckMode(false);  // no fills: the parent's picture under the button shows
    b.BuildSkin(&backdrop, 0, kLayerNoFocus);
    EXPECT_EQ(Px(Grab(b), 2, 2), kRed);

    QEnterEvent enter(QPointF(5, 5), QPointF(105, 35), QPointF(105, 35));
    QApplication::sendEvent(&b, &enter);
    EXPECT_TRUE(b.IsHot());
    EXPECT_EQ(b.CurrentState(), kStateHot);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&b, &leave);
    EXPECT_FALSE(b.IsHot());

    // Check mode places its pictures left and right, centred when less than half as tall.
    GifFrameSpec small{0, 0, 10, 10, std::vector<uint8_t>(100, 1), -1, 0, -1};
    auto gif = WriteGif(10, 10, {0, kBlue}, 0, {small});
    AnimatedPicture left(&parent);
    AnimatedPicture right(&parent);
    ASSERT_TRUE(left.LoadMemory(gif.data(), gif.size()));
    ASSERT_TRUE(right.LoadMemory(gif.data(), gif.size()));
    b.SetCheckMode(true, &left, &right);
    EXPECT_EQ(b.ButtonType(), kTypeRadio);
    EXPECT_EQ(left.geometry(), QRect(90, 45, 10, 40));
    EXPECT_EQ(right.geometry(), QRect(200, 45, 10, 40));
    b.BuildSkin(&backdrop, 0, kLayerNoFocus);
    EXPECT_EQ(Px(Grab(b), 2, 2), Rgb(255, 255, 255));
}

// ---- animated picture ----

// A skin's caption reads on it: white on a dark face, ink on a light one, per state.
TEST(VEKButton, CaptionsTakeTheColourThatReadsOnEachSkin) {
    QTemporaryDir dir;
    const struct {
        QColor face;
        uint32_t want;
    } cases[] = {
        {QColor(0x0B, 0x5C, 0xAD), kWhite}, {QColor(0xFF, 0xFF, 0xFF), kInk},
        {QColor(0xE3, 0xEE, 0xFA), kInk},   {QColor(0x06, 0x3A, 0x6E), kWhite},
        {QColor(0x77, 0x77, 0x77), kWhite},  // 4.48 against white, 3.6 against ink
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.face.name().toStdString());
        const std::string name = c.face.name().mid(1).toStdString() + ".bmp";
        const QString file = SolidPicture(dir, name.c_str(), c.face, 40, 20);
        QWidget parent;
        CVEKButton b(&parent);
        b.SetBitmaps(file, false, file, file, QString());
        b.SetTextColorsAll(kPureRed);
        b.MatchCaptionsToBitmaps();
        EXPECT_EQ(b.TextColor(kStateNormal), c.want);
        EXPECT_EQ(b.TextColor(kStatePushed), c.want);
        EXPECT_EQ(b.TextColor(kStateHot), c.want);
        // The disabled caption is drawn in its own grey: left alone.
        EXPECT_EQ(b.TextColor(kStateDisabled), kPureRed);
    }
}

// A disabled caption on a light disabled skin is drawn dark enough to read.
TEST(VEKButton, ADisabledCaptionReadsOnItsLightSkin) {
    QTemporaryDir dir;
    const QColor face(0xE4, 0xE7, 0xEB);
    const QString file = SolidPicture(dir, "n.bmp", face, 60, 30);
    // A disabled picture of its own: the normal one standing in would be embossed instead.
    const QString disabled = SolidPicture(dir, "d.bmp", face, 60, 30);
    QWidget parent;
    CVEKButton b(&parent);
    b.resize(60, 30);
    b.SetBitmaps(file, false, file, file, disabled);
    b.SetCaptions(L"\u2588\u2588\u2588", true);
    b.SetFontHeights(24, true);
    b.SetCheckMode(false);
    b.SetEdgeWidths(0, true, 0, 0, 0);
    b.MatchCaptionsToBitmaps();
    b.BuildSkin(nullptr, 0, kLayerNoFocus);
    b.setEnabled(false);
    ASSERT_EQ(b.CurrentState(), kStateDisabled);
    const QImage shot = Grab(b);
    double best = 1;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            best = std::max(best, ContrastRatio(Px(shot, x, y), FromQColor(face)));
    EXPECT_GE(best, 4.5);
}

// Moved and resized after its skin was cut, the button still shows its picture over all of
// itself, its caption in the middle, and the background from where it now is.
TEST(VEKButton, ASkinFitsTheButtonAfterItWasResized) {
    SkinFiles f;
    QImage background(300, 200, QImage::Format_RGB32);
    background.fill(Qt::black);
    for (int y = 100; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            background.setPixelColor(x, y, QColor(0xFF, 0x00, 0xFF));
    QWidget parent;
    parent.resize(300, 200);
    CVEKButton b(&parent);
    b.setGeometry(10, 10, 100, 40);
    b.SetBitmaps(f.normal, false, f.pushed, f.hot, QString());
    b.SetCaptions(L"Go", true);
    b.SetEdgeWidths(0, true, 0, 0, 0);
    b.SetButtonType(kTypeRadio, false);
    b.BuildSkin(&background, 0, kLayerNoFocus);
    EXPECT_EQ(b.BitmapSize(kStateNormal), QSize(40, 20));
    // Before the fit, the corner of the taller button is not covered by the picture.
    b.setGeometry(20, 120, 120, 60);
    EXPECT_FALSE(Near(Px(Grab(b), 119, 59), kGreen, 2));
    b.FitSkinToButton();
    const QImage shot = Grab(b);
    EXPECT_TRUE(Near(Px(shot, 0, 0), kGreen, 2));
    EXPECT_TRUE(Near(Px(shot, 119, 59), kGreen, 2));
    EXPECT_EQ(b.CaptionRect(kStateNormal), QRect(1, 1, 118, 58));
    // Fitting twice changes nothing; a button without pictures, only moved, shows the
    // background from its new place.
    b.FitSkinToButton();
    EXPECT_TRUE(Near(Px(Grab(b), 119, 59), kGreen, 2));
    CVEKButton plain(&parent);
    plain.setGeometry(10, 10, 50, 20);
    plain.SetCheckMode(false);
    plain.SetEdgeWidths(0, true, 0, 0, 0);
    plain.BuildSkin(&background, 0, kLayerNoFocus | kLayerNoCaption);
    EXPECT_EQ(Px(Grab(plain), 25, 10), Rgb(0, 0, 0));
    plain.setGeometry(10, 150, 50, 20);
    plain.FitSkinToButton();
    EXPECT_EQ(Px(Grab(plain), 25, 10), Rgb(0xFF, 0x00, 0xFF));
}
