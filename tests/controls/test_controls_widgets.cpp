#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <functional>
#include <memory>

#include "controls/AnimatedPicture.h"
#include "controls/GifWalk.h"
#include "controls/GradientLabel.h"
#include "controls/QtSupport.h"
#include "controls/SkinControls.h"
#include "controls/VEKButton.h"

#include "tests/controls/WidgetTestSupport.h"

using namespace controls;
using namespace widgettest;

// ---- gradient label ----

bool ImagePluginLoaded() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
}

TEST(Pictures, AreReadByTheirSuffixAndByTheirContentWhenItLies) {
    QTemporaryDir dir;
    const QString png = dir.filePath("a.png"), bmp = dir.filePath("a.bmp");
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(png));
    ASSERT_TRUE(picture.save(bmp));
    const bool pluginBefore = ImagePluginLoaded();
    for (const QString& path : {png, bmp}) {
        EXPECT_EQ(PictureSize(path), QSize(30, 20)) << path.toStdString();
        EXPECT_EQ(ReadPicture(path).size(), QSize(30, 20)) << path.toStdString();
        const QByteArray bytes = ReadPictureFile(path);
        EXPECT_EQ(DecodedPictureSize(bytes, path), QSize(30, 20)) << path.toStdString();
        EXPECT_EQ(DecodePicture(bytes, path).size(), QSize(30, 20)) << path.toStdString();
    }
    // Built-in formats never bring every image plug-in into the process.
    if (!pluginBefore) {
        EXPECT_FALSE(ImagePluginLoaded());
    }

    QFile source(png);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray pngBytes = source.readAll();
    struct Case {
        const char* file;
        QByteArray bytes;
        QSize size;  // (0, 0): a null picture
    } cases[] = {
        {"lies.bmp", pngBytes, QSize(30, 20)},
        {"empty.png", QByteArray(), QSize(0, 0)},
        {"text.png", QByteArray("not a picture"), QSize(0, 0)},
        {"cut.png", pngBytes.left(40), QSize(0, 0)},
    };
    for (const Case& c : cases) {
        QFile f(dir.filePath(c.file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        EXPECT_EQ(ReadPicture(f.fileName()).size(), c.size) << c.file;
    }
    EXPECT_TRUE(ReadPicture(dir.filePath("none.png")).isNull());
    EXPECT_FALSE(PictureSize(dir.filePath("none.png")).isValid());
    EXPECT_FALSE(PictureSize(dir.path()).isValid());
}

TEST(Pictures, ASmallOneIsDecodedOnceForFilesOfTheSameBytes) {
    QTemporaryDir dir;
    auto save = [&](const char* name, QSize size, Qt::GlobalColor colour) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(colour);
        EXPECT_TRUE(picture.save(dir.filePath(name)));
        return dir.filePath(name);
    };
    const QString skin = save("skin.png", {40, 10}, Qt::red);
    ASSERT_TRUE(QFile::copy(skin, dir.filePath("same.png")));
    const QString other = save("other.png", {40, 10}, Qt::blue);
    const qint64 first = ReadPicture(skin).cacheKey();
    EXPECT_EQ(ReadPicture(dir.filePath("same.png")).cacheKey(), first);
    EXPECT_EQ(ReadPicture(other).pixelColor(0, 0), QColor(Qt::blue));
    // A file rewritten is read for what it holds now.
    save("skin.png", {40, 10}, Qt::green);
    const QImage rewritten = ReadPicture(skin);
    EXPECT_NE(rewritten.cacheKey(), first);
    EXPECT_EQ(rewritten.pixelColor(0, 0), QColor(Qt::green));
    // A background is too large to be kept: each read decodes it.
    const QString large = save("large.png", {400, 300}, Qt::gray);
    EXPECT_NE(ReadPicture(large).cacheKey(), ReadPicture(large).cacheKey());
}

