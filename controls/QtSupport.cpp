#include "controls/QtSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <list>
#include <mutex>

#include "base/Log.h"
#include "platform/Files.h"

namespace controls {

namespace {
std::atomic<CLog*> g_log{nullptr};
}

void SetControlsLog(CLog* log) {
    g_log = log;
}

void ControlsLogError(std::string_view message) {
    if (CLog* log = g_log.load()) {
        log->Err(message);
    }
}

uint32_t SystemColour(QPalette::ColorRole role) {
    return FromQColor(QApplication::palette().color(QPalette::Active, role));
}

QFont MakeFont(const QString& face, int height, int weight) {
    QFont font;
    if (!face.isEmpty()) {
        font.setFamily(face);
    }
    int px = height < 0 ? -height : height;
    if (px > 0) {
        font.setPixelSize(px);
    }
    if (weight > 0) {
        font.setWeight(QFont::Weight(std::clamp(weight, 1, 1000)));
    }
    return font;
}

void DrawTextFlags(QPainter& p, const QRect& rect, const QString& text, uint32_t flags) {
    int qt = 0;
    if (flags & kDtRight) {
        qt |= Qt::AlignRight;
    } else if (flags & kDtCenter) {
        qt |= Qt::AlignHCenter;
    } else {
        qt |= Qt::AlignLeft;
    }
    if (flags & kDtSingleLine) {
        qt |= Qt::TextSingleLine;
        if (flags & kDtBottom) {
            qt |= Qt::AlignBottom;
        } else if (flags & kDtVCenter) {
            qt |= Qt::AlignVCenter;
        } else {
            qt |= Qt::AlignTop;
        }
    } else {
        qt |= Qt::AlignTop;
        if (flags & kDtWordBreak) {
            qt |= Qt::TextWordWrap;
        }
    }
    if (flags & kDtExpandTabs) {
        qt |= Qt::TextExpandTabs;
    }
    QString shown = text;
    if (!(flags & kDtNoPrefix)) {
        qt |= Qt::TextShowMnemonic;
    }
    if (flags & (kDtEndEllipsis | kDtPathEllipsis | kDtWordEllipsis)) {
        Qt::TextElideMode mode = (flags & kDtPathEllipsis) && !(flags & kDtEndEllipsis)
                                     ? Qt::ElideMiddle
                                     : Qt::ElideRight;
        shown = p.fontMetrics().elidedText(text, mode, rect.width(), qt);
    }
    p.drawText(rect, qt, shown);
}

MeasureFn FontMeasure(const QFont& font) {
    return [fm = QFontMetrics(font)](std::wstring_view s) {
        return fm.horizontalAdvance(ToQString(s));
    };
}

QRect FocusRingArea(const QRect& control) {
    const int out = kFocusRingGap + kFocusRingWidth + 1;
    return control.adjusted(-out, -out, out, out);
}

void DrawFocusRing(QPainter& p, const QRect& control) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    // A white halo outside the ring keeps it visible on the dark bands of a screen.
    const QRect halo = FocusRingArea(control);
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(halo.adjusted(0, 0, -1, -1));
    const QColor ring = ToQColor(kFocusRingColour);
    for (int i = 0; i < kFocusRingWidth; ++i) {
        const int d = kFocusRingGap + 1 + i;
        p.setPen(QPen(ring, 1));
        p.drawRect(control.adjusted(-d, -d, d - 1, d - 1));
    }
    p.restore();
}

QString WrappedToolTip(const QString& text, const QFont& font) {
    std::vector<std::wstring> lines = SplitLabelLines(ToWide(text), 500, FontMeasure(font));
    QStringList parts;
    for (const std::wstring& l : lines) {
        parts << ToQString(l).toHtmlEscaped();
    }
    return QStringLiteral(
               "<span style=\"font-family:'%1'; font-size:%2px; white-space:pre\">%3</span>")
        .arg(font.family().toHtmlEscaped())
        .arg(font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height())
        .arg(parts.join(QStringLiteral("<br>")));
}

namespace {

// The formats QtGui decodes itself, by file suffix.
QByteArray BuiltInFormat(const QString& path) {
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    for (const char* format : {"png", "bmp", "ppm", "pgm", "pbm", "xpm", "xbm"})
        if (suffix == format)
            return suffix;
    return {};
}

}  // namespace

namespace {

// The small pictures decoded last, by their files' bytes: the buttons of every screen take the
// same few skins, four states each, and a screen of tiles takes one skin eight times.
class RecentPictures {
  public:
    static constexpr qsizetype kMaxBytes = 256 * 1024;
    static constexpr qsizetype kMaxPictureBytes = 128 * 1024;

    QImage Find(const QByteArray& bytes) {
        std::lock_guard lock(lock_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->bytes == bytes) {
                entries_.splice(entries_.begin(), entries_, it);
                return it->image;
            }
        }
        return {};
    }
    void Keep(const QByteArray& bytes, const QImage& image) {
        if (image.isNull() || image.sizeInBytes() > kMaxPictureBytes)
            return;
        std::lock_guard lock(lock_);
        entries_.push_front({bytes, image});
        total_ += image.sizeInBytes();
        while (total_ > kMaxBytes) {
            total_ -= entries_.back().image.sizeInBytes();
            entries_.pop_back();
        }
    }

  private:
    struct Entry {
        QByteArray bytes;
        QImage image;
    };
    std::mutex lock_;
    std::list<Entry> entries_;
    qsizetype total_ = 0;
};

RecentPictures& Recent() {
    static RecentPictures recent;
    return recent;
}

}  // namespace

QImage ReadPicture(const QString& path) {
    const QByteArray bytes = ReadPictureFile(path);
    if (QImage kept = Recent().Find(bytes); !kept.isNull())
        return kept;
    QImage image = DecodePicture(bytes, path);
    Recent().Keep(bytes, image);
    return image;
}

QSize PictureSize(const QString& path) {
    if (!QFileInfo(path).isFile())
        return {};
    if (const QByteArray format = BuiltInFormat(path); !format.isEmpty()) {
        QImageReader reader(path, format);
        reader.setAutoDetectImageFormat(false);
        if (const QSize size = reader.size(); size.isValid())
            return size;
    }
    return QImageReader(path).size();
}

QByteArray ReadPictureFile(const QString& path) {
    std::string bytes, error;
    if (!platform::ReadRegularFile(path.toStdString(), size_t(kMaxPictureFileBytes), &bytes,
                                   &error))
        return {};
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QImage DecodePicture(const QByteArray& bytes, const QString& path) {
    if (bytes.isEmpty())
        return {};
    if (const QByteArray format = BuiltInFormat(path); !format.isEmpty()) {
        QByteArray copy(bytes);
        QBuffer buffer(&copy);
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        QImage image;
        if (reader.read(&image))
            return image;
    }
    return QImage::fromData(bytes);
}

QSize DecodedPictureSize(const QByteArray& bytes, const QString& path) {
    if (bytes.isEmpty())
        return {};
    QByteArray copy(bytes);
    QBuffer buffer(&copy);
    if (const QByteArray format = BuiltInFormat(path); !format.isEmpty()) {
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        if (const QSize size = reader.size(); size.isValid())
            return size;
    }
    buffer.seek(0);
    return QImageReader(&buffer).size();
}

}  // namespace controls
