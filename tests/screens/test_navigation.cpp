// Navigation rules as a look-up, and the order that chooses a screen's initial focus.
#include <gtest/gtest.h>

#include <set>

#include "screens/Navigation.h"

using screens::NavigationRule;
using screens::ScreenSettings;
using screens::WidgetSetting;

namespace {

ScreenSettings Settings(std::vector<NavigationRule> rules, std::vector<WidgetSetting> widgets) {
    ScreenSettings s;
    s.rules = std::move(rules);
    s.widgets = std::move(widgets);
    return s;
}

TEST(GetNextWidget, FollowsTheFirstMatchingRuleInFileOrder) {
    const ScreenSettings s = Settings(
        {
            {"Tab", -1, 1101},
            {"Tab", 1100, 1102},
            {"TAB", 1102, 1001},
            {"F1", 1100, 1001},
            {"Down", 1200, -5},
            {"Left", 1100, 9999},
        },
        {{"EDIT", 1101, true}, {"BUTTON", 1001, false}, {"LISTBOX", 1200, false}});
    const struct {
        int current;
        const char* key;
        int next;
        const char* type;
    } cases[] = {
        {1100, "Tab", 1101, "EDIT"},      // any-widget rule listed first wins
        {1102, "Tab", 1101, "EDIT"},      // still the first rule
        {1100, "tab", 1101, "EDIT"},      // case ignored
        {1100, "f1", 1001, "BUTTON"},     // "F1" in the file matches the key name f1
        {1200, "Down", 1200, "LISTBOX"},  // negative target: the focus stays
        {1100, "Left", 9999, ""},         // target without widget entry: no type
        {1100, "Up", -1, ""},             // no rule
        {1101, "f1", -1, ""},             // rule for another source
    };
    for (const auto& c : cases) {
        std::string type = "stale";
        EXPECT_EQ(screens::getNextWigdet(s, c.current, c.key, &type, nullptr), c.next)
            << c.current << " " << c.key;
        EXPECT_EQ(type, c.type) << c.current << " " << c.key;
    }
}

TEST(GetNextWidget, ARuleWithSourceZeroEndsTheTable) {
    const ScreenSettings s =
        Settings({{"Tab", 1100, 1101}, {"Tab", 1101, 1102}, {"", 0, 0}, {"Tab", 1102, 1001}}, {});
    EXPECT_EQ(screens::getNextWigdet(s, 1101, "Tab", nullptr, nullptr), 1102);
    EXPECT_EQ(screens::getNextWigdet(s, 1102, "Tab", nullptr, nullptr), -1);
}

TEST(GetNextWidget, TheTypeComesFromTheFirstEntryBeforeAnIdZero) {
    const ScreenSettings s =
        Settings({{"Tab", -1, 1001}}, {{"button", 1001, false}, {"BUTTON", 1001, false}});
    std::string type;
    screens::getNextWigdet(s, 1100, "Tab", &type, nullptr);
    EXPECT_EQ(type, "button");
    const ScreenSettings hidden =
        Settings({{"Tab", -1, 1001}}, {{"EDIT", 0, false}, {"BUTTON", 1001, false}});
    screens::getNextWigdet(hidden, 1100, "Tab", &type, nullptr);
    EXPECT_EQ(type, "");
}

TEST(NavigationKeyName, MapsTheNavigationKeysOnly) {
    EXPECT_STREQ(screens::NavigationKeyName(0x09), "Tab");
    EXPECT_STREQ(screens::NavigationKeyName(0x0D), "return");
    EXPECT_STREQ(screens::NavigationKeyName(0x25), "Left");
    EXPECT_STREQ(screens::NavigationKeyName(0x28), "Down");
    EXPECT_STREQ(screens::NavigationKeyName(0x70), "f1");
    EXPECT_STREQ(screens::NavigationKeyName(0x7B), "f12");
    for (unsigned other : {0x7Cu, 0x20u, 0x41u, 0x08u, 0u})
        EXPECT_EQ(screens::NavigationKeyName(other), nullptr) << other;
}

TEST(InitialFocus, TheHighestWidgetGoesFirstAndTheFirstEmptyMandatoryEditWins) {
    // (ID, top): 1100 at 50, 1101 at 20 (higher), 1102 at 20 (same height), 1200 at 5.
    const std::vector<std::pair<int, int>> widgets = {
        {1100, 50}, {1101, 20}, {1102, 20}, {1200, 5}};
    EXPECT_EQ(screens::FocusOrder(widgets), (std::vector<int>{1200, 1101, 1100, 1102}));

    const ScreenSettings s = Settings({}, {{"LISTBOX", 1200, false},
                                           {"edit", 1101, true},
                                           {"EDIT", 1100, true},
                                           {"EDIT", 1102, true}});
    std::vector<int> focused;
    std::set<int> filled = {1101};
    screens::ApplyInitialFocus(
        widgets, s, [&](int id) { return !filled.count(id); },
        [&](int id) { focused.push_back(id); }, nullptr);
    EXPECT_EQ(focused, (std::vector<int>{1200, 1100}));
}

TEST(InitialFocus, AWidgetWithoutEntryStopsTheSearch) {
    const std::vector<std::pair<int, int>> widgets = {{1100, 10}, {1101, 20}};
    const ScreenSettings s = Settings({}, {{"EDIT", 1101, true}});
    std::vector<int> focused;
    screens::ApplyInitialFocus(
        widgets, s, [](int) { return true; }, [&](int id) { focused.push_back(id); }, nullptr);
    EXPECT_EQ(focused, (std::vector<int>{1100}));
    focused.clear();
    screens::ApplyInitialFocus(
        {}, s, [](int) { return true; }, [&](int id) { focused.push_back(id); }, nullptr);
    EXPECT_TRUE(focused.empty());
}

}  // namespace
