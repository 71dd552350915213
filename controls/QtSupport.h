#pragma once
// Glue between the controls' 0x00BBGGRR colours, text flags and fonts and Qt.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

#include "controls/ControlsLogic.h"

class CLog;
class QPainter;

namespace controls {

inline QColor ToQColor(uint32_t c) {
    return QColor(int(RedOf(c)), int(GreenOf(c)), int(BlueOf(c)));
}
inline uint32_t FromQColor(const QColor& c) {
    return Rgb(unsigned(c.red()), unsigned(c.green()), unsigned(c.blue()));
}
// A system colour: an application palette role (active group).
uint32_t SystemColour(QPalette::ColorRole role);

inline QString ToQString(std::wstring_view s) {
    return QString::fromWCharArray(s.data(), qsizetype(s.size()));
}
inline std::wstring ToWide(const QString& s) {
    return s.toStdWString();
}

// A font from a face name, a height in pixels (negative: character height; either way a pixel
// size) and a weight (400 normal, 700 bold).
QFont MakeFont(const QString& face, int height, int weight);

// Draws one piece of text with text-drawing flags (alignment, single line, word break,
// ellipses, tabs, prefix) into a rectangle.
void DrawTextFlags(QPainter& p, const QRect& rect, const QString& text, uint32_t flags);

// Width of a text in the font, for the line splitting and the tooltips.
MeasureFn FontMeasure(const QFont& font);

// Tooltip text wrapped to at most 500 pixels in the font, as rich text carrying the font.
// The focus mark around a control's rectangle (in the painter's coordinates), and the area it
// covers, to repaint when the focus moves.
void DrawFocusRing(QPainter& p, const QRect& control);
QRect FocusRingArea(const QRect& control);

QString WrappedToolTip(const QString& text, const QFont& font);

// A picture file read with the decoder its name's suffix calls for when Qt has it built in
// (PNG, BMP, PPM, XPM...), and by its content otherwise or when that fails. Qt's own lookup asks
// every image plug-in about a name first, which loads all of them (and their libraries) into the
// process on the first picture. A null image when the file cannot be read. The small pictures
// read last are kept (256 KB at most) and given again for a file of the same bytes.
QImage ReadPicture(const QString& path);
// The picture's size from its header, without decoding it; invalid when it cannot be told.
QSize PictureSize(const QString& path);
// The bytes of the picture file at path, a regular file of at most kMaxPictureFileBytes; empty
// when it cannot be read. Views compare them to share a picture already decoded.
constexpr qsizetype kMaxPictureFileBytes = qsizetype(64) * 1024 * 1024;
QByteArray ReadPictureFile(const QString& path);
// ReadPicture and PictureSize on a file's bytes; path names the format by its suffix.
QImage DecodePicture(const QByteArray& bytes, const QString& path);
QSize DecodedPictureSize(const QByteArray& bytes, const QString& path);

// Logger for the controls' failures; the application sets it (none by default).
void SetControlsLog(CLog* log);
void ControlsLogError(std::string_view message);

inline QRect ToQRect(const Rect& r) {
    return QRect(r.x, r.y, r.w, r.h);
}

}  // namespace controls
