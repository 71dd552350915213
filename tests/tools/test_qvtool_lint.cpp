#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"

namespace fs = std::filesystem;

namespace {

ProgramResult Lint(const std::string& bin, std::vector<std::string> extra = {"--mode", "QV"}) {
    std::vector<std::string> args{"lint", "--root", bin};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunProgram(QVTOOL_PATH, args);
}

// Line numbers below count in these texts.
const char kTable[] =
    "[CONTEXT]\n"             // 1
    "1=LastEvent:INT:1\n"     // 2
    "2=LastState:INT:1\n"     // 3
    "3=NextState:INT:1\n"     // 4
    "4=Gui:STRING:1\n"        // 5
    "5=NameState:STRING:1\n"  // 6
    "6=PathGui:STRING:1\n"    // 7
    "7=Target:INT:1\n"        // 8
    "[0]\n"                   // 9
    "ActionToRun=\n"          // 10
    "Event_1=1\n"             // 11
    "[1]\n"                   // 12
    "ActionToRun=Show\n"      // 13
    "Event_1=-1\n"            // 14
    "Event_2=${Target}\n";    // 15
const char kServices[] =
    "<services>\n"
    "  <service><name>Show</name><component><name>T</name>"  // 2
    "<library-location>testActions.dll</library-location></component></service>\n"
    "</services>\n";
const char kPictures[] =
    "[Main]\n"                           // 1
    "Background=..\\pictures\\bg.png\n"  // 2
    "ButtonId.1=1001\n"                  // 3
    "ButtonTrad.1=id0001\n";             // 4
const char kLabels[] =
    "[Main]\n"            // 1
    "IdCompo.1=1041\n"    // 2
    "IdTrad.1=id0002\n";  // 3
const char kDialog[] =
    "<dialog width=\"200\" height=\"100\">\n"
    "  <control id=\"1041\" class=\"STATIC\" x=\"1\" y=\"1\" width=\"50\" height=\"10\"/>\n"
    "  <control id=\"1100\" class=\"EDIT\" x=\"1\" y=\"20\" width=\"50\" height=\"10\"/>\n"
    "  <control id=\"1001\" class=\"BUTTON\" x=\"1\" y=\"40\" width=\"50\" height=\"10\"/>\n"
    "</dialog>\n";
std::string Rule(const char* key, int from, int to) {
    return "<key_rule><input><key>" + std::string(key) + "</key><widget_id>" +
           std::to_string(from) + "</widget_id></input><output><widget_id>" + std::to_string(to) +
           "</widget_id></output></key_rule>\n";
}
std::string Settings(const std::string& rules, const std::string& widgets) {
    return "<s>\n<key_navigate>\n" + rules + "</key_navigate>\n<widget_settings>\n" + widgets +
           "</widget_settings>\n</s>\n";
}
std::string Widget(int id, const char* type, bool mandatory) {
    return "<widget_id><value>" + std::to_string(id) + "</value><widget_type>" + type +
           "</widget_type><widget_mandatory>" + (mandatory ? "true" : "false") +
           "</widget_mandatory></widget_id>\n";
}
const std::string kSettings =
    Settings(Rule("Tab", 1100, 1001) + Rule("Tab", 1001, 1100),            // lines 3, 4
             Widget(1100, "EDIT", true) + Widget(1001, "BUTTON", false));  // lines 7, 8
const char kLanguages[] = "[LANGUAGE]\nCode.0=en\nLabel.0=English\nCode.1=fr\nLabel.1=Francais\n";
std::string Trad(const char* id, const char* en, const char* fr) {
    std::string out = "<TraductionElement id=\"" + std::string(id) + "\">";
    if (en)
        out += "<Lang codeKSO=\"en\">" + std::string(en) + "</Lang>";
    if (fr)
        out += "<Lang codeKSO=\"fr\">" + std::string(fr) + "</Lang>";
    return out + "</TraductionElement>\n";
}

// A small configuration that lints clean; a case replaces one file.
struct Config {
    Config() {
        fs::copy_file(TEST_PLUGIN_DIR "/testActions.so", tree.Bin() + "/testActions.so");
        fs::copy_file(TEST_PLUGIN_DIR "/testActionsNoRelease.so", tree.Bin() + "/norel.so");
        fs::copy_file(DIST_DIR "/pictures/StateLanguage.png", tree.Path("pictures/bg.png"));
        tree.Write("config/QV/QV_automate.ini", kTable);
        tree.Write("config/QV/QV_params.ini", "[DLLS]\n1=testActions.dll\n");
        tree.Write("config/QV/QV_serv.xml", kServices);
        tree.Write("config/QV/QV_pictures.ini", kPictures);
        tree.Write("config/QV/QV_infos.ini", kLabels);
        tree.Write("gui/Main.gui", kDialog);
        tree.Write("gui/Main.config.xml", kSettings);
        tree.Write("config/language.ini", kLanguages);
        tree.Write("config/trad/VEK_Trad.xml", "<T>\n" + Trad("id0001", "OK", "Valider") +
                                                   Trad("id0002", "Name", "Nom") +
                                                   Trad("PAYFR", "France", "France") + "</T>\n");
        tree.Write("config/KSOCountries.csv", "Code Langue KSO;ID_COUNTRY\nfr;PAYFR\n");
    }
    TempTree tree;
};

struct Expected {
    const char* file;  // path below the root
    int line;
    const char* severity;
    const char* text;  // part of the message
};

bool Reports(const std::string& out, const Config& c, const Expected& e) {
    std::string head = fs::path(c.tree.Path(e.file)).lexically_normal().string() + ":" +
                       std::to_string(e.line) + ": " + e.severity + ": ";
    if (e.line == 0)
        head = fs::path(c.tree.Path(e.file)).lexically_normal().string() + ": " + e.severity + ": ";
    size_t pos = 0;
    while ((pos = out.find(head, pos)) != std::string::npos) {
        size_t eol = out.find('\n', pos);
        if (out.substr(pos, eol - pos).find(e.text) != std::string::npos)
            return true;
        pos = eol;
    }
    return false;
}

}  // namespace

