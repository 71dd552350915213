#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "base/Log.h"
#include "base/Text.h"
#include "tests/support/TempTree.h"
#include "xmlgui/DialogUnits.h"
#include "xmlgui/DlgTemplate.h"

using namespace xmlgui;

namespace {

const char kGoodFile[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- a comment -->
<dialog width="356" height="267" style="control" caption="R&#233;sultat &amp; fin" extra="ignored">
  <font face="Arial" size="10"/>
  <unknown/>
  <control id="1001" class="BUTTON" x="250" y="230" width="90" height="20" text="Validate" style="tabstop default"/>
  <control id="1041" class="static" x="10" y="-5" width="336" height="24" text="Titre &#x4E2D;" style="center hidden"/>
  <control id="1100" class="EDIT" x="10" y="40" width="120" height="14" style="password | 0x800, border"/>
  <control id="1200" class="LISTBOX" x="10" y="60" width="120" height="80" style="sort"/>
  <control id="1300" class="COMBOBOX" x="140" y="60" width="120" height="80" style="dropdownlist sort disabled"/>
  <control id="1500" class="PICTURE" x="0" y="0" width="32" height="32" text="..\pictures\a.bmp"/>
  <control class="STATIC" x="1" y="2" width="3" height="4" text="no id"/>
  <control class="STATIC" x="1" y="2" width="3" height="4" text="no id either"/>
</dialog>
)";

std::string Dialog(const std::string& controls,
                   const std::string& attrs = "width=\"10\" height=\"10\"") {
    return "<dialog " + attrs + ">" + controls + "</dialog>";
}

std::string Control(const std::string& attrs) {
    return "<control " + attrs + "/>";
}

// A dialog with one edit field whose attribute name has value (left out when value is null).
std::string EditWith(const std::string& name, const char* value) {
    std::string attrs;
    for (const char* a : {"id", "class", "x", "y", "width", "height"}) {
        const char* v = a == name ? value : (std::string(a) == "class" ? "EDIT" : "1");
        if (v)
            attrs += StrFormat(" %s=\"%s\"", a, v);
    }
    return Dialog(Control(attrs));
}

const std::string kOkControl =
    "id=\"1001\" class=\"BUTTON\" x=\"1\" y=\"2\" width=\"3\" height=\"4\"";

std::string ManyControls(size_t n) {
    std::string s = "<dialog width=\"10\" height=\"10\">";
    for (size_t i = 0; i < n; ++i)
        s += StrFormat(
            "<control id=\"%zu\" class=\"STATIC\" x=\"0\" y=\"0\" width=\"1\" height=\"1\"/>", i);
    return s + "</dialog>";
}

}  // namespace

TEST(DlgTemplate, ReadsEveryPartOfAGoodFile) {
    CDlgTemplate t;
    ASSERT_NE(t.SerializeFromMemory(kGoodFile), 0) << t.Error();
    const DialogTemplate& d = t.Template();
    EXPECT_EQ(d.fontFace, L"Arial");
    EXPECT_EQ(d.pointSize, 10);
    EXPECT_EQ(d.cx, 356);
    EXPECT_EQ(d.cy, 267);
    EXPECT_EQ(d.style, kDsSetFont | kDsControl);
    EXPECT_EQ(d.caption, L"R\u00e9sultat & fin");
    ASSERT_EQ(d.controls.size(), 8u);

    const DlgControl& button = d.controls[0];
    EXPECT_EQ(button.id, 1001);
    EXPECT_EQ(button.cls, ControlClass::Button);
    EXPECT_EQ(button.x, 250);
    EXPECT_EQ(button.y, 230);
    EXPECT_EQ(button.cx, 90);
    EXPECT_EQ(button.cy, 20);
    EXPECT_EQ(button.text, L"Validate");
    EXPECT_EQ(button.style, kWsChild | kWsVisible | kWsTabStop | kBsDefPushButton);

    const DlgControl* label = d.Find(1041);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->cls, ControlClass::Static);
    EXPECT_EQ(label->y, -5);
    EXPECT_EQ(label->text, L"Titre \u4e2d");
    EXPECT_EQ(label->style, kWsChild | kSsCenter);

    EXPECT_EQ(d.Find(1100)->style, kWsChild | kWsVisible | kEsPassword | kEsReadOnly | kWsBorder);
    // The same word means the bits of its class.
    EXPECT_EQ(d.Find(1200)->style & 0xFFFF, kLbsSort);
    EXPECT_EQ(d.Find(1300)->style,
              kWsChild | kWsVisible | kWsDisabled | kCbsDropDownList | kCbsSort);
    EXPECT_EQ(d.Find(1500)->cls, ControlClass::Picture);
    EXPECT_EQ(d.Find(1500)->text, L"..\\pictures\\a.bmp");
    EXPECT_EQ(d.controls[6].id, kNoId);
    EXPECT_EQ(d.controls[7].text, L"no id either");
    EXPECT_EQ(d.Find(kNoId), nullptr);
    EXPECT_EQ(d.Find(1002), nullptr);
    EXPECT_TRUE(t.Warnings().empty());
}

