#include "tools/qvtool/Po.h"

#include <cstdio>

#include "base/Text.h"

namespace authoring {

namespace {

bool ValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80             ? 1
                     : (c & 0xE0) == 0xC0 ? 2
                     : (c & 0xF0) == 0xE0 ? 3
                     : (c & 0xF8) == 0xF0 ? 4
                                          : 0;
        if (len == 0 || i + len > s.size())
            return false;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k < len; ++k) {
            auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

// The string literal at the start of s (which begins with '"'); false with a reason otherwise.
bool ReadLiteral(std::string_view s, std::string* out, std::string* error) {
    size_t i = 1;
    while (i < s.size()) {
        char c = s[i++];
        if (c == '"') {
            std::string_view rest = s.substr(i);
            if (rest.find_first_not_of(" \t\r") != std::string_view::npos) {
                *error = "text after the closing quote";
                return false;
            }
            return true;
        }
        if (c != '\\') {
            out->push_back(c);
            continue;
        }
        if (i >= s.size())
            break;
        char e = s[i++];
        switch (e) {
            case 'n':
                out->push_back('\n');
                break;
            case 't':
                out->push_back('\t');
                break;
            case 'r':
                out->push_back('\r');
                break;
            case 'a':
                out->push_back('\a');
                break;
            case 'b':
                out->push_back('\b');
                break;
            case 'f':
                out->push_back('\f');
                break;
            case 'v':
                out->push_back('\v');
                break;
            case '"':
                out->push_back('"');
                break;
            case '\\':
                out->push_back('\\');
                break;
            default:
                if (e >= '0' && e <= '7') {
                    int v = e - '0';
                    for (int k = 0; k < 2 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++k)
                        v = v * 8 + (s[i++] - '0');
                    out->push_back(static_cast<char>(v & 0xFF));
                } else {
                    *error = std::string("unknown escape \\") + e;
                    return false;
                }
        }
    }
    *error = "string without a closing quote";
    return false;
}

std::string HeaderField(const std::string& header, const std::string& name) {
    size_t pos = 0;
    while (pos < header.size()) {
        size_t eol = header.find('\n', pos);
        if (eol == std::string::npos)
            eol = header.size();
        std::string line = header.substr(pos, eol - pos);
        pos = eol + 1;
        if (line.size() > name.size() && EqualsNoCase(line.substr(0, name.size()), name)) {
            std::string v = line.substr(name.size());
            size_t b = v.find_first_not_of(" \t");
            size_t e = v.find_last_not_of(" \t\r");
            return b == std::string::npos ? std::string() : v.substr(b, e - b + 1);
        }
    }
    return {};
}

}  // namespace

bool ParsePo(const std::string& text, PoFile* out, std::vector<PoMessage>* errors) {
    *out = PoFile{};
    size_t before = errors->size();
    enum class Field { None, Context, Id, Str };
    PoEntry current;
    Field field = Field::None;
    bool inEntry = false;
    bool pendingFuzzy = false;
    bool seenStr = false;
    std::string header;
    bool haveHeader = false;
    auto fail = [&](int line, const std::string& message) {
        errors->push_back(PoMessage{line, message});
    };
    auto finish = [&](int line) {
        if (!inEntry)
            return;
        if (!seenStr) {
            fail(current.line, "entry without msgstr");
        } else if (!current.hasContext && current.id.empty()) {
            if (haveHeader)
                fail(current.line, "second header entry");
            header = current.str;
            haveHeader = true;
        } else {
            out->entries.push_back(current);
        }
        (void)line;
        current = PoEntry{};
        inEntry = false;
        seenStr = false;
        field = Field::None;
    };

    size_t pos = 0;
    int number = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        std::string_view line(text.data() + pos, eol - pos);
        pos = eol + 1;
        ++number;
        if (!ValidUtf8(line)) {
            fail(number, "not UTF-8");
            continue;
        }
        size_t b = line.find_first_not_of(" \t\r");
        if (b == std::string_view::npos) {
            continue;
        }
        line = line.substr(b);
        if (line[0] == '#') {
            if (line.size() > 1 && line[1] == ',' && line.find("fuzzy") != std::string_view::npos) {
                pendingFuzzy = true;
            }
            continue;
        }
        std::string value;
        std::string error;
        if (line[0] == '"') {
            if (field == Field::None) {
                fail(number, "string outside an entry");
                continue;
            }
            if (!ReadLiteral(line, &value, &error)) {
                fail(number, error);
                continue;
            }
            (field == Field::Context ? current.context
             : field == Field::Id    ? current.id
                                     : current.str) += value;
            continue;
        }
        size_t space = line.find_first_of(" \t");
        std::string keyword(line.substr(0, space));
        std::string_view rest =
            space == std::string_view::npos ? std::string_view{} : line.substr(space);
        size_t q = rest.find_first_not_of(" \t");
        rest = q == std::string_view::npos ? std::string_view{} : rest.substr(q);
        if (keyword == "msgid_plural" || keyword.rfind("msgstr[", 0) == 0) {
            fail(number, "plural forms are not used by the translation table");
            field = Field::None;
            continue;
        }
        if (keyword != "msgctxt" && keyword != "msgid" && keyword != "msgstr") {
            fail(number, "unexpected text " + std::string(CutUtf8(keyword, 30)));
            continue;
        }
        if (rest.empty() || rest[0] != '"') {
            fail(number, keyword + " without a string");
            continue;
        }
        if (!ReadLiteral(rest, &value, &error)) {
            fail(number, error);
            continue;
        }
        // msgctxt starts an entry; so does msgid unless it follows the entry's msgctxt.
        if (keyword == "msgctxt" || (keyword == "msgid" && field != Field::Context)) {
            finish(number);
            inEntry = true;
            current.line = number;
            current.fuzzy = pendingFuzzy;
            pendingFuzzy = false;
        }
        if (keyword == "msgctxt") {
            current.hasContext = true;
            current.context = value;
            field = Field::Context;
        } else if (keyword == "msgid") {
            current.id = value;
            field = Field::Id;
        } else {
            if (!inEntry || field != Field::Id) {
                fail(number, "msgstr without msgid");
                field = Field::None;
                continue;
            }
            current.str = value;
            seenStr = true;
            field = Field::Str;
        }
    }
    finish(number);
    out->language = HeaderField(header, "Language:");
    std::string type = HeaderField(header, "Content-Type:");
    size_t cs = type.find("charset=");
    if (cs != std::string::npos)
        out->charset = type.substr(cs + 8);
    if (!out->charset.empty() && !EqualsNoCase(out->charset, "UTF-8"))
        fail(1, "charset " + out->charset + " is not UTF-8");
    return errors->size() == before;
}

std::string PoString(const std::string& keyword, const std::string& text) {
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : text) {
        switch (c) {
            case '\\':
                piece += "\\\\";
                break;
            case '"':
                piece += "\\\"";
                break;
            case '\t':
                piece += "\\t";
                break;
            case '\r':
                piece += "\\r";
                break;
            case '\n':
                piece += "\\n";
                pieces.push_back(piece);
                piece.clear();
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\%03o", static_cast<unsigned char>(c));
                    piece += buf;
                } else {
                    piece += c;
                }
        }
    }
    if (!piece.empty() || pieces.empty())
        pieces.push_back(piece);
    if (pieces.size() == 1)
        return keyword + " \"" + pieces[0] + "\"\n";
    std::string out = keyword + " \"\"\n";
    for (const std::string& p : pieces)
        out += "\"" + p + "\"\n";
    return out;
}

std::string PoHeader(const std::string& language) {
    return "msgid \"\"\nmsgstr \"\"\n\"Language: " + language +
           "\\n\"\n\"MIME-Version: 1.0\\n\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
           "\"Content-Transfer-Encoding: 8bit\\n\"\n";
}

}  // namespace authoring