TEST(GradientLabel, GradientDirections) {
    QWidget parent;
    parent.resize(220, 60);
    CGradientLabel label(&parent);
    label.setGeometry(10, 10, 200, 40);

    label.SetGradient(kRed, kBlue, 1);
    QImage h = Grab(label);
    EXPECT_TRUE(Near(Px(h, 0, 20), kRed, 4)) << std::hex << Px(h, 0, 20);
    EXPECT_TRUE(Near(Px(h, 199, 20), kBlue, 4)) << std::hex << Px(h, 199, 20);
    EXPECT_TRUE(Near(Px(h, 0, 0), Px(h, 0, 39), 1));  // no vertical change
    EXPECT_GT(RedOf(Px(h, 50, 20)), RedOf(Px(h, 150, 20)));

    label.SetGradient(kRed, kBlue, 2);
    QImage v = Grab(label);
    EXPECT_TRUE(Near(Px(v, 100, 0), kRed, 8));
    EXPECT_TRUE(Near(Px(v, 100, 39), kBlue, 8));
    EXPECT_TRUE(Near(Px(v, 0, 10), Px(v, 199, 10), 1));

    label.SetGradient(kGreen, kBlue, 0);
    QImage s = Grab(label);
    EXPECT_EQ(Px(s, 0, 0), kGreen);
    EXPECT_EQ(Px(s, 199, 39), kGreen);
}

TEST(GradientLabel, TextColourAndTransparency) {
    QWidget parent;
    parent.resize(300, 80);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, ToQColor(kBlue));
    parent.setPalette(pal);
    parent.setAutoFillBackground(true);
    CGradientLabel label(&parent);
    label.setGeometry(0, 0, 300, 80);
    label.SetFont(QStringLiteral("Arial"), 48, 700);
    label.SetTextColor(kRed);
    label.SetTransparent(true);
    label.SetText(std::wstring(L"MMMM"));
    parent.show();

    QImage with = Grab(parent);
    int red = 0;
    int other = 0;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            uint32_t c = Px(with, x, y);
            if (Near(c, kRed, 40)) {
                ++red;
            } else if (!Near(c, kBlue, 0) && BlueOf(c) < 200 && GreenOf(c) > 40) {
                ++other;
            }
        }
    }
    EXPECT_GT(red, 200);  // the caption is red and the parent shows around it
    EXPECT_EQ(other, 0);
    EXPECT_TRUE(Near(Px(with, 299, 79), kBlue, 0));

    label.SetText(std::wstring());
    QImage without = Grab(parent);
    for (int y = 0; y < without.height(); y += 3) {
        for (int x = 0; x < without.width(); x += 3) {
            ASSERT_EQ(Px(without, x, y), kBlue) << x << "," << y;
        }
    }
    parent.hide();
}

TEST(GradientLabel, TextOperationsAndBitmap) {
    QTemporaryDir dir;
    CGradientLabel label(nullptr, kSsCenter);
    label.resize(60, 30);
    label.FormatText(L"%d-%ls", 42, L"x");
    EXPECT_EQ(label.Text(), L"42-x");
    label.AppendFormatText(L"%ls", L"yz");
    EXPECT_EQ(label.Text(), L"42-xyz");
    std::wstring huge(5000, L'a');
    label.FormatText(L"%ls", huge.c_str());  // longer than the buffer: cut, never overrun
    EXPECT_LT(label.Text().size(), 2048u);
    (void)Grab(label);

    EXPECT_FALSE(label.SetBitmapFile(dir.filePath(QStringLiteral("missing.bmp"))));
    EXPECT_FALSE(label.HasBitmap());
    QString green = SolidPicture(dir, "g.bmp", ToQColor(kGreen), 10, 10);
    EXPECT_TRUE(label.SetBitmapFile(green));
    QImage img = Grab(label);
    EXPECT_EQ(label.size(), QSize(60, 30));
    EXPECT_TRUE(Near(Px(img, 30, 15), kGreen, 2));

    EXPECT_EQ(CGradientLabel::HeightToPoints(CGradientLabel::PointsToHeight(12)), 12);
}

