#include "xmlgui/DialogUnits.h"

#include <climits>

namespace xmlgui {

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return 0;
    int64_t num = static_cast<int64_t>(a) * b;
    int64_t den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    int64_t q = num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
    if (q > INT_MAX || q < INT_MIN)
        return 0;
    return static_cast<int>(q);
}

DialogBaseUnits BaseUnitsFromLetters(int lettersWidth, int height) {
    DialogBaseUnits u;
    u.x = lettersWidth > 0 ? (lettersWidth / 26 + 1) / 2 : 0;
    u.y = height > 0 ? height : 0;
    return u;
}

int PointsToPixels(int pointSize, int dpi) {
    return MulDiv(pointSize, dpi, 72);
}

PixelRect ToPixels(const DlgControl& control, DialogBaseUnits units) {
    // Each value on its own, as the original dialog manager does: a control's right edge may
    // differ by a pixel from that of a neighbour that starts where it ends.
    return {MulDiv(control.x, units.x, 4), MulDiv(control.y, units.y, 8),
            MulDiv(control.cx, units.x, 4), MulDiv(control.cy, units.y, 8)};
}

PixelRect DialogPixels(const DialogTemplate& dialog, DialogBaseUnits units) {
    return {0, 0, MulDiv(dialog.cx, units.x, 4), MulDiv(dialog.cy, units.y, 8)};
}

}  // namespace xmlgui
