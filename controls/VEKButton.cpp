#include "controls/VEKButton.h"

#include <QApplication>
#include <QBitmap>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QThread>
#include <algorithm>

#include "controls/AnimatedPicture.h"
#include "controls/QtSupport.h"

using namespace controls;

namespace {

constexpr int kNormal = 0;
constexpr int kPushed = 1;
constexpr int kHot = 2;
constexpr int kDisabled = 3;

// Radio latching reaches the rest of the group as a posted message, as on the original
// platform: it arrives after the press that checked this button has been handled, so a click on
// the validate button still finds the choice checked when the screen saves it.
const QEvent::Type kGroupCheckedEvent = QEvent::Type(QEvent::User + 100);

uint32_t ButtonText() {
    return SystemColour(QPalette::ButtonText);
}
uint32_t GreyText() {
    return FromQColor(QApplication::palette().color(QPalette::Disabled, QPalette::Text));
}
uint32_t ButtonFace() {
    return SystemColour(QPalette::Button);
}

QImage LoadWithRetry(const QString& path) {
    QImage image = ReadPicture(path);
    if (image.isNull() && QFileInfo::exists(path)) {
        // A picture that is still being written may load a moment later; a missing one will
        // not, and waiting for it would stall the screen.
        QThread::msleep(100);
        image = ReadPicture(path);
    }
    if (image.isNull()) {
        ControlsLogError("CVEKButton: cannot load bitmap " + path.toStdString());
    }
    return image;
}

QRegion RegionFromImage(const QImage& image, uint32_t key1, uint32_t key2) {
    QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    // Key colours compared as 0xFFRRGGBB pixels.
    auto pixel = [](uint32_t c) {
        return 0xFF000000u | (RedOf(c) << 16) | (GreenOf(c) << 8) | BlueOf(c);
    };
    const uint32_t k1 = pixel(key1);
    const uint32_t k2 = pixel(key2);
    QRegion region;
    QList<QRect> block;
    block.reserve(40);
    for (int y = rgb.height() - 1; y >= 0; --y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(rgb.constScanLine(y));
        for (auto [b, e] : OpaqueRuns(row, rgb.width(), k1, k2)) {
            block.append(QRect(b, y, e - b, 1));
            if (block.size() == 40) {
                QRegion part;
                part.setRects(block.constData(), int(block.size()));
                region += part;
                block.clear();
            }
        }
    }
    if (!block.isEmpty()) {
        QRegion part;
        part.setRects(block.constData(), int(block.size()));
        region += part;
    }
    return region;
}

}  // namespace

CVEKButton::CVEKButton(QWidget* parent) : QAbstractButton(parent) {
    fontHeight_.fill(kDefaultFontHeight);
    fontStyle_.fill(0);
    textColour_ = {ButtonText(), ButtonText(), ButtonText(), GreyText()};
    textFormat_.fill(kDefaultTextFormat);
    alignment_.fill(kDefaultAlignment);
    background_.fill(ButtonFace());
    edgeWidth_.fill(2);
    edgeStyle_ = {kEdgeFlat, kEdgeSunken, kEdgeRaised, kEdgeFlat};
    drawBackground_.fill(true);
    bitmapShift_.fill(true);
    captionShift_.fill(false);
    opacity_.fill(255);
    keyColoursSet_.fill(false);
    key1_.fill(0);
    key2_.fill(0);
    for (int i = 0; i < kStateCount; ++i) {
        edges_[size_t(i)] = EdgeColours(edgeStyle_[size_t(i)], background_[size_t(i)]);
    }
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setAttribute(Qt::WA_Hover, true);
    setFocusPolicy(Qt::StrongFocus);
}

CVEKButton::~CVEKButton() = default;

void CVEKButton::Repaint() {
    if (skinBuilt_) {
        update();
    }
}

void CVEKButton::SetBitmaps(const QString& normal, bool applyToUnset, const QString& pushed,
                            const QString& hot, const QString& disabled) {
    PerState<QString> files = bitmapFile_;
    ApplyStateValues(files, normal, applyToUnset, pushed, hot, disabled, QString());
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i] == bitmapFile_[i] && !bitmap_[i].isNull()) {
            continue;
        }
        bitmapFile_[i] = files[i];
        bitmap_[i] = files[i].isEmpty() ? QImage() : LoadWithRetry(files[i]);
        bitmapRect_[i] = Rect{};
    }
    Repaint();
}

