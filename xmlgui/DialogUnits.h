#pragma once
// Dialog units to pixels. One horizontal unit is a quarter of the dialog font's average
// character width, one vertical unit an eighth of its character height, so a layout keeps its
// proportions to the text whatever font a machine resolves.
#include <cstdint>

#include "xmlgui/DlgTemplate.h"

namespace xmlgui {

struct DialogBaseUnits {
    int x = 0;  // average character width, pixels
    int y = 0;  // character height, pixels
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelRect&) const = default;
};

// a * b / c rounded to the nearest integer, halves away from zero; 0 when c is 0 or the result
// does not fit an int.
int MulDiv(int a, int b, int c);

// Base units from the width of the 52 letters a-z A-Z and the font's height: the average is
// (width / 26 + 1) / 2, as the original platform computes it.
DialogBaseUnits BaseUnitsFromLetters(int lettersWidth, int height);

// Pixel height of a font of pointSize points on a screen of dpi dots per inch.
int PointsToPixels(int pointSize, int dpi);

PixelRect ToPixels(const DlgControl& control, DialogBaseUnits units);
// Pixel size of the dialog itself.
PixelRect DialogPixels(const DialogTemplate& dialog, DialogBaseUnits units);

}  // namespace xmlgui