TEST(DlgTemplate, DefaultsWhenOptionalPartsAreMissing) {
    CDlgTemplate t;
    ASSERT_NE(t.SerializeFromMemory(Dialog(Control(kOkControl))), 0) << t.Error();
    EXPECT_EQ(t.Template().fontFace, L"Arial Unicode MS");
    EXPECT_EQ(t.Template().pointSize, 12);
    EXPECT_EQ(t.Template().style, kDsSetFont);
    EXPECT_TRUE(t.Template().caption.empty());
    EXPECT_TRUE(t.Template().controls[0].text.empty());
    EXPECT_EQ(t.Template().controls[0].style, kWsChild | kWsVisible);
}

TEST(DlgTemplate, ReadsFilesByWideAndBackslashPath) {
    TempTree tree;
    tree.Write("gui/Screen.gui", kGoodFile);
    CDlgTemplate t;
    EXPECT_EQ(t.Loaded(), false);
    EXPECT_EQ(static_cast<const DialogTemplate*>(t), nullptr);
    ASSERT_NE(t.SerializeFrom(std::wstring(L"..\\gui\\Screen.gui")), 0) << t.Error();
    EXPECT_NE(static_cast<const DialogTemplate*>(t), nullptr);
    EXPECT_EQ(t.Template().controls.size(), 8u);
    // The view marks the template as a child window, as it does before creating its window.
    t.SetStyle(t.Style() | kWsChild);
    EXPECT_EQ(t.Template().style & kWsChild, kWsChild);
}