TEST(GradientLabel, DroppedBitmapFile) {
    QTemporaryDir dir;
    QString green = SolidPicture(dir, "drop.BMP", ToQColor(kGreen), 8, 8);
    QString png = dir.filePath(QStringLiteral("drop.png"));
    ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB32).save(png, "PNG"));
    CGradientLabel label;
    label.resize(40, 20);
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // Delivered as the drag manager would, without a real drag in progress.
        static_cast<QObject&>(label).event(&event);
    };
    drop({QUrl::fromLocalFile(png)});
    drop({QUrl::fromLocalFile(green), QUrl::fromLocalFile(green)});
    EXPECT_FALSE(label.HasBitmap());
    drop({QUrl::fromLocalFile(green)});
    EXPECT_TRUE(label.HasBitmap());
    EXPECT_EQ(label.size(), QSize(40, 20));
    EXPECT_TRUE(Near(Px(Grab(label), 20, 10), kGreen, 2));
}

TEST(GradientLabel, AutoShrinkStepsDownOnePointPerPaint) {
    CGradientLabel label;
    label.resize(40, 10);
    label.SetAutoShrink(true);
    label.SetText(std::wstring(L"several words in a tiny label"));
    int before = label.PointSize();
    (void)Grab(label);
    EXPECT_EQ(label.PointSize(), before - 1);
}

// ---- skinned button ----

namespace {

std::vector<uint8_t> DisposalGif() {
    // Frame 1 fills the picture in red and is disposed to the background; frame 2 puts a blue
    // square in the top-left corner and stays a second.
    GifFrameSpec a{0, 0, 8, 8, std::vector<uint8_t>(64, 1), 5, 2, -1};
    GifFrameSpec b{0, 0, 4, 4, std::vector<uint8_t>(16, 2), 100, 0, -1};
    return WriteGif(8, 8, {Rgb(255, 255, 255), kRed, kBlue}, 0, {a, b});
}

bool WaitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents();
        if (condition()) {
            return true;
        }
        QTest::qWait(5);
    }
    return condition();
}

}  // namespace

TEST(AnimatedPicture, DisposalClearsBeforeNextFrame) {
    auto gif = DisposalGif();
    AnimatedPicture pic;
    ASSERT_TRUE(pic.LoadMemory(gif.data(), gif.size()));
    EXPECT_TRUE(pic.IsGif());
    EXPECT_EQ(pic.FrameCount(), 2);
    EXPECT_EQ(pic.size(), QSize(8, 8));
    EXPECT_EQ(pic.FrameDisposal(0), 2);
    EXPECT_EQ(pic.FrameDelay(1), 100);
    pic.SetBackgroundColor(kGreen);
    EXPECT_FALSE(pic.Start());
    EXPECT_TRUE(WaitFor([&] { return pic.IsPlaying(); }, 2000));
    QImage seen;
    ASSERT_TRUE(WaitFor(
        [&] {
            seen = Grab(pic);
            return Px(seen, 1, 1) == kBlue;
        },
        3000));
    EXPECT_EQ(Px(seen, 6, 6), kGreen);  // frame 1's red is gone
    pic.Stop();
    EXPECT_FALSE(pic.IsPlaying());
}

TEST(AnimatedPicture, DestroyingAPlayingPictureStopsItsThread) {
    auto gif = DisposalGif();
    for (int round = 0; round < 3; ++round) {
        QWidget parent;
        auto* pic = new AnimatedPicture(&parent);
        ASSERT_TRUE(pic->LoadMemory(gif.data(), gif.size()));
        pic->Start();
        ASSERT_TRUE(WaitFor([&] { return pic->IsPlaying(); }, 2000));
        QTest::qWait(20 * round);
        delete pic;  // joins the thread; queued repaints for it are dropped
        QApplication::processEvents();
    }
    // And with the parent taking it down.
    auto parent = std::make_unique<QWidget>();
    auto* pic = new AnimatedPicture(parent.get());
    ASSERT_TRUE(pic->LoadMemory(gif.data(), gif.size()));
    pic->Start();
    parent.reset();
    QApplication::processEvents();
}

