#pragma once
// Rules of the main frame that need no window: the screen name a service's Gui value asks
// for, and the screens that must not be kept on top.
#include <string>
#include <string_view>

// What follows the last backslash (unless it is the first character), then what precedes the
// last dot (unless it is the first): "..\gui\StateLanguage.gui" gives "StateLanguage".
std::string ScreenNameFromGui(std::string_view gui);

// The screens shown without keeping the frame on top (exact names).
bool IsNotTopmostScreen(std::string_view screen);

// The value of Modal in section PARAMS: only exactly "false" turns modal mode off (a missing
// key, "False" or "FALSE" keep it on).
bool IsModalValue(std::string_view value);