TEST(DlgTemplate, RefusesEveryClassOfBadInput) {
    TempTree tree;
    // Declared, so that validation passes and the entities are really expanded.
    const std::string dtd =
        "<!ELEMENT dialog ANY><!ATTLIST dialog width CDATA #IMPLIED height CDATA #IMPLIED "
        "caption CDATA #IMPLIED>";
    const std::string bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE dialog [" + dtd +
        "<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
        "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
        "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f "
        "\"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
        "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]>"
        "<dialog width=\"1\" height=\"1\" caption=\"&g;\"/>";
    const std::string full = std::string(kGoodFile);
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty", "", "not well-formed"},
        {"not xml", "\x01\x02\xFF garbage", "not well-formed"},
        {"truncated", full.substr(0, full.size() / 2), "not well-formed"},
        {"truncated at the end", full.substr(0, full.size() - 3), "not well-formed"},
        {"wrong root", "<form width=\"1\" height=\"1\"/>", "root element is <form>"},
        {"no dialog size", "<dialog/>", "dialog: no width"},
        {"negative dialog width", Dialog("", "width=\"-1\" height=\"10\""), "dialog: width"},
        {"huge dialog height", Dialog("", "width=\"1\" height=\"32768\""), "dialog: height"},
        {"unknown class", EditWith("class", "SCROLLBAR"), "unknown class \"SCROLLBAR\""},
        {"no class", EditWith("class", nullptr), "no class"},
        {"no width", EditWith("width", nullptr), "no width"},
        {"negative width", EditWith("width", "-4"), "width \"-4\""},
        {"negative height", EditWith("height", "-1"), "height \"-1\""},
        {"huge width", EditWith("width", "40000"), "width \"40000\""},
        {"overflowing number", EditWith("x", "99999999999999999999"), "x \"9999"},
        {"position too far left", EditWith("x", "-32769"), "x \"-32769\""},
        {"trailing letters", EditWith("x", "12abc"), "x \"12abc\""},
        {"empty number", EditWith("y", ""), "y \"\""},
        {"blank number", EditWith("y", " "), "y \" \""},
        {"fraction", EditWith("x", "1.5"), "x \"1.5\""},
        {"hexadecimal position", EditWith("x", "0x10"), "x \"0x10\""},
        {"sign only", EditWith("x", "-"), "x \"-\""},
        {"id too large", EditWith("id", "65536"), "id \"65536\""},
        {"id below -1", EditWith("id", "-2"), "id \"-2\""},
        {"unknown style", Dialog(Control(kOkControl + " style=\"tabstop sparkly\"")),
         "unknown style \"sparkly\""},
        {"style of another class", Dialog(Control(kOkControl + " style=\"password\"")),
         "unknown style \"password\""},
        {"style number over 32 bits", Dialog(Control(kOkControl + " style=\"0x100000000\"")),
         "bad style number"},
        {"bad style number", Dialog(Control(kOkControl + " style=\"0x1g\"")),
         "bad style number \"0x1g\""},
        {"font size 0", Dialog("<font face=\"Arial\" size=\"0\"/>"), "font: size"},
        {"font size 145", Dialog("<font face=\"Arial\" size=\"145\"/>"), "font: size"},
        {"font without face", Dialog("<font size=\"12\"/>"), "font: no face"},
        {"font with empty face", Dialog("<font face=\"\" size=\"12\"/>"), "font: no face"},
        {"unknown dialog style", Dialog("", "width=\"1\" height=\"1\" style=\"tabstop\""),
         "dialog: unknown style"},
        {"xml bomb", bomb, "entity expansions"},
        {"external entity",
         "<!DOCTYPE dialog [" + dtd + "<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" +
             "<dialog width=\"1\" height=\"1\">&x;</dialog>",
         "external entity"},
        {"10 000 controls", ManyControls(10000), "more than 512 controls"},
        {"one control too many", ManyControls(kMaxControls + 1), "more than 512 controls"},
        {"over 1 MiB", Dialog(std::string(kMaxFileBytes, ' ')), "larger than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDlgTemplate t;
        ASSERT_NE(t.SerializeFromMemory(kGoodFile), 0);
        EXPECT_EQ(t.SerializeFromMemory(c.bytes), 0);
        EXPECT_NE(t.Error().find(c.reason), std::string::npos) << t.Error();
        // A refused file leaves the template as it was.
        EXPECT_EQ(t.Template().controls.size(), 8u);

        tree.Write("gui/bad.gui", c.bytes);
        CDlgTemplate fromFile;
        EXPECT_EQ(fromFile.SerializeFrom(std::string("..\\gui\\bad.gui")), 0);
        EXPECT_FALSE(fromFile.Loaded());
    }
}

TEST(DlgTemplate, MissingFileOrEmptyPathYieldsZero) {
    TempTree tree;
    CDlgTemplate t;
    EXPECT_EQ(t.SerializeFrom(std::wstring(L"..\\gui\\Missing.gui")), 0);
    EXPECT_NE(t.Error().find("cannot open"), std::string::npos) << t.Error();
    EXPECT_EQ(t.SerializeFrom(std::wstring()), 0);
    EXPECT_EQ(t.SerializeFrom(std::string("..\\gui")), 0);  // a directory
    EXPECT_FALSE(t.Loaded());
}

TEST(DlgTemplate, ControlLimitIsExact) {
    CDlgTemplate t;
    EXPECT_NE(t.SerializeFromMemory(ManyControls(kMaxControls)), 0) << t.Error();
    EXPECT_EQ(t.Template().controls.size(), kMaxControls);
}

TEST(DlgTemplate, DuplicateIdsKeepTheFirstControl) {
    CDlgTemplate t;
    const std::string bytes = Dialog(
        Control("id=\"1001\" class=\"BUTTON\" x=\"1\" y=\"1\" width=\"1\" height=\"1\" "
                "text=\"first\"") +
        Control(
            "id=\"1001\" class=\"EDIT\" x=\"2\" y=\"2\" width=\"2\" height=\"2\" text=\"second\"") +
        Control("id=\"1002\" class=\"BUTTON\" x=\"3\" y=\"3\" width=\"3\" height=\"3\""));
    ASSERT_NE(t.SerializeFromMemory(bytes), 0) << t.Error();
    ASSERT_EQ(t.Template().controls.size(), 2u);
    EXPECT_EQ(t.Template().Find(1001)->text, L"first");
    EXPECT_EQ(t.Template().Find(1001)->cls, ControlClass::Button);
    EXPECT_EQ(t.Template().controls[1].id, 1002);
    ASSERT_EQ(t.Warnings().size(), 1u);
    EXPECT_NE(t.Warnings()[0].find("id 1001"), std::string::npos);
}

TEST(DlgTemplate, LongTextsAreCutAndReported) {
    CDlgTemplate t;
    const std::string text(2000, 'x');
    const std::string bytes =
        Dialog("<font face=\"" + std::string(100, 'F') + "\" size=\"9\"/>" +
                   Control(kOkControl + " text=\"" + text + "\""),
               "width=\"1\" height=\"1\" caption=\"" + std::string(500, 'c') + "\"");
    ASSERT_NE(t.SerializeFromMemory(bytes), 0) << t.Error();
    EXPECT_EQ(t.Template().controls[0].text.size(), kMaxTextChars);
    EXPECT_EQ(t.Template().caption.size(), kMaxCaptionChars);
    EXPECT_EQ(t.Template().fontFace.size(), kMaxFaceChars);
    EXPECT_EQ(t.Template().pointSize, 9);
    EXPECT_EQ(t.Warnings().size(), 3u);
}

TEST(DlgTemplate, LogsRefusalsAndCuts) {
    TempTree tree;
    CLog log("..\\Log\\", "T.log", 0, "XmlGui", 3, LOG_DEBUG);
    CDlgTemplate t;
    t.SetLog(&log);
    EXPECT_EQ(t.SerializeFrom(std::string("..\\gui\\None.gui")), 0);
    tree.Write("gui/Long.gui",
               Dialog(Control(kOkControl + " text=\"" + std::string(900, 'y') + "\"")));
    EXPECT_NE(t.SerializeFrom(std::string("..\\gui\\Long.gui")), 0);
    const std::string written = tree.Read("Log/1_T.log");
    EXPECT_NE(written.find("ERR"), std::string::npos) << written;
    EXPECT_NE(written.find("Dialog file ..\\gui\\None.gui refused: cannot open"), std::string::npos)
        << written;
    EXPECT_NE(written.find("text cut to 799 characters"), std::string::npos) << written;
}

TEST(DlgTemplate, BuiltInEmptyDialog) {
    const DialogTemplate d = EmptyDialog();
    EXPECT_EQ(d.fontFace, L"Arial Unicode MS");
    EXPECT_EQ(d.pointSize, 12);
    EXPECT_EQ(d.cx, 92);
    EXPECT_EQ(d.cy, 46);
    EXPECT_EQ(d.style, kWsChild | kDsSetFont);
    EXPECT_TRUE(d.controls.empty());

    CDlgTemplate t;
    EXPECT_EQ(t.LoadBuiltIn(3000), 0);
    EXPECT_FALSE(t.Loaded());
    ASSERT_NE(t.LoadBuiltIn(kEmptyDialogResource), 0);
    EXPECT_EQ(t.Template().cx, 92);
}

TEST(DlgTemplate, StyleWordsAndNumbers) {
    const auto edit = StyleWords(ControlClass::Edit);
    struct {
        const char* text;
        bool ok;
        uint32_t style;
    } cases[] = {
        {"", true, kWsChild | kWsVisible},
        {"  |, ", true, kWsChild | kWsVisible},
        {"PASSWORD Number", true, kWsChild | kWsVisible | kEsPassword | kEsNumber},
        {"hidden visible", true, kWsChild},
        {"0x20|4096,16", true, kWsChild | kWsVisible | 0x20 | 4096 | 16},
        {"0xFFFFFFFF", true, 0xFFFFFFFFu},
        {"sort", false, 0},
        {"0x", false, 0},
        {"12a", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t style = kWsChild | kWsVisible;
        std::string error;
        EXPECT_EQ(ApplyStyle(c.text, edit, &style, &error), c.ok);
        if (c.ok)
            EXPECT_EQ(style, c.style);
        else
            EXPECT_EQ(style, kWsChild | kWsVisible);
    }
}

TEST(DialogUnits, ConvertAsTheOriginalDialogManager) {
    struct {
        int a, b, c, want;
    } muldiv[] = {
        {100, 6, 4, 150}, {50, 13, 8, 81}, {3, 9, 4, 7},          {-3, 9, 4, -7},
        {2, 9, 4, 5},     {-2, 9, 4, -5},  {1, 18, 8, 2},         {7, 0, 4, 0},
        {7, 9, 0, 0},     {5, 9, -4, -11}, {2147483647, 4, 1, 0},
    };
    for (const auto& m : muldiv)
        EXPECT_EQ(MulDiv(m.a, m.b, m.c), m.want) << m.a << "*" << m.b << "/" << m.c;

    // The classic 8-point dialog font: letters 286 px wide, 13 px high -> 6 x 13.
    EXPECT_EQ(BaseUnitsFromLetters(286, 13).x, 6);
    // Arial at 16 px (12 pt, 96 dpi): a-z A-Z add up to 491 px, 18 px high -> 9 x 18.
    const DialogBaseUnits arial = BaseUnitsFromLetters(491, 18);
    EXPECT_EQ(arial.x, 9);
    EXPECT_EQ(arial.y, 18);
    EXPECT_EQ(BaseUnitsFromLetters(-5, -1).x, 0);
    EXPECT_EQ(PointsToPixels(12, 96), 16);
    EXPECT_EQ(PointsToPixels(8, 96), 11);
    EXPECT_EQ(PointsToPixels(12, 120), 20);

    DlgControl c;
    c.x = 10;
    c.y = 20;
    c.cx = 90;
    c.cy = 14;
    EXPECT_EQ(ToPixels(c, arial), (PixelRect{23, 45, 203, 32}));
    EXPECT_EQ(DialogPixels(EmptyDialog(), arial), (PixelRect{0, 0, 207, 104}));
}

TEST(DlgTemplate, DistributedScreensAndDocumentedExampleAreValid) {
    namespace fs = std::filesystem;
    int screens = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(SOURCE_DIR) / "dist" / "gui")) {
        if (entry.path().extension() != ".gui")
            continue;
        SCOPED_TRACE(entry.path().string());
        CDlgTemplate t;
        ASSERT_NE(t.SerializeFrom(entry.path().string()), 0) << t.Error();
        EXPECT_TRUE(t.Warnings().empty());
        for (const DlgControl& c : t.Template().controls) {
            // Each control sits in the ID range of its kind, as the screens expect.
            switch (c.cls) {
                case ControlClass::Button:
                    EXPECT_TRUE(c.id >= 1001 && c.id <= 1040) << c.id;
                    break;
                case ControlClass::Static:
                    EXPECT_TRUE(c.id >= 1041 && c.id <= 1090) << c.id;
                    break;
                case ControlClass::Edit:
                    EXPECT_TRUE(c.id >= 1100 && c.id <= 1139) << c.id;
                    break;
                case ControlClass::ListBox:
                    EXPECT_TRUE(c.id >= 1200 && c.id <= 1204) << c.id;
                    break;
                case ControlClass::ComboBox:
                    EXPECT_TRUE(c.id >= 1300 && c.id <= 1304) << c.id;
                    break;
                case ControlClass::Picture:
                    EXPECT_TRUE(c.id >= 1500 && c.id <= 1509) << c.id;
                    break;
            }
        }
        ++screens;
    }
    EXPECT_GE(screens, 2);

    // The example of the documentation is the first xml block of docs/dialog-files.md.
    std::ifstream in(fs::path(SOURCE_DIR) / "docs" / "dialog-files.md");
    std::stringstream doc;
    doc << in.rdbuf();
    const std::string text = doc.str();
    const size_t start = text.find("```xml\n");
    ASSERT_NE(start, std::string::npos);
    const size_t end = text.find("```", start + 7);
    ASSERT_NE(end, std::string::npos);
    CDlgTemplate t;
    ASSERT_NE(t.SerializeFromMemory(text.substr(start + 7, end - start - 7)), 0) << t.Error();
    EXPECT_FALSE(t.Template().controls.empty());
}

