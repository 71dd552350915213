#include <gtest/gtest.h>

#include "controls/ControlsLogic.h"
#include "controls/GifWalk.h"

using namespace controls;

namespace {

// Every character is 10 pixels wide.
int Fixed10(std::wstring_view s) {
    return int(s.size()) * 10;
}

std::vector<std::wstring> Split(std::wstring_view text, int width) {
    return SplitLabelLines(text, width, Fixed10);
}

}  // namespace

TEST(LabelLines, BreaksAsExpected) {
    struct Case {
        const wchar_t* text;
        int width;
        std::vector<std::wstring> lines;
    } cases[] = {
        // "ab c" fits, "ab cd" does not: break before the blank, the blank dropped.
        {L"ab cd", 40, {L"ab", L"cd"}},
        // Only "ab " fits: that prefix ends with its blank and is kept as it is.
        {L"ab cd", 30, {L"ab ", L"cd"}},
        // A word wider than the label is broken at the last character that fits.
        {L"abcdefg", 30, {L"abc", L"def", L"g"}},
        // Break before the last blank of what fits.
        {L"aa bb cc dd", 70, {L"aa bb", L"cc dd"}},
        // CR LF pairs in either order end lines, whatever the width.
        {L"a\r\nb\n\rc", 1000, {L"a", L"b", L"c"}},
        {L"\r\n\r\nx", 1000, {L"", L"", L"x"}},
        // A lone CR or LF is an ordinary character.
        {L"a\rb", 1000, {L"a\rb"}},
        {L"", 100, {}},
        {L"text", 1000, {L"text"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Split(c.text, c.width), c.lines)
            << "text [" << Split(c.text, 1000).size() << "] width " << c.width;
    }
}

TEST(LabelLines, NoCharacterIsLostWhenWordsAreBroken) {
    std::wstring text = L"supercalifragilistic expialidocious and more";
    for (int width = 10; width <= 200; width += 10) {
        std::wstring joined;
        size_t blanksDropped = 0;
        for (const std::wstring& l : Split(text, width)) {
            EXPECT_LE(Fixed10(l), std::max(width, 10));
            joined += l;
        }
        for (wchar_t ch : text) {
            blanksDropped += ch == L' ';
        }
        std::wstring noBlanks;
        for (wchar_t ch : text) {
            if (ch != L' ') {
                noBlanks += ch;
            }
        }
        std::wstring joinedNoBlanks;
        for (wchar_t ch : joined) {
            if (ch != L' ') {
                joinedNoBlanks += ch;
            }
        }
        EXPECT_EQ(joinedNoBlanks, noBlanks) << "width " << width;
    }
}

TEST(LabelLines, NarrowerThanOneCharacterStillEnds) {
    // Zero width: each character becomes a line of its own instead of spinning.
    EXPECT_EQ(Split(L"abc", 0), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    // A huge text is split with few measurements per line.
    std::wstring huge(200000, L'x');
    int calls = 0;
    auto counting = [&](std::wstring_view s) {
        ++calls;
        return int(s.size());
    };
    auto lines = SplitLabelLines(huge, 100000, counting);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 100000u);
    EXPECT_LT(calls, 100);
}

TEST(LabelLines, WithoutWordWrapTheTextIsOneLine) {
    EXPECT_EQ(SplitLabelLines(L"ab cd\r\nef", 10, Fixed10, false),
              (std::vector<std::wstring>{L"ab cd\r\nef"}));
}

TEST(LabelText, FlagsFromStyle) {
    EXPECT_EQ(LabelTextFlags(0, L"x", 0), kDtLeft);
    EXPECT_EQ(LabelTextFlags(kSsRight, L"x", 0), kDtRight);
    EXPECT_EQ(LabelTextFlags(kSsCenter | kSsNoPrefix, L"x", 0), kDtCenter | kDtNoPrefix);
    EXPECT_EQ(LabelTextFlags(kSsEndEllipsis, L"x", 0), kDtWordEllipsis | kDtEndEllipsis);
    EXPECT_EQ(LabelTextFlags(kSsPathEllipsis, L"a\tb", 0x10),
              kDtWordEllipsis | kDtPathEllipsis | kDtExpandTabs | 0x10u);
    EXPECT_EQ(FirstLineTop(0, 3, 100, 2, 20), 3);
    EXPECT_EQ(FirstLineTop(kSsCenterImage, 3, 100, 2, 20), 30);
}

TEST(LabelText, PointsAndHeights) {
    EXPECT_EQ(PointsToHeight(12, 96), -16);
    EXPECT_EQ(PointsToHeight(8, 96), -11);  // 10.67 rounds to 11
    EXPECT_EQ(HeightToPoints(-16, 96), 12);
    EXPECT_EQ(HeightToPoints(16, 96), 12);
    EXPECT_EQ(HeightToPoints(16, 0), 0);
}

TEST(ButtonSkin, EdgeColours) {
    struct Case {
        int kind, style;
        unsigned x, expected;
    } cases[] = {
        {2, kEdgeRaised, 100, 162},  // 100 + 155 x 0.4
        {4, kEdgeRaised, 10, 6},     // 10 x 0.7 just below 7
        {2, kEdgeSunken, 10, 6},    {1, kEdgeRaised, 3, 255},   {3, kEdgeSunken, 3, 255},
        {3, kEdgeRaised, 201, 100}, {1, kEdgeSunken, 201, 100}, {4, kEdgeSunken, 100, 162},
        {1, kEdgeFlat, 77, 77},     {4, kEdgeFlat, 77, 77},     {2, kEdgeRaised, 255, 255},
        {4, kEdgeRaised, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EdgeChannel(c.kind, c.style, c.x), c.expected)
            << "kind " << c.kind << " style " << c.style << " x " << c.x;
    }
    auto e = EdgeColours(kEdgeRaised, Rgb(100, 10, 0));
    EXPECT_EQ(e[0], Rgb(255, 255, 255));
    EXPECT_EQ(e[1], Rgb(162, 108, 102));
    EXPECT_EQ(e[3], Rgb(69, 6, 0));  // 100 x 0.7 truncates to 69 as well
    EXPECT_EQ(Darken70(Rgb(10, 100, 255)), Rgb(6, 69, 178));
}

TEST(ButtonSkin, StateChoiceFirstMatchWins) {
    EXPECT_EQ(ChooseState(true, true, true, true), kStateDisabled);
    EXPECT_EQ(ChooseState(false, true, false, true), kStatePushed);
    EXPECT_EQ(ChooseState(false, false, true, true), kStatePushed);
    EXPECT_EQ(ChooseState(false, false, false, true), kStateHot);
    EXPECT_EQ(ChooseState(false, false, false, false), kStateNormal);
}

TEST(ButtonSkin, SetterConvention) {
    std::array<int, 4> heights{11, 11, 11, 11};
    ApplyStateValues(heights, 24, true, 11, 11, 11, 11);
    EXPECT_EQ(heights, (std::array<int, 4>{24, 24, 24, 24}));

    heights = {11, 11, 11, 11};
    ApplyStateValues(heights, 24, false, 11, 30, 11, 11);
    EXPECT_EQ(heights, (std::array<int, 4>{24, 11, 30, 11}));

    // A sentinel normal value leaves the normal state alone; the others copy what it holds.
    heights = {20, 11, 11, 11};
    ApplyStateValues(heights, 11, true, 11, 11, 15, 11);
    EXPECT_EQ(heights, (std::array<int, 4>{20, 20, 20, 15}));

    // The disabled argument has a sentinel of its own.
    std::array<uint32_t, 4> colours{1, 1, 1, 2};
    ApplyStateValues<uint32_t>(colours, 9, true, 1, 1, 2, 1, 2);
    EXPECT_EQ(colours, (std::array<uint32_t, 4>{9, 9, 9, 9}));
    colours = {1, 1, 1, 2};
    ApplyStateValues<uint32_t>(colours, 9, true, 1, 1, 1, 1, 2);
    EXPECT_EQ(colours, (std::array<uint32_t, 4>{9, 9, 9, 1}));
}

TEST(ButtonSkin, BitmapPlacement) {
    const Rect area{3, 3, 94, 34};
    struct Case {
        int alignment;
        Rect expected;
    } cases[] = {
        {0x20, {3, 3, 10, 6}},  {0x21, {45, 3, 10, 6}},  {0x22, {87, 3, 10, 6}},
        {0x24, {3, 17, 10, 6}}, {0x25, {45, 17, 10, 6}}, {0x26, {87, 17, 10, 6}},
        {0x28, {3, 31, 10, 6}}, {0x29, {45, 31, 10, 6}}, {0x2A, {87, 31, 10, 6}},
        {0x23, {0, 0, 10, 6}},  {0x2C, {0, 0, 10, 6}},   {0, {0, 0, 10, 6}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlaceBitmap(c.alignment, area, 10, 6), c.expected) << std::hex << c.alignment;
    }
}

TEST(ButtonSkin, OpaqueRunsSkipKeyColours) {
    const uint32_t row[] = {1, 5, 5, 2, 6, 1, 7};
    auto runs = OpaqueRuns(row, 7, 1, 2);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0], (std::pair<int, int>{1, 3}));
    EXPECT_EQ(runs[1], (std::pair<int, int>{4, 5}));
    EXPECT_EQ(runs[2], (std::pair<int, int>{6, 7}));
    EXPECT_TRUE(OpaqueRuns(row, 0, 1, 2).empty());
}

