// The staged wizard on a bare X server with no window manager, driven only through the server:
// both shipped flows by keys, the choice screens by mouse clicks, and what the operator sees on
// every screen (captions, the language highlight, the focus mark, full screen).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QImage>
#include <sstream>
#include <string>

#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"
#include "tests/x11/XSession.h"

namespace x11test {
namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
constexpr int kRunMs = 60000;
// A caption of a few letters leaves far more than this many strokes' pixels.
constexpr int kCaptionInk = 25;
constexpr int kRedCaption = 15;
constexpr int kFirstLanguage = 1007;
constexpr int kLastChoice = 1039;
constexpr int kValidate = 1001;

XServer* server = nullptr;

class XServerEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { server = new XServer(kWidth, kHeight); }
    void TearDown() override {
        delete server;
        server = nullptr;
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

std::string Flow(const char* name) {
    return ReadFile(std::string(SOURCE_DIR) + "/scripts/flows/" + name);
}

class X11Wizard : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server && server->Running()) << "Xvfb did not start"; }

    // What every screen owes the operator: each caption drawn, the focus on a control and
    // marked, the keyboard on the wizard's window.
    void CheckScreen(const ScreenMap& map, const std::string& picture) {
        const QImage image = wizard.Grab(picture);
        for (const auto& [id, control] : map.controls) {
            if (id > kLastChoice || control.caption.empty())
                continue;
            EXPECT_GE(InkPixels(image, control.rect.adjusted(2, 2, -2, -2)), kCaptionInk)
                << map.screen << ": button " << id << " \"" << control.caption
                << "\" shows no caption (" << picture << ".png)";
        }
        EXPECT_NE(map.focus, -1) << map.screen << ": no control has the focus";
        if (map.Has(map.focus)) {
            EXPECT_GT(FocusRingShare(image, map.controls.at(map.focus).rect), 0.6)
                << map.screen << ": the focus on " << map.focus << " is not marked (" << picture
                << ".png)";
        }
        EXPECT_EQ(FocusedWindowPid(), wizard.Pid()) << map.screen << ": the keyboard is elsewhere";
    }

    // Language buttons drawn in red.
    std::vector<int> RedLanguageButtons(const ScreenMap& map, const QImage& image) {
        std::vector<int> red;
        for (const auto& [id, control] : map.controls)
            if (id >= kFirstLanguage && id <= kLastChoice &&
                RedPixels(image, control.rect) >= kRedCaption)
                red.push_back(id);
        return red;
    }

    // Runs a key script, looking at each screen as it comes.
    void WalkChecking(const std::string& script, const std::string& prefix) {
        int n = 0;
        std::string line, pending;
        std::istringstream in(script);
        while (std::getline(in, line)) {
            if (line.rfind("screen ", 0) != 0) {
                pending += line + "\n";
                continue;
            }
            wizard.RunScript(pending);
            pending.clear();
            const std::string name = line.substr(7);
            const ScreenMap map = wizard.WaitScreen(name);
            ASSERT_FALSE(HasFatalFailure());
            CheckScreen(map, prefix + std::to_string(++n) + "_" + name);
        }
        wizard.RunScript(pending);
    }

    // Clicks a choice, keeps a picture of it, and validates with the mouse.
    void ChooseByMouse(const std::string& screen, int choice) {
        wizard.WaitScreen(screen);
        wizard.Click(choice);
        wizard.WaitFocus(choice);
        wizard.Grab("mouse_" + screen);
        wizard.Click(kValidate);
    }

    StagedWizard wizard;
};

