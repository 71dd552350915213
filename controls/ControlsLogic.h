#pragma once
// The controls' drawing and input rules as plain functions, free of Qt, so that they can be
// tested without a display. Colours are 0x00BBGGRR values.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace controls {

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool Empty() const { return w <= 0 || h <= 0; }
    bool operator==(const Rect&) const = default;
};

constexpr uint32_t Rgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr unsigned RedOf(uint32_t c) {
    return c & 0xFF;
}
constexpr unsigned GreenOf(uint32_t c) {
    return (c >> 8) & 0xFF;
}
constexpr unsigned BlueOf(uint32_t c) {
    return (c >> 16) & 0xFF;
}

// The text colours the screens highlight with: the chosen language, invalid-data labels.
inline constexpr uint32_t kPureRed = Rgb(255, 0, 0);
inline constexpr uint32_t kBlack = Rgb(0, 0, 0);

// The mark of the control that has the keyboard focus: a ring in the accent colour, a few
// pixels outside the control, with a thin white halo so that it shows on dark bands too.
inline constexpr uint32_t kFocusRingColour = Rgb(0x0B, 0x5C, 0xAD);
inline constexpr int kFocusRingWidth = 3;
inline constexpr int kFocusRingGap = 2;

// Captions on a skin take whichever of these reads better on its face: the ink of the texts on
// dark faces would fail, white on light ones.
inline constexpr uint32_t kInk = Rgb(0x1F, 0x29, 0x33);
inline constexpr uint32_t kWhite = Rgb(255, 255, 255);

// A disabled caption is drawn in its background colour darkened by 70 %: from this colour that
// gives #4A535D, 6 : 1 on the light face of a disabled skin.
inline constexpr uint32_t kDimmedCaptionBase = Rgb(0x6B, 0x77, 0x85);

// Relative luminance (0..1) of an sRGB colour, and the contrast ratio (1..21) of two colours.
double RelativeLuminance(uint32_t colour);
double ContrastRatio(uint32_t a, uint32_t b);
// kWhite or kInk, the one of higher contrast on a face of colour `face`.
uint32_t ReadableTextOn(uint32_t face);

// ---- Text-drawing flags (the values of the classic DrawText flags) ----
enum : uint32_t {
    kDtLeft = 0x0,
    kDtCenter = 0x1,
    kDtRight = 0x2,
    kDtVCenter = 0x4,
    kDtBottom = 0x8,
    kDtWordBreak = 0x10,
    kDtSingleLine = 0x20,
    kDtExpandTabs = 0x40,
    kDtNoPrefix = 0x800,
    kDtPathEllipsis = 0x4000,
    kDtEndEllipsis = 0x8000,
    kDtWordEllipsis = 0x40000,
};

// Style bits of a static control that the label keeps from its dialog template.
enum : uint32_t {
    kSsCenter = 0x1,
    kSsRight = 0x2,
    kSsNoPrefix = 0x80,
    kSsCenterImage = 0x200,
    kSsEndEllipsis = 0x4000,
    kSsPathEllipsis = 0x8000,
};

// Text flags of a label from its captured style, its text and its extra flags.
uint32_t LabelTextFlags(uint32_t capturedStyle, std::wstring_view text, uint32_t extraFlags);

// Width of a piece of text in pixels, as the current font draws it.
using MeasureFn = std::function<int(std::wstring_view)>;

// Splits a label's text into lines of at most `width` pixels: a CR LF pair (either order) ends a
// line; a too-wide line breaks before the last blank of what fits (the blank dropped), or at the
// last character that fits when there is no such blank. Without word wrap the text is one line.
// Every character but the dropped blanks and line-end pairs ends up in some line.
std::vector<std::wstring> SplitLabelLines(std::wstring_view text, int width,
                                          const MeasureFn& measure, bool wordWrap = true);

// Top of the first line: the item's top, or centred with the centre-image style.
int FirstLineTop(uint32_t capturedStyle, int itemTop, int itemHeight, int lineCount,
                 int lineHeight);

// Points <-> font height in pixels for a display of dpiY pixels per inch.
int PointsToHeight(int points, int dpiY);
int HeightToPoints(int height, int dpiY);

// ---- Skinned button ----
enum ButtonState : int {
    kStateNormal = 260,
    kStatePushed = 261,
    kStateHot = 262,
    kStateDisabled = 263,
};
constexpr int StateIndex(int state) {
    return state - kStateNormal;
}
constexpr int kStateCount = 4;

enum ButtonType : int {
    kTypePush = 270,
    kTypeCheck = 271,
    kTypeRadio = 272,
};

