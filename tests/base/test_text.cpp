#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Text.h"

TEST(Text, ParseDecimalReadsLikeAtoiAndSaturates) {
    const std::vector<std::pair<std::string, int32_t>> cases = {
        {"12", 12},
        {" 7x", 7},
        {"12abc", 12},
        {"abc", 0},
        {"-3", -3},
        {"+4", 4},
        {"", 0},
        {"@1@", 0},
        {"\t\n 9", 9},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"99999999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-99999999999999999999", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ParseDecimal(text), value) << text;
}

TEST(Text, ParseDecimalOfWideText) {
    const std::pair<const wchar_t*, int32_t> cases[] = {
        {L"12", 12},
        {L"12abc", 12},
        {L"  -7", -7},
        {L"+5", 5},
        {L"abc", 0},
        {L"", 0},
        {L"-", 0},
        {L"\t 3 4", 3},
        {L"99999999999", 2147483647},
        {L"-99999999999", -2147483647 - 1},
        {L"2147483647", 2147483647},
        {L"-2147483648", -2147483647 - 1},
    };
    for (auto [text, value] : cases)
        EXPECT_EQ(ParseDecimal(text), value) << testing::PrintToString(std::wstring(text));
}

TEST(Text, CopyToFieldCutsOnACharacterBoundary) {
    char field[5];
    EXPECT_TRUE(CopyToField(field, sizeof field, "abcd"));
    EXPECT_STREQ(field, "abcd");
    EXPECT_FALSE(CopyToField(field, sizeof field, "abc\xC3\xA9"));
    EXPECT_STREQ(field, "abc");
    EXPECT_FALSE(CopyToField(field, sizeof field, "\xE2\x82\xAC\xE2\x82\xAC"));
    EXPECT_STREQ(field, "\xE2\x82\xAC");
}

TEST(Text, WidenAndNarrowRoundTrip) {
    const std::string utf8 = "caf\xC3\xA9 \xF0\x9F\x98\x80";
    EXPECT_EQ(Widen(utf8), L"caf\u00e9 \U0001F600");
    EXPECT_EQ(Narrow(Widen(utf8)), utf8);
    EXPECT_EQ(Widen("a\xFF"
                    "b"),
              L"a\uFFFDb");
}