TEST_F(X11Wizard, InstallationByKeysShowsEveryScreenAndConfiguresTheTarget) {
    wizard.Start();
    WalkChecking(Flow("installation_pc.keys"), "keys_");
    EXPECT_EQ(wizard.WaitExit(kRunMs), 0) << wizard.Log();
    const std::string log = wizard.Log();
    EXPECT_NE(log.find("(INFO) Configuration applied"), std::string::npos);
    EXPECT_EQ(log.find("(ERR)"), std::string::npos);
    // English of the United Kingdom, whose country the list starts on; the keyboard paged once
    // to the right from the proposed layout; a British postcode and phone number.
    EXPECT_EQ(wizard.LastSet("ID_LANG"), "ID_LANG7");
    EXPECT_EQ(wizard.LastSet("CodePays"), "GB");
    EXPECT_EQ(wizard.Target("etc/default/locale").substr(0, 16), "LANG=en_GB.UTF-8");
    const std::string choices = wizard.Target("etc/quilvane/choices.conf");
    EXPECT_NE(choices.find("CodePostal=SW1A 1AA"), std::string::npos) << choices;
    EXPECT_NE(choices.find("Telephone=+44 20 7946 0000"), std::string::npos) << choices;
    EXPECT_NE(wizard.Target("etc/default/keyboard").find("XKBLAYOUT="), std::string::npos);
    EXPECT_NE(wizard.Target("etc/apt/apt.conf.d/90quilvane-proxy").find("proxy.example.net:3128"),
              std::string::npos);
}

TEST_F(X11Wizard, ReconfigurationByKeysShowsEveryScreen) {
    // A workstation installed before: unattended, offscreen, from the demo answers.
    ASSERT_EQ(wizard.RunUnattended("../config/answers_installation.ini"), 0) << wizard.Log();
    wizard.Start(true);
    WalkChecking(Flow("reconfiguration.keys"), "reconf_");
    EXPECT_EQ(wizard.WaitExit(kRunMs), 0) << wizard.Log();
    EXPECT_NE(wizard.Target("etc/apt/apt.conf.d/90quilvane-proxy").find("proxy2.example.net:8080"),
              std::string::npos);
}

TEST_F(X11Wizard, ChoicesMadeWithTheMouseAreSaved) {
    wizard.Start();
    // English, then "choose another keyboard", which leads to the layout pictures (event 5).
    ChooseByMouse("StateLanguage", 1008);
    ChooseByMouse("StateGuiAskKeyBoard", 1008);
    EXPECT_EQ(wizard.LastSet("ID_LANG"), "ID_LANG1");
    wizard.WaitScreen("StateGuiKeyBoard");
    wizard.Click(kValidate);
    wizard.WaitScreen("StateCountryChoice");
    wizard.Click(kValidate);
    ChooseByMouse("StateInstallationTypeQV", 1008);
    ChooseByMouse("StateChoiceTradeMark", 1008);
    // The kiosk model asks which kiosk.
    ChooseByMouse("StateChoicePC", 1010);
    ChooseByMouse("StateChoiceBorne", 1008);
    wizard.WaitScreen("StateConnectBornePC");

    const std::string log = wizard.Log();
    for (int id : {1008, 1008, 1008, 1010, 1008})
        EXPECT_NE(
            log.find("manageSaveData : specific button pushed id=[" + std::to_string(id) + "]"),
            std::string::npos)
            << id;
    EXPECT_EQ(wizard.LastSet("InstallationType"), "2");
    EXPECT_EQ(wizard.LastSet("TradeMark"), "2");
    EXPECT_FALSE(wizard.LastSet("PCModelType").empty());
    EXPECT_EQ(wizard.LastSet("TypeBorne"), "others");
}

