#include "screens/ScreenControlFactory.h"

#include <QAbstractItemView>

#include "base/Text.h"
#include "controls/AnimatedPicture.h"
#include "controls/GradientLabel.h"
#include "controls/SkinControls.h"
#include "platform/Paths.h"

using controls::NavButton;
using controls::NavComboBox;
using controls::NavEdit;
using controls::NavListBox;

using xmlgui::DlgControl;

namespace screens {

namespace {

Qt::FocusPolicy FocusPolicyOf(uint32_t style) {
    return (style & xmlgui::kWsTabStop) ? Qt::StrongFocus : Qt::ClickFocus;
}

Qt::Alignment HorizontalAlignment(uint32_t style) {
    // Centre and right are the same bits for statics and edits.
    if (style & xmlgui::kSsRight)
        return Qt::AlignRight;
    if (style & xmlgui::kSsCenter)
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

QWidget* MakeButton(const DlgControl& c, QWidget* parent) {
    auto* b = new NavButton(parent);
    if (!c.text.empty())
        b->SetCaptions(c.text, true);
    // Return and Enter follow the screen's rules: no default button.
    b->setFocusPolicy(FocusPolicyOf(c.style));
    return b;
}

QWidget* MakeEdit(const DlgControl& c, QWidget* parent) {
    auto* e = new NavEdit(parent);
    e->setText(QString::fromStdWString(c.text));
    e->setAlignment(HorizontalAlignment(c.style) | Qt::AlignVCenter);
    if (c.style & xmlgui::kEsPassword)
        e->setEchoMode(QLineEdit::Password);
    e->setReadOnly(c.style & xmlgui::kEsReadOnly);
    e->SetDigitsOnly(c.style & xmlgui::kEsNumber);
    e->setFrame(c.style & xmlgui::kWsBorder);
    e->setFocusPolicy(FocusPolicyOf(c.style));
    return e;
}

QWidget* MakeListBox(const DlgControl& c, QWidget* parent) {
    auto* l = new NavListBox(parent);
    l->setSortingEnabled(c.style & xmlgui::kLbsSort);
    l->setFocusPolicy(FocusPolicyOf(c.style));
    return l;
}

QWidget* MakeComboBox(const DlgControl& c, QWidget* parent) {
    auto* box = new NavComboBox(parent);
    const uint32_t type = c.style & xmlgui::kCbsTypeMask;
    box->setEditable(type == xmlgui::kCbsSimple || type == xmlgui::kCbsDropDown);
    if (box->isEditable())
        box->setEditText(QString::fromStdWString(c.text));
    if (c.style & xmlgui::kWsVScroll)
        box->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    box->setFocusPolicy(FocusPolicyOf(c.style));
    return box;
}

QWidget* MakePicture(const DlgControl& c, QWidget* parent) {
    auto* p = new AnimatedPicture(parent);
    if (!c.text.empty() &&
        p->LoadFile(QString::fromStdString(platform::NativePath(Narrow(c.text)))))
        p->Start();
    return p;
}

}  // namespace

QWidget* ScreenControlFactory::Create(const DlgControl& control, QWidget* parent) {
    switch (KindOfControl(control.id)) {
        case ControlKind::Button:
            return MakeButton(control, parent);
        case ControlKind::Label: {
            auto* label = new CGradientLabel(parent, control.style);
            label->SetText(control.text);
            return label;
        }
        case ControlKind::Edit:
            return MakeEdit(control, parent);
        case ControlKind::ListBox:
            return MakeListBox(control, parent);
        case ControlKind::ComboBox:
            return MakeComboBox(control, parent);
        case ControlKind::Picture:
            return MakePicture(control, parent);
        case ControlKind::Plain:
            break;
    }
    return plain_.Create(control, parent);
}

}  // namespace screens
