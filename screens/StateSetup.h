#pragma once
// The last step of building a screen (SetupStateScreen): the vertical layout adapted to the
// font the dialog template produced, then the set-up particular to the screen, chosen by its
// name. The view owns the widgets; these functions decide what it does with them.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "screens/CountryTable.h"

class CAutomateContext;
class CLog;
class ZFQTranslator;

namespace screens {

// ---- Layout adaptation

// Multipliers of the view's font against the one the screens were laid out with (a character
// height of 16 pixels), rounded to two decimals.
struct LayoutScale {
    double multX = 1.0;  // only logged
    double multY = 1.0;
};

// 100 / ((100 * width) div 700) and 100 / ((100 * height) div 16). Nullopt when a divisor is
// not positive (a width below 7 or a height of 0): there is nothing sound to scale by.
std::optional<LayoutScale> ComputeLayoutScale(int maxCharWidth, int charHeight);
// Rounds through a two-decimal text and back, whatever the locale.
double RoundToHundredths(double value);

// Logs the metrics and multipliers ("char set %d", "Base X: %d BaseY :%d",
// "Mult X: %lf MultY :%lf", "Need To resize") and returns the MultY to move the controls by;
// nullopt when nothing moves (MultY exactly 1.0, or metrics that give no multiplier).
std::optional<double> PlanLayoutAdaptation(int charSet, int maxCharWidth, int charHeight,
                                           CLog& log);

struct VerticalSpan {
    int top = 0;
    int bottom = 0;
};
// New top and bottom of a control (truncated); IDs below 1010 get 4 more pixels at the bottom.
// The view keeps left edge and width.
VerticalSpan ScaleVerticalSpan(int controlId, VerticalSpan span, double multY);

// ---- Per-screen set-up

enum class SetupKind {
    None,
    ConnectionPicture,     // picture 1501 shows pictureFormat with PCModelType
    PreselectFirstChoice,  // button 1007 checked, focused, selected look, markers 1500/1501
    PasswordEdits,         // editIds show "*" for every character
    DigitsOnlyEdits,       // editIds accept 0-9 and Backspace only
    EndResult,             // label 1043: EndResultText
    CountryList,           // list 1200: CountryListNames, first selected
    KeyboardPicture,       // picture 1501: KeyboardPicturePath(CorrectKeyboardIndex)
    LanguageButtons,       // PlanLanguageButtons
    Summary,               // SummaryLines in the caption and value labels
    ApplyProgress,         // label 1043: ApplyProgressText
};

struct ScreenSetup {
    SetupKind kind = SetupKind::None;
    const char* pictureFormat = nullptr;  // "%S" stands for PCModelType
    const char* pictureLogLine = nullptr;
    const char* missingPictureLine = nullptr;  // at ERR
    std::vector<int> editIds;
    bool reconfiguration = false;  // language buttons of "StateLanguageR"
    // INT property that keeps the choice button pushed last, so that a screen shown again
    // shows it chosen; a configuration that does not declare it starts on the first choice.
    const char* choiceProperty = nullptr;
    // VOID property that keeps the pushed choice's caption, for the summary before the apply.
    const char* captionProperty = nullptr;
};

// The choice button to show chosen: the one the screen's choice property keeps when the screen
// has it (hasButton), else the first.
int PreselectedChoice(const ScreenSetup& setup, CAutomateContext& context,
                      const std::function<bool(int)>& hasButton);

// The set-up of a screen (exact name), from its row of the screen catalogue; kind None for
// screens without one.
ScreenSetup ScreenSetupFor(std::string_view screen);

// The connection picture's path for the PCModelType in the context, with its log line; the ERR
// line and nullopt when the screen has no picture 1501.
std::optional<std::string> ConnectionPicture(const ScreenSetup& setup, bool hasPicture,
                                             CAutomateContext& context, CLog& log);

// Text of label 1043 on "StateEnd3": translation "id0070" when AnalyseState reads 0; when it
// does not and a step of the apply failed (ApplyFailedStep), a line that names the step.
std::optional<std::wstring> EndResultText(CAutomateContext& context, ZFQTranslator& translator);

// The step of the apply that runs and how far the run is ("Step 2 / 5: Locale"), from
// ApplyStep (a translation ID), ApplyStepNumber and ApplyStepCount.
std::wstring ApplyProgressText(CAutomateContext& context, ZFQTranslator& translator);

// The labels of the end screen and their texts when AnalyseState reads 0: every label entry of
// the screen's section of labelsFile with a success text ("IdTradSuccess.n") gets it, so each
// flow says what it did; a section without any gives label 1043 EndResultText. When the
// configuration was not applied the labels keep their "IdTrad.n" texts, but for label 1043
// naming the step that failed.
std::vector<std::pair<int, std::wstring>> EndResultTexts(CAutomateContext& context,
                                                         ZFQTranslator& translator,
                                                         const std::string& labelsFile,
                                                         const std::string& screen);

// ---- Keyboard picture

inline constexpr int kKeyboardIndexMin = 1;
inline constexpr int kKeyboardIndexMax = 24;
// An index outside 1 .. 24 becomes 1.
int KeyboardIndexOrDefault(int index);
// Reads KeyboardIndex, writes 1 back when it is out of range, and returns the index to show.
int CorrectKeyboardIndex(CAutomateContext& context);
// "..\pictures\keyb%d.bmp".
std::string KeyboardPicturePath(int index);

// ---- Language buttons

struct LanguageButton {
    int buttonId = 0;
    int entry = 0;  // index in language.ini
    std::wstring label;
    std::wstring face;     // "PoliceButton.%d", default "Arial"
    int height = 0;        // "Size.%d" (default 20) + 4, + 10 for entry 16
    bool current = false;  // the language in ID_LANG: checked, red, focused
};

// The language buttons a screen has: 1007, 1008, ... up to the first it lacks (hasButton), 1039
// at the latest.
std::vector<int> LanguageButtonIds(const std::function<bool(int)>& hasButton);

// The buttons of LanguageButtonIds paired with the entries of language.ini in step. On the
// reconfiguration screen an entry with a fallback gets no button. Entries past the end of the
// file pair with any buttons left over (empty labels).
std::vector<LanguageButton> PlanLanguageButtons(bool reconfiguration, std::string_view idLang,
                                                const std::function<bool(int)>& hasButton);

// ---- Summary before the apply

struct SummaryLine {
    std::wstring caption;  // translated
    std::wstring value;
};
// Every choice of the run as the context holds it, in the operator's language: language,
// keyboard layout, country, installation type, brand, PC model, kiosk (for a kiosk), proxy,
// shop and address. A choice the run did not make is left out; no proxy says so.
std::vector<SummaryLine> SummaryLines(CAutomateContext& context, ZFQTranslator& translator);

// ---- Country list

// Names of the countries of the current language (ID_LANG), in table order, empty names left
// out. An unreadable table logs "Can not ReadFile KSOCountries.csv" at ERR and gives none.
std::vector<std::wstring> CountryListNames(CAutomateContext& context, ZFQTranslator& translator,
                                           CLog& log, const std::string& table = kCountryTable);

struct CountryListing {
    std::vector<std::wstring> names;
    int initialRow = 0;  // -1 when there are no names
};
// The names of CountryListNames and the row to start on: the country chosen last (CodePays)
// when the list has it, else the country of the language entry (its "Country.%d"), else the
// first.
CountryListing CountryListFor(CAutomateContext& context, ZFQTranslator& translator, CLog& log,
                              const std::string& table = kCountryTable);

}  // namespace screens