void CVEKButton::SetCaptions(const std::wstring& normal, bool applyToUnset,
                             const std::wstring& pushed, const std::wstring& hot,
                             const std::wstring& disabled) {
    ApplyStateValues(caption_, normal, applyToUnset, pushed, hot, disabled, std::wstring());
    setText(ToQString(caption_[kNormal]));
    Repaint();
}

void CVEKButton::SetFontFaces(const QString& normal, bool applyToUnset, const QString& pushed,
                              const QString& hot, const QString& disabled) {
    ApplyStateValues(fontFace_, normal, applyToUnset, pushed, hot, disabled, QString());
    Repaint();
}

void CVEKButton::SetFontHeights(int normal, bool applyToUnset, int pushed, int hot, int disabled) {
    ApplyStateValues(fontHeight_, normal, applyToUnset, pushed, hot, disabled, kDefaultFontHeight);
    Repaint();
}

void CVEKButton::SetFontStyles(uint32_t normal, bool applyToUnset, uint32_t pushed, uint32_t hot,
                               uint32_t disabled) {
    ApplyStateValues(fontStyle_, normal, applyToUnset, pushed, hot, disabled, 0u);
    Repaint();
}

void CVEKButton::SetTextColors(uint32_t normal, bool applyToUnset, uint32_t pushed, uint32_t hot,
                               uint32_t disabled) {
    ApplyStateValues(textColour_, normal, applyToUnset, pushed, hot, disabled, ButtonText(),
                     GreyText());
    Repaint();
}

void CVEKButton::SetTextColors(uint32_t normal, bool applyToUnset) {
    SetTextColors(normal, applyToUnset, ButtonText(), ButtonText(), GreyText());
}

void CVEKButton::SetTextFormats(uint32_t normal, bool applyToUnset, uint32_t pushed, uint32_t hot,
                                uint32_t disabled) {
    ApplyStateValues(textFormat_, normal, applyToUnset, pushed, hot, disabled, kDefaultTextFormat);
    Repaint();
}

void CVEKButton::SetBitmapAlignments(int normal, bool applyToUnset, int pushed, int hot,
                                     int disabled) {
    ApplyStateValues(alignment_, normal, applyToUnset, pushed, hot, disabled, kDefaultAlignment);
    Repaint();
}

void CVEKButton::SetBackgroundColors(uint32_t normal, bool applyToUnset, uint32_t pushed,
                                     uint32_t hot, uint32_t disabled) {
    ApplyStateValues(background_, normal, applyToUnset, pushed, hot, disabled, ButtonFace());
    for (size_t i = 0; i < edges_.size(); ++i) {
        edges_[i] = EdgeColours(edgeStyle_[i], background_[i]);
    }
    Repaint();
}

void CVEKButton::SetBackgroundColors(uint32_t normal, bool applyToUnset) {
    SetBackgroundColors(normal, applyToUnset, ButtonFace(), ButtonFace(), ButtonFace());
}

void CVEKButton::SetEdgeWidths(int normal, bool applyToUnset, int pushed, int hot, int disabled) {
    ApplyStateValues(edgeWidth_, normal, applyToUnset, pushed, hot, disabled, 2);
    Repaint();
}

void CVEKButton::SetEdgeStyles(int normal, bool applyToUnset, int pushed, int hot, int disabled) {
    // The normal value is always taken; the others have their own sentinels.
    edgeStyle_[kNormal] = normal;
    const int args[] = {pushed, hot, disabled};
    const int sentinels[] = {kEdgeSunken, kEdgeRaised, kEdgeFlat};
    for (int i = 0; i < 3; ++i) {
        if (args[i] != sentinels[i]) {
            edgeStyle_[size_t(i + 1)] = args[i];
        } else if (applyToUnset) {
            edgeStyle_[size_t(i + 1)] = normal;
        } else {
            edgeStyle_[size_t(i + 1)] = args[i];
        }
    }
    for (size_t i = 0; i < edges_.size(); ++i) {
        edges_[i] = EdgeColours(edgeStyle_[i], background_[i]);
    }
    Repaint();
}

namespace {
void ApplyFlags(std::array<bool, kStateCount>& dst, bool normal, bool all, bool pushed, bool hot,
                bool disabled) {
    dst = all ? std::array<bool, kStateCount>{normal, normal, normal, normal}
              : std::array<bool, kStateCount>{normal, pushed, hot, disabled};
}
}  // namespace

void CVEKButton::SetDrawBackground(bool normal, bool all, bool pushed, bool hot, bool disabled) {
    ApplyFlags(drawBackground_, normal, all, pushed, hot, disabled);
    Repaint();
}

