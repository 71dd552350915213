#pragma once
// The per-screen entries of the mode's profile files that build a screen: configured buttons
// (pictures file), labels (screen-labels file) and combo box items (combo-box file). Numbered
// keys count from 1; a list ends at the first missing key of its leading name, so the view
// reads entry by entry, in the order its log lines follow. Values are cut at 199 characters.
#include <optional>
#include <string>

namespace screens {

struct ButtonEntry {
    int id = 0;
    // Translation ID of the caption ("ButtonTrad.%d"); the caption is drawn over the bitmaps.
    std::optional<std::wstring> trad;
    // Normal, pushed, hover and disabled bitmaps: set only when the first three all exist,
    // with or without a caption.
    bool hasBitmaps = false;
    std::wstring normal, pushed, over, disabled;
};
// "ButtonId.%d" and its companions; nothing when ButtonId.n is missing.
std::optional<ButtonEntry> ReadButtonEntry(const std::string& picturesFile,
                                           const std::string& screen, int n);

struct LabelEntry {
    int id = 0;
    int extraHeight = 0;     // "FontSize.n", 0 when missing
    std::wstring trad;       // "IdTrad.n", empty when missing
    bool mandatory = false;  // "IdMandatory.n" is "1"
    // "IdTradSuccess.n", empty when missing: the text on the end screen when the configuration
    // was applied.
    std::wstring tradSuccess;
};
// "IdCompo.n" and its companions; nothing when IdCompo.n is missing.
std::optional<LabelEntry> ReadLabelEntry(const std::string& labelsFile, const std::string& screen,
                                         int n);

struct ComboEntry {
    int id = 0;
    std::wstring trad;  // "IdTrad.n", "@1@" when missing
};
// "IdCombo.n" and its item; nothing when IdCombo.n is missing.
std::optional<ComboEntry> ReadComboEntry(const std::string& comboFile, const std::string& screen,
                                         int n);

// A label's text: the translation, or the translation ID itself when there is none; "* " in
// front for a mandatory field.
std::wstring LabelText(const std::wstring& translation, const LabelEntry& entry);

}  // namespace screens
