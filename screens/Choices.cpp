#include "screens/Choices.h"

#include <cwctype>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Text.h"
#include "clients/PointServiceClient.h"
#include "platform/Module.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"

namespace screens {

namespace {

std::string ReadString(CAutomateContext& context, const char* name, int occurrence, bool* present) {
    char buffer[CAutomateContext::kStringBufferBytes] = "";
    const bool found = context.GetString(name, occurrence, buffer) >= 0;
    if (present)
        *present = found;
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

void LoadTranslationsAndId(int entry, int textEntry, const std::string& code,
                           CAutomateContext& context, ZFQTranslator& translator, CLog& log) {
    log.Info(StrFormat("Load traductions [%d=%s]", textEntry, code.c_str()));
    if (translator.LoadLanguage(code.c_str()) < 0 && !translator.LastError().empty())
        log.Err("Cannot load the translations: " + translator.LastError());
    context.SetString(ctx::kIdLang, 1, StrFormat("ID_LANG%d", entry).c_str());
    ApplyLanguageFonts(textEntry, LanguageScreenFontDefaults());
}

size_t CharacterCount(const std::string& text) {
    return Widen(text).size();
}

}  // namespace

int SaveInstallationLanguage(int k, CAutomateContext& context, ZFQTranslator& translator,
                             CLog& log) {
    if (k < 0)
        return -1;
    const int n = k;
    const std::string fallback = LanguageFallback(n);
    const int f = fallback.empty() ? n : ParseDecimal(fallback);
    const std::string codeN = ResolvedLanguageCode(n);
    const std::string codeF = ResolvedLanguageCode(f);
    log.Info(
        StrFormat("Choosed OS/NOX language : %d=%s/%d=%s", n, codeN.c_str(), f, codeF.c_str()));
    LoadTranslationsAndId(n, f, codeF, context, translator, log);
    return f;
}

int SaveReconfigurationLanguage(int k, CAutomateContext& context, ZFQTranslator& translator,
                                CLog& log) {
    if (k < 0)
        return -1;
    // Entries past the end of the file have no fallback, so the walk always ends.
    int n = 0;
    for (int seen = 0;; ++n) {
        if (LanguageFallback(n).empty() && seen++ == k)
            break;
    }
    const std::string code = ResolvedLanguageCode(n);
    log.Info(StrFormat("Choosed language : %d=%s", n, code.c_str()));
    LoadTranslationsAndId(n, n, code, context, translator, log);
    return n;
}

std::string IdentifyPcModelType(std::wstring_view caption, CAutomateContext& context, CLog& log) {
    std::wstring upper(caption.substr(0, kPcCaptionMax));
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    const std::string family = Narrow(upper);
    const std::string wanted = "[" + family + ":";

    std::optional<std::string> type;
    for (int i = 1; i <= kPcMatchingMax && !type; ++i) {
        const std::string text = ReadString(context, ctx::kPcModelTypeMatching, i, nullptr);
        log.Info(StrFormat("Searching %s in %s [%d]", family.c_str(), text.c_str(), i));
        const size_t at = text.find(wanted);
        if (at != std::string::npos) {
            const size_t start = at + wanted.size();
            const size_t close = text.find(']', start);
            type = close == std::string::npos ? std::string() : text.substr(start, close - start);
            break;
        }
        log.Warning("PC family seems to be not managed by this configuration");
        if (text.empty())
            break;
    }
    const std::string stored(CutUtf8(type.value_or(family), kPcModelTypeMax));
    log.Info(StrFormat("PC model Type identified : [%s]", stored.c_str()));
    context.SetString(ctx::kPcModelType, 1, stored.c_str());
    return stored;
}

LanguePaysWriter PointServiceLanguePaysWriter(std::wstring pluginPath, CLog& log,
                                              std::string* failure) {
    return [path = std::move(pluginPath), log = &log, failure](std::wstring_view language,
                                                               std::wstring_view country) {
        // The client reads a plug-in it cannot load as an empty answer, that is as success.
        {
            std::string error;
            std::unique_ptr<platform::Module> module = platform::Module::Load(Narrow(path), &error);
            if (!module || !module->Symbol("Initialize") || !module->Symbol("RequestService") ||
                !module->Symbol("Release")) {
                log->Err(StrFormat("PointServicePlugin cannot be used: %s %s", Narrow(path).c_str(),
                                   error.c_str()));
                if (failure)
                    *failure = "the point-of-sale plug-in cannot be loaded: " + error;
                return -1;
            }
        }
        PointServiceClient client;
        client.SetLibraryPath(path);
        client.SetLogSettingsFrom(*log, pointservice::kModuleName);
        const int code = client.WriteLanguePays(language, country);
        if (code != 0) {
            log->Err(StrFormat("PointServicePlugin answered %d: %s", code,
                               Narrow(client.GetLastMessage()).c_str()));
            if (failure)
                *failure = Narrow(client.GetLastMessage());
        }
        return code;
    };
}

SaveFailure SaveFailureOf(std::string_view message) {
    auto says = [&](std::string_view what) { return message.find(what) != std::string::npos; };
    // SQLite's own words (sqlite3_errstr) for a full disk and for a lock it waited on.
    if (says("disk is full") || says("No space left"))
        return {"id0385", "the disk is full"};
    if (says("database is locked") || says("database table is locked"))
        return {"id0386", "the record is locked by another program"};
    return {"id0387", message.empty() ? std::string("the record cannot be written")
                                      : "the record cannot be written: " + std::string(message)};
}

int SaveCountryAndLanguage(const CountrySelection& selection, CAutomateContext& context,
                           ZFQTranslator& translator, CLog& log, const LanguePaysWriter& writer,
                           const std::string& table) {
    const std::string language =
        ResolvedLanguageCode(LanguageIndex(ReadString(context, ctx::kIdLang, 1, nullptr)));
    std::string country;
    if (selection.hasItems) {
        std::optional<std::vector<CountryRow>> rows = ReadCountryRows(table, language, translator);
        if (!rows) {
            log.Err("Can not ReadFile KSOCountries.csv");
        } else {
            for (const CountryRow& row : *rows) {
                // A row without a name was never listed, so it cannot be the selection.
                if (!row.name.empty() && row.name == selection.selectedText) {
                    country = CountryCodeOf(row.id);
                    break;
                }
            }
        }
    }

    if (CharacterCount(country) == 2 && CharacterCount(language) == 2) {
        context.SetString(ctx::kCodePays, 1, country.c_str());
        log.Info("Call PointServicePlugin to set language and country");
        try {
            if (writer(Widen(language), Widen(country)) == 0)
                return 0;
        } catch (const std::exception& e) {
            log.Err("Unexpected exception saving language/country :");
            log.Err(e.what());
        }
    } else {
        log.Err("Unable to retrieve data from KSOCountries.csv");
    }
    log.Err("Unable to save language and country");
    context.SetInt(ctx::kLastEvent, 1, -1);
    return -1;
}

}  // namespace screens
