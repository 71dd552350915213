#include "base/Text.h"

#include <langinfo.h>
#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

void InitLocale() {
    const char* set = std::setlocale(LC_ALL, "");
    const char* codeset = set ? nl_langinfo(CODESET) : nullptr;
    if (!codeset || std::strcmp(codeset, "UTF-8") != 0)
        std::setlocale(LC_ALL, "C.UTF-8");
}

std::wstring Widen(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::mbstate_t state{};
    size_t i = 0;
    while (i < text.size()) {
        wchar_t wc = 0;
        size_t n = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            out.push_back(L'\uFFFD');
            state = std::mbstate_t{};
            ++i;
        } else if (n == 0) {  // an embedded NUL
            out.push_back(L'\0');
            ++i;
        } else {
            out.push_back(wc);
            i += n;
        }
    }
    return out;
}

std::string Narrow(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    std::mbstate_t state{};
    char buf[MB_LEN_MAX];
    for (wchar_t wc : text) {
        size_t n = std::wcrtomb(buf, wc, &state);
        if (n == static_cast<size_t>(-1)) {
            out.push_back('?');
            state = std::mbstate_t{};
        } else {
            out.append(buf, n);
        }
    }
    return out;
}

std::string StrFormat(const char* fmt, ...) {
    char small[512];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(small, sizeof small, fmt, ap);
    va_end(ap);
    if (n < 0)
        return {};
    if (static_cast<size_t>(n) < sizeof small)
        return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_start(ap, fmt);
    std::vsnprintf(out.data(), out.size(), fmt, ap);
    va_end(ap);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string_view CutUtf8(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    size_t end = maxBytes;
    // Step back over continuation bytes so no sequence is split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

bool CopyToField(char* field, size_t fieldSize, std::string_view text) {
    if (fieldSize == 0)
        return text.empty();
    std::string_view cut = CutUtf8(text, fieldSize - 1);
    std::memcpy(field, cut.data(), cut.size());
    field[cut.size()] = '\0';
    return cut.size() == text.size();
}

namespace {
template <typename Char>
int32_t ParseDecimalOf(std::basic_string_view<Char> text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT32_MAX} + 1)
            break;
    }
    if (negative)
        value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}
}  // namespace

int32_t ParseDecimal(std::string_view text) {
    return ParseDecimalOf(text);
}
int32_t ParseDecimal(std::wstring_view text) {
    return ParseDecimalOf(text);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}
