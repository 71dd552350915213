#pragma once
// The translator: texts of one language from the translation file, looked up by their short
// identifier ("id0070"). One instance lives for the whole process; it holds its own reference
// on the XML platform. Warnings go to standard output, one line each.
#include <cstddef>
#include <cstdio>
#include <map>
#include <string>

#include "base/XmlDocument.h"

// Relative to the current directory, which start-up makes the program's directory.
inline constexpr const char kTranslationFile[] = "..//config//trad//VEK_Trad.xml";

// Identifiers longer than this load but are never found.
inline constexpr size_t kTranslationIdMax = 16;
// Identifiers are narrowed through a buffer of this many bytes (terminator included); longer
// ones are not loaded.
inline constexpr size_t kTranslationIdBuffer = 32;

class ZFQTranslator {
  public:
    explicit ZFQTranslator(std::string file = kTranslationFile);
    virtual ~ZFQTranslator();
    ZFQTranslator(const ZFQTranslator&) = delete;
    ZFQTranslator& operator=(const ZFQTranslator&) = delete;

    // Loads the texts of a 2-character language code, replacing the table. Returns the number
    // of entries afterwards, or -1 (the table is then left as it was).
    int LoadLanguage(const char* code);
    int LoadLanguage(const wchar_t* code);

    // Copies the text (empty when there is none) with its terminator into out, cut to
    // outChars - 1 characters, and returns the number of characters copied.
    int GetTraduction(const wchar_t* id, wchar_t* out, size_t outChars);
    int GetTraduction(const char* id, wchar_t* out, size_t outChars);
    template <size_t N>
    int GetTraduction(const wchar_t* id, wchar_t (&out)[N]) {
        return GetTraduction(id, out, N);
    }
    template <size_t N>
    int GetTraduction(const char* id, wchar_t (&out)[N]) {
        return GetTraduction(id, out, N);
    }
    // The text, or empty when there is none.
    std::wstring GetTraduction(const wchar_t* id);
    std::wstring GetTraduction(const char* id);

    // Writes the index of the file's every language to indexPath (the file's path with
    // tradindex::kSuffix is where LoadLanguage looks). false with the reason in error.
    bool WriteIndex(const std::string& indexPath, std::string* error);

    size_t Count() const { return table_.size(); }
    // The loaded texts by identifier (empty texts included).
    const std::map<std::string, std::wstring>& Table() const { return table_; }
    const std::string& File() const { return file_; }
    // Why the last LoadLanguage failed (the file and the reason); empty after a load that
    // worked.
    const std::string& LastError() const { return lastError_; }
    // Where warnings go (standard output unless a tool wants its output clean).
    void SetWarningStream(FILE* stream) { warnings_ = stream ? stream : stdout; }

  private:
    // The tables of the file (of wanted alone, from the index when it matches, or of every
    // language), and the file's bytes. false when the file cannot be read or parsed, with the
    // file and the reason in why.
    bool ReadTables(const std::u16string* wanted,
                    std::map<std::u16string, std::map<std::string, std::wstring>>* tables,
                    std::string* bytes, std::string* why);
    void Warn(const char* operation, const char* reason) const;

    // The file and index last found to match, by their status: while neither changed, the
    // file is not read and hashed again for the next language.
    struct FileStamp {
        bool present = false;
        unsigned long long device = 0, inode = 0, size = 0;
        long long modified = 0, changed = 0;  // nanoseconds
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp Stamp(const std::string& path);
    std::string matchedSource_;
    FileStamp matchedFile_, matchedIndex_;

    XmlPlatform platform_;
    std::string file_;
    std::string lastError_;
    FILE* warnings_ = stdout;
    std::map<std::string, std::wstring> table_;
};