TEST(AnimatedPicture, StillsAndSingleFrames) {
    QTemporaryDir dir;
    QString png = dir.filePath(QStringLiteral("still.png"));
    QImage still(30, 20, QImage::Format_RGB32);
    still.fill(ToQColor(kRed));
    ASSERT_TRUE(still.save(png, "PNG"));
    AnimatedPicture pic;
    ASSERT_TRUE(pic.LoadFile(png));
    EXPECT_FALSE(pic.IsGif());
    EXPECT_EQ(pic.PictureSize(), QSize(30, 20));
    EXPECT_EQ(pic.size(), QSize(30, 20));
    EXPECT_TRUE(pic.Start());
    EXPECT_FALSE(pic.IsPlaying());
    EXPECT_EQ(Px(Grab(pic), 15, 10), kRed);
    pic.SetPaintRect(QRect(0, 0, 10, 10));
    (void)Grab(pic);

    GifFrameSpec one{0, 0, 6, 6, std::vector<uint8_t>(36, 1), -1, 0, -1};
    auto gif = WriteGif(6, 6, {Rgb(0, 0, 0), kBlue}, 0, {one});
    ASSERT_TRUE(pic.LoadMemory(gif.data(), gif.size()));
    EXPECT_TRUE(pic.IsGif());
    EXPECT_EQ(pic.FrameCount(), 0);
    EXPECT_TRUE(pic.Start());
    EXPECT_FALSE(pic.IsPlaying());
    EXPECT_EQ(Px(Grab(pic), 3, 3), kBlue);

    pic.Unload();
    EXPECT_FALSE(pic.IsLoaded());
    EXPECT_FALSE(pic.Start());
    EXPECT_FALSE(pic.LoadFile(dir.filePath(QStringLiteral("missing.gif"))));
}

TEST(AnimatedPicture, BadInputLeavesItEmpty) {
    AnimatedPicture pic;
    // A 65535 x 65535 logical screen.
    auto huge = WriteGif(4, 4, {0, kRed}, 0,
                         {GifFrameSpec{0, 0, 4, 4, std::vector<uint8_t>(16, 1), 5, 0, -1},
                          GifFrameSpec{0, 0, 4, 4, std::vector<uint8_t>(16, 0), 5, 0, -1}});
    huge[6] = huge[7] = huge[8] = huge[9] = 0xFF;
    EXPECT_FALSE(pic.LoadMemory(huge.data(), huge.size()));
    EXPECT_FALSE(pic.IsLoaded());
    // No frames at all.
    std::vector<uint8_t> none(huge.begin(), huge.begin() + 13 + 6);
    none[6] = 4;
    none[7] = 0;
    none[8] = 4;
    none[9] = 0;
    none.push_back(0x3B);
    EXPECT_FALSE(pic.LoadMemory(none.data(), none.size()));
    const char junk[] = "not a picture at all";
    EXPECT_FALSE(pic.LoadMemory(junk, sizeof junk));
    EXPECT_FALSE(pic.LoadMemory(nullptr, 0));

    // Corrupted bytes: whatever loads can play and stop.
    auto gif = DisposalGif();
    uint32_t seed = 12345;
    for (int round = 0; round < 60; ++round) {
        auto bad = gif;
        for (int k = 0; k < 4; ++k) {
            seed = seed * 1103515245u + 12345u;
            size_t pos = 6 + (seed >> 8) % (bad.size() - 6);
            bad[pos] = uint8_t(seed >> 24);
        }
        if (round % 3 == 0) {
            bad.resize(bad.size() / 2 + size_t(round));
        }
        if (pic.LoadMemory(bad.data(), bad.size())) {
            pic.Start();
            QApplication::processEvents();
            pic.Stop();
        }
    }
}

