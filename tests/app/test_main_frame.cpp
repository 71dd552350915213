// The main frame and the screen view in-process, with a scripted automaton: view switching,
// the flags that postpone it, the engine hook's pauses and wakes, and the end of the run.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/AnswerDriver.h"
#include "app/Backdrop.h"
#include "app/MainFrame.h"
#include "app/QVApp.h"
#include "app/QtEngineHook.h"
#include "screens/QVAppView.h"
#include "tests/support/TempTree.h"
#include "xmlgui/DialogForm.h"

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_main_frame";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// The engine's side: its own context, and a Run that the test scripts.
class ScriptedAutomaton : public CAutomatonPort {
  public:
    ScriptedAutomaton() : engine_("frame.log", LOG_DEBUG) {
        engine_.Initialize();
        for (const char* name : {"LastEvent", "NextState"})
            engine_.addPropertiesContext(name, "INT", 1);
        for (const char* name : {"Gui", "NameState", "PathGui", "ID_LANG"})
            engine_.addPropertiesContext(name, "STRING", 1);
        engine_.SetString("PathGui", 1, "..\\gui\\");
    }
    ~ScriptedAutomaton() override { engine_.ReleaseValues(); }
    int Run() override {
        if (body)
            body(hook_);
        return 0;
    }
    ContextImage* GetContextImage() override { return engine_.GetImage(); }
    int UpdateContextImage(ContextImage*) override {
        ++updates;
        return 0;
    }
    void SetEngineHook(CEngineHook* hook) override { hook_ = hook; }

    int32_t Int(const char* name) {
        int32_t v = 0;
        engine_.GetInt(name, 1, &v);
        return v;
    }
    void SetInt(const char* name, int32_t v) { engine_.SetInt(name, 1, v); }
    void Ask(const char* gui) { engine_.SetString("Gui", 1, gui); }
    std::string Gui() {
        char buf[200] = "";
        engine_.GetString("Gui", 1, buf);
        return buf;
    }

    std::function<void(CEngineHook*)> body;
    int updates = 0;

  private:
    CAutomateContext engine_;
    CEngineHook* hook_ = nullptr;
};

// Waits in Qt's loop until done() or the timeout.
bool Spin(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QImage Picture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

const char kScreenA[] = R"(<dialog width="200" height="100" style="child">
  <control id="1001" class="BUTTON" x="10" y="70" width="60" height="20" text="Next"/>
  <control id="1002" class="BUTTON" x="80" y="70" width="60" height="20" text="Back"/>
  <control id="1041" class="STATIC" x="10" y="10" width="100" height="12" text="A"/>
</dialog>)";

}  // namespace

// Sets what only the frame writes, to put a frame in a state without running the automaton.
class CQVAppTestPeer {
  public:
    static void SetRunState(CQVApp& app, int state) { app.runState_ = state; }
    static void SetViewSwitching(CQVApp& app, bool on) { app.viewSwitching_ = on; }
};

namespace {

class MainFrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.Write("config/QV/QV_pictures.ini",
                   "[Initialisation]\nBackground=..\\pictures\\init.png\n"
                   "[ScreenA]\nBackground=..\\pictures\\a.png\n"
                   "[Broken]\nBackground=..\\pictures\\none.png\n"
                   "[Cut]\nBackground=..\\pictures\\cut.png\n");
        Picture(320, 200).save(QString::fromStdString(tree.Path("pictures/init.png")));
        Picture(400, 300).save(QString::fromStdString(tree.Path("pictures/a.png")));
        // A header that reads, pixels that do not.
        tree.Write("pictures/cut.png", tree.Read("pictures/a.png").substr(0, 60));
        tree.Write("gui/ScreenA.gui", kScreenA);
        qvapp = std::make_unique<CQVApp>();
        qvapp->modal = false;
        qvapp->UseAutomaton(&automaton, &screen);
        frame = qvapp->CreateFrame();
        frame->resize(1000, 800);
        frame->show();
    }
    void TearDown() override { qvapp.reset(); }

    // The view's controls (null when absent).
    QAbstractButton* Button(int id) {
        return qobject_cast<QAbstractButton*>(xmlgui::FindControl(frame->ActiveView(), id));
    }

    TempTree tree;
    ScriptedAutomaton automaton;
    CAutomateContext screen{"frame.log", LOG_DEBUG};
    std::unique_ptr<CQVApp> qvapp;
    CMainFrame* frame = nullptr;
};

