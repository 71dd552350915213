#pragma once
// The control IDs of a screen, by kind and by role: the one place the screens, the application
// (answer files, recording) and the tools take them from. Dialog files give controls these fixed
// IDs; what a control does follows from its ID alone. Qt-free.
namespace screens {

struct IdRange {
    int first;
    int last;
    constexpr bool Contains(int id) const { return id >= first && id <= last; }
};

namespace ids {

// ---- Kinds: the object a screen makes for an ID
inline constexpr IdRange kButtons{1001, 1040};
inline constexpr IdRange kLabels{1041, 1090};
inline constexpr IdRange kEdits{1100, 1139};
inline constexpr IdRange kListBoxes{1200, 1204};
inline constexpr IdRange kComboBoxes{1300, 1304};
inline constexpr IdRange kPictures{1500, 1509};

// ---- Buttons
// Validate: saves what the screen holds, then raises event 1.
inline constexpr int kValidate = 1001;
// Buttons that leave the screen: each raises the event of its ID less 1000.
inline constexpr IdRange kEventButtons{1001, 1006};
inline constexpr int kEventBase = 1000;
// Choice buttons; the "specific button" of a screen is the first pushed one of them. Language
// buttons are choice buttons too.
inline constexpr IdRange kChoiceButtons{1007, 1039};
inline constexpr int kFirstChoice = kChoiceButtons.first;
// The choice buttons kept exclusive by a press on one of them.
inline constexpr IdRange kChoiceGroup{1007, 1030};

// ---- Labels
inline constexpr int kTitleLabel = 1041;
// The labels that turn red for invalid data.
inline constexpr IdRange kInvalidDataLabels{1042, 1056};
inline constexpr int kResultLabel = 1043;
inline constexpr int kGeneralInfoLanguageLabel = 1045;
inline constexpr int kGeneralInfoSecondLabel = 1046;
// The summary before the apply: a caption and a value label for each line.
inline constexpr IdRange kSummaryCaptions{1061, 1070};
inline constexpr IdRange kSummaryValues{1071, 1080};
// The line that says what is wrong with the first wrong field.
inline constexpr int kReasonLabel = 1089;

// ---- Fields and lists
// Edit fields filled from the context start here; combo boxes from kComboBoxes.first on.
inline constexpr int kFirstEdit = kEdits.first;
inline constexpr int kCountryList = 1200;
// The fields, lists and combo boxes, in the order the initial focus scans them.
inline constexpr IdRange kFields{1100, 1309};

// ---- Pictures
// The markers left and right of the chosen button; 1501 is also the picture of the connection
// and keyboard screens.
inline constexpr int kLeftPicture = 1500;
inline constexpr int kRightPicture = 1501;

// ---- Layout
// The controls that move when the layout follows the dialog font.
inline constexpr IdRange kLayout{1000, 1399};
// Below this ID a moved control also grows by 4 pixels.
inline constexpr int kLayoutGrowBelow = 1010;

}  // namespace ids
}  // namespace screens
