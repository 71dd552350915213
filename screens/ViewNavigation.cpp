// Keyboard navigation on a screen: the forwarding controls hand their keys here, the screen's
// rules say where the focus goes, and a key that lands on a button presses it.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Text.h"
#include "screens/ControlIds.h"
#include "screens/Navigation.h"
#include "screens/QVAppView.h"
#include "xmlgui/DialogForm.h"

namespace {

bool TextIsEmpty(const QWidget* widget) {
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text().isEmpty();
    if (auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText().isEmpty();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text().isEmpty();
    return widget->windowTitle().isEmpty();
}

}  // namespace

void CQVAppView::OnNavigationKey(QWidget* control, const char*, unsigned virtualKey) {
    TakeStep(NextStep(xmlgui::ControlId(control), virtualKey), virtualKey);
}

CQVAppView::NavigationStep CQVAppView::NextStep(int current, unsigned virtualKey) {
    const char* key = screens::NavigationKeyName(virtualKey);
    if (!key)
        return {};
    CLog& log = host_.Log();
    std::string type;
    const int next = screens::getNextWigdet(settings_, current, key, &type, &log);
    return {next, next != -1 && type == "BUTTON"};
}

bool CQVAppView::TakeStep(const NavigationStep& step, unsigned virtualKey) {
    QWidget* target = step.target == -1 ? nullptr : Control(step.target);
    if (!target)
        return false;
    host_.Log().Debug(StrFormat("SetFocus to widget %d", step.target));
    target->setFocus(Qt::OtherFocusReason);
    if (step.press)
        OnRangeClickButton(step.target, virtualKey);
    return true;
}

void CQVAppView::SetInitialFocus() {
    std::vector<std::pair<int, int>> widgets;
    for (int id = screens::ids::kFields.first; id <= screens::ids::kFields.last; ++id) {
        if (QWidget* w = Control(id))
            widgets.emplace_back(id, w->mapToGlobal(QPoint(0, 0)).y());
    }
    screens::ApplyInitialFocus(
        widgets, settings_, [this](int id) { return TextIsEmpty(Control(id)); },
        [this](int id) { Control(id)->setFocus(Qt::OtherFocusReason); }, &host_.Log());
}
