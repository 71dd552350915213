#include "app/ControlMap.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSaveFile>
#include <QTextStream>

#include "controls/VEKButton.h"
#include "screens/QVAppView.h"
#include "xmlgui/DialogForm.h"

namespace app {

namespace {

QString Rect(const QRect& r) {
    return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QRect GlobalRect(const QWidget& w) {
    return QRect(w.mapToGlobal(QPoint(0, 0)), w.size());
}

}  // namespace

ControlMapKey ControlMapKeyOf(const QWidget& frame, const CQVAppView& view, long viewNumber) {
    const QWidget* focus = view.focusWidget();
    return {viewNumber, focus ? xmlgui::ControlId(focus) : -1, GlobalRect(frame)};
}

bool WriteControlMap(const std::string& path, const QWidget& frame, const CQVAppView& view,
                     const std::string& screen, const ControlMapKey& key) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream out(&file);
    out << "screen " << QString::fromStdString(screen) << '\n';
    out << "view " << key.view << '\n';
    out << "frame " << Rect(GlobalRect(frame)) << '\n';
    out << "rect " << Rect(GlobalRect(view)) << '\n';
    out << "focus " << key.focus << '\n';
    for (QObject* child : view.children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isHidden())
            continue;
        const int id = xmlgui::ControlId(w);
        if (id == xmlgui::kNoId)
            continue;
        out << "control " << id << ' ' << Rect(GlobalRect(*w));
        if (auto* button = qobject_cast<CVEKButton*>(w))
            out << ' ' << QString::fromStdWString(button->Caption(controls::kStateNormal));
        else if (auto* list = qobject_cast<QListWidget*>(w); list && list->currentItem())
            out << ' ' << list->currentItem()->text();  // the item shown chosen
        else if (auto* edit = qobject_cast<QLineEdit*>(w))
            out << ' ' << edit->displayText();  // a password shows as its dots
        out << '\n';
    }
    out.flush();
    return file.commit();
}

}  // namespace app
