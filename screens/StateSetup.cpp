#include "screens/StateSetup.h"

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
    if (state != 0)
        return std::nullopt;
    return translator.GetTraduction("id0070");
}

std::vector<std::pair<int, std::wstring>> EndResultTexts(CAutomateContext& context,
                                                         ZFQTranslator& translator,
                                                         const std::string& labelsFile,
                                                         const std::string& screen) {
    std::vector<std::pair<int, std::wstring>> texts;
    std::optional<std::wstring> fallback = EndResultText(context, translator);
    if (!fallback)
        return texts;
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

std::vector<std::wstring> CountryListNames(CAutomateContext& context, ZFQTranslator& translator,
                                           CLog& log, const std::string& table) {
    const std::string code = ResolvedLanguageCode(LanguageIndex(ReadString(context, ctx::kIdLang)));
    std::optional<std::vector<CountryRow>> rows = ReadCountryRows(table, code, translator);
    if (!rows) {
        log.Err("Can not ReadFile KSOCountries.csv");
        return {};
    }
    std::vector<std::wstring> names;
    for (CountryRow& row : *rows) {
        if (!row.name.empty())
            names.push_back(std::move(row.name));
    }
    return names;
}

}  // namespace screens
