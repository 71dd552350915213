#pragma once
// Turns a dialog template into the child widgets of a view: one widget per control, placed at
// its position converted from dialog units with the dialog font, tagged with its ID and class.
// The widgets come from a factory, so the screens can supply their own controls.
#include <QFont>
#include <QSize>
#include <QString>

#include "xmlgui/DialogUnits.h"
#include "xmlgui/DlgTemplate.h"

class QWidget;

namespace xmlgui {

// Dynamic properties set on every created control: its ID (int) and class name (QString).
// Its object name is "control<id>".
inline constexpr char kControlIdProperty[] = "qvControlId";
inline constexpr char kControlClassProperty[] = "qvControlClass";

class ControlFactory {
  public:
    virtual ~ControlFactory() = default;
    // The widget of one control, created as a child of parent, or null to leave the control
    // out. The caller places it, tags it and applies the visible and disabled flags.
    virtual QWidget* Create(const DlgControl& control, QWidget* parent) = 0;
};

// Plain Qt widgets: QPushButton, QLabel, QLineEdit, QListWidget, QComboBox, and a QLabel
// showing the image file named by the text for a picture.
class DefaultControlFactory : public ControlFactory {
  public:
    QWidget* Create(const DlgControl& control, QWidget* parent) override;
};

// A face the machine has, else for the Arial family Liberation Sans (same metrics) or DejaVu
// Sans; any other missing face is left to fontconfig's substitution.
QString ResolveFontFamily(const QString& face);

// The dialog font: resolved face, pixel size of the point size at dpi, normal weight.
QFont DialogFont(const DialogTemplate& dialog, int dpi);

// Base units of a font, measured as the original platform does (average width of a-z A-Z,
// character height = ascent + descent).
DialogBaseUnits BaseUnits(const QFont& font);

struct FormResult {
    QSize size;             // the dialog's pixel size, given to the view
    DialogBaseUnits units;  // used for every conversion
    int created = 0;        // controls created
};

// Gives view the dialog font and size and creates the controls in file order (which is also
// their tab order). factory null means DefaultControlFactory.
FormResult InitializeForm(QWidget* view, const DialogTemplate& dialog,
                          ControlFactory* factory = nullptr);

// Marks widget as the control id of class cls: object name "control<id>" (none for kNoId)
// and the two properties above. InitializeForm does it; a screen that replaces a control by
// another widget does it again.
void TagControl(QWidget* widget, int id, ControlClass cls);
// "control<id>", empty for kNoId.
QString ControlObjectName(int id);

// The direct child of view tagged with that ID, or null (kNoId is never found).
QWidget* FindControl(const QWidget* view, int id);
// The ID of a control created by InitializeForm, kNoId for any other widget.
int ControlId(const QWidget* widget);

}  // namespace xmlgui