TEST(Fields, ComboHeightAndForwarding) {
    EXPECT_EQ(ComboHeight(18, 16, 5, 2), 18 + 80 + 8);
    EXPECT_EQ(ComboHeight(18, 16, 10, 2), 18 + 160 + 8);

    struct Case {
        NavKind kind;
        unsigned vk;
        bool forwarded;
        bool withheld;
    } cases[] = {
        {NavKind::Edit, 'A', false, false},        {NavKind::Edit, kVkF1 + 4, true, false},
        {NavKind::Edit, kVkF24, true, false},      {NavKind::Edit, kVkTab, true, false},
        {NavKind::Edit, kVkReturn, true, false},   {NavKind::Edit, kVkDown, true, false},
        {NavKind::Edit, kVkSpace, false, false},   {NavKind::ComboBox, kVkUp, true, true},
        {NavKind::ComboBox, kVkDown, true, true},  {NavKind::ComboBox, 'A', true, false},
        {NavKind::ComboBox, kVkLeft, true, false}, {NavKind::ListBox, kVkUp, true, false},
        {NavKind::Button, kVkSpace, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ForwardsKey(c.kind, c.vk), c.forwarded) << NavTypeName(c.kind) << " " << c.vk;
        EXPECT_EQ(WithholdsOwnProcessing(c.kind, c.vk), c.withheld)
            << NavTypeName(c.kind) << " " << c.vk;
    }
    EXPECT_STREQ(NavTypeName(NavKind::ListBox), "LISTBOX");
    EXPECT_TRUE(DigitsOnlyAccepts(L'\b'));
    EXPECT_TRUE(DigitsOnlyAccepts(L'7'));
    EXPECT_FALSE(DigitsOnlyAccepts(L'a'));
    EXPECT_FALSE(DigitsOnlyAccepts(L'-'));
    EXPECT_EQ(MeasureEditText(L"ab\r\nabcdef\nx", 50, Fixed10), 1);
    EXPECT_EQ(MeasureEditText(L"ab", 50, Fixed10), -1);
}

