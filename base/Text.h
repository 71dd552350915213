#pragma once
// Text helpers: 8-bit text is UTF-8, wide text is wchar_t (UTF-32); conversions go through the
// C library's multibyte functions, so every program calls InitLocale first.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// setlocale(LC_ALL, ""), falling back to C.UTF-8 when the result does not speak UTF-8.
void InitLocale();

// Undecodable bytes become U+FFFD.
std::wstring Widen(std::string_view text);
// Characters with no multibyte form become '?'.
std::string Narrow(std::wstring_view text);

std::string StrFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Copies text into a fixed field of fieldSize bytes, cut so that the terminator always fits.
// Returns true when the whole text fitted.
bool CopyToField(char* field, size_t fieldSize, std::string_view text);

// Reads a decimal number the way atoi does (blanks, a sign, leading digits; no digits gives
// 0), but saturates at the 32-bit limits instead of overflowing.
int32_t ParseDecimal(std::string_view text);
int32_t ParseDecimal(std::wstring_view text);

// ASCII letters compared without case; every other byte exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Cuts text to at most maxBytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, size_t maxBytes);