void CVEKButton::SetBitmapShift(bool normal, bool all, bool pushed, bool hot, bool disabled) {
    ApplyFlags(bitmapShift_, normal, all, pushed, hot, disabled);
    Repaint();
}

void CVEKButton::SetCaptionShift(bool normal, bool all, bool pushed, bool hot, bool disabled) {
    ApplyFlags(captionShift_, normal, all, pushed, hot, disabled);
    Repaint();
}

void CVEKButton::SetOpacity(int state, int opacity) {
    int i = StateIndex(state);
    if (i >= 0 && i < kStateCount) {
        opacity_[size_t(i)] = std::clamp(opacity, 0, 255);
        Repaint();
    }
}

void CVEKButton::SetKeyColors(int state, uint32_t key1, uint32_t key2) {
    int i = StateIndex(state);
    if (i >= 0 && i < kStateCount) {
        keyColoursSet_[size_t(i)] = true;
        key1_[size_t(i)] = key1;
        key2_[size_t(i)] = key2;
    }
}

void CVEKButton::SetBitmapRect(int state, const Rect& r) {
    int i = StateIndex(state);
    if (i >= 0 && i < kStateCount) {
        bitmapRect_[size_t(i)] = r;
    }
}

void CVEKButton::SetTextRect(int state, const Rect& r) {
    int i = StateIndex(state);
    if (i >= 0 && i < kStateCount) {
        textRect_[size_t(i)] = r;
    }
}

void CVEKButton::SetCorners(int width, int height) {
    cornerW_ = std::max(0, width);
    cornerH_ = std::max(0, height);
}

void CVEKButton::SetButtonType(int type, bool radioGlyph) {
    type_ = (type == kTypeCheck || type == kTypeRadio) ? type : kTypePush;
    radioGlyph_ = radioGlyph;
    if (type_ == kTypePush) {
        checked_ = false;
    }
    Repaint();
}

int CVEKButton::MaxEdgeWidth() const {
    return *std::max_element(edgeWidth_.begin(), edgeWidth_.end());
}

