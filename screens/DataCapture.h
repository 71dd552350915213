#pragma once
// What a screen saves when it is validated, and where its fields come from: the per-state save
// rules of manageSaveData, the numbered entries of the infos-context and save-context profile
// sections, the invalid-data colour table of ManageColor, and the language label of
// "GeneralInfo". No widget here: the view finds its widgets by the IDs these return.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CAutomateContext;
class ZFQTranslator;

namespace screens {

// How manageSaveData stores a validated screen.
enum class SaveRule {
    Generic,             // copy edit fields into the properties of the save-context section
    LanguageReconf,      // Choices: SaveReconfigurationLanguage(B - 1007)
    LanguageInstall,     // Choices: SaveInstallationLanguage(B - 1007)
    ChoiceBorne,         // TypeBorne "others"; LastEvent 1
    PcModel,             // Choices: IdentifyPcModelType(caption of B)
    Country,             // Choices: SaveCountryAndLanguage(selection of list 1200)
    InstallationType,    // InstallationType and LastEvent = B - 1006
    InstallationTypeQV,  // InstallationType = B - 1006; LastEvent 1
    TradeMark,           // TradeMark = B - 1006; LastEvent 1
    KeyboardChoice,      // LastEvent = B - 1003
};

// The rule for a state (exact, case-sensitive name, looked up in the screen catalogue) and the
// pushed specific button B (0 when none). A row whose button condition fails falls through to
// Generic.
SaveRule ChooseSaveRule(std::string_view state, int specificButton);

// Applies a rule that only writes context values (ChoiceBorne, InstallationType,
// InstallationTypeQV, TradeMark, KeyboardChoice). Returns false, writing nothing, for Generic
// and for the three rules of Choices.h: the view runs those itself, because they need the
// pushed button's caption, the country list and the translator.
bool ApplySimpleSaveRule(SaveRule rule, int specificButton, CAutomateContext& context);

// Values of both profile sections are read through a buffer of 200 characters.
inline constexpr size_t kCaptureValueMax = 199;

// One "IdEdit.%d" entry of a state's section of the infos-context file.
struct InfosContextEntry {
    int id = 0;
    std::optional<int> size;  // "Size.%d"; none: no length limit
    std::string property;     // "Properties.%d"; "@1@" when missing
    // Labels only. "IdTrad.%d": a translation the value is shown in, at "%1"; empty when
    // missing (the value alone).
    std::string trad;
    // Labels only. "Translate.%d" is "1": the value is a translation ID, shown translated.
    bool translateValue = false;
};

// Entries n = 1, 2, ... of section in file, up to the first missing "IdEdit.%d". An entry
// without "Properties.%d" is kept (property "@1@") and is the last.
std::vector<InfosContextEntry> ReadInfosContext(std::string_view file, std::string_view section);

// The value of a property as text: an INT as a decimal number, a STRING as its UTF-8 text, a
// larger property as wide text. Nothing when the context lacks the property.
std::optional<std::wstring> ContextValueText(CAutomateContext& context, const std::string& name);

// What a label filled from the context shows: the value of the entry's property (translated
// when the entry says it is a translation ID that has a translation), in the entry's
// translation at every "%1" when it names one (the ID itself when it has no translation).
std::wstring ContextLabelText(const InfosContextEntry& entry, CAutomateContext& context,
                              ZFQTranslator& translator);

// Default of every read of the save-context file; a result equal to it means missing.
inline constexpr char kSaveContextMissing[] = "@12$@";
// Most entries a save-context section is read for.
inline constexpr int kSaveContextMax = 500;

// One "IdEdit.%d" entry of a state's section of the save-context file.
struct SaveContextEntry {
    int id = 0;
    std::string property;  // "Properties.%d"; "@12$@" when missing
};

// Entries n = 1 .. 500 of section in file whose widget the screen has (hasWidget), up to the
// first missing "IdEdit.%d". An entry for a widget the screen lacks is passed over before its
// "Properties.%d" is read, so later fields of a section several screens share are still saved;
// an entry without "Properties.%d" is kept (property "@12$@") and is the last.
std::vector<SaveContextEntry> ReadSaveContext(std::string_view file, std::string_view section,
                                              const std::function<bool(int)>& hasWidget);

// One invalid-data flag and the label it paints red when it is 1.
struct ColorRule {
    const char* property;
    int occurrence;
    int labelId;
};

// The flags a screen's labels are governed by (exact screen name), from its row of the screen
// catalogue; empty for other screens.
std::vector<ColorRule> ColorRulesFor(std::string_view screen);
// Labels of the screen whose flag reads 1 in the context.
std::vector<int> LabelsToPaintRed(std::string_view screen, CAutomateContext& context);

// What the check of a screen with invalid-data flags found wrong first.
struct InvalidEntry {
    std::string reason;  // a translation ID, or the text itself
    int field = 0;       // the edit control to put the focus on; 0: none named
};
// From InvalidReason and InvalidField; nullopt for a screen without flags or when the reason is
// empty (nothing wrong, or a configuration whose checks do not say).
std::optional<InvalidEntry> InvalidEntryFor(std::string_view screen, CAutomateContext& context);

// The state (NameState, not the screen name) whose labels show the language.
inline constexpr char kGeneralInfoState[] = "GeneralInfo";
// Replaces every U+00EF U+00BF U+00BD (a replacement character read as Latin-1) by "s".
std::wstring MendGeneralInfoLabel(std::wstring_view label);
// Text of label 1045: the label of the language in ID_LANG, mended.
std::wstring GeneralInfoLanguageLabel(CAutomateContext& context);

}  // namespace screens