TEST_F(MainFrameTest, FirstViewShowsTheInitialisationBackgroundCentred) {
    CQVAppView* view = frame->ActiveView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->HasBackground());
    EXPECT_EQ(view->size(), QSize(320, 200));
    EXPECT_EQ(view->pos(), QPoint((1000 - 320) / 2, (800 - 200) / 2));
    EXPECT_TRUE(view->DialogTemplate().Loaded());  // the built-in empty dialog
    EXPECT_TRUE(view->ScreenFilePath().empty());
    // Rendering draws the picture at the view's origin.
    QImage shot = view->grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::darkCyan));
}

TEST_F(MainFrameTest, SwitchBuildsTheRequestedScreenAndRepeatsForTheSameName) {
    screen.SetImage(automaton.GetContextImage());
    automaton.Ask("C:\\any\\where\\ScreenA.gui");
    automaton.SetInt("NextState", 0);
    CQVAppTestPeer::SetRunState(*qvapp, kRunRunning);
    EXPECT_FALSE(frame->SyncWithAutomate());
    EXPECT_EQ(qvapp->currentScreen, "ScreenA");
    EXPECT_EQ(automaton.Gui(), "");
    EXPECT_EQ(frame->ViewsCreated(), 2);
    CQVAppView* view = frame->ActiveView();
    EXPECT_EQ(view->ScreenFilePath(), L"..\\gui\\ScreenA.gui");
    EXPECT_EQ(view->size(), QSize(400, 300));
    EXPECT_EQ(view->pos(), QPoint(300, 250));
    EXPECT_NE(Button(1001), nullptr);
    EXPECT_EQ(Button(1001)->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_FALSE(qvapp->screenBuilding);
    EXPECT_FALSE(qvapp->ViewSwitching());
    EXPECT_EQ(automaton.Int("LastEvent"), 0);

    // The same name again is switched again; a waiting NextState becomes LastEvent then.
    automaton.Ask("ScreenA");
    automaton.SetInt("NextState", 4);
    EXPECT_TRUE(frame->SyncWithAutomate());
    EXPECT_EQ(frame->ViewsCreated(), 3);
    EXPECT_NE(frame->ActiveView(), view);
    EXPECT_EQ(automaton.Int("LastEvent"), 4);
    EXPECT_EQ(automaton.Int("NextState"), 0);
    // The replaced views did not end the run.
    EXPECT_GE(automaton.updates, 2);
}

TEST_F(MainFrameTest, AClickInProgressPostponesSwitchAndEvent) {
    screen.SetImage(automaton.GetContextImage());
    CQVAppTestPeer::SetRunState(*qvapp, kRunRunning);
    qvapp->clickInProgress = true;
    automaton.Ask("ScreenA");
    automaton.SetInt("NextState", 3);
    EXPECT_FALSE(frame->SyncWithAutomate());
    EXPECT_EQ(frame->ViewsCreated(), 1);
    EXPECT_EQ(automaton.Gui(), "ScreenA");
    EXPECT_EQ(automaton.Int("NextState"), 3);
    EXPECT_EQ(automaton.Int("LastEvent"), 0);

    qvapp->clickInProgress = false;
    EXPECT_TRUE(frame->SyncWithAutomate());
    EXPECT_EQ(frame->ViewsCreated(), 2);
    EXPECT_EQ(automaton.Int("LastEvent"), 3);
}

TEST_F(MainFrameTest, AScreenWithoutBackgroundOrDialogFileFallsBack) {
    CQVAppTestPeer::SetRunState(*qvapp, kRunRunning);
    screen.SetImage(automaton.GetContextImage());
    automaton.Ask("Missing");  // no Background, no dialog file
    frame->SyncWithAutomate();
    CQVAppView* view = frame->ActiveView();
    EXPECT_FALSE(view->HasBackground());
    EXPECT_EQ(view->ScreenFilePath(), L"..\\gui\\Missing.gui");
    // The empty dialog 102 (92 x 46 dialog units) has no controls.
    EXPECT_EQ(view->DialogTemplate().Template().cx, 92);
    EXPECT_EQ(view->DialogTemplate().Template().cy, 46);
    EXPECT_TRUE(view->findChildren<QWidget*>().isEmpty());
    automaton.Ask("Broken");  // a Background that does not load
    frame->SyncWithAutomate();
    EXPECT_FALSE(frame->ActiveView()->HasBackground());
    automaton.Ask("Cut");  // decoded when first drawn; it fails then, and nothing is drawn
    frame->SyncWithAutomate();
    frame->ActiveView()->repaint();
    EXPECT_FALSE(frame->ActiveView()->HasBackground());
}

// The whole run through the Qt hook: the start on the first event after run state 1, a
// NextState with no input at all, a click that wakes a long pause, the window that refuses to
// close, and its destruction ending the run.
TEST_F(MainFrameTest, RunStartsOnTheFirstEventAndEndsWhenTheWindowIsDestroyed) {
    qint64 nextStateMs = -1, clickWakeMs = -1;
    long wakesBefore = 0;
    bool closeRefused = false;
    automaton.body = [&](CEngineHook* hook) {
        ASSERT_NE(hook, nullptr);
        EXPECT_EQ(qvapp->RunState(), kRunRunning);
        // A service asks for a screen and leaves an event in NextState.
        automaton.Ask("..\\gui\\ScreenA.gui");
        QElapsedTimer t;
        t.start();
        hook->Pause(200);  // synchronises first: the screen is there before the pause ends
        EXPECT_EQ(qvapp->currentScreen, "ScreenA");
        EXPECT_LT(t.elapsed(), 1000);
        automaton.SetInt("NextState", 6);
        t.restart();
        while (automaton.Int("LastEvent") != 6 && t.elapsed() < 2000) {
            hook->Pump();
            hook->Pause(20);
        }
        nextStateMs = t.elapsed();
        automaton.SetInt("LastEvent", 0);

        // A click on 1002 ends a long pause early and raises event 2.
        QAbstractButton* back = Button(1002);
        EXPECT_NE(back, nullptr);
        wakesBefore = static_cast<CQtEngineHook*>(hook)->Wakes();
        QTimer::singleShot(30, [back] { QTest::mouseClick(back, Qt::LeftButton); });
        t.restart();
        hook->Pause(5000);
        clickWakeMs = t.elapsed();
        EXPECT_EQ(automaton.Int("LastEvent"), 2);
        automaton.SetInt("LastEvent", 0);

        // The window manager's close is refused while the run goes on.
        QCloseEvent close;
        QApplication::sendEvent(frame, &close);
        closeRefused = !close.isAccepted();

        // Destroying the window raises -1; the engine sees it and its run ends.
        QTimer::singleShot(10, frame, [this] { frame->DestroyWindow(); });
        t.restart();
        while (automaton.Int("LastEvent") != -1 && t.elapsed() < 2000) {
            if (!hook->Pump())
                break;
            hook->Pause(20);
        }
        EXPECT_EQ(automaton.Int("LastEvent"), -1);
        EXPECT_FALSE(hook->Pump());
    };
    bool ended = false;
    QObject::connect(frame, &CMainFrame::RunEnded, [&] { ended = true; });
    frame->MarkReady();
    frame->setWindowTitle("VEK test");  // any event starts it
    ASSERT_TRUE(Spin([&] { return ended; }, 10000));
    EXPECT_EQ(qvapp->RunState(), kRunEnded);
    EXPECT_GE(nextStateMs, 0);
    EXPECT_LT(nextStateMs, 1000);
    EXPECT_GE(clickWakeMs, 0);
    EXPECT_LT(clickWakeMs, 1000);
    EXPECT_TRUE(closeRefused);
    EXPECT_FALSE(frame->isVisible());
    // After the end, a close is accepted.
    QCloseEvent late;
    QApplication::sendEvent(frame, &late);
    EXPECT_TRUE(late.isAccepted());
}

// Without the engine pumping at all, the frame's own traffic (and at worst its one-second duty)
// still turns NextState into LastEvent.
TEST_F(MainFrameTest, NextStateBecomesLastEventWithoutTheEnginePumping) {
    automaton.body = [&](CEngineHook*) {
        automaton.SetInt("NextState", 9);
        QElapsedTimer t;
        t.start();
        while (automaton.Int("LastEvent") != 9 && t.elapsed() < 3000) {
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            loop.exec();
        }
        EXPECT_EQ(automaton.Int("LastEvent"), 9);
        EXPECT_LE(t.elapsed(), CMainFrame::kKeepOnTopMs + 500);
    };
    bool ended = false;
    QObject::connect(frame, &CMainFrame::RunEnded, [&] { ended = true; });
    frame->MarkReady();
    frame->update();
    ASSERT_TRUE(Spin([&] { return ended; }, 10000));
}

// While a screen waits for the operator the engine pauses up to a second, yet an event written
// from outside (here, without any input to the frame) is still seen within that safety period.
TEST_F(MainFrameTest, AWaitingScreenSlowsThePollButAnOutsideWriteIsSeen) {
    automaton.body = [&](CEngineHook* hook) {
        automaton.Ask("..\\gui\\ScreenA.gui");
        hook->Pause(20);
        ASSERT_EQ(qvapp->currentScreen, "ScreenA");
        EXPECT_TRUE(frame->WaitingForOperator());
        QElapsedTimer t;
        t.start();
        hook->Pause(20);  // nothing can change but by the operator: a long pause
        EXPECT_GE(t.elapsed(), CQtEngineHook::kIdleCheckMs / 2);
        QTimer::singleShot(100, [&] { automaton.SetInt("NextState", 7); });
        t.restart();
        while (automaton.Int("LastEvent") != 7 && t.elapsed() < 3000) {
            hook->Pump();
            hook->Pause(20);
        }
        EXPECT_EQ(automaton.Int("LastEvent"), 7);
        EXPECT_LE(t.elapsed(), CQtEngineHook::kIdleCheckMs + 500);
        EXPECT_FALSE(frame->WaitingForOperator());
        frame->DestroyWindow();
        hook->Pump();
    };
    bool ended = false;
    QObject::connect(frame, &CMainFrame::RunEnded, [&] { ended = true; });
    frame->MarkReady();
    frame->update();
    ASSERT_TRUE(Spin([&] { return ended; }, 10000));
}

// The frame's once-a-second tick ends a pause only the operator could end (the wizard then wakes
// once a second for both duties), never one while something else can move the run, and it is
// no wake: nothing waits for the engine.
TEST(QtEngineHook, AHeartbeatEndsOnlyAnOperatorOnlyPause) {
    bool operatorOnly = true;
    CQtEngineHook hook(nullptr, nullptr, [&] { return operatorOnly; });
    QElapsedTimer t;
    t.start();
    QTimer::singleShot(50, [&] { hook.Heartbeat(); });
    hook.Pause(20);
    EXPECT_LT(t.elapsed(), CQtEngineHook::kIdleCheckMs / 2);
    EXPECT_EQ(hook.Wakes(), 0);

    operatorOnly = false;
    t.restart();
    QTimer::singleShot(20, [&] { hook.Heartbeat(); });
    hook.Pause(300);
    EXPECT_GE(t.elapsed(), 250);
}

TEST_F(MainFrameTest, ButtonsRaiseEventsOnlyWhenNoScreenFlagIsSet) {
    CQVAppTestPeer::SetRunState(*qvapp, kRunRunning);
    screen.SetImage(automaton.GetContextImage());
    automaton.Ask("ScreenA");
    frame->SyncWithAutomate();
    QAbstractButton* next = Button(1001);
    ASSERT_NE(next, nullptr);
    struct Case {
        bool click, building, switching;
        const char* gui;
        int expected;
    } cases[] = {
        {false, false, false, "", 1},      {true, false, false, "", 0},
        {false, true, false, "", 0},       {false, false, true, "", 0},
        {false, false, false, "Other", 0},
    };
    for (const Case& c : cases) {
        automaton.SetInt("LastEvent", 0);
        automaton.Ask(c.gui);
        qvapp->clickInProgress = c.click;
        qvapp->screenBuilding = c.building;
        CQVAppTestPeer::SetViewSwitching(*qvapp, c.switching);
        QTest::mouseClick(next, Qt::LeftButton);
        EXPECT_EQ(automaton.Int("LastEvent"), c.expected) << c.click << c.building << c.switching;
        EXPECT_EQ(qvapp->clickInProgress, c.click);
    }
    qvapp->clickInProgress = qvapp->screenBuilding = false;
    CQVAppTestPeer::SetViewSwitching(*qvapp, false);
    automaton.Ask("");
}

// Counts the key presses that reach a widget.
class KeyCounter : public QObject {
  public:
    int presses = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress)
            ++presses;
        return false;
    }
};