void CVEKButton::BuildSkin(const QImage* parentBackground, intptr_t callerValue, uint32_t layerOff,
                           bool initialCheck) {
    callerValue_ = callerValue;
    if (type_ != kTypePush) {
        SetCheck(initialCheck);
    }
    const QRect whole = rect();
    if (parentBackground && !parentBackground->isNull()) {
        // An opaque background is shared, not copied: the backdrop is read from it in place.
        if (parentBackground->format() == QImage::Format_RGB32) {
            snapshot_ = *parentBackground;
            snapshotRect_ = geometry();
        } else {
            snapshot_ = parentBackground->copy(geometry()).convertToFormat(QImage::Format_RGB32);
            snapshotRect_ = snapshot_.rect();
        }
    } else {
        snapshot_ = QImage();
    }
    for (size_t i = 0; i < kStateCount; ++i) {
        edges_[i] = EdgeColours(edgeStyle_[i], background_[i]);
    }
    for (size_t i = 0; i < kStateCount; ++i) {
        if (textRect_[i].Empty()) {
            if (type_ == kTypePush || !radioGlyph_) {
                textRect_[i] = Rect{0, 0, whole.width(), whole.height()};
            } else {
                textRect_[i] = Rect{18, 0, std::max(0, whole.width() - 18), whole.height()};
            }
        }
    }
    const int inset = MaxEdgeWidth() + 1;
    const Rect area{inset, inset, whole.width() - 2 * inset, whole.height() - 2 * inset};
    for (size_t i = 0; i < kStateCount; ++i) {
        stretched_[i] = QImage();
        region_[i] = QRegion();
        if (bitmap_[i].isNull()) {
            continue;
        }
        layerBitmap_ = true;
        if (bitmapRect_[i].Empty()) {
            bitmapRect_[i] =
                PlaceBitmap(alignment_[i], area, bitmap_[i].width(), bitmap_[i].height());
        }
        const Rect& r = bitmapRect_[i];
        stretched_[i] =
            bitmap_[i].scaled(r.w, r.h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (keyColoursSet_[i]) {
            region_[i] = RegionFromImage(stretched_[i], key1_[i], key2_[i]).translated(r.x, r.y);
        }
    }
    rounded_ = QRegion();
    if (cornerW_ > 0 || cornerH_ > 0) {
        int cw = std::min(cornerW_, whole.width());
        int ch = std::min(cornerH_, whole.height());
        QPainterPath path;
        path.addRoundedRect(QRectF(whole), cw / 2.0, ch / 2.0);
        rounded_ = QRegion(path.toFillPolygon().toPolygon());
    }
    layerBackground_ = !(layerOff & kLayerNoBackground);
    layerCaption_ = !(layerOff & kLayerNoCaption);
    if (layerOff & kLayerNoBitmaps) {
        layerBitmap_ = false;
    }
    layerEdges_ = !(layerOff & kLayerNoEdges);
    layerFocus_ = !(layerOff & kLayerNoFocus);
    skinSize_ = whole.size();
    skinBuilt_ = true;
    update();
}

void CVEKButton::MatchCaptionsToBitmaps() {
    for (size_t i = 0; i < kStateCount; ++i) {
        const QImage& picture = bitmap_[i];
        if (picture.isNull()) {
            continue;
        }
        // The middle half, where the caption lies; transparent pixels show the white panel.
        const QRect middle(picture.width() / 4, picture.height() / 4,
                           std::max(1, picture.width() / 2), std::max(1, picture.height() / 2));
        double sum[3] = {0, 0, 0};
        int count = 0;
        for (int y = middle.top(); y <= middle.bottom(); ++y) {
            for (int x = middle.left(); x <= middle.right(); ++x) {
                const QRgb px = picture.pixel(x, y);
                const double a = qAlpha(px) / 255.0;
                sum[0] += qRed(px) * a + 255 * (1 - a);
                sum[1] += qGreen(px) * a + 255 * (1 - a);
                sum[2] += qBlue(px) * a + 255 * (1 - a);
                ++count;
            }
        }
        const uint32_t face =
            Rgb(unsigned(sum[0] / count), unsigned(sum[1] / count), unsigned(sum[2] / count));
        if (i == size_t(StateIndex(kStateDisabled))) {
            // Its caption takes the background colour darkened, not the text colour.
            if (ReadableTextOn(face) == kInk) {
                background_[i] = kDimmedCaptionBase;
                edges_[i] = EdgeColours(edgeStyle_[i], background_[i]);
            }
            continue;
        }
        textColour_[i] = ReadableTextOn(face);
    }
    Repaint();
}

void CVEKButton::FitSkinToButton() {
    if (!skinBuilt_) {
        return;
    }
    const Rect whole{0, 0, width(), height()};
    for (size_t i = 0; i < kStateCount; ++i) {
        if (textRect_[i] == Rect{0, 0, skinSize_.width(), skinSize_.height()}) {
            textRect_[i] = whole;
        }
        if (bitmap_[i].isNull()) {
            continue;
        }
        bitmapRect_[i] = whole;
        stretched_[i] =
            bitmap_[i].size() == size()
                ? bitmap_[i]
                : bitmap_[i].scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        region_[i] =
            keyColoursSet_[i] ? RegionFromImage(stretched_[i], key1_[i], key2_[i]) : QRegion();
    }
    // A shared background is read in place: from the button's new place.
    if (!snapshot_.isNull() && snapshotRect_ != snapshot_.rect()) {
        snapshotRect_ = geometry();
    }
    skinSize_ = size();
    update();
}

QSize CVEKButton::BitmapSize(int state) const {
    const int i = StateIndex(state);
    return i >= 0 && i < kStateCount ? bitmap_[size_t(i)].size() : QSize();
}

void CVEKButton::SetCheckMode(bool on, AnimatedPicture* left, AnimatedPicture* right) {
    if (!on) {
        drawBackground_.fill(false);
        Repaint();
        return;
    }
    type_ = kTypeRadio;
    radioGlyph_ = false;
    layerEdges_ = true;
    bitmapShift_.fill(false);
    edgeWidth_.fill(0);
    edgeStyle_ = {kEdgeFlat, kEdgeSunken, kEdgeRaised, kEdgeFlat};
    drawBackground_.fill(true);
    background_.fill(Rgb(255, 255, 255));
    for (size_t i = 0; i < kStateCount; ++i) {
        edges_[i] = EdgeColours(edgeStyle_[i], background_[i]);
    }
    const QRect g = geometry();
    auto place = [&](AnimatedPicture* picture, bool leftSide) {
        if (!picture) {
            return;
        }
        QSize size = picture->PictureSize();
        int x = leftSide ? g.left() - size.width() : g.right() + 1;
        int y = g.top();
        if (size.height() < g.height() / 2) {
            y += (g.height() - size.height()) / 2;
        }
        picture->setGeometry(x, y, size.width(), g.height());
        picture->SetPaintRect(QRect(0, 0, size.width(), g.height()));
    };
    place(left, true);
    place(right, false);
    Repaint();
}

void CVEKButton::SetTooltip(const QString& text, const QFont& font) {
    setToolTip(WrappedToolTip(text, font));
}

void CVEKButton::SetButtonCursor(int id) {
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (id) {
        case 32513:
            shape = Qt::IBeamCursor;
            break;
        case 32514:
            shape = Qt::WaitCursor;
            break;
        case 32515:
            shape = Qt::CrossCursor;
            break;
        case 32516:
            shape = Qt::UpArrowCursor;
            break;
        case 32648:
            shape = Qt::ForbiddenCursor;
            break;
        case 32649:
            shape = Qt::PointingHandCursor;
            break;
        case 32650:
            shape = Qt::BusyCursor;
            break;
        case 32651:
            shape = Qt::WhatsThisCursor;
            break;
        default:
            break;
    }
    setCursor(shape);
}

bool CVEKButton::HasBitmap(int state) const {
    const int i = StateIndex(state);
    return i >= 0 && i < kStateCount && !bitmap_[size_t(i)].isNull();
}

std::wstring CVEKButton::Caption(int state) const {
    int i = StateIndex(state);
    if (i < 0 || i >= kStateCount) {
        return {};
    }
    return caption_[size_t(i)];
}

void CVEKButton::Latch() {
    checked_ = true;
    // The screens latch a choice and may save it in the same handler: the group must agree at
    // once.
    OnGroupChecked(true);
    mouseDown_ = false;
    update();
}

void CVEKButton::SetCheck(bool checked) {
    if (type_ == kTypePush) {
        checked = false;
    }
    checked_ = checked;
    if (checked && type_ == kTypeRadio) {
        OnGroupChecked(false);
    }
    update();
}

void CVEKButton::OnGroupChecked(bool now) {
    QWidget* parent = parentWidget();
    if (!parent) {
        return;
    }
    for (CVEKButton* other : parent->findChildren<CVEKButton*>(Qt::FindDirectChildrenOnly)) {
        if (other == this || other->group_ != group_) {
            continue;
        }
        if (now) {
            other->OnGroupCheckedMessage();
        } else {
            QCoreApplication::postEvent(other, new QEvent(kGroupCheckedEvent));
        }
    }
}

void CVEKButton::OnGroupCheckedMessage() {
    if (type_ == kTypeRadio && checked_) {
        checked_ = false;
        update();
    }
}

bool CVEKButton::event(QEvent* e) {
    if (e->type() == kGroupCheckedEvent) {
        OnGroupCheckedMessage();
        return true;
    }
    return QAbstractButton::event(e);
}

int CVEKButton::CurrentState() const {
    return ChooseState(!isEnabled(), isDown(), checked_, hot_);
}

void CVEKButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        mouseDown_ = true;
    }
    QAbstractButton::mousePressEvent(event);
}

