#pragma once
// The check behind "qvtool check-screens": every screen of a configuration built offscreen by
// the wizard's own view in every language of language.ini, and what an operator would see go
// wrong on it, reported at the dialog control's line. Needs a QApplication.
#include <QImage>
#include <QRect>
#include <optional>
#include <string>
#include <vector>

#include "tools/qvtool/Report.h"

namespace authoring {

// WCAG 2.1: relative luminance of an sRGB colour, and the contrast ratio of two colours
// (1 to 21).
double RelativeLuminance(QRgb colour);
double ContrastRatio(QRgb a, QRgb b);
inline constexpr double kMinContrast = 4.5;
inline constexpr double kMinLargeContrast = 3.0;
// The least contrast text of that size needs: 3:1 for large text (24 px, or 18.7 px bold:
// 18 pt and 14 pt at 96 dpi), 4.5:1 for any other.
double MinContrastFor(int pixelSize, bool bold);

// Three renders of the same area: the text drawn in white, in black, and no text. A pixel
// whose two text renders differ by at least half is text; its background is the pixel of
// the bare render. The contrast that nine text pixels in ten reach against their own
// background; nothing when no pixel is text or the renders differ in size.
std::optional<double> TextContrast(const QImage& inWhite, const QImage& inBlack, const QImage& bare,
                                   QRgb text);

// A control as built, for the overlap rule.
struct PlacedControl {
    int id = -1;
    QRect rect;
    bool picture = false;       // a picture control: backdrop or marker
    bool drawsNothing = false;  // a transparent label without text or picture
};

// Overlaps that are meant: a picture under or beside anything (a panel picture under labels,
// the markers 1500/1501 beside the chosen button), and a label that draws nothing on this
// build. Any other two controls must not share a pixel.
bool OverlapIntended(const PlacedControl& a, const PlacedControl& b);
bool Overlaps(const PlacedControl& a, const PlacedControl& b);

// One finding in one language. Findings with the same file, line and key are one problem;
// the one with the highest rank gives the message.
struct ScreenFinding {
    std::string file;
    int line = 0;
    std::string key;  // the check and the control ("contrast 1042")
    std::string message;
    double rank = 0;
    std::string language;  // "de_DE"
};

// One report line per problem: its message, then the languages it shows in, in the order
// given ("[de_DE, nl_NL]"), or "[every language]" when it shows in all of them.
void MergeFindings(const std::vector<ScreenFinding>& findings,
                   const std::vector<std::string>& languages, Report& report);

struct ScreenCheckOptions {
    std::vector<std::string> modes{"QV", "RW"};
    // Where the screens' files lie, relative to the program directory.
    std::string guiDir = "..\\gui\\";
};

struct ScreenCheckStats {
    int screens = 0;    // distinct screens
    int languages = 0;  // languages of language.ini
    int builds = 0;     // views built
};

// Checks the configuration around the current directory, which must be the program directory
// (bin/); messages name files by absolute paths.
ScreenCheckStats CheckScreens(const ScreenCheckOptions& options, Report& report);

}  // namespace authoring
