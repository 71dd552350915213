#pragma once
// Profile (INI) files, read the way the system's configuration expects: section and key names
// without regard to case, first matching section and key win, blanks trimmed, matching quotes
// removed, ';' comments, CRLF or LF, UTF-8 with or without BOM or UTF-16LE with BOM, values cut
// at 1023 characters. A parsed file is kept and re-used until the file changes.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The default passed to every read: a result equal to it means the file, section or key is
// missing.
inline constexpr const char kMissingKey[] = "@1@";

// Longest value a read returns, in characters.
inline constexpr size_t kProfileValueMax = 1023;
// Largest file read; a larger one reads as missing.
inline constexpr size_t kProfileMaxBytes = 8 * 1024 * 1024;
// Longest file, section and key name, in characters; longer names are cut.
inline constexpr size_t kProfileNameMax = 299;

// The profile read of the platform: the value of key in section of file, or def when any of them
// is missing; at most maxChars characters.
std::wstring ReadProfileString(std::string_view file, std::wstring_view section,
                               std::wstring_view key, std::wstring_view def,
                               size_t maxChars = kProfileValueMax);

struct ParsedProfile;

// One parse of a profile file for many reads, with the answers of ReadProfileString: the state
// table asks for thousands of keys, and a look at the file for each cost milliseconds of start-up.
// It keeps the file as it was when made.
class ProfileSnapshot {
  public:
    explicit ProfileSnapshot(std::string_view file);
    // The value, cut at maxChars characters; nullopt when the file, section or key is missing.
    std::optional<std::wstring> Read(std::wstring_view section, std::wstring_view key,
                                     size_t maxChars = kProfileValueMax) const;

  private:
    std::shared_ptr<const ParsedProfile> profile_;
};

// Reads key into value (a buffer of 1024 bytes), with "@1@" as the default. Returns 1 when the
// key is missing (value then holds "@1@"), 0 when it was found.
int ReadIniString(const char* file, const char* section, const char* key, char* value);

// Drops every cached parse (tests that rewrite a file within one time-stamp tick).
void ClearProfileCache();

// One meaningful line of a profile file, as the reads see it: blank and comment lines are left
// out. Keys after an unclosed header, before any section or in a repeated section are listed
// although the reads never see them: the listing is for tools that point at lines.
struct ProfileLine {
    enum class Kind { Section, UnclosedSection, Key };
    Kind kind = Kind::Key;
    int line = 0;        // from 1
    std::wstring name;   // section or key name, trimmed, as written
    std::wstring value;  // trimmed, quotes removed, not cut
    bool hasEquals = false;
};
// Every line of the file in order; nullopt when it cannot be read. Not cached.
std::optional<std::vector<ProfileLine>> ListProfile(std::string_view file);
// A section or key name as the reads compare it: two names are the same when their folds are.
std::wstring FoldProfileName(std::wstring_view name);
