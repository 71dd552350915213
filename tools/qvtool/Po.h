#pragma once
// gettext PO files, as far as the translation table needs them: one entry per translation ID
// (msgctxt), English as msgid, the language's text as msgstr. Plural forms are refused.
#include <string>
#include <vector>

namespace authoring {

struct PoEntry {
    bool hasContext = false;
    std::string context;  // msgctxt
    std::string id;       // msgid
    std::string str;      // msgstr
    bool fuzzy = false;   // "#, fuzzy": a guess the translator has not confirmed
    int line = 0;         // where the entry starts
};

struct PoMessage {
    int line = 0;
    std::string text;
};

struct PoFile {
    std::vector<PoEntry> entries;  // the header (empty msgid, no msgctxt) left out
    std::string language;          // "Language:" of the header
    std::string charset;           // "charset=" of the header's Content-Type
};

// Parses UTF-8 PO text. False, with every problem and its line in errors, when the file is not
// one this tool can take; out then holds what was read.
bool ParsePo(const std::string& text, PoFile* out, std::vector<PoMessage>* errors);

// A PO string literal of text: escaped, split after each line break.
std::string PoString(const std::string& keyword, const std::string& text);

// The header entry of a file for language.
std::string PoHeader(const std::string& language);

}  // namespace authoring
