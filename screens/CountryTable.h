#pragma once
// The country table ..\config\KSOCountries.csv (";"-delimited, text values): which countries
// the country screen lists for a language, and the identifier behind a listed name. Shared by
// the country screen's set-up and its save.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ZFQTranslator;

namespace screens {

inline constexpr char kCountryTable[] = "..\\config\\KSOCountries.csv";
// Rows 0 .. 219 are examined; later rows are never listed.
inline constexpr long kCountryRowMax = 220;
// "ID_COUNTRY" values: five characters, the country code from the fourth on.
inline constexpr size_t kCountryIdLength = 5;

struct CountryRow {
    std::string id;     // "ID_COUNTRY", also the key of the name in the translation table
    std::wstring name;  // its translation; empty when the translator has none
};

// The rows among 0 .. 219 whose "Code Langue KSO" equals languageCode and whose "ID_COUNTRY"
// has exactly five characters, in table order. Rows the table cannot give are skipped;
// nullopt when the table cannot be read at all.
std::optional<std::vector<CountryRow>> ReadCountryRows(const std::string& table,
                                                       std::string_view languageCode,
                                                       ZFQTranslator& translator);

// The two-letter country code of an identifier (its characters from the fourth on).
std::string CountryCodeOf(std::string_view countryId);

}  // namespace screens
