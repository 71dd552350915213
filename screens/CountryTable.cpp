#include "screens/CountryTable.h"

#include "base/DelimitedFile.h"
#include "base/Text.h"
#include "services/Translator.h"

namespace screens {

namespace {

size_t CharacterCount(std::string_view utf8) {
    size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace

std::optional<std::vector<CountryRow>> ReadCountryRows(const std::string& table,
                                                       std::string_view languageCode,
                                                       ZFQTranslator& translator) {
    CDelimitedFile file(READ_AS_STRING);
    file.SetDelimiter(";");
    if (!file.ReadFile(table, READ_AS_STRING))
        return std::nullopt;
    std::vector<CountryRow> rows;
    std::string code;
    std::string id;
    for (long row = 0; row < kCountryRowMax; ++row) {
        // A ragged table leaves some columns shorter than others: such rows are skipped.
        if (file.GetString("Code Langue KSO", row, code) < 0 ||
            file.GetString("ID_COUNTRY", row, id) < 0)
            continue;
        if (code != languageCode || CharacterCount(id) != kCountryIdLength)
            continue;
        rows.push_back({id, translator.GetTraduction(id.c_str())});
    }
    return rows;
}

std::string CountryCodeOf(std::string_view countryId) {
    std::wstring wide = Widen(countryId);
    return wide.size() > 3 ? Narrow(std::wstring_view(wide).substr(3)) : std::string();
}

}  // namespace screens