// ---- GIF walk ----

namespace {

std::vector<uint8_t> TwoFrameGif() {
    GifFrameSpec a{0, 0, 4, 4, std::vector<uint8_t>(16, 1), 3, 2, -1};
    GifFrameSpec b{1, 2, 2, 2, std::vector<uint8_t>(4, 2), 20, 1, -1};
    return WriteGif(4, 4, {Rgb(255, 255, 255), Rgb(255, 0, 0), Rgb(0, 0, 255)}, 0, {a, b});
}

}  // namespace

TEST(GifWalk, HeaderFramesAndExtraction) {
    auto gif = TwoFrameGif();
    GifHeader h;
    ASSERT_TRUE(ReadGifHeader(gif, h));
    EXPECT_EQ(h.width, 4);
    EXPECT_EQ(h.height, 4);
    EXPECT_EQ(h.globalTableSize, 12u);  // 4 entries
    EXPECT_TRUE(h.hasBackground);
    EXPECT_EQ(h.background, Rgb(255, 255, 255));
    EXPECT_EQ(h.dataStart, 25u);
    EXPECT_EQ(CountGifFrames(gif, h), 2u);

    auto frames = ExtractGifFrames(gif, h, 100);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].delay, 3);
    EXPECT_EQ(frames[0].disposal, 2);
    EXPECT_EQ(frames[1].left, 1);
    EXPECT_EQ(frames[1].top, 2);
    EXPECT_EQ(frames[1].width, 2);
    EXPECT_EQ(frames[1].delay, 20);
    EXPECT_EQ(frames[1].disposal, 1);
    for (const GifFrame& f : frames) {
        // A standalone GIF: the header and table, one frame, the trailer.
        ASSERT_GT(f.gif.size(), h.dataStart + 1);
        EXPECT_TRUE(std::equal(gif.begin(), gif.begin() + 25, f.gif.begin()));
        EXPECT_EQ(f.gif.back(), 0x3B);
        GifHeader fh;
        ASSERT_TRUE(ReadGifHeader(f.gif, fh));
        EXPECT_EQ(CountGifFrames(f.gif, fh), 1u);
    }
    EXPECT_EQ(ExtractGifFrames(gif, h, 1).size(), 1u);
}

