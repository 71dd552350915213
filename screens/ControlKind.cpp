#include "screens/ControlKind.h"
#include "screens/ControlIds.h"

namespace screens {

ControlKind KindOfControl(int id) {
    if (ids::kButtons.Contains(id))
        return ControlKind::Button;
    if (ids::kLabels.Contains(id))
        return ControlKind::Label;
    if (ids::kEdits.Contains(id))
        return ControlKind::Edit;
    if (ids::kListBoxes.Contains(id))
        return ControlKind::ListBox;
    if (ids::kComboBoxes.Contains(id))
        return ControlKind::ComboBox;
    if (ids::kPictures.Contains(id))
        return ControlKind::Picture;
    return ControlKind::Plain;
}

}  // namespace screens
