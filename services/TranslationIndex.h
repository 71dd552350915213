#pragma once
// The translation file's index: the table of every language as the translator loads it from the
// XML file, written beside the file at build time (VEK_Trad.xml.idx), so that the start-up reads
// the one language it shows without parsing the whole file. The index names the size and hash
// of the file it was made from, and each language's section its own hash; an index that does not
// match the file beside it, or a damaged section, is not used.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tradindex {

using Table = std::map<std::string, std::wstring>;

inline constexpr const char kSuffix[] = ".idx";
// Larger indexes are not read (the XML file itself is refused past 16 MiB).
inline constexpr size_t kMaxBytes = size_t(64) * 1024 * 1024;
// More languages than this are not written, and an index naming more is not read.
inline constexpr size_t kMaxLanguages = 1000;

// A 64-bit hash of FNV-1a's constants taken eight bytes at a time (and the length), to tell
// an edited file from the one indexed; not meant against a forger.
uint64_t Hash(std::string_view bytes);

// The index of tables (by language code) for a translation file holding xmlBytes.
std::string Write(std::string_view xmlBytes, const std::map<std::string, Table>& tables);

// The table of code from an index, or nothing when the index is damaged, was made from another
// file than xmlBytes, or does not hold the code. Linear in the size of the index.
std::optional<Table> Read(std::string_view index, std::string_view xmlBytes, std::string_view code);
// What an index of a file holding xmlBytes names as its source, and the same read for a file
// known to be the one of that source line (its bytes were hashed before and have not changed).
std::string Source(std::string_view xmlBytes);
std::optional<Table> ReadWithSource(std::string_view index, std::string_view source,
                                    std::string_view code);

}  // namespace tradindex
