// The translations' part of the check: the language list, the translation file for each of its
// languages, the translation IDs the screens use and the country table.
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "base/DelimitedFile.h"
#include "base/Text.h"
#include "screens/CountryTable.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"
#include "tools/qvtool/LintInternal.h"

namespace authoring::lint {

namespace {

// Whether language code gives id a text; an empty one counts as none.
bool HasText(const TextTables& tables, const std::string& code, const std::string& id) {
    auto t = tables.find(code);
    if (t == tables.end())
        return false;
    auto it = t->second.find(id);
    return it != t->second.end() && !it->second.empty();
}

}  // namespace

void Linter::LintTranslations() {
    IniFile language(LanguageFilePath());
    if (!language.Readable()) {
        if (!trads_.empty())
            report_.Warning(language.Display(), 0,
                            "language file cannot be read: screens are not translated");
        return;
    }
    language.CheckShape(report_);
    const std::string& file = language.Display();
    int count = LanguageCount();
    std::map<std::string, int> codes;  // resolved code -> first entry using it
    std::map<std::string, int> ownCodes;
    for (int n = 0; n < count; ++n) {
        std::string code = LanguageCode(n);
        std::string fallback = LanguageFallback(n);
        std::string codeKey = StrFormat("Code.%d", n);
        std::string fallbackKey = StrFormat("Fallback.%d", n);
        if (!code.empty()) {
            if (Widen(code).size() != 2)
                report_.Error(file, language.KeyLine("LANGUAGE", codeKey),
                              StrFormat("Code.%d %s is not two characters: the translator "
                                        "refuses it",
                                        n, Quote(code).c_str()));
            auto [it, inserted] = ownCodes.try_emplace(code, n);
            if (!inserted)
                report_.Warning(file, language.KeyLine("LANGUAGE", codeKey),
                                StrFormat("code %s is also entry %d's: a code finds only "
                                          "the first",
                                          code.c_str(), it->second));
        }
        if (!fallback.empty()) {
            int line = language.KeyLine("LANGUAGE", fallbackKey);
            int target = ParseDecimal(fallback);
            if (ResolveLanguageFallback(n) < 0) {
                report_.Error(file, line,
                              StrFormat("the fallback chain of entry %d loops or names no "
                                        "entry number",
                                        n));
                continue;
            } else if (target < 0 || target >= count) {
                report_.Error(file, line,
                              StrFormat("Fallback.%d points to entry %d, outside the list "
                                        "(0 to %d)",
                                        n, target, count - 1));
                continue;
            }
        }
        std::string resolved = ResolvedLanguageCode(n);
        if (!resolved.empty())
            codes.try_emplace(resolved, n);
    }
    // Keys of entries past the end: an entry without Code and Fallback ends the list.
    int firstDead = 0;
    int deadEntry = -1;
    for (const ProfileLine* k : language.Keys("LANGUAGE")) {
        std::string key = Narrow(k->name);
        size_t dot = key.rfind('.');
        if (dot == std::string::npos)
            continue;
        std::string digits = key.substr(dot + 1);
        int n = ParseDecimal(digits);
        if (digits != std::to_string(n) || n < count)
            continue;
        if (deadEntry < 0 || n < deadEntry || (n == deadEntry && k->line < firstDead)) {
            deadEntry = n;
            firstDead = k->line;
        }
    }
    if (deadEntry >= 0) {
        report_.Error(file, firstDead,
                      StrFormat("entry %d is never read: entry %d has no Code and no "
                                "Fallback, which ends the list",
                                deadEntry, count));
    }
    int defaultIndex = DefaultLanguageIndex();
    if (count > 0 && defaultIndex >= count) {
        IniFile plugins(PluginsFilePath());
        report_.Warning(
            plugins.Display(), plugins.KeyLine("VEKFoundationServices", "IndexDefaultLangue"),
            StrFormat("IndexDefaultLangue %d is not an entry of language.ini", defaultIndex));
    }

    if (codes.empty())
        return;
    std::string tradDisplay = DisplayPath(kTranslationFile);
    TextTables tables;
    {
        ZFQTranslator translator;
        FILE* sink = std::fopen("/dev/null", "w");
        translator.SetWarningStream(sink);
        for (const auto& [code, entry] : codes) {
            if (Widen(code).size() != 2)
                continue;
            if (translator.LoadLanguage(code.c_str()) < 0) {
                std::string error;
                XmlPlatform xml;
                auto doc = ParseWithLines(kTranslationFile, &error);
                report_.Error(tradDisplay, LineOfError(error),
                              "translation file cannot be read: " +
                                  (doc ? std::string("unknown reason") : error));
                tables.clear();
                break;
            }
            tables[code] = translator.Table();
            if (translator.Count() == 0)
                report_.Error(tradDisplay, 0,
                              StrFormat("no text in language %s (entry %d of language.ini)",
                                        code.c_str(), entry));
        }
        if (sink)
            std::fclose(sink);
    }
    if (tables.empty())
        return;
    for (const TradUse& use : trads_) {
        if (use.id.size() > kTranslationIdMax) {
            report_.Error(use.file, use.line,
                          StrFormat("translation ID %s is longer than %zu characters: it is "
                                    "never found",
                                    Quote(use.id).c_str(), kTranslationIdMax));
            continue;
        }
        std::string missing;
        size_t missingCount = 0;
        for (const auto& [code, table] : tables) {
            if (!HasText(tables, code, use.id)) {
                missing += (missing.empty() ? "" : ", ") + code;
                ++missingCount;
            }
        }
        if (missingCount == tables.size()) {
            report_.Error(
                use.file, use.line,
                StrFormat("translation ID %s has no text in any language", Quote(use.id).c_str()));
        } else if (missingCount > 0) {
            report_.Warning(use.file, use.line,
                            StrFormat("translation ID %s has no text in %s", Quote(use.id).c_str(),
                                      missing.c_str()));
        }
    }
    LintHints(tables);
    LintCountries(tables, codes);
}

void Linter::LintCountries(const TextTables& tables, const std::map<std::string, int>& codes) {
    std::string display = DisplayPath(screens::kCountryTable);
    if (!IsRegularFile(screens::kCountryTable)) {
        if (countryScreen_)
            report_.Warning(display, 0,
                            "country table cannot be read: the country list stays empty");
        return;
    }
    CDelimitedFile table(READ_AS_STRING);
    table.SetDelimiter(";");
    if (!table.ReadFile(screens::kCountryTable, READ_AS_STRING)) {
        report_.Error(display, 0, "country table cannot be read: " + table.GetErrorText());
        return;
    }
    std::set<std::string> countries;  // two-letter codes of the table's rows
    for (long row = 0;; ++row) {
        std::string code;
        std::string id;
        if (table.GetString("Code Langue KSO", row, code) < 0 ||
            table.GetString("ID_COUNTRY", row, id) < 0)
            break;
        if (id.size() == screens::kCountryIdLength)
            countries.insert(screens::CountryCodeOf(id));
        // The header is line 1; rows follow one a line.
        int line = static_cast<int>(row) + 2;
        if (!codes.count(code))
            continue;
        if (row >= screens::kCountryRowMax) {
            report_.Warning(display, line,
                            StrFormat("rows after %ld are never listed", screens::kCountryRowMax));
            break;
        }
        if (id.size() != screens::kCountryIdLength) {
            report_.Warning(display, line,
                            StrFormat("country %s is not %zu characters: it is never listed",
                                      Quote(id).c_str(), screens::kCountryIdLength));
        } else if (!HasText(tables, code, id)) {
            report_.Warning(display, line,
                            StrFormat("country %s has no text in %s: it is left out of the "
                                      "list",
                                      id.c_str(), code.c_str()));
        }
    }
    LintCountryRules(countries);
}

// The setup plug-in's rules of postcodes and phone numbers, by country code.
void Linter::LintCountryRules(const std::set<std::string>& countries) {
    IniFile rules(kCountryRulesFile);
    if (!rules.Readable())
        return;
    rules.CheckShape(report_);
    for (const std::string& section : rules.SectionNames()) {
        if (!countries.count(section))
            report_.Warning(rules.Display(), rules.SectionLine(section),
                            StrFormat("section %s names no country of the country table: its "
                                      "rules are never used",
                                      Quote(section).c_str()));
        const int line = rules.KeyLine(section, "PhoneDigits");
        if (line == 0)
            continue;
        const std::string digits = Narrow(ReadProfileString(
            rules.Relative(), Widen(section), L"PhoneDigits", Widen(kMissingKey), 199));
        int low = -1, high = -1;
        char rest = 0;
        if (std::sscanf(digits.c_str(), "%d-%d%c", &low, &high, &rest) != 2 || low < 1 ||
            high < low || high > 20)
            report_.Error(rules.Display(), line,
                          StrFormat("PhoneDigits %s is not MIN-MAX digits (1 to 20): every "
                                    "phone number of %s is refused",
                                    Quote(digits).c_str(), section.c_str()));
    }
}

}  // namespace authoring::lint
