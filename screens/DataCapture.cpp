#include "screens/DataCapture.h"

#include <cstdint>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "screens/ControlIds.h"
#include "services/LanguageConfig.h"

namespace screens {

namespace {

struct SaveRow {
    const char* state;
    int minButton;  // 0: always
    SaveRule rule;
};

// First match wins; the order matters only for readers, the names are all distinct.
constexpr SaveRow kSaveRows[] = {
    {"LanguageReconf", ids::kFirstChoice, SaveRule::LanguageReconf},
    {"Language", ids::kFirstChoice, SaveRule::LanguageInstall},
    {"StateChoiceBorne", 1008, SaveRule::ChoiceBorne},
    {"StateChoicePC", 0, SaveRule::PcModel},
    {"CountryChoice", 0, SaveRule::Country},
    {"InstallationType", ids::kFirstChoice, SaveRule::InstallationType},
    {"InstallationTypeQV", ids::kFirstChoice, SaveRule::InstallationTypeQV},
    {"ChoiceTradeMark", ids::kFirstChoice, SaveRule::TradeMark},
    {"GuiAskKeyBoard", ids::kFirstChoice, SaveRule::KeyboardChoice},
};

std::wstring ReadValue(std::string_view file, std::string_view section, const char* key, int n,
                       std::wstring_view def) {
    return ReadProfileString(file, Widen(section), Widen(StrFormat("%s.%d", key, n)), def,
                             kCaptureValueMax);
}

}  // namespace

SaveRule ChooseSaveRule(std::string_view state, int specificButton) {
    for (const SaveRow& row : kSaveRows) {
        if (state == row.state)
            return specificButton >= row.minButton ? row.rule : SaveRule::Generic;
    }
    return SaveRule::Generic;
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
        entries.push_back(std::move(e));
        if (property == missing)
            break;
    }
    return entries;
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
    if (screen == "StateConfProxy") {
        const int labels[] = {1042, 1043, 1045, 1046, 1047, 1048};
        for (int i = 0; i < 6; ++i)
            rules.push_back({ctx::kProxyInvalidData, i + 1, labels[i]});
    } else if (screen == "StateInfo2" || screen == "StateInfo2b" || screen == "StateErrInfo2") {
        const int labels[] = {1042, 1043, 1045, 1046};
        for (int i = 0; i < 4; ++i)
            rules.push_back({ctx::kPpsInvalidData, i + 1, labels[i]});
    } else if (screen == "StateQvInfoPdv") {
        for (int i = 0; i < 15; ++i)
            rules.push_back({ctx::kPdvInvalidData, i + 1, 1042 + i});
    }
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