// ---- edit, list and combo ----

namespace {

class RecordingScreen : public QWidget, public NavigationHandler {
  public:
    struct Call {
        QWidget* control;
        std::string type;
        unsigned vk;
    };
    void OnNavigationKey(QWidget* control, const char* typeName, unsigned vk) override {
        calls.push_back({control, typeName, vk});
    }
    std::vector<Call> calls;
};

}  // namespace

TEST(SkinFields, DigitsOnlyEdit) {
    SkinEdit edit;
    edit.SetDigitsOnly(true);
    QTest::keyClicks(&edit, QStringLiteral("a1b2-3"));
    EXPECT_EQ(edit.text(), QStringLiteral("123"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), QStringLiteral("12"));
    edit.SetDigitsOnly(false);
    QTest::keyClicks(&edit, QStringLiteral("x"));
    EXPECT_EQ(edit.text(), QStringLiteral("12x"));
    QApplication::processEvents();  // the queued check of the text runs harmlessly
}

TEST(SkinFields, DigitsOnlyEditRefusesPastedDroppedAndInsertedLetters) {
    struct DropEdit : SkinEdit {
        using SkinEdit::dropEvent;
    } edit;
    edit.SetDigitsOnly(true);
    edit.setText(QStringLiteral("12"));
    edit.end(false);
    for (const char* text : {"ab", "4x5", " 7", "\xd9\xa3"}) {  // the last: an Arabic-Indic 3
        QApplication::clipboard()->setText(QString::fromUtf8(text));
        edit.paste();
        EXPECT_EQ(edit.text(), QStringLiteral("12")) << text;
        edit.insert(QString::fromUtf8(text));
        EXPECT_EQ(edit.text(), QStringLiteral("12")) << text;
    }
    edit.setText(QStringLiteral("12"));
    QMimeData mime;
    mime.setText(QStringLiteral("zz"));
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    edit.dropEvent(&drop);
    EXPECT_EQ(edit.text(), QStringLiteral("12"));

    edit.setText(QStringLiteral("12"));
    QApplication::clipboard()->setText(QStringLiteral("123"));
    edit.paste();
    EXPECT_EQ(edit.text(), QStringLiteral("12123"));
    edit.insert(QStringLiteral("9"));
    EXPECT_EQ(edit.text(), QStringLiteral("121239"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClicks(&edit, QStringLiteral("a7"));
    EXPECT_EQ(edit.text(), QStringLiteral("121237"));

    edit.SetDigitsOnly(false);
    edit.insert(QStringLiteral("ab"));
    EXPECT_EQ(edit.text(), QStringLiteral("121237ab"));
    QApplication::processEvents();
}

TEST(SkinFields, TheTypingLimitHoldsTheOperatorNotTheProgram) {
    const QString twelve = QStringLiteral("abcdefghijkl");
    const struct {
        const char* name;
        QString start;  // set by the program after the limit
        bool digits;
        std::function<void(SkinEdit&)> type;
        QString expected;
    } cases[] = {
        {"typing stops at the limit", "", false,
         [](SkinEdit& e) { QTest::keyClicks(&e, QStringLiteral("abcdefgh")); }, "abcde"},
        {"a longer stored text stays whole", twelve, false, [](SkinEdit&) {}, twelve},
        {"and does not grow", twelve, false,
         [](SkinEdit& e) { QTest::keyClicks(&e, QStringLiteral("xy")); }, twelve},
        {"it shrinks, then still may not grow", twelve, false,
         [](SkinEdit& e) {
             QTest::keyClick(&e, Qt::Key_Backspace);
             QTest::keyClicks(&e, QStringLiteral("y"));
         },
         "abcdefghijk"},
        {"replacing it all starts again under the limit", twelve, false,
         [](SkinEdit& e) {
             e.selectAll();
             QTest::keyClicks(&e, QStringLiteral("vwxyz!"));
         },
         "vwxyz"},
        {"undo brings the stored text back", twelve, false,
         [](SkinEdit& e) {
             e.selectAll();
             QTest::keyClicks(&e, QStringLiteral("v"));
             QTest::keySequence(&e, QKeySequence::Undo);
         },
         twelve},
        {"a paste that would pass the limit is refused whole", "ab", false,
         [](SkinEdit& e) {
             QApplication::clipboard()->setText(QStringLiteral("1234"));
             QTest::keySequence(&e, QKeySequence::Paste);
         },
         "ab"},
        {"a paste that fits is taken", "ab", false,
         [](SkinEdit& e) {
             QApplication::clipboard()->setText(QStringLiteral("123"));
             QTest::keySequence(&e, QKeySequence::Paste);
         },
         "ab123"},
        {"digits only and the limit together", "", true,
         [](SkinEdit& e) { QTest::keyClicks(&e, QStringLiteral("1a23-456")); }, "12345"},
    };
    for (const auto& c : cases) {
        SkinEdit edit;
        edit.SetDigitsOnly(c.digits);
        edit.SetTypingLimit(5);
        edit.setText(c.start);  // after the limit, as a screen filled again sets it
        edit.end(false);
        c.type(edit);
        EXPECT_EQ(edit.text(), c.expected) << c.name;
    }

    SkinEdit edit;
    edit.SetTypingLimit(5);
    edit.SetTypingLimit(0);
    QTest::keyClicks(&edit, QStringLiteral("abcdefgh"));
    EXPECT_EQ(edit.text(), QStringLiteral("abcdefgh"));
    QApplication::processEvents();  // the queued checks of the text run harmlessly
}

TEST(SkinFields, APasswordEditShowsAStarForEveryCharacter) {
    SkinEdit edit;
    edit.setText(QStringLiteral("abc"));
    edit.setEchoMode(QLineEdit::Password);
    EXPECT_EQ(edit.displayText(), QStringLiteral("***"));
    edit.end(false);
    QTest::keyClicks(&edit, QStringLiteral("de"));
    edit.insert(QStringLiteral("\u00e9"));
    EXPECT_EQ(edit.displayText(), QStringLiteral("******"));
    EXPECT_EQ(edit.text(), QStringLiteral("abcde\u00e9"));
    QApplication::processEvents();
}

TEST(SkinFields, ForwardingEdit) {
    RecordingScreen screen;
    NavEdit* edit = new NavEdit(&screen);
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_TRUE(screen.calls.empty());
    EXPECT_EQ(edit->text(), QStringLiteral("a"));
    QTest::keyClick(edit, Qt::Key_F5);
    QTest::keyClick(edit, Qt::Key_Tab);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Left);
    ASSERT_EQ(screen.calls.size(), 4u);
    EXPECT_EQ(screen.calls[0].vk, 0x74u);
    EXPECT_EQ(screen.calls[0].type, "EDIT");
    EXPECT_EQ(screen.calls[0].control, edit);
    EXPECT_EQ(screen.calls[1].vk, 0x09u);
    EXPECT_EQ(screen.calls[2].vk, 0x0Du);
    EXPECT_EQ(screen.calls[3].vk, 0x25u);
}

TEST(SkinFields, ForwardingComboKeepsItsSelectionOnUpDown) {
    RecordingScreen screen;
    NavComboBox* combo = new NavComboBox(&screen);
    combo->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    combo->setCurrentIndex(1);
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Up);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(combo->currentIndex(), 1);
    ASSERT_EQ(screen.calls.size(), 3u);
    EXPECT_EQ(screen.calls[0].vk, 0x28u);
    EXPECT_EQ(screen.calls[1].vk, 0x26u);
    EXPECT_EQ(screen.calls[0].type, "COMBOBOX");
    QTest::keyClick(combo, Qt::Key_Tab);
    EXPECT_EQ(screen.calls.back().vk, 0x09u);
}

