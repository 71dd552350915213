// Painting a skinned button: one off-screen buffer per paint, with the backdrop, the state's
// background, bitmap, caption and edges, then the window's shape.
#include <QApplication>
#include <QPainter>
#include <algorithm>

#include "controls/QtSupport.h"
#include "controls/VEKButton.h"

using namespace controls;

namespace {

constexpr size_t kNormalIndex = 0;
constexpr size_t kDisabledIndex = 3;

void Draw3dRect(QPainter& p, QRect r, uint32_t topLeft, uint32_t bottomRight) {
    if (r.width() <= 0 || r.height() <= 0) {
        return;
    }
    QColor tl = ToQColor(topLeft);
    QColor br = ToQColor(bottomRight);
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), tl);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), tl);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), br);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), br);
}

}  // namespace

void CVEKButton::DrawBitmapLayer(QPainter& p, int state) const {
    const size_t i = size_t(StateIndex(state));
    if (stretched_[i].isNull()) {
        return;
    }
    Rect r = bitmapRect_[i];
    QRegion region = region_[i];
    if (bitmapShift_[i]) {
        int d = edgeStyle_[i] == kEdgeRaised ? -1 : edgeStyle_[i] == kEdgeSunken ? 1 : 0;
        r.x += d;
        r.y += d;
        region.translate(d, d);
    }
    const QRect target = ToQRect(r);
    if (state == kStateDisabled && bitmapFile_[kDisabledIndex] == bitmapFile_[kNormalIndex]) {
        // The normal picture standing in for the disabled one: an embossed silhouette.
        QColor dark = ToQColor(Darken70(background_[kDisabledIndex]));
        if (!region.isEmpty()) {
            p.save();
            p.setClipRegion(region);
            p.fillRect(target, Qt::white);
            p.setClipRegion(region.translated(-1, -1));
            p.fillRect(target.translated(-1, -1), dark);
            p.restore();
        } else {
            p.fillRect(target, Qt::white);
            p.fillRect(target.translated(-1, -1), dark);
        }
        return;
    }
    p.save();
    if (!region.isEmpty()) {
        p.setClipRegion(region);
    }
    if (opacity_[i] != 255) {
        p.setOpacity(opacity_[i] / 255.0);
    }
    p.drawImage(target.topLeft(), stretched_[i]);
    p.restore();
}

QFont CVEKButton::CaptionFont(int state) const {
    const size_t i = size_t(std::clamp(StateIndex(state), 0, kStateCount - 1));
    QFont font = MakeFont(fontFace_[i], fontHeight_[i], (fontStyle_[i] & kFontBold) ? 700 : 400);
    font.setItalic(fontStyle_[i] & kFontItalic);
    font.setUnderline(fontStyle_[i] & kFontUnderline);
    font.setStrikeOut(fontStyle_[i] & kFontStrikeOut);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QRect CVEKButton::CaptionRect(int state) const {
    const size_t i = size_t(std::clamp(StateIndex(state), 0, kStateCount - 1));
    // A button that was never skinned has no text rectangle yet: its caption takes the whole
    // button, as a skinned one's does.
    QRect r = textRect_[i].Empty() ? rect() : ToQRect(textRect_[i]);
    if (r == rect()) {
        int inset = MaxEdgeWidth() + 1;
        r.adjust(inset, inset, -inset, -inset);
    }
    return r;
}

void CVEKButton::DrawCaption(QPainter& p, int state) const {
    const size_t i = size_t(StateIndex(state));
    if (caption_[i].empty()) {
        return;
    }
    p.setFont(CaptionFont(state));
    QRect r = CaptionRect(state);
    if (captionShift_[i]) {
        int d = edgeStyle_[i] == kEdgeRaised ? -1 : edgeStyle_[i] == kEdgeSunken ? 1 : 0;
        r.translate(d, d);
    }
    const QString text = ToQString(caption_[i]);
    if (state == kStateDisabled) {
        p.setPen(Qt::white);
        DrawTextFlags(p, r.translated(1, 1), text, textFormat_[i]);
        p.setPen(ToQColor(Darken70(background_[i])));
        DrawTextFlags(p, r, text, textFormat_[i]);
    } else {
        p.setPen(ToQColor(textColour_[i]));
        DrawTextFlags(p, r, text, textFormat_[i]);
    }
}

void CVEKButton::DrawGlyph(QPainter& p, int state) const {
    if (type_ == kTypePush || !radioGlyph_) {
        return;
    }
    QRect box(2, (height() - 13) / 2, 13, 13);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(ToQColor(state == kStateDisabled ? FromQColor(QApplication::palette().color(
                                                    QPalette::Disabled, QPalette::Text))
                                              : SystemColour(QPalette::ButtonText)));
    p.setBrush(Qt::white);
    if (type_ == kTypeRadio) {
        p.drawEllipse(box);
        if (checked_) {
            p.setBrush(p.pen().color());
            p.drawEllipse(box.adjusted(4, 4, -4, -4));
        }
    } else {
        p.drawRect(box.adjusted(0, 0, -1, -1));
        if (checked_) {
            p.drawLine(box.left() + 3, box.center().y(), box.center().x(), box.bottom() - 3);
            p.drawLine(box.center().x(), box.bottom() - 3, box.right() - 3, box.top() + 3);
        }
    }
    p.restore();
}

void CVEKButton::DrawEdges(QPainter& p, int state) const {
    const size_t i = size_t(StateIndex(state));
    const int w = edgeWidth_[i];
    if (w != 1 && w != 2) {
        return;
    }
    const auto& e = edges_[i];
    QRect r = rect();
    Draw3dRect(p, r, e[0], e[2]);
    if (w == 2) {
        Draw3dRect(p, r.adjusted(1, 1, -1, -1), e[1], e[3]);
    }
}

void CVEKButton::paintEvent(QPaintEvent*) {
    const QRect whole = rect();
    if (whole.isEmpty()) {
        return;
    }
    const int state = CurrentState();
    const size_t i = size_t(StateIndex(state));
    const bool rounded = !rounded_.isEmpty();

    QImage buffer(whole.size(), QImage::Format_RGB32);
    buffer.fill(ToQColor(SystemColour(QPalette::Button)));
    QPainter p(&buffer);
    if (rounded) {
        p.setClipRegion(rounded_);
    }
    if (!snapshot_.isNull()) {
        p.drawImage(QPoint(0, 0), snapshot_, snapshotRect_);
    }
    if (rounded) {
        p.fillRect(whole, ToQColor(background_[i]));
    } else if (layerBackground_ && drawBackground_[i]) {
        p.fillRect(whole, ToQColor(background_[i]));
    }
    if (layerBitmap_) {
        DrawBitmapLayer(p, state);
    }
    if (layerCaption_) {
        DrawCaption(p, state);
        DrawGlyph(p, state);
    }
    if (layerEdges_ && !rounded) {
        DrawEdges(p, state);
    }
    p.end();

    const QRegion& shape = rounded ? rounded_ : region_[i];
    if (shape != mask()) {
        if (shape.isEmpty()) {
            clearMask();
        } else {
            setMask(shape);
        }
    }

    QPainter out(this);
    out.drawImage(0, 0, buffer);
    if (hasFocus() && layerFocus_) {
        QPen pen(Qt::black, 1, Qt::DotLine);
        out.setPen(pen);
        QRect focus = whole.adjusted(3, 3, -4, -4);
        if (type_ != kTypePush && radioGlyph_) {
            focus = ToQRect(textRect_[i]).adjusted(-18, 1, -1, -2);
        }
        out.drawRect(focus);
    }
}
