#pragma once
// Keyboard navigation over a screen's rules: which widget a key leads to from the current
// one, and which widget has the focus when a screen is shown. Qt-free; the view applies the
// results.
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "screens/ScreenSettings.h"

class CLog;

namespace screens {

// The key name of a navigation key ("Tab", "return", "Left", "Up", "Right", "Down", "f1" to
// "f12"); null for every other virtual key.
const char* NavigationKeyName(unsigned virtualKey);

// The widget the key leads to from current: the first rule in file order whose key matches
// (case ignored) and whose source is current or negative; a negative target keeps current.
// -1 when no rule matches. type receives the target's widget type, empty when it has no
// widget entry.
int getNextWigdet(const ScreenSettings& settings, int current, std::string_view key,
                  std::string* type, CLog* log);

// The initial focus of a screen. widgets: every existing control of 1100-1309 as (ID, top edge
// in screen coordinates), in ascending ID order. The top-most one (the lower ID on a tie) gets
// the focus, then the first empty mandatory edit in the order of the list built from them;
// isEmpty tells whether a widget's text is empty, setFocus gives a widget the focus.
void ApplyInitialFocus(const std::vector<std::pair<int, int>>& widgets,
                       const ScreenSettings& settings, const std::function<bool(int)>& isEmpty,
                       const std::function<void(int)>& setFocus, CLog* log);

// The order of the list above: a widget strictly higher than every one before it goes to the
// front, any other to the back.
std::vector<int> FocusOrder(const std::vector<std::pair<int, int>>& widgets);

}  // namespace screens