TEST(QvtoolLint, CleanConfigurationsSayNothing) {
    Config c;
    ProgramResult r = Lint(c.tree.Bin());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "0 errors, 0 warnings\n");
    // A button that no translation or bitmap configures shows its dialog text.
    std::string dialog = kDialog;
    dialog.replace(dialog.find("height=\"10\"/>\n</dialog>"), 14, "height=\"10\" text=\"Go\"/>");
    c.tree.Write("gui/Main.gui", dialog);
    c.tree.Write("config/QV/QV_pictures.ini",
                 "[Main]\nBackground=..\\pictures\\bg.png\nButtonId.1=1001\n");
    r = Lint(c.tree.Bin());
    EXPECT_EQ(r.out, "0 errors, 0 warnings\n") << r.out;
    for (const char* mode : {"QV", "RW", "all"}) {
        ProgramResult demo = Lint(STAGE_BIN, {"--mode", mode});
        EXPECT_EQ(demo.status, 0) << mode << demo.out << demo.err;
        EXPECT_EQ(demo.out, "0 errors, 0 warnings\n") << mode;
    }
}

TEST(QvtoolLint, EachCheckNamesFileAndLine) {
    auto table = [](const std::string& from, const std::string& to) {
        std::string t = kTable;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    struct Row {
        const char* name;
        std::vector<std::pair<const char*, std::string>> files;
        Expected expected;
    };
    const std::string more = std::string(kTable);
    const std::vector<Row> rows = {
        {"transition to a state without section",
         {{"config/QV/QV_automate.ini", table("Event_1=-1", "Event_1=5")}},
         {"config/QV/QV_automate.ini", 14, "error", "state 5, which has no section"}},
        {"unreachable state",
         {{"config/QV/QV_automate.ini", table("${Target}", "1") + "[2]\nActionToRun=Show\n"}},
         {"config/QV/QV_automate.ini", 16, "warning", "state 2 is unreachable"}},
        {"trap",
         {{"config/QV/QV_automate.ini",
           more + "Event_3=2\n[2]\nActionToRun=Show\nEvent_Default=2\n"}},
         {"config/QV/QV_automate.ini", 17, "warning", "state 2 is a trap"}},
        {"event outside 1-19",
         {{"config/QV/QV_automate.ini", more + "Event_20=1\n"}},
         {"config/QV/QV_automate.ini", 16, "error", "Event_20 is never followed"}},
        {"service not in the list",
         {{"config/QV/QV_automate.ini", table("=Show", "=Shw")}},
         {"config/QV/QV_automate.ini", 13, "error", "\"Shw\", which the service list"}},
        {"unknown property",
         {{"config/QV/QV_automate.ini", table("${Target}", "${Targt}")}},
         {"config/QV/QV_automate.ini", 15, "error", "\"Targt\", which section CONTEXT"}},
        {"duplicate key",
         {{"config/QV/QV_automate.ini", more + "Event_2=0\n"}},
         {"config/QV/QV_automate.ini", 16, "error", "repeats line 15"}},
        {"duplicate section",
         {{"config/QV/QV_automate.ini", more + "[1]\nActionToRun=Show\n"}},
         {"config/QV/QV_automate.ini", 16, "error", "section \"1\" repeats line 12"}},
        {"unknown type",
         {{"config/QV/QV_automate.ini", table("Target:INT", "Target:INTEGER")}},
         {"config/QV/QV_automate.ini", 8, "error", "unknown type \"INTEGER\""}},
        {"over 400 properties",
         {{"config/QV/QV_automate.ini", table("Target:INT:1", "Target:INT:400")}},
         {"config/QV/QV_automate.ini", 8, "error", "more than 400 properties"}},
        {"duplicate property",
         {{"config/QV/QV_automate.ini", table("7=Target", "7=Gui")}},
         {"config/QV/QV_automate.ini", 8, "error", "\"Gui\" is defined again (line 5)"}},
        {"service DLL not listed",
         {{"config/QV/QV_serv.xml",
           [] {
               std::string s = kServices;
               s.replace(s.find("testActions.dll"), 15, "other.dll");
               return s;
           }()}},
         {"config/QV/QV_serv.xml", 2, "error", "\"other.dll\", which section DLLS"}},
        {"DLL missing",
         {{"config/QV/QV_params.ini", "[DLLS]\n1=testActions.dll\n2=nothere.dll\n"}},
         {"config/QV/QV_params.ini", 3, "error", "\"nothere.dll\" is missing"}},
        {"DLL without the entry points",
         {{"config/QV/QV_params.ini", "[DLLS]\n1=testActions.dll\n2=norel.dll\n"}},
         {"config/QV/QV_params.ini", 3, "error", "does not export Release"}},
        {"screen without dialog",
         {{"config/QV/QV_pictures.ini",
           std::string(kPictures) + "[Other]\nBackground=..\\pictures\\bg.png\n"}},
         {"config/QV/QV_pictures.ini", 5, "error", "screen Other has no dialog file"}},
        {"rule naming a missing control",
         {{"gui/Main.config.xml", Settings(Rule("Tab", 1100, 1001) + Rule("Tab", 1001, 1102),
                                           Widget(1100, "EDIT", true))}},
         {"gui/Main.config.xml", 4, "error", "control 1102, which the dialog file lacks"}},
        {"profile key naming a missing control",
         {{"config/QV/QV_pictures.ini",
           [] {
               std::string s = kPictures;
               s.replace(s.find("=1001"), 5, "=1002");
               return s;
           }()}},
         {"config/QV/QV_pictures.ini", 3, "error", "has no such control"}},
        {"ID outside its kind's range",
         {{"config/QV/QV_infos.ini", "[Main]\nIdCompo.1=1001\n"}},
         {"config/QV/QV_infos.ini", 2, "error", "IdCompo.1 1001 is outside 1041-1090"}},
        {"validate button unreachable by keyboard",
         {{"gui/Main.config.xml", Settings(Rule("Tab", 1100, 1100), Widget(1100, "EDIT", false))}},
         {"gui/Main.config.xml", 2, "error", "no navigation rule leads to button 1001"}},
        {"mandatory widget that is no edit",
         {{"gui/Main.config.xml", Settings(Rule("Tab", 1100, 1001), Widget(1001, "BUTTON", true))}},
         {"gui/Main.config.xml", 6, "warning", "widget 1001 is marked mandatory"}},
        {"incomplete rule",
         {{"gui/Main.config.xml",
           Settings(
               Rule("Tab", 1100, 1001) + "<key_rule><input><key>Tab</key></input></key_rule>\n",
               "")}},
         {"gui/Main.config.xml", 4, "error", "key_rule lacks"}},
        {"broken settings file",
         {{"gui/Main.config.xml", "<s>\n<key_navigate>\n<key_rule>"}},
         {"gui/Main.config.xml", 3, "error", "not readable"}},
        {"translation missing in one language",
         {{"config/trad/VEK_Trad.xml", "<T>\n" + Trad("id0001", "OK", "Valider") +
                                           Trad("id0002", "Name", nullptr) +
                                           Trad("PAYFR", "France", "France") + "</T>\n"}},
         {"config/QV/QV_infos.ini", 3, "warning", "\"id0002\" has no text in fr"}},
        {"translation missing everywhere",
         {{"config/QV/QV_pictures.ini",
           [] {
               std::string s = kPictures;
               s.replace(s.find("id0001"), 6, "id0404");
               return s;
           }()}},
         {"config/QV/QV_pictures.ini", 4, "error", "\"id0404\" has no text in any language"}},
        {"language entry without Code",
         {{"config/language.ini", std::string(kLanguages) + "Label.2=Deutsch\nCode.3=nl\n"}},
         {"config/language.ini", 6, "error", "entry 2 has no Code and no Fallback"}},
        {"fallback loop",
         {{"config/language.ini", std::string(kLanguages) + "Fallback.2=3\nFallback.3=2\n"}},
         {"config/language.ini", 6, "error", "fallback chain of entry 2 loops"}},
        {"fallback outside the list",
         {{"config/language.ini", std::string(kLanguages) + "Fallback.2=7\n"}},
         {"config/language.ini", 6, "error", "points to entry 7, outside the list"}},
        {"country without text",
         {{"config/KSOCountries.csv", "Code Langue KSO;ID_COUNTRY\nfr;PAYFR\nfr;PAYBE\n"}},
         {"config/KSOCountries.csv", 3, "warning", "PAYBE has no text in fr"}},
        {"missing picture",
         {{"config/QV/QV_pictures.ini",
           [] {
               std::string s = kPictures;
               s.replace(s.find("bg.png"), 6, "none.png");
               return s;
           }()}},
         {"config/QV/QV_pictures.ini", 2, "error", "does not exist"}},
        {"button with nothing to show",
         {{"config/QV/QV_pictures.ini",
           "[Main]\nBackground=..\\pictures\\bg.png\nButtonId.1=1001\n"}},
         {"config/QV/QV_pictures.ini", 3, "warning", "it shows nothing"}},
        {"back to a later screen",
         {{"config/QV/QV_automate.ini",
           table("Event_1=-1\nEvent_2=${Target}\n",
                 "Event_1=2\n[2]\nActionToRun=Show\nEvent_1=3\nEvent_2=${LastState}\n[3]\n"
                 "ActionToRun=Show\nEvent_1=-1\nEvent_2=2\n")}},
         {"config/QV/QV_automate.ini", 18, "warning", "state 3, which comes after it"}},
        {"button without any caption",
         {{"gui/Main.gui",
           [] {
               std::string d = kDialog;
               d.replace(d.find("</dialog>"), 9,
                         "  <control id=\"1002\" class=\"BUTTON\" x=\"60\" y=\"40\" "
                         "width=\"50\" height=\"10\"/>\n</dialog>");
               return d;
           }()}},
         {"gui/Main.gui", 5, "warning", "button 1002 of Main has no text"}},
        {"hint naming another language's caption",
         {{"config/trad/VEK_Trad.xml", "<T>\n" + Trad("id0001", "OK", "Valider") +
                                           Trad("id0002", "Press OK", "Appuyez sur OK") +
                                           Trad("PAYFR", "France", "France") + "</T>\n"}},
         {"config/QV/QV_infos.ini", 3, "warning", "screen Main, fr: \"id0002\" names \"OK\""}},
        {"country rule of no listed country",
         {{"config/country_rules.ini", "[FR]\nPostcode=99999\n\n[XX]\nPostcode=9999\n"}},
         {"config/country_rules.ini", 4, "warning", "section \"XX\" names no country"}},
        {"phone digits that refuse every number",
         {{"config/country_rules.ini", "[FR]\nPostcode=99999\nPhoneDigits=13-10\n"}},
         {"config/country_rules.ini", 3, "error", "PhoneDigits \"13-10\" is not MIN-MAX"}},
#ifdef QV_LINT_DECODE
        // Pictures are decoded only where the linter is built with Qt's image readers.
        {"picture that cannot be decoded",
         {{"pictures/bg.png", std::string("\x89PNG\r\n\x1a\nnot really", 18)}},
         {"config/QV/QV_pictures.ini", 2, "error", "cannot be decoded"}},
#endif
    };
    for (const Row& row : rows) {
        Config c;
        for (const auto& [file, text] : row.files)
            c.tree.Write(file, text);
        ProgramResult r = Lint(c.tree.Bin());
        EXPECT_TRUE(Reports(r.out, c, row.expected)) << row.name << "\n" << r.out << r.err;
        bool error = std::string(row.expected.severity) == "error";
        EXPECT_EQ(r.status, error ? 1 : 0) << row.name << "\n" << r.out;
    }
}

TEST(QvtoolLint, BrokenFilesGiveMessagesNotCrashes) {
    std::string huge = kTable;
    for (int n = 2; n < 50000; ++n)
        huge += "[" + std::to_string(n) + "]\nActionToRun=Show\nEvent_1=" + std::to_string(n + 1) +
                "\n";
    const std::string junk("\x00\xff\xfe<\x01[[\n=\x80\xc3", 12);
    struct Row {
        const char* name;
        const char* file;
        std::string text;
    };
    const std::vector<Row> rows = {
        {"50 000 states", "config/QV/QV_automate.ini", huge},
        {"cycle without end", "config/QV/QV_automate.ini",
         "[CONTEXT]\n1=LastEvent:INT:1\n[0]\nActionToRun=\nEvent_Default=1\n[1]\n"
         "ActionToRun=Show\nEvent_Default=0\n"},
        {"junk state table", "config/QV/QV_automate.ini", junk},
        {"junk service list", "config/QV/QV_serv.xml", junk},
        {"truncated service list", "config/QV/QV_serv.xml", std::string(kServices).substr(0, 40)},
        {"junk dialog", "gui/Main.gui", junk},
        {"junk settings", "gui/Main.config.xml", junk},
        {"junk pictures", "config/QV/QV_pictures.ini", junk},
        {"junk language file", "config/language.ini", junk},
        {"junk translations", "config/trad/VEK_Trad.xml", junk},
        {"UTF-16 language file", "config/language.ini",
         std::string("\xff\xfe[\0L\0]\0\n\0C\0o\0d\0e\0.\0\x30\0=\0e\0n\0", 28)},
        {"junk picture", "pictures/bg.png", junk},
        {"junk country table", "config/KSOCountries.csv", junk},
    };
    for (const Row& row : rows) {
        Config c;
        c.tree.Write(row.file, row.text);
        auto start = std::chrono::steady_clock::now();
        ProgramResult r = Lint(c.tree.Bin());
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(r.status == 0 || r.status == 1) << row.name << r.err;
        EXPECT_NE(r.out.find(" warning"), std::string::npos) << row.name << r.out << r.err;
        EXPECT_LT(seconds, 20.0) << row.name;
    }
}
