#include "controls/GradientLabel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <cstdarg>
#include <cwchar>

#include "controls/QtSupport.h"

using namespace controls;

namespace {

constexpr size_t kFormatChars = 2048;

int DisplayDpiY() {
    QScreen* screen = QGuiApplication::primaryScreen();
    int dpi = screen ? int(screen->logicalDotsPerInchY()) : 96;
    return dpi > 0 ? dpi : 96;
}

std::wstring FormatWide(const wchar_t* format, va_list args) {
    wchar_t buffer[kFormatChars] = {};
    int n = std::vswprintf(buffer, kFormatChars, format, args);
    if (n < 0) {
        // Too long for the buffer (or a bad format): keep what was written, terminated.
        buffer[kFormatChars - 1] = L'\0';
    }
    return std::wstring(buffer);
}

}  // namespace

CGradientLabel::CGradientLabel(QWidget* parent, uint32_t style)
    : QWidget(parent),
      textColour_(SystemColour(QPalette::WindowText)),
      background_(SystemColour(QPalette::Button)),
      startColour_(background_),
      endColour_(background_),
      style_(style),
      font_(font()) {
    setAcceptDrops(true);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

CGradientLabel::~CGradientLabel() = default;

void CGradientLabel::SetText(const std::wstring& text) {
    text_ = text;
    if (transparent_ && parentWidget()) {
        // The parent repaints the area under the label first, so no trace of the old text
        // remains.
        parentWidget()->update(geometry().adjusted(-1, -1, 1, 1));
    }
    update();
}

void CGradientLabel::SetTextColor(uint32_t colour) {
    textColour_ = colour;
    update();
}

void CGradientLabel::SetTransparent(bool on) {
    transparent_ = on;
    setAttribute(Qt::WA_OpaquePaintEvent, !on && bitmap_.isNull());
    update();
}

void CGradientLabel::SetFont(const QString& face, int height, int weight, bool redraw) {
    font_ = MakeFont(face, height, weight);
    if (redraw) {
        update();
    }
}

void CGradientLabel::SetGradient(uint32_t start, uint32_t end, int direction) {
    startColour_ = start;
    endColour_ = end;
    direction_ = direction;
    background_ = start;
    update();
}

void CGradientLabel::Set3DText(bool on, bool direction) {
    text3d_ = on;
    text3dDirection_ = direction;
    update();
}

void CGradientLabel::FormatText(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatWide(format, args);
    va_end(args);
    SetText(text);
}

void CGradientLabel::AppendFormatText(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatWide(format, args);
    va_end(args);
    SetText(text_ + text);
}

bool CGradientLabel::SetBitmapFile(const QString& path) {
    QImage image = ReadPicture(path);
    if (image.isNull()) {
        ControlsLogError("CGradientLabel: cannot load bitmap " + path.toStdString());
        return false;
    }
    bitmap_ = image;
    bitmapResource_ = -1;
    bitmapFile_ = path;
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    update();
    return true;
}

int CGradientLabel::PointsToHeight(int points) {
    return controls::PointsToHeight(points, DisplayDpiY());
}

int CGradientLabel::HeightToPoints(int height) {
    return controls::HeightToPoints(height, DisplayDpiY());
}

void CGradientLabel::RebuildFontFromPoints() {
    font_.setPixelSize(std::max(1, -PointsToHeight(pointSize_)));
}

void CGradientLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        font_ = font();
        update();
    }
    QWidget::changeEvent(event);
}

void CGradientLabel::paintEvent(QPaintEvent*) {
    const QRect item = rect();
    if (item.isEmpty()) {
        return;
    }
    QImage buffer(item.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&buffer);
    bool transparent = transparent_;
    if (!bitmap_.isNull()) {
        buffer.fill(ToQColor(background_));
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(
            item, bitmap_,
            QRect(0, 0, std::max(1, bitmap_.width() - 1), std::max(1, bitmap_.height() - 1)));
        transparent = false;
    } else if (transparent) {
        // What the parent painted under the label shows through the buffer's clear pixels.
        buffer.fill(Qt::transparent);
    } else if (direction_ != 0) {
        QLinearGradient g = direction_ == 1 ? QLinearGradient(item.left(), 0, item.right(), 0)
                                            : QLinearGradient(0, item.top(), 0, item.bottom());
        g.setColorAt(0, ToQColor(startColour_));
        g.setColorAt(1, ToQColor(endColour_));
        p.fillRect(item, g);
    } else {
        buffer.fill(ToQColor(background_));
    }

    // Lines.
    QFontMetrics fm(font_);
    std::vector<std::wstring> lines =
        SplitLabelLines(text_, item.width(), FontMeasure(font_), wordWrap_);
    int lineHeight = fm.height();
    if (autoShrink_ && int64_t(lines.size()) * lineHeight > item.height() && pointSize_ > 1) {
        --pointSize_;
        RebuildFontFromPoints();
        fm = QFontMetrics(font_);
        lineHeight = fm.height();
        lines = SplitLabelLines(text_, item.width(), FontMeasure(font_), wordWrap_);
    }
    const uint32_t flags = LabelTextFlags(style_, text_, extraFlags_);
    p.setFont(font_);
    int top = FirstLineTop(style_, item.top(), item.height(), int(lines.size()), lineHeight);
    const int offset = text3dDirection_ ? 1 : -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        int y = top + int(i) * lineHeight;
        if (y > item.bottom()) {
            break;  // nothing more is visible
        }
        QString line = ToQString(lines[i]);
        QRect r(item.left(), y, item.width(), lineHeight);
        p.setPen(ToQColor(textColour_));
        DrawTextFlags(p, r, line, flags | kDtSingleLine);
        if (text3d_) {
            DrawTextFlags(p, r.translated(offset, offset), line, flags | kDtSingleLine);
        }
    }
    p.end();

    QPainter out(this);
    if (!transparent) {
        out.setCompositionMode(QPainter::CompositionMode_Source);
    }
    out.drawImage(0, 0, buffer);
}

void CGradientLabel::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CGradientLabel::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        return;
    }
    QString path = urls.front().toLocalFile();
    if (path.size() > 520 || !path.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive)) {
        return;
    }
    if (SetBitmapFile(path)) {
        event->acceptProposedAction();
    }
}
