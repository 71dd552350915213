#pragma once
// What the frame shows around the screen view: the view's own background extended to the edges
// of the display, so that the frame never shows bare grey and the view stays sharp at its size.
#include <QColor>
#include <QRect>

class QImage;
class QPainter;

namespace app {

// Shown where no screen has a background yet (the first view of a configuration without one).
inline const QColor kPlainBackdrop(0x0F, 0x30, 0x57);

// Paints `area` (the frame, in its own coordinates) less `view`: each row beside the view takes
// the colour of the picture's edge pixel on that row, each column above and below it the colour
// of the picture's top or bottom pixel, the corners the picture's corner pixels. Without a
// picture (or with an empty view) the whole area is plain.
void PaintBackdrop(QPainter& painter, const QRect& area, const QRect& view, const QImage* picture);

}  // namespace app
