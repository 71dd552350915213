#include "controls/ControlsLogic.h"

#include <algorithm>
#include <cmath>

namespace controls {

uint32_t LabelTextFlags(uint32_t style, std::wstring_view text, uint32_t extraFlags) {
    uint32_t flags = kDtLeft;
    if (style & kSsRight) {
        flags |= kDtRight;
    }
    if (style & kSsCenter) {
        flags |= kDtCenter;
    }
    if (style & kSsNoPrefix) {
        flags |= kDtNoPrefix;
    }
    if (style & (kSsEndEllipsis | kSsPathEllipsis)) {
        flags |= kDtWordEllipsis;
        if (style & kSsEndEllipsis) {
            flags |= kDtEndEllipsis;
        }
        if (style & kSsPathEllipsis) {
            flags |= kDtPathEllipsis;
        }
    }
    if (text.find(L'\t') != std::wstring_view::npos) {
        flags |= kDtExpandTabs;
    }
    return flags | extraFlags;
}

namespace {

bool IsLineEndPair(wchar_t a, wchar_t b) {
    return (a == L'\r' && b == L'\n') || (a == L'\n' && b == L'\r');
}

// Length of the shortest prefix of `rest` (at most `limit` characters) wider than `width`, or 0
// when all of them fit. Text widths grow with the prefix, so a binary search finds the same
// prefix as walking them one character at a time, with a logarithmic number of measurements.
size_t FirstTooWide(std::wstring_view rest, size_t limit, int width, const MeasureFn& measure) {
    if (limit == 0 || measure(rest.substr(0, limit)) <= width) {
        return 0;
    }
    size_t lo = 1;
    size_t hi = limit;  // measure(hi) > width
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (measure(rest.substr(0, mid)) > width) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return hi;
}

}  // namespace

std::vector<std::wstring> SplitLabelLines(std::wstring_view text, int width,
                                          const MeasureFn& measure, bool wordWrap) {
    std::vector<std::wstring> lines;
    if (!wordWrap) {
        if (!text.empty()) {
            lines.emplace_back(text);
        }
        return lines;
    }
    std::wstring_view rest = text;
    while (!rest.empty()) {
        // The walk ends at the first line-end pair: prefixes up to just before it are measured.
        size_t pairEnd = 0;  // prefix length that completes the first pair
        for (size_t i = 1; i < rest.size(); ++i) {
            if (IsLineEndPair(rest[i - 1], rest[i])) {
                pairEnd = i + 1;
                break;
            }
        }
        size_t measurable = pairEnd ? pairEnd - 1 : rest.size();
        size_t tooWide = FirstTooWide(rest, measurable, width, measure);
        if (tooWide == 0) {
            if (pairEnd) {
                lines.emplace_back(rest.substr(0, pairEnd - 2));
                rest.remove_prefix(pairEnd);
                continue;
            }
            lines.emplace_back(rest);
            break;
        }
        std::wstring_view fits = rest.substr(0, tooWide - 1);
        if (fits.empty()) {
            // Not even one character fits: it gets a line of its own so the walk moves on.
            lines.emplace_back(rest.substr(0, 1));
            rest.remove_prefix(1);
            continue;
        }
        size_t blank = fits.find_last_of(L' ');
        if (blank == std::wstring_view::npos || blank == fits.size() - 1) {
            lines.emplace_back(fits);
            rest.remove_prefix(fits.size());
        } else {
            lines.emplace_back(fits.substr(0, blank));
            rest.remove_prefix(blank + 1);
        }
    }
    return lines;
}

int FirstLineTop(uint32_t style, int itemTop, int itemHeight, int lineCount, int lineHeight) {
    if (style & kSsCenterImage) {
        int64_t used = int64_t(lineCount) * lineHeight;
        return int((int64_t(itemHeight) - used) / 2);
    }
    return itemTop;
}

int PointsToHeight(int points, int dpiY) {
    return -int(std::lround(double(points) * dpiY / 72.0));
}

int HeightToPoints(int height, int dpiY) {
    if (dpiY <= 0) {
        return 0;
    }
    return int(std::lround(std::fabs(double(height) * 72.0 / dpiY)));
}

int ChooseState(bool disabled, bool heldDown, bool checked, bool hot) {
    if (disabled) {
        return kStateDisabled;
    }
    if (heldDown || checked) {
        return kStatePushed;
    }
    if (hot) {
        return kStateHot;
    }
    return kStateNormal;
}

unsigned EdgeChannel(int kind, int edgeStyle, unsigned x) {
    x &= 0xFF;
    // The factors are the single-precision constants; the products are not rounded back to
    // single precision, so 10 x 0.7 stays just below 7 and truncates to 6.
    const double k07 = double(0.7f);
    const double k04 = double(0.4f);
    const double k05 = double(0.5f);
    auto lighter = [&] { return unsigned(double(x) + double(255 - x) * k04); };
    switch (edgeStyle) {
        case kEdgeRaised:
            switch (kind) {
                case 1:
                    return 255;
                case 2:
                    return lighter();
                case 3:
                    return unsigned(double(x) * k05);
                case 4:
                    return unsigned(double(x) * k07);
            }
            break;
        case kEdgeSunken:
            switch (kind) {
                case 1:
                    return unsigned(double(x) * k05);
                case 2:
                    return unsigned(double(x) * k07);
                case 3:
                    return 255;
                case 4:
                    return lighter();
            }
            break;
        default:
            break;
    }
    return x;
}

uint32_t EdgeColour(int kind, int edgeStyle, uint32_t base) {
    return Rgb(EdgeChannel(kind, edgeStyle, RedOf(base)),
               EdgeChannel(kind, edgeStyle, GreenOf(base)),
               EdgeChannel(kind, edgeStyle, BlueOf(base)));
}

std::array<uint32_t, 4> EdgeColours(int edgeStyle, uint32_t base) {
    return {EdgeColour(1, edgeStyle, base), EdgeColour(2, edgeStyle, base),
            EdgeColour(3, edgeStyle, base), EdgeColour(4, edgeStyle, base)};
}

double RelativeLuminance(uint32_t colour) {
    auto linear = [](unsigned v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(RedOf(colour)) + 0.7152 * linear(GreenOf(colour)) +
           0.0722 * linear(BlueOf(colour));
}

double ContrastRatio(uint32_t a, uint32_t b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

uint32_t ReadableTextOn(uint32_t face) {
    return ContrastRatio(kWhite, face) >= ContrastRatio(kInk, face) ? kWhite : kInk;
}

uint32_t Darken70(uint32_t c) {
    const double k = double(0.7f);
    return Rgb(unsigned(RedOf(c) * k), unsigned(GreenOf(c) * k), unsigned(BlueOf(c) * k));
}

Rect PlaceBitmap(int alignment, Rect area, int w, int h) {
    Rect r{0, 0, w, h};
    if (alignment < 0x20 || alignment > 0x2A || (alignment & 3) == 3) {
        return r;
    }
    switch (alignment & 3) {
        case 0:
            r.x = area.x;
            break;
        case 1:
            r.x = area.x + (area.w - w) / 2;
            break;
        case 2:
            r.x = area.x + area.w - w;
            break;
    }
    switch (alignment & 0xC) {
        case 0:
            r.y = area.y;
            break;
        case 4:
            r.y = area.y + (area.h - h) / 2;
            break;
        case 8:
            r.y = area.y + area.h - h;
            break;
        default:
            return Rect{0, 0, w, h};
    }
    return r;
}

std::vector<std::pair<int, int>> OpaqueRuns(const uint32_t* row, int width, uint32_t key1,
                                            uint32_t key2) {
    std::vector<std::pair<int, int>> runs;
    int x = 0;
    while (x < width) {
        while (x < width && (row[x] == key1 || row[x] == key2)) {
            ++x;
        }
        if (x >= width) {
            break;
        }
        int begin = x;
        while (x < width && row[x] != key1 && row[x] != key2) {
            ++x;
        }
        runs.emplace_back(begin, x);
    }
    return runs;
}

int ComboHeight(int selectionItemHeight, int listItemHeight, int visibleItems, int edgeHeight) {
    return selectionItemHeight + visibleItems * listItemHeight + 4 * edgeHeight;
}

const char* NavTypeName(NavKind kind) {
    switch (kind) {
        case NavKind::Button:
            return "BUTTON";
        case NavKind::Edit:
            return "EDIT";
        case NavKind::ListBox:
            return "LISTBOX";
        case NavKind::ComboBox:
            return "COMBOBOX";
    }
    return "";
}

bool ForwardsKey(NavKind kind, unsigned vk) {
    if (kind != NavKind::Edit) {
        return true;
    }
    return (vk >= kVkF1 && vk <= kVkF24) || vk == kVkReturn || vk == kVkTab || vk == kVkLeft ||
           vk == kVkUp || vk == kVkRight || vk == kVkDown;
}

bool WithholdsOwnProcessing(NavKind kind, unsigned vk) {
    return kind == NavKind::ComboBox && (vk == kVkUp || vk == kVkDown);
}

bool DigitsOnlyAccepts(wchar_t ch) {
    return ch == L'\b' || (ch >= L'0' && ch <= L'9');
}

int MeasureEditText(std::wstring_view text, int clientWidth, const MeasureFn& measure) {
    measure(L" ");
    int index = 0;
    while (true) {
        size_t nl = text.find(L'\n');
        std::wstring_view line = text.substr(0, nl);
        if (!line.empty() && line.back() == L'\r') {
            line.remove_suffix(1);
        }
        if (measure(line) >= clientWidth) {
            return index;
        }
        if (nl == std::wstring_view::npos) {
            return -1;
        }
        text.remove_prefix(nl + 1);
        ++index;
    }
}

}  // namespace controls