// Random damage to a good file: the parser must never crash, and what it accepts stays within
// the limits.
TEST(DlgTemplate, SurvivesMutatedFiles) {
    std::mt19937 rng(8);
    const std::string good = kGoodFile;
    const char pool[] = "<>/=\"&;#x0123456789- abcdefghijklmnopqrstuvwxyz\xC3\xA9\xFF\n";
    CDlgTemplate t;
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = good;
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits && !bytes.empty(); ++e) {
            const size_t at = rng() % bytes.size();
            switch (rng() % 4) {
                case 0:
                    bytes[at] = pool[rng() % (sizeof pool - 1)];
                    break;
                case 1:
                    bytes.erase(at, 1 + rng() % 8);
                    break;
                case 2:
                    bytes.insert(at, 1, pool[rng() % (sizeof pool - 1)]);
                    break;
                case 3:
                    bytes.resize(at);
                    break;
            }
        }
        if (t.SerializeFromMemory(bytes) == 0)
            continue;
        ++accepted;
        const DialogTemplate& d = t.Template();
        EXPECT_LE(d.controls.size(), kMaxControls);
        EXPECT_LE(d.caption.size(), kMaxCaptionChars);
        EXPECT_LE(d.fontFace.size(), kMaxFaceChars);
        for (const DlgControl& c : d.controls) {
            EXPECT_GE(c.cx, 0);
            EXPECT_GE(c.cy, 0);
            EXPECT_LE(c.text.size(), kMaxTextChars);
        }
    }
    // Some damage (inside texts, say) leaves a valid file.
    EXPECT_GT(accepted, 0);
}
