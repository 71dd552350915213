#pragma once
// The screen side of key forwarding: the forwarding controls hand their key-downs to the
// nearest ancestor widget that implements this interface (or to the handler set on them).
#include <QWidget>

namespace controls {

class NavigationHandler {
  public:
    virtual ~NavigationHandler() = default;
    // control: the control the key was pressed on; typeName: "BUTTON", "EDIT", "LISTBOX" or
    // "COMBOBOX"; virtualKey: the classic virtual-key code (0x09 Tab, 0x0D Return, 0x25-0x28
    // arrows, 0x70-0x87 F1-F24, letters and digits as their upper-case ASCII codes).
    virtual void OnNavigationKey(QWidget* control, const char* typeName, unsigned virtualKey) = 0;
};

// Virtual-key code of a Qt key (0 for keys without one).
unsigned VirtualKeyFromQt(int qtKey);

// The handler a control forwards to: the explicit one, else the nearest ancestor implementing
// the interface.
NavigationHandler* FindNavigationHandler(QWidget* control, NavigationHandler* explicitHandler);

}  // namespace controls
