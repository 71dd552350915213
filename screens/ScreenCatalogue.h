#pragma once
// Every screen with rules of its own, one row each: how its validation is saved, what is set up
// once it is built, and which flags paint its labels red. The view applies each where it always
// did: the set-up once the screen is built, the colours right after, the save rule when the
// screen is validated. Screens and states without a row have the generic behaviour.
#include <optional>
#include <string_view>
#include <vector>

#include "screens/DataCapture.h"
#include "screens/StateSetup.h"

namespace screens {

// The save rule of the state that shows the screen. It is chosen by that state's name
// (NameState), not by the screen's: the two are spelled differently.
struct SaveRow {
    const char* state;
    int minButton;  // the pushed button must be at least this; 0: always
    SaveRule rule;
};

// Flag n of the property governs labels[n - 1].
struct ColourRow {
    const char* property;
    std::vector<int> labels;
};

struct ScreenRules {
    std::vector<std::string_view> screens;  // exact names that share the row
    std::optional<SaveRow> save;
    ScreenSetup setup;
    std::optional<ColourRow> colours;
};

const std::vector<ScreenRules>& ScreenCatalogue();
// The row of a screen (exact, case-sensitive name); null for a screen without one.
const ScreenRules* FindScreenRules(std::string_view screen);
// The save row of a state (exact, case-sensitive name); null for the generic save.
const SaveRow* FindSaveRow(std::string_view state);

}  // namespace screens
