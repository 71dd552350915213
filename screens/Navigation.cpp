#include "screens/Navigation.h"

#include <deque>

#include "base/Log.h"
#include "base/Text.h"

namespace screens {

namespace {

constexpr unsigned kVkTab = 0x09;
constexpr unsigned kVkReturn = 0x0D;
constexpr unsigned kVkLeft = 0x25;
constexpr unsigned kVkUp = 0x26;
constexpr unsigned kVkRight = 0x27;
constexpr unsigned kVkDown = 0x28;
constexpr unsigned kVkF1 = 0x70;
constexpr unsigned kVkF12 = 0x7B;

}  // namespace

const char* NavigationKeyName(unsigned virtualKey) {
    static const char* const kFunctionKeys[] = {"f1", "f2", "f3", "f4",  "f5",  "f6",
                                                "f7", "f8", "f9", "f10", "f11", "f12"};
    switch (virtualKey) {
        case kVkTab:
            return "Tab";
        case kVkReturn:
            return "return";
        case kVkLeft:
            return "Left";
        case kVkUp:
            return "Up";
        case kVkRight:
            return "Right";
        case kVkDown:
            return "Down";
        default:
            break;
    }
    if (virtualKey >= kVkF1 && virtualKey <= kVkF12)
        return kFunctionKeys[virtualKey - kVkF1];
    return nullptr;
}

int getNextWigdet(const ScreenSettings& settings, int current, std::string_view key,
                  std::string* type, CLog* log) {
    if (type)
        type->clear();
    if (log)
        log->Debug(StrFormat("Key [%.*s] pushed on widget [%d]", static_cast<int>(key.size()),
                             key.data(), current));
    int next = -1;
    bool found = false;
    for (const NavigationRule& rule : settings.rules) {
        if (rule.source == 0)
            break;
        if (EqualsNoCase(rule.key, key) && (rule.source < 0 || rule.source == current)) {
            next = rule.target;
            found = true;
            break;
        }
    }
    if (!found)
        return -1;
    if (log)
        log->Debug(StrFormat("getNextWigdet - Next Widget Is %d", next));
    if (next < 0) {
        next = current;
        if (log)
            log->Debug(StrFormat("getNextWigdet - Next Widget Is Same Current Widget %d", next));
    }
    if (const WidgetSetting* widget = settings.FindWidget(next)) {
        if (type)
            *type = widget->type;
        if (log)
            log->Debug(StrFormat("getNextWigdet - Next Widget Type %s", widget->type.c_str()));
    }
    return next;
}

std::vector<int> FocusOrder(const std::vector<std::pair<int, int>>& widgets) {
    std::deque<int> order;
    bool any = false;
    int highest = 0;
    for (const auto& [id, top] : widgets) {
        if (!any || top < highest) {
            order.push_front(id);
            highest = top;
            any = true;
        } else {
            order.push_back(id);
        }
    }
    return {order.begin(), order.end()};
}

void ApplyInitialFocus(const std::vector<std::pair<int, int>>& widgets,
                       const ScreenSettings& settings, const std::function<bool(int)>& isEmpty,
                       const std::function<void(int)>& setFocus, CLog* log) {
    const std::vector<int> order = FocusOrder(widgets);
    if (!order.empty()) {
        setFocus(order.front());
        if (log)
            log->Debug(StrFormat("SetEditInformations focus on top widget [%d]", order.front()));
    }
    if (log)
        log->Debug(
            StrFormat("SetEditInformations [%d] Widgets found", static_cast<int>(order.size())));
    for (int id : order) {
        // Only the first 100 entries count, and an entry with id 0 ends them.
        const WidgetSetting* widget = settings.FindWidget(id);
        if (!widget) {
            if (log)
                log->Warning(StrFormat("SetEditInformations Widget [%d] not found", id));
            return;
        }
        if (EqualsNoCase(widget->type, "EDIT") && widget->mandatory && isEmpty(id)) {
            if (log)
                log->Debug(StrFormat("SetEditInformations focus Edit [%d]", id));
            setFocus(id);
            return;
        }
    }
}

}  // namespace screens
