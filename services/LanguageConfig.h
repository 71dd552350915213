#pragma once
// The language file: numbered entries (code, label, country, second tag, fallback, fonts) in
// section "LANGUAGE" of ..\config\language.ini, and the process-wide current text font derived
// from one entry. Files are read afresh on every call.
#include <string>
#include <string_view>

// GetProgramDirectory followed by "\..\config\language.ini" / "\..\config\VEKplugins.ini".
std::string LanguageFilePath();
std::string PluginsFilePath();

// The index of a language from an ID_LANG value ("ID_LANG3") or a two-letter code; otherwise
// the default index. The wide form converts at most 1023 bytes of the text first.
int LanguageIndex(std::string_view text);
int LanguageIndex(std::wstring_view text);

// "IndexDefaultLangue" of VEKplugins.ini; 0 when missing or not a number.
int DefaultLanguageIndex();

// Number of entries: they end at the first index whose code and fallback are both empty.
int LanguageCount();

// Raw "Fallback.%d" of an entry (empty: none).
std::string LanguageFallback(int n);

// The entry that n's fallback chain ends at; -1 when the chain has a cycle or a fallback that
// is not a decimal index.
int ResolveLanguageFallback(int n);

// Readers by index; a missing key reads as empty.
std::string LanguageCode(int n);
std::string LanguageCountry(int n);
std::wstring LanguageLabel(int n);
// Raw "PoliceButton.%d" and "Size.%d" of an entry (the language buttons' own fonts).
std::wstring LanguageButtonFace(int n);
std::string LanguageFontSize(int n);
// Readers through the fallback chain; empty when it cannot be resolved.
std::string ResolvedLanguageCode(int n);
std::wstring ResolvedLanguageLabel(int n);
std::string ResolvedJavaLang(int n);

// The same readers by text, resolving the index with LanguageIndex first.
std::string LanguageCode(std::string_view text);
std::string LanguageCode(std::wstring_view text);
std::string LanguageCountry(std::string_view text);
std::string LanguageCountry(std::wstring_view text);
std::wstring LanguageLabel(std::string_view text);
std::wstring LanguageLabel(std::wstring_view text);
std::string ResolvedLanguageCode(std::string_view text);
std::string ResolvedLanguageCode(std::wstring_view text);
std::wstring ResolvedLanguageLabel(std::string_view text);
std::wstring ResolvedLanguageLabel(std::wstring_view text);
std::string ResolvedJavaLang(std::string_view text);
std::string ResolvedJavaLang(std::wstring_view text);

// The current text font as plain data; screens turn it into their toolkit's font.
struct TextFont {
    std::wstring face;        // screen texts
    std::wstring buttonFace;  // buttons
    int height = 0;           // pixels
    int weight = 400;         // 400 or 700
};

// What ApplyLanguageFonts uses for a missing key.
struct LanguageFontDefaults {
    std::wstring face;
    std::string size;
    std::string mode;
};

// A language chosen on a language screen.
LanguageFontDefaults LanguageScreenFontDefaults();
// Start-up loading of the language in ID_LANG: the missing-key sentinel everywhere (height 0).
LanguageFontDefaults StartupFontDefaults();

// Replaces the current text font with the fonts of entry n ("Police", "PoliceButton", "Size",
// "Mode"), each with its default when missing. GUI thread only.
void ApplyLanguageFonts(int n, const LanguageFontDefaults& defaults);
const TextFont& CurrentTextFont();
void SetCurrentTextFont(const TextFont& font);
