#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/Translator.h"
#include "tests/support/TempTree.h"

namespace {

const char kTradPath[] = "config/trad/VEK_Trad.xml";

std::string Warning(const char* op, const char* reason) {
    return std::string("WARNING IN ZFQTranslator::") + op + " : " + reason + "\n";
}

const std::string kNotFound = Warning("GetTraduction", "Traduction not found");
const std::string kInvalidId = Warning("GetTraduction", "Invalid idTraduction");
const std::string kNotInit = Warning("GetTraduction", "Traductions not initialized");
const std::string kBadCode = Warning("LoadLanguage", "Invalid code language");
const std::string kBadFile = Warning("LoadLanguage", "Unable to parse traductions file");

const char kTrad[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<anyRoot>
  <TraductionElement id="id0001">
    <Lang codeKSO="fr">Bonjour</Lang>
    <Lang codeKSO="FR">BONJOUR</Lang>
    <Lang codeKSO="en">Hello</Lang>
  </TraductionElement>
  <TraductionElement id="id0002">
    <Lang codeKSO="fr">first</Lang>
    <Lang codeKSO="fr">second</Lang>
  </TraductionElement>
  <TraductionElement id="id0003"><Lang codeKSO="fr">one</Lang></TraductionElement>
  <TraductionElement id="id0003"><Lang codeKSO="fr">two</Lang></TraductionElement>
  <TraductionElement id="id0004"><Lang codeKSO="en">English only</Lang></TraductionElement>
  <TraductionElement id="id0005"><Lang codeKSO="fr"></Lang></TraductionElement>
  <TraductionElement id="id0006"><Lang codeKSO="fr">  spaced
 text &amp; &#233;&lt; </Lang></TraductionElement>
  <group>
    <TraductionElement id="id0007"><wrap><Lang codeKSO="fr">a<b>b</b>c</Lang></wrap></TraductionElement>
  </group>
  <TraductionElement id="abcdefghijklmnop"><Lang codeKSO="fr">sixteen</Lang></TraductionElement>
  <TraductionElement id="abcdefghijklmnopq"><Lang codeKSO="fr">seventeen</Lang></TraductionElement>
  <TraductionElement id="abcdefghijklmnopqrstuvwxyz0123456789"><Lang codeKSO="fr">x</Lang></TraductionElement>
  <TraductionElement><Lang codeKSO="fr">no id</Lang></TraductionElement>
  <traductionelement id="id0008"><Lang codeKSO="fr">wrong case tag</Lang></traductionelement>
  <TraductionElement id="id0009"><lang codeKSO="fr">wrong case tag</lang></TraductionElement>
</anyRoot>
)";

// Runs fn with standard output captured and returns what it printed.
template <typename Fn>
std::string Captured(Fn fn) {
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
}

class TranslatorTest : public testing::Test {
  protected:
    TempTree tree;
};

}  // namespace

TEST_F(TranslatorTest, LookUpRules) {
    tree.Write(kTradPath, kTrad);
    ZFQTranslator t;
    // id0001, id0002, id0003 once, id0005 (empty text), id0006, id0007, the 16- and
    // 17-character identifiers and the empty identifier.
    EXPECT_EQ(t.LoadLanguage("fr"), 9);

    struct Case {
        const char* id;
        std::wstring text;
        std::string warning;
    };
    const std::vector<Case> cases = {
        {"id0001", L"Bonjour", ""},
        {"ID0001", L"", kNotFound},
        {"id0002", L"first", ""},
        {"id0003", L"one", ""},
        {"id0004", L"", kNotFound},
        {"id0005", L"", kNotFound},
        {"id0006", L"  spaced\n text & \u00e9< ", ""},
        {"id0007", L"abc", ""},
        {"id0008", L"", kNotFound},
        {"id0009", L"", kNotFound},
        {"abcdefghijklmnop", L"sixteen", ""},
        {"abcdefghijklmnopq", L"", kInvalidId},
        {"", L"", kInvalidId},
    };
    for (const Case& c : cases) {
        std::wstring text;
        EXPECT_EQ(Captured([&] { text = t.GetTraduction(c.id); }), c.warning) << c.id;
        EXPECT_EQ(text, c.text) << c.id;

        // The wide forms and the buffer forms agree with the narrow one.
        std::wstring wideId(c.id, c.id + std::char_traits<char>::length(c.id));
        wchar_t buffer[64];
        int length = -1;
        EXPECT_EQ(Captured([&] { length = t.GetTraduction(wideId.c_str(), buffer); }), c.warning)
            << c.id;
        EXPECT_EQ(length, static_cast<int>(c.text.size()));
        EXPECT_EQ(std::wstring(buffer), c.text);
    }
    EXPECT_EQ(Captured([&] { t.GetTraduction(static_cast<const char*>(nullptr)); }), kInvalidId);
    EXPECT_EQ(Captured([&] { t.GetTraduction(static_cast<const wchar_t*>(nullptr)); }), kInvalidId);
    EXPECT_EQ(Captured([&] { t.GetTraduction(L"abcdefghijklmnopq"); }), kInvalidId);
}

