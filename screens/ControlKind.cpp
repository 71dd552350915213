#include "screens/ControlKind.h"

namespace screens {

ControlKind KindOfControl(int id) {
    if (id >= 1001 && id <= 1040)
        return ControlKind::Button;
    if (id >= 1041 && id <= 1090)
        return ControlKind::Label;
    if (id >= 1100 && id <= 1139)
        return ControlKind::Edit;
    if (id >= 1200 && id <= 1204)
        return ControlKind::ListBox;
    if (id >= 1300 && id <= 1304)
        return ControlKind::ComboBox;
    if (id >= 1500 && id <= 1509)
        return ControlKind::Picture;
    return ControlKind::Plain;
}

}  // namespace screens