// F2 leads back screen by screen the way the operator came, and each screen shown again shows
// what was chosen on it.
TEST_F(X11Wizard, BackRetracesTheWayAndEveryScreenKeepsItsChoice) {
    wizard.Start();
    wizard.WaitScreen("StateLanguage");
    wizard.RunScript("key Down\nkey Return\n");  // English
    wizard.WaitScreen("StateGuiAskKeyBoard");
    wizard.RunScript("key Down\nkey Return\n");  // choose from the pictures
    wizard.WaitScreen("StateGuiKeyBoard");
    wizard.RunScript("key Right\n");
    wizard.WaitScreen("StateGuiKeyBoard");
    wizard.Key("Return");
    const std::string firstCountry = wizard.WaitScreen("StateCountryChoice").controls[1200].caption;
    wizard.RunScript("key Down\nkey Return\n");
    const std::string country = wizard.LastSet("CodePays");
    for (const char* screen : {"StateInstallationTypeQV", "StateChoiceTradeMark"}) {
        wizard.WaitScreen(screen);
        wizard.RunScript("key Down\nkey Return\n");  // the second choice
    }
    wizard.WaitScreen("StateChoicePC");
    wizard.RunScript("key Down\nkey Down\nkey Return\n");  // the third PC model
    wizard.WaitScreen("StateConnectRouterPC");

    struct Back {
        const char* screen;
        int focus;  // the choice shown chosen; 0: not a choice screen
    } const way[] = {{"StateChoicePC", 1009},
                     {"StateChoiceTradeMark", 1008},
                     {"StateInstallationTypeQV", 1008},
                     {"StateCountryChoice", 0},
                     {"StateGuiKeyBoard", 0},
                     {"StateGuiAskKeyBoard", 1008},
                     {"StateLanguage", 1008}};
    for (const Back& step : way) {
        wizard.Key("F2");
        ScreenMap map = wizard.WaitScreen(step.screen);
        ASSERT_FALSE(HasFatalFailure()) << "F2 did not lead to " << step.screen;
        if (step.focus) {
            EXPECT_EQ(map.focus, step.focus) << step.screen;
        }
        if (std::string(step.screen) == "StateCountryChoice") {
            EXPECT_NE(map.controls[1200].caption, firstCountry) << "the country list starts over";
            EXPECT_FALSE(map.controls[1200].caption.empty());
        }
        CheckScreen(map, std::string("back_") + step.screen);
    }
    const std::string log = wizard.Log();
    EXPECT_EQ(log.find("(ERR)"), std::string::npos) << log;
    EXPECT_FALSE(country.empty());
}

// Belgian French chosen by mouse, the proposed keyboard kept: the country screen.
ScreenMap ToTheCountryInBelgianFrench(StagedWizard& wizard) {
    wizard.Start();
    wizard.WaitScreen("StateLanguage");
    wizard.Click(1013);  // "Français (Belgique)"
    wizard.WaitFocus(1013);
    wizard.Click(kValidate);
    wizard.WaitScreen("StateGuiAskKeyBoard");
    wizard.Key("Return");
    return wizard.WaitScreen("StateCountryChoice");
}

// The country list opens on the country of the language entry: Belgium for Belgian French.
TEST_F(X11Wizard, TheCountryListStartsOnTheLanguagesCountry) {
    const ScreenMap map = ToTheCountryInBelgianFrench(wizard);
    EXPECT_EQ(map.controls.at(1200).caption, "Belgique");
    wizard.Key("Return");
    wizard.WaitScreen("StateInstallationTypeQV");
    EXPECT_EQ(wizard.LastSet("CodePays"), "BE");
}

// Straight to the proxy screen, where a port out of range is typed and validated.
constexpr char kToAWrongPort[] =
    "screen StateLanguage\nkey Return\nscreen StateGuiAskKeyBoard\nkey Return\n"
    "screen StateCountryChoice\nkey Return\nscreen StateInstallationTypeQV\nkey Return\n"
    "screen StateChoiceTradeMark\nkey Return\nscreen StateChoicePC\nkey Return\n"
    "screen StateConnectRouterPC\nkey Return\nscreen StateConnectRouterPCVerif\nkey F3\n"
    "screen StateConfProxy\ntype proxy.example.net\nkey Tab\ntype 80999\nkey Return\n";

// A refused entry comes back with a line, in red, that says what is wrong, and the focus on it.
TEST_F(X11Wizard, AWrongEntrySaysWhyAndTakesTheFocus) {
    wizard.Start();
    wizard.RunScript(kToAWrongPort);
    const ScreenMap map = wizard.WaitScreen("StateConfProxy");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(map.focus, 1103) << "the focus is not on the wrong port";
    ASSERT_TRUE(map.Has(1089));
    const QImage image = wizard.Grab("refused_StateConfProxy");
    EXPECT_GE(RedPixels(image, map.controls.at(1089).rect), kRedCaption)
        << "no line says what is wrong (refused_StateConfProxy.png)";
}