TEST_F(TranslatorTest, CodesAreComparedExactly) {
    tree.Write(kTradPath, kTrad);
    ZFQTranslator t;
    EXPECT_EQ(t.LoadLanguage("FR"), 1);
    EXPECT_EQ(t.GetTraduction("id0001"), L"BONJOUR");
    EXPECT_EQ(t.LoadLanguage(L"en"), 2);
    EXPECT_EQ(t.GetTraduction("id0004"), L"English only");
    EXPECT_EQ(t.GetTraduction(L"id0001"), L"Hello");
    // No entry has "Fr": the table is empty and look-ups say so.
    EXPECT_EQ(t.LoadLanguage("Fr"), 0);
    EXPECT_EQ(Captured([&] { t.GetTraduction("id0001"); }), kNotInit);
}

TEST_F(TranslatorTest, InvalidCodesKeepTheTable) {
    tree.Write(kTradPath, kTrad);
    ZFQTranslator t;
    ASSERT_EQ(t.LoadLanguage("en"), 2);
    for (const char* code : {"", "e", "eng", "english"}) {
        int r = 0;
        EXPECT_EQ(Captured([&] { r = t.LoadLanguage(code); }), kBadCode) << code;
        EXPECT_EQ(r, -1);
    }
    for (const wchar_t* code : {L"", L"e", L"eng"}) {
        EXPECT_EQ(Captured([&] { EXPECT_EQ(t.LoadLanguage(code), -1); }), kBadCode);
    }
    EXPECT_EQ(Captured([&] { EXPECT_EQ(t.LoadLanguage(static_cast<const char*>(nullptr)), -1); }),
              kBadCode);
    // Two bytes that are one character are not a two-character code.
    EXPECT_EQ(Captured([&] { EXPECT_EQ(t.LoadLanguage(L"\u00e9"), -1); }), kBadCode);
    EXPECT_EQ(t.GetTraduction("id0001"), L"Hello");
}

TEST_F(TranslatorTest, UnreadableFilesKeepThePreviousLanguage) {
    const std::string bomb =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY a \"aaaaaaaaaa\">\n"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n"
        "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">\n"
        "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">\n"
        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">\n]>\n"
        "<r><TraductionElement id=\"id0001\"><Lang codeKSO=\"fr\">&h;</Lang>"
        "</TraductionElement></r>\n";
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>((i * 7919) & 0xff));
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"truncated", std::string(kTrad).substr(0, 300)},
        {"not xml", "id0001;Bonjour\n"},
        {"empty", ""},
        {"garbage", garbage},
        {"bomb", bomb},
        {"external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"/etc/passwd\">]>"
         "<r><TraductionElement id=\"id0001\"><Lang codeKSO=\"fr\">&x;</Lang>"
         "</TraductionElement></r>"},
    };

    ZFQTranslator t;
    // Nothing loaded yet, and a first load that fails leaves nothing either.
    EXPECT_EQ(Captured([&] { t.GetTraduction("id0001"); }), kNotInit);
    EXPECT_EQ(Captured([&] { EXPECT_EQ(t.LoadLanguage("fr"), -1); }), kBadFile);
    EXPECT_EQ(Captured([&] { t.GetTraduction("id0001"); }), kNotInit);

    tree.Write(kTradPath, kTrad);
    ASSERT_EQ(t.LoadLanguage("fr"), 9);
    for (const auto& [name, bytes] : bad) {
        tree.Write(kTradPath, bytes);
        EXPECT_EQ(Captured([&] { EXPECT_EQ(t.LoadLanguage("en"), -1) << name; }), kBadFile) << name;
        EXPECT_EQ(t.GetTraduction("id0001"), L"Bonjour") << name;
        EXPECT_EQ(t.Count(), 9u);
    }
}

TEST_F(TranslatorTest, BufferFormsCutToTheBuffer) {
    tree.Write(kTradPath, kTrad);
    ZFQTranslator t;
    ASSERT_EQ(t.LoadLanguage("fr"), 9);
    wchar_t small[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(t.GetTraduction(L"id0001", small, 4), 3);
    EXPECT_EQ(std::wstring(small), L"Bon");
    EXPECT_EQ(t.GetTraduction("id0001", small, 1), 0);
    EXPECT_EQ(small[0], L'\0');
    EXPECT_EQ(t.GetTraduction("id0001", nullptr, 10), 0);
    // Not found: an empty text with its terminator.
    wchar_t buffer[8] = {L'x'};
    Captured([&] { EXPECT_EQ(t.GetTraduction("missing", buffer), 0); });
    EXPECT_EQ(buffer[0], L'\0');
}

TEST_F(TranslatorTest, DemoFileHasEveryLanguageOfTheLanguageFile) {
    ZFQTranslator t(DIST_DIR "/config/trad/VEK_Trad.xml");
    for (const char* code : {"fr", "en", "de", "nl", "es", "it"}) {
        EXPECT_GT(t.LoadLanguage(code), 5) << code;
        EXPECT_FALSE(t.GetTraduction("id0070").empty()) << code;
    }
}
