#include "screens/StateSetup.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Text.h"
#include "screens/ControlIds.h"
#include "screens/ScreenCatalogue.h"
#include "screens/ScreenProfiles.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"

namespace screens {

namespace {

// Printf's %lf follows LC_NUMERIC; the log line keeps a point whatever the locale.
std::string FixedText(double value, int decimals) {
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

double Multiplier(int metric, int designed) {
    const int64_t divisor = int64_t{100} * metric / designed;
    return divisor > 0 ? RoundToHundredths(100.0 / static_cast<double>(divisor)) : 0.0;
}

int TruncateToInt(double value) {
    if (!(value > std::numeric_limits<int>::min()))  // NaN too
        return std::numeric_limits<int>::min();
    if (value >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

std::string ReadString(CAutomateContext& context, const char* name) {
    char buffer[CAutomateContext::kStringBufferBytes] = "";
    context.GetString(name, 1, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::wstring ReadWide(CAutomateContext& context, const char* name) {
    std::wstring text;
    if (context.GetWide(name, 1, &text) < 0)
        return {};
    return text;
}

std::wstring Joined(std::initializer_list<std::wstring> parts, std::wstring_view separator) {
    std::wstring out;
    for (const std::wstring& part : parts) {
        if (part.empty())
            continue;
        if (!out.empty())
            out += separator;
        out += part;
    }
    return out;
}

// The text of a translation ID, or the ID itself when there is none.
std::wstring Translated(ZFQTranslator& translator, const std::string& id) {
    std::wstring text = translator.GetTraduction(id.c_str());
    return text.empty() ? Widen(id) : text;
}

// A value that names a translation (the keyboard layout's label) shows its text.
std::wstring TranslatedIfId(ZFQTranslator& translator, const std::wstring& value) {
    // Looked up quietly: most values are plain text, not a missing translation.
    auto found = translator.Table().find(Narrow(value));
    return found == translator.Table().end() || found->second.empty() ? value : found->second;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

double RoundToHundredths(double value) {
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (ec != std::errc())
        return value;
    double rounded = value;
    std::from_chars(buffer, end, rounded);
    return rounded;
}

std::optional<LayoutScale> ComputeLayoutScale(int maxCharWidth, int charHeight) {
    LayoutScale scale;
    scale.multX = Multiplier(maxCharWidth, 700);
    scale.multY = Multiplier(charHeight, 16);
    if (scale.multX <= 0.0 || scale.multY <= 0.0)
        return std::nullopt;
    return scale;
}

std::optional<double> PlanLayoutAdaptation(int charSet, int maxCharWidth, int charHeight,
                                           CLog& log) {
    log.Debug(StrFormat("char set %d", charSet));
    log.Debug(StrFormat("Base X: %d BaseY :%d", maxCharWidth, charHeight));
    std::optional<LayoutScale> scale = ComputeLayoutScale(maxCharWidth, charHeight);
    if (!scale) {
        log.Warning(
            StrFormat("Layout kept: no multiplier for a character width of %d and a "
                      "height of %d",
                      maxCharWidth, charHeight));
        return std::nullopt;
    }
    log.Debug("Mult X: " + FixedText(scale->multX, 6) + " MultY :" + FixedText(scale->multY, 6));
    if (scale->multY == 1.0)
        return std::nullopt;
    log.Debug("Need To resize");
    return scale->multY;
}

VerticalSpan ScaleVerticalSpan(int controlId, VerticalSpan span, double multY) {
    VerticalSpan out;
    out.top = TruncateToInt(span.top * multY);
    out.bottom = TruncateToInt(span.bottom * multY);
    if (controlId < ids::kLayoutGrowBelow && out.bottom <= std::numeric_limits<int>::max() - 4)
        out.bottom += 4;
    return out;
}

ScreenSetup ScreenSetupFor(std::string_view screen) {
    const ScreenRules* row = FindScreenRules(screen);
    return row ? row->setup : ScreenSetup{};
}

int PreselectedChoice(const ScreenSetup& setup, CAutomateContext& context,
                      const std::function<bool(int)>& hasButton) {
    int32_t kept = 0;
    if (setup.choiceProperty && context.GetInt(setup.choiceProperty, 1, &kept) >= 0 &&
        ids::kChoiceButtons.Contains(kept) && hasButton(kept))
        return kept;
    return ids::kFirstChoice;
}

std::optional<std::string> ConnectionPicture(const ScreenSetup& setup, bool hasPicture,
                                             CAutomateContext& context, CLog& log) {
    if (setup.kind != SetupKind::ConnectionPicture || !setup.pictureFormat)
        return std::nullopt;
    if (!hasPicture) {
        log.Err(setup.missingPictureLine);
        return std::nullopt;
    }
    // Plain replacement: the model type is data and never reaches a format.
    std::string path =
        ReplaceAll(setup.pictureFormat, "%S", ReadString(context, ctx::kPcModelType));
    log.Info(ReplaceAll(setup.pictureLogLine, "%S", path));
    return path;
}

std::optional<std::wstring> EndResultText(CAutomateContext& context, ZFQTranslator& translator) {
    int32_t state = -1;
    if (context.GetInt(ctx::kAnalyseState, 1, &state) < 0)
        state = -1;
    if (state != 0) {
        // A stepwise apply names the step that failed; nothing after it ran.
        const std::string step = ReadString(context, ctx::kApplyFailedStep);
        if (step.empty())
            return std::nullopt;
        return Translated(translator, "id0273") + L" " + Translated(translator, step);
    }
    return translator.GetTraduction("id0070");
}

std::wstring ApplyProgressText(CAutomateContext& context, ZFQTranslator& translator) {
    const std::string step = ReadString(context, ctx::kApplyStep);
    int32_t number = 0, count = 0;
    context.GetInt(ctx::kApplyStepNumber, 1, &number);
    context.GetInt(ctx::kApplyStepCount, 1, &count);
    std::wstring text;
    if (number > 0 && count >= number)
        text = Translated(translator, "id0274") + Widen(StrFormat(" %d / %d", number, count));
    if (!step.empty())
        text += (text.empty() ? L"" : L": ") + Translated(translator, step);
    return text;
}

std::vector<std::pair<int, std::wstring>> EndResultTexts(CAutomateContext& context,
                                                         ZFQTranslator& translator,
                                                         const std::string& labelsFile,
                                                         const std::string& screen) {
    std::vector<std::pair<int, std::wstring>> texts;
    std::optional<std::wstring> fallback = EndResultText(context, translator);
    if (!fallback)
        return texts;
    int32_t state = -1;
    if (context.GetInt(ctx::kAnalyseState, 1, &state) < 0 || state != 0) {
        // Not applied: only the line that names the failed step.
        texts.emplace_back(ids::kResultLabel, *fallback);
        return texts;
    }
    for (int n = 1;; ++n) {
        std::optional<LabelEntry> entry = ReadLabelEntry(labelsFile, screen, n);
        if (!entry)
            break;
        if (entry->tradSuccess.empty())
            continue;
        std::wstring text = translator.GetTraduction(entry->tradSuccess.c_str());
        texts.emplace_back(entry->id, LabelText(text.empty() ? entry->tradSuccess : text, *entry));
    }
    if (texts.empty())
        texts.emplace_back(ids::kResultLabel, *fallback);
    return texts;
}

int KeyboardIndexOrDefault(int index) {
    return index < kKeyboardIndexMin || index > kKeyboardIndexMax ? kKeyboardIndexMin : index;
}

int CorrectKeyboardIndex(CAutomateContext& context) {
    int32_t index = 0;
    context.GetInt(ctx::kKeyboardIndex, 1, &index);
    const int corrected = KeyboardIndexOrDefault(index);
    if (corrected != index)
        context.SetInt(ctx::kKeyboardIndex, 1, corrected);
    return corrected;
}

std::string KeyboardPicturePath(int index) {
    return StrFormat("..\\pictures\\keyb%d.bmp", index);
}

std::vector<int> LanguageButtonIds(const std::function<bool(int)>& hasButton) {
    std::vector<int> ids;
    for (int id = ids::kChoiceButtons.first; id <= ids::kChoiceButtons.last && hasButton(id); ++id)
        ids.push_back(id);
    return ids;
}

std::vector<LanguageButton> PlanLanguageButtons(bool reconfiguration, std::string_view idLang,
                                                const std::function<bool(int)>& hasButton) {
    std::vector<LanguageButton> buttons;
    const int current = LanguageIndex(idLang);
    int entry = 0;
    for (int id : LanguageButtonIds(hasButton)) {
        // Entries past the end of the file have no fallback, so this always finds one.
        while (reconfiguration && !LanguageFallback(entry).empty())
            ++entry;
        LanguageButton b;
        b.buttonId = id;
        b.entry = entry;
        b.label = LanguageLabel(entry);
        b.face = LanguageButtonFace(entry);
        if (b.face.empty())
            b.face = L"Arial";
        std::string size = LanguageFontSize(entry);
        const int base =
            ParseDecimal(size.empty() ? std::string_view("20") : std::string_view(size));
        const int extra = entry == 16 ? 10 : 4;
        b.height = base > std::numeric_limits<int>::max() - extra ? base : base + extra;
        b.current = entry == current;
        buttons.push_back(std::move(b));
        ++entry;
    }
    return buttons;
}

std::vector<SummaryLine> SummaryLines(CAutomateContext& context, ZFQTranslator& translator) {
    const std::string idLang = ReadString(context, ctx::kIdLang);
    const std::string country = ReadString(context, ctx::kCodePays);
    std::wstring countryName;
    if (!country.empty()) {
        countryName = TranslatedIfId(translator, Widen("PAY" + country));
        if (countryName == Widen("PAY" + country))
            countryName = Widen(country);
    }
    std::wstring proxy = ReadWide(context, ctx::kProxyHost);
    if (!proxy.empty()) {
        const std::wstring port = ReadWide(context, ctx::kProxyPort);
        if (!port.empty())
            proxy += L":" + port;
    } else {
        proxy = translator.GetTraduction("id0259");
    }
    const bool kiosk = ReadString(context, ctx::kPcModelType) == "BORNE";
    const std::pair<const char*, std::wstring> rows[] = {
        {"id0250", idLang.empty() ? std::wstring() : LanguageLabel(LanguageIndex(idLang))},
        {"id0251", TranslatedIfId(translator, ReadWide(context, ctx::kKeyboardLabel))},
        {"id0252", countryName},
        {"id0253", ReadWide(context, ctx::kInstallationTypeLabel)},
        {"id0254", ReadWide(context, ctx::kTradeMarkLabel)},
        {"id0255", ReadWide(context, ctx::kPcModelLabel)},
        {"id0256", kiosk ? ReadWide(context, ctx::kBorneLabel) : std::wstring()},
        {"id0257", proxy},
        {"id0258", ReadWide(context, ctx::kRaisonSociale)},
        {"id0260",
         Joined(
             {ReadWide(context, ctx::kAdresse),
              Joined({ReadWide(context, ctx::kCodePostal), ReadWide(context, ctx::kVille)}, L" ")},
             L", ")},
    };
    std::vector<SummaryLine> lines;
    for (const auto& [trad, value] : rows) {
        if (value.empty())
            continue;
        std::wstring caption = translator.GetTraduction(trad);
        lines.push_back({caption.empty() ? Widen(trad) : caption, value});
    }
    return lines;
}

CountryListing CountryListFor(CAutomateContext& context, ZFQTranslator& translator, CLog& log,
                              const std::string& table) {
    const int language = LanguageIndex(ReadString(context, ctx::kIdLang));
    std::optional<std::vector<CountryRow>> rows =
        ReadCountryRows(table, ResolvedLanguageCode(language), translator);
    CountryListing listing;
    if (!rows) {
        log.Err("Can not ReadFile KSOCountries.csv");
        listing.initialRow = -1;
        return listing;
    }
    const std::string wanted[] = {ReadString(context, ctx::kCodePays), LanguageCountry(language)};
    int found[] = {-1, -1};
    for (CountryRow& row : *rows) {
        if (row.name.empty())
            continue;
        const std::string code = CountryCodeOf(row.id);
        for (int i = 0; i < 2; ++i) {
            if (found[i] < 0 && !wanted[i].empty() && code == wanted[i])
                found[i] = static_cast<int>(listing.names.size());
        }
        listing.names.push_back(std::move(row.name));
    }
    listing.initialRow = listing.names.empty() ? -1
                         : found[0] >= 0       ? found[0]
                                               : std::max(found[1], 0);
    return listing;
}

std::vector<std::wstring> CountryListNames(CAutomateContext& context, ZFQTranslator& translator,
                                           CLog& log, const std::string& table) {
    return CountryListFor(context, translator, log, table).names;
}

}  // namespace screens
