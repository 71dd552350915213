#include "services/LanguageConfig.h"

#include <climits>
#include <vector>

#include "base/ProgramDirectory.h"
#include "base/Text.h"

namespace {

const char kSection[] = "LANGUAGE";

std::string Key(const char* name, int n) {
    return StrFormat("%s.%d", name, n);
}

std::string Read(const char* name, int n) {
    return ReadProfileText(kSection, Key(name, n), LanguageFilePath());
}

std::wstring ReadWide(const char* name, int n) {
    return ReadProfileText(Widen(kSection), Widen(Key(name, n)), Widen(LanguageFilePath()));
}

// A fallback names an entry by its decimal index and nothing else.
bool FallbackIndex(const std::string& text, int* index) {
    if (text.empty() || text.size() > 9)
        return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *index = v;
    return true;
}

std::string ToNarrowArg(std::wstring_view text) {
    return std::string(CutUtf8(Narrow(text), 1023));
}

}  // namespace

std::string LanguageFilePath() {
    return GetProgramDirectory() + "\\..\\config\\language.ini";
}

std::string PluginsFilePath() {
    return GetProgramDirectory() + "\\..\\config\\VEKplugins.ini";
}

int DefaultLanguageIndex() {
    return ParseDecimal(
        ReadProfileText("VEKFoundationServices", "IndexDefaultLangue", PluginsFilePath()));
}

int LanguageIndex(std::string_view text) {
    size_t at = text.find("ID_LANG");
    if (at != std::string_view::npos) {
        std::string_view number = text.substr(at + 7);
        number = number.substr(0, number.find('.'));
        return ParseDecimal(number);
    }
    if (text.size() == 2) {
        for (int n = 0; n < INT_MAX; ++n) {
            std::string code = Read("Code", n);
            if (code == text)
                return n;
            if (code.empty() && Read("Fallback", n).empty())
                break;
        }
    }
    return DefaultLanguageIndex();
}

int LanguageIndex(std::wstring_view text) {
    return LanguageIndex(ToNarrowArg(text));
}

int LanguageCount() {
    int n = 0;
    while (n < INT_MAX && !(Read("Code", n).empty() && Read("Fallback", n).empty()))
        ++n;
    return n;
}

std::string LanguageFallback(int n) {
    return Read("Fallback", n);
}

// A chain that comes back to an entry it has passed is a configuration error: it resolves to
// nothing instead of looping.
int ResolveLanguageFallback(int n) {
    std::vector<int> seen;
    int current = n;
    for (;;) {
        std::string fallback = Read("Fallback", current);
        if (fallback.empty())
            return current;
        seen.push_back(current);
        int next = 0;
        if (!FallbackIndex(fallback, &next))
            return -1;
        for (int s : seen) {
            if (s == next)
                return -1;
        }
        current = next;
    }
}

std::string LanguageCode(int n) {
    return Read("Code", n);
}

std::string LanguageCountry(int n) {
    return Read("Country", n);
}

std::wstring LanguageLabel(int n) {
    return ReadWide("Label", n);
}

std::wstring LanguageButtonFace(int n) {
    return ReadWide("PoliceButton", n);
}

std::string LanguageFontSize(int n) {
    return Read("Size", n);
}

std::string ResolvedLanguageCode(int n) {
    int r = ResolveLanguageFallback(n);
    return r < 0 ? std::string() : Read("Code", r);
}

std::wstring ResolvedLanguageLabel(int n) {
    int r = ResolveLanguageFallback(n);
    return r < 0 ? std::wstring() : ReadWide("Label", r);
}

std::string ResolvedJavaLang(int n) {
    int r = ResolveLanguageFallback(n);
    return r < 0 ? std::string() : Read("JavaLang", r);
}

std::string LanguageCode(std::string_view text) {
    return LanguageCode(LanguageIndex(text));
}
std::string LanguageCode(std::wstring_view text) {
    return LanguageCode(LanguageIndex(text));
}
std::string LanguageCountry(std::string_view text) {
    return LanguageCountry(LanguageIndex(text));
}
std::string LanguageCountry(std::wstring_view text) {
    return LanguageCountry(LanguageIndex(text));
}
std::wstring LanguageLabel(std::string_view text) {
    return LanguageLabel(LanguageIndex(text));
}
std::wstring LanguageLabel(std::wstring_view text) {
    return LanguageLabel(LanguageIndex(text));
}
std::string ResolvedLanguageCode(std::string_view text) {
    return ResolvedLanguageCode(LanguageIndex(text));
}
std::string ResolvedLanguageCode(std::wstring_view text) {
    return ResolvedLanguageCode(LanguageIndex(text));
}
std::wstring ResolvedLanguageLabel(std::string_view text) {
    return ResolvedLanguageLabel(LanguageIndex(text));
}
std::wstring ResolvedLanguageLabel(std::wstring_view text) {
    return ResolvedLanguageLabel(LanguageIndex(text));
}
std::string ResolvedJavaLang(std::string_view text) {
    return ResolvedJavaLang(LanguageIndex(text));
}
std::string ResolvedJavaLang(std::wstring_view text) {
    return ResolvedJavaLang(LanguageIndex(text));
}

LanguageFontDefaults LanguageScreenFontDefaults() {
    return {L"Arial", "18", "Normal"};
}

LanguageFontDefaults StartupFontDefaults() {
    return {L"@1@", "@1@", "@1@"};
}

namespace {
TextFont g_currentFont;
}  // namespace

void ApplyLanguageFonts(int n, const LanguageFontDefaults& defaults) {
    TextFont font;
    font.face = ReadWide("Police", n);
    if (font.face.empty())
        font.face = defaults.face;
    font.buttonFace = LanguageButtonFace(n);
    if (font.buttonFace.empty())
        font.buttonFace = defaults.face;
    std::string size = LanguageFontSize(n);
    font.height = ParseDecimal(size.empty() ? defaults.size : size);
    std::string mode = Read("Mode", n);
    font.weight = (mode.empty() ? defaults.mode : mode) == "Bold" ? 700 : 400;
    g_currentFont = font;
}

const TextFont& CurrentTextFont() {
    return g_currentFont;
}

void SetCurrentTextFont(const TextFont& font) {
    g_currentFont = font;
}