TEST(GifWalk, BlockSizes) {
    // Header with no colour table, then: comment (2 + sub-blocks), application (14 + ...),
    // plain text (15 + ...), a graphic control extension (8), an image, the trailer.
    std::vector<uint8_t> d = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
    size_t comment = d.size();
    d.insert(d.end(), {0x21, 0xFE, 3, 'a', 'b', 'c', 0});
    size_t app = d.size();
    d.insert(d.end(), {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1,
                       0, 0, 0});
    size_t text = d.size();
    d.insert(d.end(), {0x21, 0x01, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 'x', 0});
    size_t gce = d.size();
    d.insert(d.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});
    size_t image = d.size();
    d.insert(d.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x80, 1, 2, 3, 4, 5, 6, 2, 2, 0x4C, 0x01, 0});
    size_t trailer = d.size();
    d.push_back(0x3B);

    EXPECT_EQ(BlockSize(d, comment), 7u);
    EXPECT_EQ(BlockSize(d, app), 19u);
    EXPECT_EQ(BlockSize(d, text), 18u);
    EXPECT_EQ(BlockSize(d, gce), 8u);
    EXPECT_EQ(BlockSize(d, image), 10u + 6u + 1u + 4u);  // local table of two entries
    EXPECT_EQ(BlockSize(d, trailer), 1u);
    EXPECT_EQ(BlockAt(d, trailer), GifBlock::Trailer);
    EXPECT_EQ(BlockAt(d, d.size()), GifBlock::None);
    GifHeader h;
    ASSERT_TRUE(ReadGifHeader(d, h));
    EXPECT_FALSE(h.hasBackground);
    EXPECT_EQ(CountGifFrames(d, h), 1u);
    auto frames = ExtractGifFrames(d, h, 10);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].delay, 0);
    // From the extension to the end of the image data.
    EXPECT_EQ(frames[0].gif.size(), 13u + (trailer - gce) + 1u);
}

