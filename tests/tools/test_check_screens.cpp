// check-screens: the contrast arithmetic, the overlap rule and the merging of languages on
// their own, then a copy of the staged configuration with one fault put in at a time, each of
// which must add exactly one finding at the control's line.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/Profile.h"
#include "platform/Paths.h"
#include "services/LanguageConfig.h"
#include "tests/support/TempTree.h"
#include "tools/qvtool/ScreenCheck.h"

namespace fs = std::filesystem;
using namespace authoring;

namespace {

TEST(ScreenCheckContrast, FollowsTheRelativeLuminanceFormula) {
    struct Case {
        QRgb a, b;
        double ratio;
    };
    const Case cases[] = {
        {qRgb(0, 0, 0), qRgb(255, 255, 255), 21.0},
        {qRgb(255, 255, 255), qRgb(0, 0, 0), 21.0},  // order does not matter
        {qRgb(120, 30, 200), qRgb(120, 30, 200), 1.0},
        {qRgb(0x77, 0x77, 0x77), qRgb(255, 255, 255), 4.48},  // just below the limit
        {qRgb(0x76, 0x76, 0x76), qRgb(255, 255, 255), 4.54},  // just above it
        {qRgb(255, 0, 0), qRgb(255, 255, 255), 4.0},
        {qRgb(0, 0, 255), qRgb(0, 0, 0), 2.44},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ContrastRatio(c.a, c.b), c.ratio, 0.01) << std::hex << c.a << " on " << c.b;
    EXPECT_NEAR(RelativeLuminance(qRgb(255, 255, 255)), 1.0, 1e-9);
    EXPECT_NEAR(RelativeLuminance(qRgb(0, 0, 0)), 0.0, 1e-9);
    // The linear part of the curve below 0.04045.
    EXPECT_NEAR(RelativeLuminance(qRgb(10, 10, 10)), 10 / 255.0 / 12.92, 1e-9);
}

TEST(ScreenCheckContrast, LargeTextNeedsLess) {
    struct Case {
        int pixels;
        bool bold;
        double least;
    };
    const Case cases[] = {
        {16, false, 4.5}, {18, true, 4.5}, {19, true, 3.0}, {23, false, 4.5},
        {24, false, 3.0}, {28, true, 3.0}, {0, false, 4.5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MinContrastFor(c.pixels, c.bold), c.least) << c.pixels << (c.bold ? " bold" : "");
}

// Renders of a 20x10 area whose first `textPixels` pixels (row by row) are text at full
// coverage; the bare render is `under` at pixels below `split` and `other` after it.
struct Renders {
    QImage white, black, bare;
};
Renders MakeRenders(int textPixels, QRgb under, QRgb other = 0, int split = 200) {
    Renders r{QImage(20, 10, QImage::Format_RGB32), QImage(20, 10, QImage::Format_RGB32),
              QImage(20, 10, QImage::Format_RGB32)};
    for (int i = 0; i < 200; ++i) {
        const int x = i % 20, y = i / 20;
        const QRgb bg = i < split ? under : other;
        r.bare.setPixel(x, y, bg);
        r.white.setPixel(x, y, i < textPixels ? qRgb(255, 255, 255) : bg);
        r.black.setPixel(x, y, i < textPixels ? qRgb(0, 0, 0) : bg);
    }
    return r;
}

TEST(ScreenCheckContrast, MeasuresTheTextAgainstThePixelsUnderIt) {
    const QRgb grey = qRgb(128, 128, 128), black = qRgb(0, 0, 0);
    Renders r = MakeRenders(50, grey);
    ASSERT_TRUE(TextContrast(r.white, r.black, r.bare, black));
    EXPECT_NEAR(*TextContrast(r.white, r.black, r.bare, black), ContrastRatio(black, grey), 1e-9);
    // Text drawn in the colour of what is under it: 1:1, although both renders show it.
    r = MakeRenders(50, black);
    EXPECT_NEAR(*TextContrast(r.white, r.black, r.bare, black), 1.0, 1e-9);
    // No text pixel, or renders of different sizes: nothing to measure.
    r = MakeRenders(0, grey);
    EXPECT_FALSE(TextContrast(r.white, r.black, r.bare, black));
    r = MakeRenders(50, grey);
    EXPECT_FALSE(TextContrast(r.white.copy(0, 0, 10, 10), r.black, r.bare, black));
    // A pixel covered less than half is edge, not text.
    r = MakeRenders(0, grey);
    r.white.setPixel(0, 0, qRgb(200, 200, 200));
    r.black.setPixel(0, 0, qRgb(100, 100, 100));
    EXPECT_FALSE(TextContrast(r.white, r.black, r.bare, black));
}

TEST(ScreenCheckContrast, NineTextPixelsInTenMustReachIt) {
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    struct Case {
        int darkUnder;  // text pixels over black, of 100
        bool passes;
    };
    for (const Case& c :
         {Case{0, true}, Case{5, true}, Case{10, true}, Case{11, false}, Case{40, false}}) {
        // Black text over white, but its first pixels lie over black.
        const Renders r = MakeRenders(100, black, white, c.darkUnder);
        const std::optional<double> ratio = TextContrast(r.white, r.black, r.bare, black);
        ASSERT_TRUE(ratio);
        EXPECT_EQ(*ratio >= kMinContrast, c.passes) << c.darkUnder << " over black: " << *ratio;
    }
}

TEST(ScreenCheckOverlap, OnlyPicturesAndEmptyLabelsMayShareAPlace) {
    const PlacedControl button{1007, QRect(10, 10, 100, 30)};
    struct Case {
        PlacedControl other;
        bool overlaps, intended;
    };
    const Case cases[] = {
        {{1008, QRect(10, 40, 100, 30)}, false, false},  // touching edges share no pixel
        {{1008, QRect(10, 39, 100, 30)}, true, false},
        {{1042, QRect(50, 20, 100, 10)}, true, false},
        {{1500, QRect(0, 10, 20, 20), true}, true, true},         // marker beside a button
        {{1502, QRect(0, 0, 400, 300), true}, true, true},        // panel picture under it
        {{1043, QRect(0, 0, 400, 20), false, true}, true, true},  // a label without text
        {{1009, QRect(200, 200, 10, 10)}, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Overlaps(button, c.other), c.overlaps) << c.other.id;
        EXPECT_EQ(Overlaps(c.other, button), c.overlaps) << c.other.id;
        EXPECT_EQ(OverlapIntended(button, c.other), c.intended) << c.other.id;
        EXPECT_EQ(OverlapIntended(c.other, button), c.intended) << c.other.id;
    }
}

TEST(ScreenCheckMerge, OneLinePerProblemWithItsLanguages) {
    const std::vector<std::string> languages{"fr_FR", "de_DE", "nl_NL"};
    const std::vector<ScreenFinding> findings{
        {"a.gui", 5, "fit 1041", "label 1041 short", 1, "nl_NL"},
        {"a.gui", 5, "fit 1041", "label 1041 long", 9, "de_DE"},
        {"a.gui", 7, "contrast 1007", "control 1007 contrast", 2, "fr_FR"},
        {"a.gui", 7, "contrast 1007", "control 1007 contrast", 2, "nl_NL"},
        {"a.gui", 7, "contrast 1007", "control 1007 contrast", 2, "de_DE"},
        {"a.gui", 7, "outside 1007", "control 1007 outside", 0, "de_DE"},
        {"b.gui", 5, "fit 1041", "label 1041 other file", 0, "fr_FR"},
    };
    Report report;
    MergeFindings(findings, languages, report);
    std::vector<std::string> lines;
    for (const Diagnostic& d : report.Sorted())
        lines.push_back(FormatDiagnostic(d));
    const std::vector<std::string> expected{
        "a.gui:5: error: label 1041 long [de_DE, nl_NL]",
        "a.gui:7: error: control 1007 contrast [every language]",
        "a.gui:7: error: control 1007 outside [de_DE]",
        "b.gui:5: error: label 1041 other file [fr_FR]",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(report.Errors(), 4);
}

// ---- A copy of the staged configuration

// The first match of `what` with all but its first group replaced by `with`; empty when
// nothing matches.
std::string Replace(const std::string& text, const std::regex& what, const std::string& with) {
    std::smatch m;
    if (!std::regex_search(text, m, what))
        return {};
    return m.prefix().str() + m[1].str() + with + m.suffix().str();
}

int LineOf(const std::string& text, const std::string& needle) {
    const size_t at = text.find(needle);
    if (at == std::string::npos)
        return 0;
    return 1 + int(std::count(text.begin(), text.begin() + long(at), '\n'));
}

// The translation table with the German element of `id` replaced by `element` (its text
// when it does not start with '<'); empty when there is no such element.
std::string WithGerman(std::string trad, const std::string& id, const std::string& element) {
    const std::string open = "<Lang codeKSO=\"de\">", close = "</Lang>";
    const size_t entry = trad.find("<TraductionElement id=\"" + id + "\">");
    const size_t start = entry == std::string::npos ? entry : trad.find(open, entry);
    const size_t end = start == std::string::npos ? start : trad.find(close, start);
    if (end == std::string::npos)
        return {};
    const std::string with = element.rfind('<', 0) == 0 ? element : open + element + close;
    return trad.replace(start, end + close.size() - start, with);
}

class StagedCopy : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* dir : {"config", "gui", "pictures"})
            fs::copy(fs::path(STAGE_DIR) / dir, tree.Path(dir),
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        platform::SetProgramDirectory(tree.Bin());
        ClearProfileCache();
        baseline = Run();
    }
    void TearDown() override {
        platform::SetProgramDirectory("");
        ClearProfileCache();
    }

    std::set<std::string> Run() {
        ClearProfileCache();
        Report report;
        ScreenCheckOptions options;
        options.modes = {"QV"};
        const ScreenCheckStats stats = CheckScreens(options, report);
        EXPECT_GE(stats.screens, 10);
        EXPECT_EQ(stats.languages, LanguageCount());
        std::set<std::string> out;
        for (const Diagnostic& d : report.Sorted())
            out.insert(FormatDiagnostic(d));
        return out;
    }

    // What the fault added to the findings of the untouched copy.
    std::vector<std::string> Added() {
        std::vector<std::string> added;
        for (const std::string& f : Run())
            if (!baseline.count(f))
                added.push_back(f);
        return added;
    }

    std::string Gui(const std::string& screen) {
        return fs::weakly_canonical(tree.Path("gui/" + screen + ".gui")).string();
    }

    TempTree tree;
    std::set<std::string> baseline;
};

TEST_F(StagedCopy, AGermanTitleTooLongIsOneFindingInGerman) {
    std::string words;
    for (int i = 0; i < 40; ++i)
        words += "Rechnermodell ";
    const std::string trad = WithGerman(tree.Read("config/trad/VEK_Trad.xml"), "id0024", words);
    ASSERT_FALSE(trad.empty()) << "no German text for id0024";
    tree.Write("config/trad/VEK_Trad.xml", trad);
    const int line = LineOf(tree.Read("gui/StateChoicePC.gui"), "id=\"1041\"");
    ASSERT_GT(line, 0);
    const std::vector<std::string> added = Added();
    ASSERT_EQ(added.size(), 1u) << ::testing::PrintToString(added);
    EXPECT_EQ(added[0].rfind(Gui("StateChoicePC") + ":" + std::to_string(line) +
                                 ": error: label 1041 text \"Rechnermodell",
                             0),
              0u)
        << added[0];
    EXPECT_NE(added[0].find("[de_DE]"), std::string::npos) << added[0];
}

// The pictures file with the skins of button id of StateChoicePC all made picture, or gone
// when picture is empty.
std::string WithSkinsOf(const std::string& pictures, int id, const std::string& picture) {
    const size_t begin = pictures.find("[StateChoicePC]");
    if (begin == std::string::npos)
        return {};
    const size_t end = std::min(pictures.find("\n[", begin + 1), pictures.size());
    std::string section = pictures.substr(begin, end - begin);
    std::smatch m;
    if (!std::regex_search(section, m,
                           std::regex(R"(ButtonId\.(\d+)=)" + std::to_string(id) + R"(\r?\n)")))
        return {};
    const std::regex skins("(Button(?:Normal|Push|Over|Disable)\\." + m[1].str() +
                           "=)[^\r\n]*(\r?\n)");
    section = std::regex_replace(section, skins, picture.empty() ? "" : "$1" + picture + "$2");
    return pictures.substr(0, begin) + section + pictures.substr(end);
}

// Skinned buttons take white or ink after their skin, so their captions always read; the
// language buttons keep their black caption and are skinned by the background under them.
// Black under one of them gives a caption the colour of its skin.
TEST_F(StagedCopy, AButtonSkinnedInItsCaptionColourIsOneFinding) {
    const QString background = QString::fromStdString(tree.Path("pictures/StateLanguage.png"));
    QImage picture(background);
    ASSERT_FALSE(picture.isNull());
    // Button 1014 at (182, 178) 126 x 26 dialog units: base units 9 x 18, heights adapted by
    // 0.89; a few pixels in from its outline.
    const QRect under(int(182 * 9 / 4.0) + 4, int(178 * 18 / 8.0 * 0.89) + 4,
                      int(126 * 9 / 4.0) - 8, int(26 * 18 / 8.0 * 0.89) - 8);
    QPainter(&picture).fillRect(under, Qt::black);
    ASSERT_TRUE(picture.save(background));
    const int line = LineOf(tree.Read("gui/StateLanguage.gui"), "id=\"1014\"");
    ASSERT_GT(line, 0);
    const std::vector<std::string> added = Added();
    ASSERT_EQ(added.size(), 1u) << ::testing::PrintToString(added);
    const std::string where = Gui("StateLanguage") + ":" + std::to_string(line) + ": error: ";
    EXPECT_EQ(added[0].rfind(where + "control 1014 text contrast 1.", 0), 0u) << added[0];
}

TEST_F(StagedCopy, AControlMovedOffTheViewIsOneFinding) {
    const std::string dialog = tree.Read("gui/StateChoicePC.gui");
    const std::string moved =
        Replace(dialog, std::regex(R"((<control id="1009"[^>]*? x=")\d+)"), "900");
    ASSERT_FALSE(moved.empty()) << "no control 1009 on StateChoicePC";
    tree.Write("gui/StateChoicePC.gui", moved);
    const int line = LineOf(moved, "id=\"1009\"");
    const std::vector<std::string> added = Added();
    ASSERT_EQ(added.size(), 1u) << ::testing::PrintToString(added);
    const std::string where = Gui("StateChoicePC") + ":" + std::to_string(line) + ": error: ";
    EXPECT_EQ(added[0].rfind(where + "control 1009 ", 0), 0u) << added[0];
    EXPECT_NE(added[0].find("leaves the view"), std::string::npos) << added[0];
    EXPECT_NE(added[0].find("[every language]"), std::string::npos) << added[0];
}

TEST_F(StagedCopy, AMissingGermanTextIsOneFindingInGerman) {
    const std::string trad = WithGerman(tree.Read("config/trad/VEK_Trad.xml"), "id0024", "<!---->");
    ASSERT_FALSE(trad.empty()) << "no German text for id0024";
    tree.Write("config/trad/VEK_Trad.xml", trad);
    const int line = LineOf(tree.Read("gui/StateChoicePC.gui"), "id=\"1041\"");
    const std::vector<std::string> added = Added();
    ASSERT_EQ(added.size(), 1u) << ::testing::PrintToString(added);
    EXPECT_EQ(added[0], Gui("StateChoicePC") + ":" + std::to_string(line) +
                            ": error: label 1041 shows its translation ID \"id0024\": no text "
                            "[de_DE]");
}

TEST_F(StagedCopy, AButtonWithoutCaptionOrBitmapIsOneFinding) {
    const std::string dialog = tree.Read("gui/StateChoicePC.gui");
    const std::string blank =
        Replace(dialog, std::regex(R"((<control id="1010"[^>]*? text=")[^"]*)"), "");
    ASSERT_FALSE(blank.empty()) << "no control 1010 on StateChoicePC";
    tree.Write("gui/StateChoicePC.gui", blank);
    // Its skins go too.
    const std::string pictures = WithSkinsOf(tree.Read("config/QV/QV_pictures.ini"), 1010, "");
    ASSERT_FALSE(pictures.empty()) << "no button 1010 on StateChoicePC";
    tree.Write("config/QV/QV_pictures.ini", pictures);
    const int line = LineOf(blank, "id=\"1010\"");
    const std::vector<std::string> added = Added();
    ASSERT_EQ(added.size(), 1u) << ::testing::PrintToString(added);
    EXPECT_EQ(added[0], Gui("StateChoicePC") + ":" + std::to_string(line) +
                            ": error: button 1010 has neither caption nor bitmap [every language]");
}

}  // namespace
