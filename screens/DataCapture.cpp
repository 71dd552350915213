#include "screens/DataCapture.h"

#include <cstdint>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "screens/ControlIds.h"
#include "screens/ScreenCatalogue.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"

namespace screens {

namespace {

std::wstring ReadValue(std::string_view file, std::string_view section, const char* key, int n,
                       std::wstring_view def) {
    return ReadProfileString(file, Widen(section), Widen(StrFormat("%s.%d", key, n)), def,
                             kCaptureValueMax);
}

}  // namespace

SaveRule ChooseSaveRule(std::string_view state, int specificButton) {
    const SaveRow* row = FindSaveRow(state);
    return row && specificButton >= row->minButton ? row->rule : SaveRule::Generic;
}

bool ApplySimpleSaveRule(SaveRule rule, int specificButton, CAutomateContext& context) {
    const int choice = specificButton - 1006;
    switch (rule) {
        case SaveRule::ChoiceBorne:
            context.SetString(ctx::kTypeBorne, 1, "others");
            context.SetInt(ctx::kLastEvent, 1, 1);
            return true;
        case SaveRule::InstallationType:
            context.SetInt(ctx::kInstallationType, 1, choice);
            context.SetInt(ctx::kLastEvent, 1, choice);
            return true;
        case SaveRule::InstallationTypeQV:
            context.SetInt(ctx::kInstallationType, 1, choice);
            context.SetInt(ctx::kLastEvent, 1, 1);
            return true;
        case SaveRule::TradeMark:
            context.SetInt(ctx::kTradeMark, 1, choice);
            context.SetInt(ctx::kLastEvent, 1, 1);
            return true;
        case SaveRule::KeyboardChoice:
            context.SetInt(ctx::kLastEvent, 1, specificButton - 1003);
            return true;
        case SaveRule::Generic:
        case SaveRule::LanguageReconf:
        case SaveRule::LanguageInstall:
        case SaveRule::PcModel:
        case SaveRule::Country:
            break;
    }
    return false;
}

std::vector<InfosContextEntry> ReadInfosContext(std::string_view file, std::string_view section) {
    const std::wstring missing = Widen(kMissingKey);
    std::vector<InfosContextEntry> entries;
    for (int n = 1; n < INT32_MAX; ++n) {
        std::wstring id = ReadValue(file, section, "IdEdit", n, missing);
        if (id == missing)
            break;
        InfosContextEntry e;
        e.id = ParseDecimal(id);
        std::wstring size = ReadValue(file, section, "Size", n, missing);
        if (size != missing)
            e.size = ParseDecimal(size);
        std::wstring property = ReadValue(file, section, "Properties", n, missing);
        e.property = Narrow(property);
        std::wstring trad = ReadValue(file, section, "IdTrad", n, missing);
        if (trad != missing)
            e.trad = Narrow(trad);
        e.translateValue = ReadValue(file, section, "Translate", n, missing) == L"1";
        entries.push_back(std::move(e));
        if (property == missing)
            break;
    }
    return entries;
}

std::optional<std::wstring> ContextValueText(CAutomateContext& context, const std::string& name) {
    const int index = context.Find(name.c_str(), 1);
    if (index < 0)
        return std::nullopt;
    // The image knows sizes, not types: an INT (or LONG) holds 4 bytes, a STRING 200.
    const int32_t size = context.GetImage()->sizes[index];
    if (size == QV_INT_SIZE) {
        int32_t value = 0;
        context.GetInt(name.c_str(), 1, &value);
        return Widen(std::to_string(value));
    }
    if (size == QV_STRING_SIZE) {
        char buffer[CAutomateContext::kStringBufferBytes] = "";
        context.GetString(name.c_str(), 1, buffer);
        buffer[sizeof buffer - 1] = '\0';
        return Widen(buffer);
    }
    std::wstring text;
    if (context.GetWide(name.c_str(), 1, &text) < 0)
        return std::nullopt;
    return text;
}

std::wstring ContextLabelText(const InfosContextEntry& entry, CAutomateContext& context,
                              ZFQTranslator& translator) {
    std::wstring value = ContextValueText(context, entry.property).value_or(L"");
    if (entry.translateValue && !value.empty() && value.size() <= kTranslationIdMax) {
        // Looked up in the table: a value that is no identifier (a host name) is shown as it
        // is, without the translator's warning.
        const auto& table = translator.Table();
        auto found = table.find(Narrow(value));
        if (found != table.end() && !found->second.empty())
            value = found->second;
    }
    if (entry.trad.empty())
        return value;
    std::wstring text = translator.GetTraduction(entry.trad.c_str());
    if (text.empty())
        text = Widen(entry.trad);
    static constexpr std::wstring_view kSlot = L"%1";
    for (size_t at = text.find(kSlot); at != std::wstring::npos;
         at = text.find(kSlot, at + value.size()))
        text.replace(at, kSlot.size(), value);
    return text;
}

std::vector<SaveContextEntry> ReadSaveContext(std::string_view file, std::string_view section,
                                              const std::function<bool(int)>& hasWidget) {
    const std::wstring missing = Widen(kSaveContextMissing);
    std::vector<SaveContextEntry> entries;
    for (int n = 1; n <= kSaveContextMax; ++n) {
        std::wstring id = ReadValue(file, section, "IdEdit", n, missing);
        if (id == missing)
            break;
        const int widget = ParseDecimal(id);
        if (!hasWidget(widget))
            continue;
        std::wstring property = ReadValue(file, section, "Properties", n, missing);
        entries.push_back({widget, Narrow(property)});
        if (property == missing)
            break;
    }
    return entries;
}

std::vector<ColorRule> ColorRulesFor(std::string_view screen) {
    std::vector<ColorRule> rules;
    const ScreenRules* row = FindScreenRules(screen);
    if (!row || !row->colours)
        return rules;
    for (size_t i = 0; i < row->colours->labels.size(); ++i)
        rules.push_back({row->colours->property, static_cast<int>(i) + 1, row->colours->labels[i]});
    return rules;
}

std::vector<int> LabelsToPaintRed(std::string_view screen, CAutomateContext& context) {
    std::vector<int> labels;
    for (const ColorRule& rule : ColorRulesFor(screen)) {
        int32_t flag = 0;
        if (context.GetInt(rule.property, rule.occurrence, &flag) >= 0 && flag == 1)
            labels.push_back(rule.labelId);
    }
    return labels;
}

std::optional<InvalidEntry> InvalidEntryFor(std::string_view screen, CAutomateContext& context) {
    if (ColorRulesFor(screen).empty())
        return std::nullopt;
    char reason[CAutomateContext::kStringBufferBytes] = "";
    if (context.GetString(ctx::kInvalidReason, 1, reason) < 0 || reason[0] == '\0')
        return std::nullopt;
    reason[sizeof reason - 1] = '\0';
    InvalidEntry entry;
    entry.reason = reason;
    int32_t field = 0;
    if (context.GetInt(ctx::kInvalidField, 1, &field) >= 0 && ids::kEdits.Contains(field))
        entry.field = field;
    return entry;
}

std::wstring MendGeneralInfoLabel(std::wstring_view label) {
    static constexpr std::wstring_view kBroken = L"\u00EF\u00BF\u00BD";
    std::wstring out;
    out.reserve(label.size());
    for (size_t i = 0; i < label.size();) {
        if (label.substr(i, kBroken.size()) == kBroken) {
            out += L's';
            i += kBroken.size();
        } else {
            out += label[i++];
        }
    }
    return out;
}

std::wstring GeneralInfoLanguageLabel(CAutomateContext& context) {
    char idLang[CAutomateContext::kStringBufferBytes] = "";
    context.GetString(ctx::kIdLang, 1, idLang);
    return MendGeneralInfoLabel(LanguageLabel(LanguageIndex(std::string_view(idLang))));
}

}  // namespace screens
