// The setup plug-in keeps its own profile reader (it may not link the host), so the same bytes
// are read by both here: every row must give one answer from the host's reader and the plug-in's.
#include <gtest/gtest.h>

#include <clocale>
#include <optional>
#include <string>

#include "base/Profile.h"
#include "base/Text.h"
#include "plugins/setup_actions/SetupLogic.h"
#include "tests/support/TempTree.h"

namespace {

std::string Utf16le(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

const std::string kBom8 = "\xEF\xBB\xBF";
const std::string kBom16 = "\xFF\xFE";
const std::optional<std::string> kMissing;

struct Row {
    const char* name;
    std::string bytes;
    std::string section, key;  // UTF-8, as asked
    std::optional<std::string> value;
};

std::string Repeat(std::string_view piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

std::string Show(const std::optional<std::string>& v) {
    if (!v)
        return "missing";
    if (v->size() > 40)
        return "[" + v->substr(0, 20) + "...] of " + std::to_string(v->size()) + " bytes";
    return "[" + *v + "]";
}

}  // namespace

TEST(ProfileReaders, AgreeOnEveryRow) {
    const std::string longName(kProfileNameMax, 'k');
    const Row rows[] = {
        // names
        {"plain", "[S]\nk=v\n", "S", "k", "v"},
        {"section name ignores case", "[Params]\nModal=false\n", "PARAMS", "Modal", "false"},
        {"key name ignores case", "[S]\nModal=x\n", "S", "mODAL", "x"},
        {"non-ASCII names ignore case", "[G\xC3\xA9n\xC3\xA9ral]\n\xC3\x84=1\n",
         "G\xC3\x89N\xC3\x89RAL", "\xC3\xA4", "1"},
        {"blanks inside names kept", "[My S]\nmy key = v\n", "my s", "MY KEY", "v"},
        {"asked names trimmed", "[S]\nk=v\n", " S\t", "  k ", "v"},
        {"empty section name", "[]\nk=v\n", "", "k", "v"},
        {"long asked name cut", "[S]\n" + longName + "=v\n", "S", longName + "extra", "v"},
        {"long written name cut", "[S]\n" + longName + "x=v\n", "S", longName + "x", "v"},
        // first match wins
        {"first key wins", "[S]\nk=1\nk=2\n", "S", "k", "1"},
        {"key differing in case is the same key", "[S]\nk=1\nK=2\n", "S", "K", "1"},
        {"repeated section: first copy's key", "[S]\nk=1\n[s]\nk=2\n", "S", "k", "1"},
        {"repeated section: key only in second copy", "[S]\nk=1\n[s]\nj=3\n", "S", "j", kMissing},
        {"repeated section after another", "[S]\nk=1\n[T]\nx=1\n[S]\nj=3\n", "S", "j", kMissing},
        {"section first seen late", "[T]\nx=1\n[S]\nk=2\n", "S", "k", "2"},
        // lines
        {"blanks trimmed", "[ S ]\n  k  =   v w  \n", "S", "k", "v w"},
        {"tabs trimmed", "\t[\tS\t]\t\n\tk\t=\tv\t\n", "S", "k", "v"},
        {"indented header", "  [S]\nk=v\n", "S", "k", "v"},
        {"text after the header", "[S] ; note\nk=v\n", "S", "k", "v"},
        {"header ends at its last bracket", "[S]x]\nk=v\n", "S]x", "k", "v"},
        {"header ends at its last bracket, not the first", "[S]x]\nk=v\n", "S", "k", kMissing},
        {"unclosed header names nothing", "[S]\nk=1\n[T\nj=2\n", "S", "j", "2"},
        {"unclosed header is no section", "[S]\nk=1\n[T\nj=2\n", "T", "j", kMissing},
        {"key before any section", "k=v\n[S]\n", "S", "k", kMissing},
        {"value holds '='", "[S]\nk=a=b\n", "S", "k", "a=b"},
        {"key without '='", "[S]\nk\n", "S", "k", ""},
        {"key without '=' comes first", "[S]\nk\nk=2\n", "S", "k", ""},
        {"empty value found", "[S]\nk=\n", "S", "k", ""},
        {"empty key name", "[S]\n=v\n", "S", "", "v"},
        {"blank lines", "\n\n[S]\n\n   \n\t\nk=v\n\n", "S", "k", "v"},
        {"no final newline", "[S]\nk=v", "S", "k", "v"},
        {"empty file", "", "S", "k", kMissing},
        {"missing key", "[S]\nk=v\n", "S", "x", kMissing},
        {"missing section", "[S]\nk=v\n", "T", "k", kMissing},
        // comments
        {"comment line", "[S]\n;k=1\nk=2\n", "S", "k", "2"},
        {"indented comment", "[S]\n   ;k=1\nk=2\n", "S", "k", "2"},
        {"commented header", "[S]\nk=1\n;[T]\nj=2\n", "S", "j", "2"},
        {"';' inside a value kept", "[S]\nk=v ; not a comment\n", "S", "k", "v ; not a comment"},
        {"'#' starts no comment", "[S]\n#k=1\n", "S", "#k", "1"},
        // quotes
        {"double quotes removed", "[S]\nk=\" v \"\n", "S", "k", " v "},
        {"single quotes removed", "[S]\nk='v'\n", "S", "k", "v"},
        {"quotes after trimming", "[S]\nk =  \"v\"  \n", "S", "k", "v"},
        {"empty quotes", "[S]\nk=\"\"\n", "S", "k", ""},
        {"one quote kept", "[S]\nk=\"\n", "S", "k", "\""},
        {"unmatched quote kept", "[S]\nk=\"v\n", "S", "k", "\"v"},
        {"mixed quotes kept", "[S]\nk=\"v'\n", "S", "k", "\"v'"},
        {"inner quotes kept", "[S]\nk=a \"b\" c\n", "S", "k", "a \"b\" c"},
        // line ends
        {"CRLF", "[S]\r\nk=v\r\n", "S", "k", "v"},
        {"CRLF on a quoted value", "[S]\r\nk=\"v \"\r\n", "S", "k", "v "},
        {"mixed line ends", "[S]\r\nk=v\nj=w\r\n", "S", "j", "w"},
        // encodings
        {"UTF-8", "[S]\nk=\xC3\xA9t\xC3\xA9\n", "S", "k", "\xC3\xA9t\xC3\xA9"},
        {"UTF-8 BOM", kBom8 + "[S]\nk=\xC3\xA9t\xC3\xA9\n", "S", "k", "\xC3\xA9t\xC3\xA9"},
        {"UTF-8 BOM only", kBom8, "S", "k", kMissing},
        {"UTF-16LE BOM", kBom16 + Utf16le(u"[S]\r\nk=\u00e9\u20ac\r\n"), "S", "k",
         "\xC3\xA9\xE2\x82\xAC"},
        {"UTF-16LE BOM, names ignore case", kBom16 + Utf16le(u"[Setup]\nKey=v\n"), "SETUP", "key",
         "v"},
        {"UTF-16LE surrogate pair", kBom16 + Utf16le(u"[S]\nk=\U0001D11E\n"), "S", "k",
         "\xF0\x9D\x84\x9E"},
        {"UTF-16LE lone surrogate", kBom16 + Utf16le(u"[S]\nk=a\xD800z\n"), "S", "k",
         "a\xEF\xBF\xBDz"},
        {"UTF-16LE odd last byte", kBom16 + Utf16le(u"[S]\nk=v") + "x", "S", "k", "v"},
        {"UTF-16 without BOM: NULs read as blanks", Utf16le(u"[S]\nk=v\n"), "S", "k", "v"},
        {"UTF-16BE is not read", "\xFE\xFF" + std::string("\0[\0S\0]\0\n\0k\0=\0v\0\n", 16), "S",
         "k", kMissing},
        {"Latin-1 byte kept", "[S]\nk=caf\xE9\n", "S", "k", "caf\xC3\xA9"},
        {"overlong UTF-8 read as Latin-1", "[S]\nk=\xC0\xAF\n", "S", "k", "\xC3\x80\xC2\xAF"},
        {"cut UTF-8 sequence read as Latin-1", "[S]\nk=\xE2\x82\n", "S", "k", "\xC3\xA2\xC2\x82"},
        {"NUL bytes end no line", std::string("[S]\nk=a\0b\nj=c\n", 14), "S", "j", "c"},
        {"NUL bytes kept inside a value", std::string("[S]\nk=a\0b\n", 10), "S", "k",
         std::string("a\0b", 3)},
        // the cut
        {"value of 1023 kept", "[S]\nk=" + std::string(1023, 'v') + "\n", "S", "k",
         std::string(1023, 'v')},
        {"value cut at 1023", "[S]\nk=" + std::string(1500, 'v') + "\n", "S", "k",
         std::string(1023, 'v')},
        {"cut counts characters, not bytes", "[S]\nk=" + Repeat("\xC3\xA9", 1500) + "\n", "S", "k",
         Repeat("\xC3\xA9", 1023)},
        {"cut counts UTF-16 characters",
         kBom16 + Utf16le(u"[S]\nk=" + std::u16string(1500, u'\u20ac')), "S", "k",
         Repeat("\xE2\x82\xAC", 1023)},
        {"quotes removed before the cut", "[S]\nk=\"" + std::string(1023, 'v') + "\"\n", "S", "k",
         std::string(1023, 'v')},
        {"blanks trimmed before the cut", "[S]\nk=" + std::string(1023, 'v') + "   \n", "S", "k",
         std::string(1023, 'v')},
    };
    TempTree tree;
    int n = 0;
    for (const Row& r : rows) {
        const std::string path = tree.Path("config/row" + std::to_string(n++) + ".ini");
        WriteFile(path, r.bytes);
        std::optional<std::wstring> host =
            ProfileSnapshot(path).Read(Widen(r.section), Widen(r.key));
        std::optional<std::string> hostValue;
        if (host)
            hostValue = Narrow(*host);
        const std::optional<std::string> plugin = setup::ProfileValue(r.bytes, r.section, r.key);
        EXPECT_EQ(hostValue, r.value) << r.name << ": host reads " << Show(hostValue);
        EXPECT_EQ(plugin, r.value) << r.name << ": plug-in reads " << Show(plugin);
    }
}

// A Turkish locale lowers 'I' to a dotless 'ı': the names of the system's files are ASCII and
// must match in either case there too. Skipped where the locale is not installed.
TEST(ProfileReaders, AsciiNamesIgnoreCaseInATurkishLocale) {
    locale_t turkish = newlocale(LC_CTYPE_MASK, "tr_TR.UTF-8", static_cast<locale_t>(0));
    if (!turkish)
        GTEST_SKIP() << "no tr_TR.UTF-8 locale";
    TempTree tree;
    const std::string bytes = "[info]\nMinFreeMB=5\n";
    const std::string path = tree.Path("config/t.ini");
    WriteFile(path, bytes);
    const locale_t previous = uselocale(turkish);
    const std::optional<std::wstring> host = ProfileSnapshot(path).Read(L"INFO", L"MINFREEMB");
    const std::optional<std::string> plugin = setup::ProfileValue(bytes, "INFO", "MINFREEMB");
    uselocale(previous);
    freelocale(turkish);
    EXPECT_EQ(host, L"5");
    EXPECT_EQ(plugin, "5");
}
