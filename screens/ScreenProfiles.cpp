#include "screens/ScreenProfiles.h"

#include "base/Profile.h"
#include "base/Text.h"

namespace screens {

namespace {

constexpr size_t kValueChars = 199;
constexpr wchar_t kMissing[] = L"@1@";

// The value of key n of a numbered list, or nothing when it is missing.
std::optional<std::wstring> Read(const std::string& file, const std::string& section,
                                 const char* format, int n) {
    const std::wstring key = Widen(StrFormat(format, n));
    std::wstring value = ReadProfileString(file, Widen(section), key, kMissing, kValueChars);
    if (value == kMissing)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<ButtonEntry> ReadButtonEntry(const std::string& picturesFile,
                                           const std::string& screen, int n) {
    std::optional<std::wstring> id = Read(picturesFile, screen, "ButtonId.%d", n);
    if (!id)
        return std::nullopt;
    ButtonEntry entry;
    entry.id = ParseDecimal(*id);
    entry.trad = Read(picturesFile, screen, "ButtonTrad.%d", n);
    std::optional<std::wstring> normal = Read(picturesFile, screen, "ButtonNormal.%d", n);
    std::optional<std::wstring> pushed = Read(picturesFile, screen, "ButtonPush.%d", n);
    std::optional<std::wstring> over = Read(picturesFile, screen, "ButtonOver.%d", n);
    if (normal && pushed && over) {
        entry.hasBitmaps = true;
        entry.normal = *normal;
        entry.pushed = *pushed;
        entry.over = *over;
        entry.disabled = Read(picturesFile, screen, "ButtonDisable.%d", n).value_or(L"");
    }
    return entry;
}

std::optional<LabelEntry> ReadLabelEntry(const std::string& labelsFile, const std::string& screen,
                                         int n) {
    std::optional<std::wstring> id = Read(labelsFile, screen, "IdCompo.%d", n);
    if (!id)
        return std::nullopt;
    LabelEntry entry;
    entry.id = ParseDecimal(*id);
    if (std::optional<std::wstring> extra = Read(labelsFile, screen, "FontSize.%d", n))
        entry.extraHeight = ParseDecimal(*extra);
    entry.trad = Read(labelsFile, screen, "IdTrad.%d", n).value_or(L"");
    entry.mandatory = Read(labelsFile, screen, "IdMandatory.%d", n).value_or(L"") == L"1";
    entry.tradSuccess = Read(labelsFile, screen, "IdTradSuccess.%d", n).value_or(L"");
    return entry;
}

std::optional<ComboEntry> ReadComboEntry(const std::string& comboFile, const std::string& screen,
                                         int n) {
    std::optional<std::wstring> id = Read(comboFile, screen, "IdCombo.%d", n);
    if (!id)
        return std::nullopt;
    ComboEntry entry;
    entry.id = ParseDecimal(*id);
    entry.trad = Read(comboFile, screen, "IdTrad.%d", n).value_or(kMissing);
    return entry;
}

std::wstring LabelText(const std::wstring& translation, const LabelEntry& entry) {
    std::wstring text = translation.empty() ? entry.trad : translation;
    if (entry.mandatory)
        text.insert(0, L"* ");
    return text;
}

}  // namespace screens