enum EdgeStyle : int {
    kEdgeFlat = 257,
    kEdgeRaised = 258,
    kEdgeSunken = 259,
};

// Layer-off bits of the skin build.
enum : uint32_t {
    kLayerNoBackground = 0x1,
    kLayerNoCaption = 0x2,
    kLayerNoBitmaps = 0x4,
    kLayerNoEdges = 0x8,
    kLayerNoFocus = 0x10,
};

// Caption font style bits.
enum : uint32_t {
    kFontBold = 0x20,
    kFontItalic = 0x40,
    kFontUnderline = 0x80,
    kFontStrikeOut = 0x100,
};

constexpr uint32_t kDefaultTextFormat = kDtCenter | kDtVCenter | kDtSingleLine;  // 37
constexpr int kDefaultAlignment = 0x25;
constexpr int kDefaultFontHeight = 11;

// First match of: disabled, pushed (held down or checked), hot, normal.
int ChooseState(bool disabled, bool heldDown, bool checked, bool hot);

// Edge colour channel of a kind (1 outer top-left, 2 inner top-left, 3 outer bottom-right,
// 4 inner bottom-right) for an edge style, computed with the single-precision 0.7 and 0.4 and
// truncated.
unsigned EdgeChannel(int kind, int edgeStyle, unsigned x);
uint32_t EdgeColour(int kind, int edgeStyle, uint32_t base);
// The four edge colours (kinds 1 to 4) of a state.
std::array<uint32_t, 4> EdgeColours(int edgeStyle, uint32_t base);

// 70 % of a colour, channel by channel (the embossed look of disabled captions and bitmaps).
uint32_t Darken70(uint32_t colour);

// Rectangle of a bitmap of size w x h inside `area` for an alignment value (0x20..0x2A); other
// values keep it at the origin.
Rect PlaceBitmap(int alignment, Rect area, int w, int h);

// Per-state setter: a value equal to the sentinel leaves its state unchanged; with applyToUnset
// every other state whose argument is the sentinel takes the normal state's value instead.
template <class T>
void ApplyStateValues(std::array<T, kStateCount>& dst, const T& normal, bool applyToUnset,
                      const T& pushed, const T& hot, const T& disabled, const T& sentinel,
                      const T& disabledSentinel) {
    const T* args[kStateCount] = {&normal, &pushed, &hot, &disabled};
    for (int i = 0; i < kStateCount; ++i) {
        const T& s = i == StateIndex(kStateDisabled) ? disabledSentinel : sentinel;
        const T& v = *args[i];
        if (!(v == s)) {
            dst[i] = v;
        } else if (applyToUnset && i != 0) {
            dst[i] = dst[0];
        }
    }
}
template <class T>
void ApplyStateValues(std::array<T, kStateCount>& dst, const T& normal, bool applyToUnset,
                      const T& pushed, const T& hot, const T& disabled, const T& sentinel) {
    ApplyStateValues(dst, normal, applyToUnset, pushed, hot, disabled, sentinel, sentinel);
}

// Horizontal runs of a bitmap row whose pixels are neither key colour: pairs [begin, end).
std::vector<std::pair<int, int>> OpaqueRuns(const uint32_t* row, int width, uint32_t key1,
                                            uint32_t key2);

// ---- Combo box ----
// Height of a combo box showing n list items below its selection field.
int ComboHeight(int selectionItemHeight, int listItemHeight, int visibleItems, int edgeHeight);

// ---- Key forwarding ----
enum : unsigned {
    kVkBack = 0x08,
    kVkTab = 0x09,
    kVkReturn = 0x0D,
    kVkEscape = 0x1B,
    kVkSpace = 0x20,
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
    kVkF1 = 0x70,
    kVkF24 = 0x87,
};

enum class NavKind { Button, Edit, ListBox, ComboBox };

// Control type name handed to the navigation handler ("BUTTON", "EDIT", "LISTBOX", "COMBOBOX").
const char* NavTypeName(NavKind kind);
// Whether a key-down reaches the navigation handler.
bool ForwardsKey(NavKind kind, unsigned virtualKey);
// Whether the control's own processing of the key-down is withheld (a forwarding combo box
// never moves its selection with Up or Down).
bool WithholdsOwnProcessing(NavKind kind, unsigned virtualKey);

// Characters a digits-only edit lets through: backspace and 0-9.
bool DigitsOnlyAccepts(wchar_t ch);

// Measures an edit's text line by line until one is as wide as the client area; returns the
// index of that line or -1. Nothing acts on the result.
int MeasureEditText(std::wstring_view text, int clientWidth, const MeasureFn& measure);

}  // namespace controls
