#include <gtest/gtest.h>

#include <string>

#include "base/Profile.h"
#include "base/Text.h"
#include "tests/support/TempTree.h"

namespace {

struct Case {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    int result;
    std::string value;
};

std::string Utf16le(const std::u16string& s, bool bom) {
    std::string out = bom ? "\xFF\xFE" : "";
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

}  // namespace

TEST(Profile, ReadsWithProfileSemantics) {
    const std::string longValue(1500, 'v');
    const Case cases[] = {
        {"plain", "[S]\nk=v\n", "S", "k", 0, "v"},
        {"section name ignores case", "[Params]\nModal=false\n", "PARAMS", "Modal", 0, "false"},
        {"key name ignores case", "[S]\nModal=x\n", "S", "mODAL", 0, "x"},
        {"first key wins", "[S]\nk=1\nk=2\n", "S", "k", 0, "1"},
        {"first section wins", "[S]\nk=1\n[s]\nk=2\nj=3\n", "S", "j", 1, "@1@"},
        {"blanks trimmed", "[ S ]\n  k  =   v w  \n", "S", "k", 0, "v w"},
        {"double quotes removed", "[S]\nk=\" v \"\n", "S", "k", 0, " v "},
        {"single quotes removed", "[S]\nk='v'\n", "S", "k", 0, "v"},
        {"unmatched quote kept", "[S]\nk=\"v\n", "S", "k", 0, "\"v"},
        {"comment line", "[S]\n;k=1\nk=2\n", "S", "k", 0, "2"},
        {"CRLF", "[S]\r\nk=v\r\n", "S", "k", 0, "v"},
        {"UTF-8 BOM", "\xEF\xBB\xBF[S]\nk=\xC3\xA9t\xC3\xA9\n", "S", "k", 0, "\xC3\xA9t\xC3\xA9"},
        {"UTF-16LE BOM", Utf16le(u"[S]\r\nk=\u00e9\u20ac\r\n", true), "S", "k", 0,
         "\xC3\xA9\xE2\x82\xAC"},
        {"Latin-1 byte kept", "[S]\nk=caf\xE9\n", "S", "k", 0, "caf\xC3\xA9"},
        {"value is the sentinel", "[S]\nk=@1@\n", "S", "k", 1, "@1@"},
        {"empty value found", "[S]\nk=\n", "S", "k", 0, ""},
        {"missing key", "[S]\nk=v\n", "S", "x", 1, "@1@"},
        {"missing section", "[S]\nk=v\n", "T", "k", 1, "@1@"},
        {"key before any section", "k=v\n[S]\n", "S", "k", 1, "@1@"},
        {"value cut at 1023", "[S]\nk=" + longValue + "\n", "S", "k", 0, longValue.substr(0, 1023)},
        {"no final newline", "[S]\nk=v", "S", "k", 0, "v"},
        {"unclosed header names nothing", "[S]\nk=1\n[T\nj=2\n", "S", "j", 0, "2"},
        {"NUL bytes", std::string("[S]\nk=a\0b\n", 10), "S", "k", 0, "a"},
        {"UTF-16 without BOM: NULs read as blanks", Utf16le(u"[S]\nk=v\n", false), "S", "k", 0,
         "v"},
    };
    for (const Case& c : cases) {
        TempTree tree;
        tree.Write("config/t.ini", c.file);
        char value[1024] = "junk";
        int result = ReadIniString("..\\config\\t.ini", c.section, c.key, value);
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(std::string(value), c.value) << c.name;
        // A snapshot answers alike (read as a C string, as the field above is).
        std::optional<std::wstring> snapshot =
            ProfileSnapshot("..\\config\\t.ini").Read(Widen(c.section), Widen(c.key));
        EXPECT_EQ(snapshot ? std::string(Narrow(*snapshot).c_str()) : kMissingKey, c.value)
            << c.name;
    }
}

TEST(Profile, ASnapshotKeepsTheFileAsItWas) {
    TempTree tree;
    EXPECT_FALSE(ProfileSnapshot("..\\config\\t.ini").Read(L"S", L"k"));
    tree.Write("config/t.ini", "[S]\nk=old\n");
    const ProfileSnapshot before("..\\config\\t.ini");
    tree.Write("config/t.ini", "[S]\nk=new\n");
    EXPECT_EQ(before.Read(L"s", L"K"), L"old");
    EXPECT_EQ(before.Read(L"S", L"k", 2), L"ol");
    EXPECT_EQ(ProfileSnapshot("..\\config\\t.ini").Read(L"S", L"k"), L"new");
}

TEST(Profile, MissingFileReadsAsMissingKey) {
    TempTree tree;
    char value[1024];
    EXPECT_EQ(ReadIniString("..\\config\\none.ini", "S", "k", value), 1);
    EXPECT_STREQ(value, "@1@");
}

TEST(Profile, ChangedFileIsReadAgain) {
    TempTree tree;
    char value[1024];
    tree.Write("config/t.ini", "[S]\nk=old\n");
    ASSERT_EQ(ReadIniString("..\\config\\t.ini", "S", "k", value), 0);
    EXPECT_STREQ(value, "old");
    // Same size, written right after: only the time stamps (to the nanosecond) tell.
    tree.Write("config/t.ini", "[S]\nk=new\n");
    ASSERT_EQ(ReadIniString("..\\config\\t.ini", "S", "k", value), 0);
    EXPECT_STREQ(value, "new");
    // Replaced by rename: another inode.
    tree.Write("config/t2.ini", "[S]\nk=renamed\n");
    ASSERT_EQ(std::rename(tree.Path("config/t2.ini").c_str(), tree.Path("config/t.ini").c_str()),
              0);
    ASSERT_EQ(ReadIniString("..\\config\\t.ini", "S", "k", value), 0);
    EXPECT_STREQ(value, "renamed");
}

TEST(Profile, SurvivesHostileFiles) {
    TempTree tree;
    std::string garbage;
    for (int i = 0; i < 200000; ++i)
        garbage.push_back(static_cast<char>((i * 7919) ^ (i >> 3)));
    const std::string files[] = {
        garbage,
        "[" + std::string(100000, 'x'),
        "[S]\n" + std::string(100000, 'k') + "=v\n",
        "[S]\nk=" + std::string(100000, '\xF0') + "\n",
        std::string(1, '['),
        "\xFF\xFE\x00",
    };
    for (const std::string& f : files) {
        tree.Write("config/bad.ini", f);
        char value[1024];
        ReadIniString("..\\config\\bad.ini", "S", "k", value);
        EXPECT_LT(std::string(value).size(), 1024u);
    }
}

TEST(Profile, LongNamesAreCut) {
    TempTree tree;
    std::string key(299, 'k');
    tree.Write("config/t.ini", "[S]\n" + key + "=v\n");
    char value[1024];
    EXPECT_EQ(ReadIniString("..\\config\\t.ini", "S", (key + "extra").c_str(), value), 0);
    EXPECT_STREQ(value, "v");
}

TEST(Profile, LongNamesInTheFileAreCutToo) {
    TempTree tree;
    const std::string section(300, 's'), key(299, 'k');
    tree.Write("config/t.ini", "[" + section + "]\n" + key + "x=1\n" + key + "y=2\n");
    char value[1024];
    // Asked as written, and both keys are one key once cut: the first wins.
    EXPECT_EQ(ReadIniString("..\\config\\t.ini", section.c_str(), (key + "y").c_str(), value), 0);
    EXPECT_STREQ(value, "1");
}