void CVEKButton::mouseMoveEvent(QMouseEvent* event) {
    if (mouseDown_ && (event->buttons() & Qt::LeftButton)) {
        // While its own press holds the mouse, the pushed look follows the cursor.
        hot_ = hitButton(event->position().toPoint());
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CVEKButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        if (isDown() && hitButton(event->position().toPoint())) {
            if (type_ == kTypeCheck) {
                SetCheck(!checked_);
            } else if (type_ == kTypeRadio) {
                SetCheck(true);
            }
        }
        mouseDown_ = false;
    }
    // Emits clicked() only when the press started here and the cursor is still over the
    // button.
    QAbstractButton::mouseReleaseEvent(event);
}

void CVEKButton::keyReleaseEvent(QKeyEvent* event) {
    // Space clicks on its release: the check is set there, just before the click, so that the
    // group is unchecked after the press is handled, as for the mouse.
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && isDown()) {
        if (type_ == kTypeCheck) {
            SetCheck(!checked_);
        } else if (type_ == kTypeRadio) {
            SetCheck(true);
        }
    }
    QAbstractButton::keyReleaseEvent(event);
}

void CVEKButton::enterEvent(QEnterEvent* event) {
    hot_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CVEKButton::leaveEvent(QEvent* event) {
    hot_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CVEKButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        update();
    }
    QAbstractButton::changeEvent(event);
}

// ---- text colours without sentinels ----

void CVEKButton::SetTextColorsAll(uint32_t colour) {
    textColour_.fill(colour);
    Repaint();
}

uint32_t CVEKButton::TextColor(int state) const {
    const int i = StateIndex(state);
    return i >= 0 && i < kStateCount ? textColour_[size_t(i)] : ButtonText();
}