// Keys the program sends itself never stop an unattended run; the first key from the window
// system (a person) does, and goes nowhere else.
TEST_F(MainFrameTest, AKeyAtTheWorkstationStopsTheUnattendedRunAndIsSwallowed) {
    answers::AnswerFile file;
    app::AnswerDriver driver(*qvapp, file, app::AnswerDriver::kDefaultMaxVisits, false);
    driver.Start();
    KeyCounter counter;
    frame->installEventFilter(&counter);
    QKeyEvent synthetic(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(frame, &synthetic);
    EXPECT_FALSE(driver.StoppedByOperator());
    EXPECT_EQ(counter.presses, 1);

    QTest::keyClick(frame, Qt::Key_Return);  // delivered as the window system would
    EXPECT_TRUE(driver.StoppedByOperator());
    EXPECT_EQ(counter.presses, 1);
    EXPECT_EQ(driver.ExitCode(), 0);
    // From then on the person's keys go where they always go.
    QTest::keyClick(frame, Qt::Key_Return);
    EXPECT_EQ(counter.presses, 2);
    frame->removeEventFilter(&counter);
}

}  // namespace

// The frame around the view shows the view's picture extended, at the sizes of the shop's
// displays; the view stays centred at its own size.
TEST_F(MainFrameTest, TheBackdropExtendsTheViewsPictureToEveryCorner) {
    // A picture whose four edges differ, so that each extension is told from the others.
    QImage picture(320, 200, QImage::Format_RGB32);
    picture.fill(QColor(0x20, 0x40, 0x80));
    for (int x = 0; x < 320; ++x) {
        picture.setPixelColor(x, 0, QColor(0x10, 0x30, 0x50));
        picture.setPixelColor(x, 199, QColor(0x1D, 0x5C, 0x96));
    }
    picture.setPixelColor(319, 0, QColor(0x11, 0x31, 0x51));
    picture.setPixelColor(0, 199, QColor(0x1E, 0x5D, 0x97));
    picture.save(QString::fromStdString(tree.Path("pictures/init.png")));
    qvapp.reset();
    qvapp = std::make_unique<CQVApp>();
    qvapp->modal = false;
    qvapp->UseAutomaton(&automaton, &screen);
    frame = qvapp->CreateFrame();

    const QColor grey = frame->palette().color(QPalette::Window);
    for (const QSize size : {QSize(1024, 768), QSize(1280, 1024), QSize(1920, 1080)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        frame->resize(size);
        frame->show();
        ASSERT_TRUE(Spin([&] { return frame->size() == size; }, 2000));
        const QImage shot = frame->grab().toImage();
        CQVAppView* view = frame->ActiveView();
        EXPECT_EQ(view->size(), QSize(320, 200));
        EXPECT_EQ(view->pos(), QPoint((size.width() - 320) / 2, (size.height() - 200) / 2));
        const int r = size.width() - 1, b = size.height() - 1;
        const struct {
            QPoint at;
            QColor want;
        } corners[] = {{{0, 0}, QColor(0x10, 0x30, 0x50)},
                       {{r, 0}, QColor(0x11, 0x31, 0x51)},
                       {{0, b}, QColor(0x1E, 0x5D, 0x97)},
                       {{r, b}, QColor(0x1D, 0x5C, 0x96)}};
        for (const auto& c : corners) {
            EXPECT_NE(shot.pixelColor(c.at), grey) << c.at.x() << "," << c.at.y();
            EXPECT_EQ(shot.pixelColor(c.at), c.want) << c.at.x() << "," << c.at.y();
        }
        // Beside the view, a row takes its edge pixel; above it, a column its top pixel.
        const QPoint origin = view->pos();
        EXPECT_EQ(shot.pixelColor(0, origin.y() + 100), QColor(0x20, 0x40, 0x80));
        EXPECT_EQ(shot.pixelColor(origin.x() + 100, 0), QColor(0x10, 0x30, 0x50));
        EXPECT_EQ(shot.pixelColor(origin.x() + 100, b), QColor(0x1D, 0x5C, 0x96));
    }
}

TEST(Backdrop, WithoutAPictureTheFrameIsPlainNotGrey) {
    QImage shot(64, 48, QImage::Format_RGB32);
    shot.fill(Qt::gray);
    {
        QPainter p(&shot);
        app::PaintBackdrop(p, shot.rect(), QRect(10, 10, 20, 20), nullptr);
    }
    EXPECT_EQ(shot.pixelColor(0, 0), app::kPlainBackdrop);
    EXPECT_EQ(shot.pixelColor(63, 47), app::kPlainBackdrop);
    // A view running off the frame: the strips stop at the frame, the view's part is its own.
    QImage picture(100, 100, QImage::Format_RGB32);
    picture.fill(QColor(1, 2, 3));
    shot.fill(Qt::gray);
    {
        QPainter p(&shot);
        app::PaintBackdrop(p, shot.rect(), QRect(30, 20, 100, 100), &picture);
    }
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(1, 2, 3));
    EXPECT_EQ(shot.pixelColor(5, 40), QColor(1, 2, 3));
    EXPECT_EQ(shot.pixelColor(50, 40), QColor(Qt::gray));
}