TEST(GifWalk, HostileData) {
    auto gif = TwoFrameGif();
    GifHeader h;
    ASSERT_TRUE(ReadGifHeader(gif, h));
    // Every truncation: no read past the end, never more frames than the whole file.
    for (size_t n = 0; n <= gif.size(); ++n) {
        std::span<const uint8_t> part(gif.data(), n);
        GifHeader ph;
        if (!ReadGifHeader(part, ph)) {
            EXPECT_LT(n, 25u);
            continue;
        }
        EXPECT_LE(CountGifFrames(part, ph), 2u);
        EXPECT_LE(ExtractGifFrames(part, ph, 10).size(), 2u);
    }
    EXPECT_EQ(CountGifFrames(gif, h), 2u);

    // A sub-block length past the end.
    std::vector<uint8_t> bad(gif.begin(), gif.begin() + 25);
    bad.insert(bad.end(), {0x21, 0xFE, 200, 1, 2});
    ASSERT_TRUE(ReadGifHeader(bad, h));
    EXPECT_EQ(BlockSize(bad, 25), 0u);
    EXPECT_EQ(CountGifFrames(bad, h), 0u);

    // An endless run of extensions without an image: the walk ends at the end of the data.
    std::vector<uint8_t> run(gif.begin(), gif.begin() + 25);
    for (int i = 0; i < 10000; ++i) {
        run.insert(run.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});
    }
    ASSERT_TRUE(ReadGifHeader(run, h));
    EXPECT_EQ(CountGifFrames(run, h), 0u);
    EXPECT_TRUE(ExtractGifFrames(run, h, 10).empty());

    // Unknown block, header only, colour table cut short.
    std::vector<uint8_t> unknown(gif.begin(), gif.begin() + 25);
    unknown.push_back(0x99);
    ASSERT_TRUE(ReadGifHeader(unknown, h));
    EXPECT_EQ(CountGifFrames(unknown, h), 0u);
    std::vector<uint8_t> shortTable(gif.begin(), gif.begin() + 20);
    EXPECT_FALSE(ReadGifHeader(shortTable, h));
    std::vector<uint8_t> notGif = {'P', 'N', 'G'};
    EXPECT_FALSE(ReadGifHeader(notGif, h));
}

TEST(GifWalk, FrameWaits) {
    EXPECT_EQ(FrameWaitMs(3), 100);
    EXPECT_EQ(FrameWaitMs(-1), 100);
    EXPECT_EQ(FrameWaitMs(5), 50);
    EXPECT_EQ(FrameWaitMs(20), 200);
}

// Contrast ratios as the accessibility guidelines define them, on the pairs the theme uses.
TEST(Contrast, RatiosOfKnownPairs) {
    const struct {
        uint32_t a, b;
        double ratio;
    } pairs[] = {
        {controls::kWhite, controls::kBlack, 21.0},
        {controls::kWhite, controls::kWhite, 1.0},
        {controls::Rgb(0x0B, 0x5C, 0xAD), controls::kWhite, 6.67},
        {controls::kInk, controls::kWhite, 14.76},
        {controls::kPureRed, controls::kWhite, 4.0},
        {controls::Rgb(0x52, 0x60, 0x6D), controls::kWhite, 6.45},
        {controls::Rgb(0x77, 0x77, 0x77), controls::kWhite, 4.48},
    };
    for (const auto& p : pairs) {
        EXPECT_NEAR(controls::ContrastRatio(p.a, p.b), p.ratio, 0.01) << std::hex << p.a;
        EXPECT_NEAR(controls::ContrastRatio(p.b, p.a), p.ratio, 0.01) << std::hex << p.a;
    }
    // The caption colour is whichever reads better; at least 4.5 on every face of the theme.
    for (uint32_t face : {controls::Rgb(0x0B, 0x5C, 0xAD), controls::Rgb(0x08, 0x4A, 0x8C),
                          controls::Rgb(0x06, 0x3A, 0x6E), controls::Rgb(0xE3, 0xEE, 0xFA),
                          controls::Rgb(0xC9, 0xDD, 0xF2), controls::kWhite})
        EXPECT_GE(controls::ContrastRatio(controls::ReadableTextOn(face), face), 4.5)
            << std::hex << face;
    EXPECT_EQ(controls::ReadableTextOn(controls::kBlack), controls::kWhite);
    EXPECT_EQ(controls::ReadableTextOn(controls::kWhite), controls::kInk);
}