// A country the record cannot take (another program holds it): the screen stays and a red
// line says why in the operator's language; once the record is free, the same press goes on.
TEST_F(X11Wizard, ACountryThatCannotBeSavedSaysWhyInTheOperatorsLanguage) {
    const ScreenMap map = ToTheCountryInBelgianFrench(wizard);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(map.Has(1089));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(wizard.Tree().Path("data/LMQPointService.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    wizard.Key("Return");
    // The plug-in waits for the record before it gives up.
    const std::string line =
        "(ERR) Country not saved : the country screen stays (the record is "
        "locked by another program)";
    EXPECT_TRUE(WaitFor([&] { return wizard.Log().find(line) != std::string::npos; }, 10000));
    const QImage image = wizard.Grab("unsaved_StateCountryChoice");
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_GE(RedPixels(image, map.controls.at(1089).rect), kRedCaption)
        << "no line says why (unsaved_StateCountryChoice.png)";
    EXPECT_EQ(wizard.Current().screen, "StateCountryChoice");
    wizard.Key("Return");
    wizard.WaitScreen("StateInstallationTypeQV");
    EXPECT_EQ(wizard.LastSet("CodePays"), "BE");
}

// Full screen without a window manager: the screens where the frame gives up staying on top
// (the typing screens) re-create its window, and what is typed at once must still reach them.
TEST_F(X11Wizard, InModalModeWhatIsTypedOnTheEntryScreensReachesTheFields) {
    wizard.SetModal(true);
    wizard.Start();
    wizard.RunScript(kToAWrongPort);
    const ScreenMap map = wizard.WaitScreen("StateConfProxy");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(map.focus, 1103) << "the port typed did not reach its field";
    EXPECT_TRUE(map.Has(1089));
}

TEST_F(X11Wizard, SpaceOnTheValidateButtonKeepsTheChoice) {
    wizard.Start();
    wizard.WaitScreen("StateLanguage");
    wizard.Key("Down");  // English, chosen by its navigation rule
    wizard.WaitFocus(1008);
    // A press on the validate button that slides off it moves the focus there and presses
    // nothing; Space then validates.
    const ScreenMap map = wizard.Current();
    const QRect ok = map.controls.at(kValidate).rect;
    RunProgram(XDOTOOL_PATH, {"mousemove", "--sync", std::to_string(ok.center().x()),
                              std::to_string(ok.center().y())});
    RunProgram(XDOTOOL_PATH, {"mousedown", "1"});
    RunProgram(XDOTOOL_PATH, {"mousemove", "--sync", std::to_string(ok.center().x()),
                              std::to_string(ok.top() - 40)});
    RunProgram(XDOTOOL_PATH, {"mouseup", "1"});
    wizard.WaitFocus(kValidate);
    wizard.Key("space");
    wizard.WaitScreen("StateGuiAskKeyBoard");
    EXPECT_EQ(wizard.LastSet("ID_LANG"), "ID_LANG1");
}

TEST_F(X11Wizard, OneLanguageIsRedWhereverTheFocusWent) {
    wizard.Start();
    ScreenMap map = wizard.WaitScreen("StateLanguage");
    EXPECT_EQ(RedLanguageButtons(map, wizard.Grab("language_start")),
              std::vector<int>{kFirstLanguage});
    for (const char* key : {"Down", "Down", "Down", "Up"})
        wizard.Key(key);
    map = wizard.WaitFocus(1009);
    const QImage image = wizard.Grab("language_after_moves");
    EXPECT_EQ(RedLanguageButtons(map, image), std::vector<int>{1009});
}

TEST_F(X11Wizard, ModalModeCoversTheDisplayWithTheViewCentred) {
    wizard.SetModal(true);
    wizard.Start();
    const ScreenMap map = wizard.WaitScreen("StateLanguage");
    EXPECT_EQ(map.frame, QRect(0, 0, kWidth, kHeight));
    EXPECT_NEAR(map.rect.x(), (kWidth - map.rect.width()) / 2, 1);
    EXPECT_NEAR(map.rect.y(), (kHeight - map.rect.height()) / 2, 1);
    const QImage image = wizard.Grab("modal_StateLanguage");
    // Captions may be black; around the view nothing is.
    EXPECT_EQ(BlackPixels(image, image.rect()) - BlackPixels(image, map.rect), 0)
        << "the bare server shows through";
    CheckScreen(map, "modal_StateLanguage_checked");
}

}  // namespace
}  // namespace x11test
