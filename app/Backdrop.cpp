#include "app/Backdrop.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

namespace app {

void PaintBackdrop(QPainter& painter, const QRect& area, const QRect& view, const QImage* picture) {
    if (!picture || picture->isNull() || view.isEmpty()) {
        painter.fillRect(area, kPlainBackdrop);
        return;
    }
    // The picture may be smaller than the view or larger: the view shows its top-left part.
    const int w = std::min(picture->width(), view.width());
    const int h = std::min(picture->height(), view.height());
    const QRect shown(view.topLeft(), QSize(w, h));
    const int left = shown.left(), top = shown.top();
    const int right = shown.right() + 1, bottom = shown.bottom() + 1;
    const int areaRight = area.right() + 1, areaBottom = area.bottom() + 1;
    // One-pixel strips repeated are drawn unscaled along the strip: no smoothing, no blur.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    auto strip = [&](const QRect& target, const QRect& source) {
        if (target.width() > 0 && target.height() > 0)
            painter.drawImage(target, *picture, source);
    };
    strip(QRect(left, area.top(), w, top - area.top()), QRect(0, 0, w, 1));
    strip(QRect(left, bottom, w, areaBottom - bottom), QRect(0, h - 1, w, 1));
    strip(QRect(area.left(), top, left - area.left(), h), QRect(0, 0, 1, h));
    strip(QRect(right, top, areaRight - right, h), QRect(w - 1, 0, 1, h));
    auto corner = [&](int x0, int y0, int x1, int y1, int px, int py) {
        if (x1 > x0 && y1 > y0)
            painter.fillRect(QRect(x0, y0, x1 - x0, y1 - y0), QColor(picture->pixel(px, py)));
    };
    corner(area.left(), area.top(), left, top, 0, 0);
    corner(right, area.top(), areaRight, top, w - 1, 0);
    corner(area.left(), bottom, left, areaBottom, 0, h - 1);
    corner(right, bottom, areaRight, areaBottom, w - 1, h - 1);
    painter.restore();
}

}  // namespace app
