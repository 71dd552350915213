#include "app/ScreenName.h"

#include <array>

std::string ScreenNameFromGui(std::string_view gui) {
    size_t slash = gui.rfind('\\');
    if (slash != std::string_view::npos && slash != 0)
        gui = gui.substr(slash + 1);
    size_t dot = gui.rfind('.');
    if (dot != std::string_view::npos && dot != 0)
        gui = gui.substr(0, dot);
    return std::string(gui);
}

bool IsNotTopmostScreen(std::string_view screen) {
    static constexpr std::array<std::string_view, 5> kNames = {
        "StateConfProxy", "StateQvInfoPdv", "StateInfo2", "StateInfo2b", "StateErrInfo2"};
    for (std::string_view name : kNames) {
        if (screen == name)
            return true;
    }
    return false;
}

bool IsModalValue(std::string_view value) {
    return value != "false";
}