TEST(SkinFields, ForwardingListAndButton) {
    RecordingScreen screen;
    NavListBox* list = new NavListBox(&screen);
    list->addItems({QStringLiteral("a"), QStringLiteral("b")});
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), 1);  // a list box moves, then forwards
    QTest::keyClick(list, Qt::Key_Q);
    ASSERT_EQ(screen.calls.size(), 2u);
    EXPECT_EQ(screen.calls[0].type, "LISTBOX");
    EXPECT_EQ(screen.calls[1].vk, unsigned('Q'));

    NavButton* button = new NavButton(&screen);
    button->SetButtonType(kTypeRadio);
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_TRUE(button->GetCheck());
    EXPECT_EQ(screen.calls.back().type, "BUTTON");
    EXPECT_EQ(screen.calls.back().vk, 0x20u);

    // An explicit handler takes precedence over the screen.
    RecordingScreen other;
    button->SetNavigationHandler(&other);
    QTest::keyClick(button, Qt::Key_F1);
    ASSERT_EQ(other.calls.size(), 1u);
    EXPECT_EQ(other.calls[0].vk, 0x70u);
}

TEST(SkinFields, ComboVisibleItemsAndOwnerDraw) {
    SkinComboBox combo;
    combo.SetFont(QStringLiteral("Arial"), 14, 400);
    combo.addItems({QStringLiteral("one"), QStringLiteral("two")});
    EXPECT_EQ(combo.VisibleItems(), 5);
    combo.SetVisibleItems(5);
    EXPECT_EQ(combo.maxVisibleItems(), 5);
    EXPECT_EQ(combo.DropDownHeight(),
              combo.SelectionItemHeight() + 5 * combo.ListItemHeight() + 4 * combo.EdgeHeight());
    combo.SetOwnerDraw(true);
    combo.resize(120, 30);
    (void)Grab(combo);

    SkinListBox list;
    list.SetOwnerDraw(true);
    list.SetFont(QStringLiteral("Arial"), 20, 700);
    QPalette pal = list.palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::WindowText, ToQColor(kRed));
    list.setPalette(pal);
    list.addItem(QStringLiteral("MMMM"));
    list.resize(150, 60);
    QImage img = Grab(list);
    int red = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            red += Near(Px(img, x, y), kRed, 40);
        }
    }
    EXPECT_GT(red, 30);
    list.SetTooltip(QStringLiteral("a tip"), QFont());
    EXPECT_TRUE(list.toolTip().contains(QStringLiteral("a tip")));
}

TEST(Fonts, ConfiguredFacesResolveToInstalledSansFonts) {
    for (const char* face : {"Arial", "Arial Unicode MS"}) {
        QFontInfo info(MakeFont(QString::fromLatin1(face), 16, 700));
        EXPECT_TRUE(info.family() == QStringLiteral("Liberation Sans") ||
                    info.family() == QStringLiteral("DejaVu Sans"))
            << face << " -> " << info.family().toStdString();
        EXPECT_EQ(info.pixelSize(), 16);
        EXPECT_TRUE(info.bold());
    }
}

// The chosen item of a list or combo box reads at 4.5 : 1 or more, focused or not.
TEST(SkinLists, TheChosenItemReadsOnItsHighlight) {
    QWidget parent;
    controls::SkinListBox list(&parent);
    controls::SkinComboBox combo(&parent);
    for (QWidget* w : {static_cast<QWidget*>(&list), static_cast<QWidget*>(&combo)}) {
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            const uint32_t back =
                controls::FromQColor(w->palette().color(group, QPalette::Highlight));
            const uint32_t text =
                controls::FromQColor(w->palette().color(group, QPalette::HighlightedText));
            EXPECT_GE(controls::ContrastRatio(back, text), 4.5) << group;
        }
    }
}
