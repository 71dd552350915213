#pragma once
// The controls of a screen, chosen by control ID: skinned buttons 1001-1040, gradient labels
// 1041-1090, key-forwarding edits 1100-1139, list boxes 1200-1204, combo boxes 1300-1304 and
// animated pictures 1500-1509. Any other ID keeps the dialog library's plain widget. The dialog
// file's text and style words still apply.
#include "screens/ControlKind.h"
#include "xmlgui/DialogForm.h"

namespace screens {

class ScreenControlFactory : public xmlgui::ControlFactory {
  public:
    QWidget* Create(const xmlgui::DlgControl& control, QWidget* parent) override;

  private:
    xmlgui::DefaultControlFactory plain_;
};

}  // namespace screens
