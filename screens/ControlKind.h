#pragma once
// Control IDs by kind: buttons 1001-1040, labels 1041-1090, edits 1100-1139, list boxes
// 1200-1204, combo boxes 1300-1304, pictures 1500-1509. Qt-free, so tools can check
// configurations with the rule the screens apply.
namespace screens {

enum class ControlKind { Button, Label, Edit, ListBox, ComboBox, Picture, Plain };

// The kind of control a screen makes for an ID.
ControlKind KindOfControl(int id);

}  // namespace screens
