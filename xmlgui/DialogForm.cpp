#include "xmlgui/DialogForm.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QWidget>

#include "base/Text.h"
#include "platform/Paths.h"

namespace xmlgui {

namespace {

QString ToQString(const std::wstring& text) {
    return QString::fromStdWString(text);
}

Qt::Alignment HorizontalAlignment(uint32_t style) {
    // Center and right are the same bits for statics and edits.
    if (style & kSsRight)
        return Qt::AlignRight;
    if (style & kSsCenter)
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

Qt::FocusPolicy FocusPolicy(uint32_t style) {
    return (style & kWsTabStop) ? Qt::StrongFocus : Qt::ClickFocus;
}

}  // namespace

QWidget* DefaultControlFactory::Create(const DlgControl& control, QWidget* parent) {
    const QString text = ToQString(control.text);
    const uint32_t style = control.style;
    switch (control.cls) {
        case ControlClass::Button: {
            auto* b = new QPushButton(text, parent);
            b->setDefault(style & kBsDefPushButton);
            b->setFocusPolicy(FocusPolicy(style));
            return b;
        }
        case ControlClass::Static: {
            auto* l = new QLabel(text, parent);
            l->setWordWrap(true);
            l->setAlignment(HorizontalAlignment(style) |
                            ((style & kSsCenterImage) ? Qt::AlignVCenter : Qt::AlignTop));
            if (style & kWsBorder)
                l->setFrameShape(QFrame::Box);
            return l;
        }
        case ControlClass::Edit: {
            auto* e = new QLineEdit(text, parent);
            e->setAlignment(HorizontalAlignment(style) | Qt::AlignVCenter);
            if (style & kEsPassword)
                e->setEchoMode(QLineEdit::Password);
            e->setReadOnly(style & kEsReadOnly);
            if (style & kEsNumber)
                e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
            e->setFrame(style & kWsBorder);
            e->setFocusPolicy(FocusPolicy(style));
            return e;
        }
        case ControlClass::ListBox: {
            auto* l = new QListWidget(parent);
            l->setSortingEnabled(style & kLbsSort);
            l->setFocusPolicy(FocusPolicy(style));
            return l;
        }
        case ControlClass::ComboBox: {
            auto* c = new QComboBox(parent);
            const uint32_t type = style & kCbsTypeMask;
            c->setEditable(type == kCbsSimple || type == kCbsDropDown);
            if (c->isEditable())
                c->setEditText(text);
            c->setFocusPolicy(FocusPolicy(style));
            return c;
        }
        case ControlClass::Picture: {
            auto* p = new QLabel(parent);
            p->setAlignment((style & kSsCenterImage) ? Qt::AlignCenter
                                                     : (Qt::AlignLeft | Qt::AlignTop));
            if (!control.text.empty()) {
                QPixmap image(QString::fromStdString(platform::NativePath(Narrow(control.text))));
                if (!image.isNull())
                    p->setPixmap(image);
            }
            if (style & kWsBorder)
                p->setFrameShape(QFrame::Box);
            return p;
        }
    }
    return nullptr;
}

QString ResolveFontFamily(const QString& face) {
    if (face.isEmpty() || QFontDatabase::hasFamily(face))
        return face;
    if (face.startsWith(QLatin1String("Arial"), Qt::CaseInsensitive)) {
        for (const char* standIn : {"Liberation Sans", "DejaVu Sans"}) {
            const QString name = QString::fromLatin1(standIn);
            if (QFontDatabase::hasFamily(name))
                return name;
        }
    }
    return face;
}

QFont DialogFont(const DialogTemplate& dialog, int dpi) {
    QFont font(ResolveFontFamily(ToQString(dialog.fontFace)));
    font.setPixelSize(std::max(1, PointsToPixels(dialog.pointSize, dpi > 0 ? dpi : 96)));
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

DialogBaseUnits BaseUnits(const QFont& font) {
    // Measured without kerning: the original platform adds up plain advance widths.
    QFont plain(font);
    plain.setKerning(false);
    QFontMetrics metrics(plain);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    // Ascent and descent rounded one by one lose up to a pixel; the original platform rounds
    // their sum (Arial at 16 px: 14.48 + 3.39 gives 18, not 17).
    const QFontMetricsF exact(plain);
    return BaseUnitsFromLetters(letters,
                                static_cast<int>(std::lround(exact.ascent() + exact.descent())));
}

FormResult InitializeForm(QWidget* view, const DialogTemplate& dialog, ControlFactory* factory) {
    FormResult result;
    if (!view)
        return result;
    DefaultControlFactory plain;
    if (!factory)
        factory = &plain;

    const QFont font = DialogFont(dialog, view->logicalDpiY());
    view->setFont(font);
    result.units = BaseUnits(font);
    const PixelRect size = DialogPixels(dialog, result.units);
    result.size = QSize(size.width, size.height);
    view->resize(result.size);
    if (!dialog.caption.empty())
        view->setWindowTitle(ToQString(dialog.caption));

    for (const DlgControl& control : dialog.controls) {
        QWidget* w = factory->Create(control, view);
        if (!w)
            continue;
        if (w->parentWidget() != view)
            w->setParent(view);
        const PixelRect r = ToPixels(control, result.units);
        int height = r.height;
        // A drop-down combo box's height is that of its open list; closed, it is one line.
        if (control.cls == ControlClass::ComboBox && (control.style & kCbsTypeMask) != kCbsSimple)
            height = std::min(height, w->sizeHint().height());
        w->setGeometry(r.x, r.y, r.width, height);
        TagControl(w, control.id, control.cls);
        w->setEnabled(!(control.style & kWsDisabled));
        w->setVisible(control.style & kWsVisible);
        ++result.created;
    }
    return result;
}

QString ControlObjectName(int id) {
    return id == kNoId ? QString() : QStringLiteral("control%1").arg(id);
}

void TagControl(QWidget* widget, int id, ControlClass cls) {
    if (!widget)
        return;
    widget->setObjectName(ControlObjectName(id));
    widget->setProperty(kControlIdProperty, id);
    widget->setProperty(kControlClassProperty, QString::fromLatin1(ControlClassName(cls)));
}

QWidget* FindControl(const QWidget* view, int id) {
    if (!view || id == kNoId)
        return nullptr;
    // By object name: reading a dynamic property walks the whole meta-object first, which
    // made looking up every ID of a screen slower than reading its file.
    const QString name = ControlObjectName(id);
    for (QObject* child : view->children()) {
        if (child->isWidgetType() && child->objectName() == name)
            return static_cast<QWidget*>(child);
    }
    return nullptr;
}

int ControlId(const QWidget* widget) {
    if (!widget)
        return kNoId;
    bool ok = false;
    const int id = widget->property(kControlIdProperty).toInt(&ok);
    return ok ? id : kNoId;
}

}  // namespace xmlgui
