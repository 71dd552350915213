#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Text.h"
#include "services/TranslationIndex.h"
#include "services/Translator.h"
#include "tests/support/TempTree.h"

namespace {

const char kTradPath[] = "config/trad/VEK_Trad.xml";
const char kIndexPath[] = "config/trad/VEK_Trad.xml.idx";

// Files whose every rule the index must keep: first Lang and first entry win, nested entries,
// entities, long identifiers, codes that differ in case or are not ASCII, texts with blanks,
// line breaks, tabs, backslashes and characters beyond the first plane.
const std::vector<std::string> kFiles = {
    R"(<?xml version="1.0" encoding="UTF-8"?>
<anyRoot>
  <TraductionElement id="id0001">
    <Lang codeKSO="fr">Bonjour</Lang><Lang codeKSO="FR">BONJOUR</Lang><Lang codeKSO="en">Hello</Lang>
  </TraductionElement>
  <TraductionElement id="id0002"><Lang codeKSO="fr">first</Lang><Lang codeKSO="fr">second</Lang></TraductionElement>
  <TraductionElement id="id0003"><Lang codeKSO="fr">one</Lang></TraductionElement>
  <TraductionElement id="id0003"><Lang codeKSO="fr">two</Lang><Lang codeKSO="en">later</Lang></TraductionElement>
  <TraductionElement id="id0005"><Lang codeKSO="fr"></Lang></TraductionElement>
  <TraductionElement id="id0006"><Lang codeKSO="fr">  spaced
 text &amp; &#233;&lt; a\b	tab &#x1F600;</Lang></TraductionElement>
  <group><TraductionElement id="id0007"><wrap><Lang codeKSO="fr">a<b>b</b>c</Lang></wrap>
    <TraductionElement id="inner"><Lang codeKSO="en">inner</Lang></TraductionElement>
  </TraductionElement></group>
  <TraductionElement id="abcdefghijklmnopqrstuvwxyz01234"><Lang codeKSO="fr">31</Lang></TraductionElement>
  <TraductionElement id="abcdefghijklmnopqrstuvwxyz012345"><Lang codeKSO="fr">32</Lang></TraductionElement>
  <TraductionElement><Lang codeKSO="fr">no id</Lang></TraductionElement>
  <TraductionElement id="id 8"><Lang codeKSO="é t">accent</Lang><Lang codeKSO="ét">accent</Lang></TraductionElement>
  <TraductionElement id="id0009"><Lang>no code</Lang><lang codeKSO="fr">wrong case</lang></TraductionElement>
</anyRoot>
)",
    "<r/>",
    "<r><TraductionElement id=\"x\"><Lang codeKSO=\"de\">nur</Lang></TraductionElement></r>",
};
const char* const kCodes[] = {"fr", "FR", "en", "de", "ét", "it"};

class TranslationIndexTest : public testing::Test {
  protected:
    // The table the translator loads for code (UTF-8; two characters wide), with the warnings
    // it prints swallowed.
    std::map<std::string, std::wstring> Load(const char* code, int* count = nullptr) {
        ZFQTranslator t(tree.Path(kTradPath));
        t.SetWarningStream(null_);
        const int n = t.LoadLanguage(Widen(code).c_str());
        if (count)
            *count = n;
        return t.Table();
    }
    void SetUp() override { null_ = std::fopen("/dev/null", "w"); }
    void TearDown() override { std::fclose(null_); }
    std::string WriteIndex() {
        ZFQTranslator t(tree.Path(kTradPath));
        std::string error;
        EXPECT_TRUE(t.WriteIndex(tree.Path(kIndexPath), &error)) << error;
        return tree.Read(kIndexPath);
    }

    TempTree tree;
    std::FILE* null_ = nullptr;
};

TEST_F(TranslationIndexTest, GivesTheTableTheFileGives) {
    for (const std::string& file : kFiles) {
        tree.Write(kTradPath, file);
        std::vector<std::map<std::string, std::wstring>> parsed;
        for (const char* code : kCodes)
            parsed.push_back(Load(code));
        const std::string index = WriteIndex();
        for (size_t i = 0; i < std::size(kCodes); ++i) {
            SCOPED_TRACE(std::string(kCodes[i]) + " of " + file.substr(0, 60));
            int count = -2;
            EXPECT_EQ(Load(kCodes[i], &count), parsed[i]);
            EXPECT_EQ(count, static_cast<int>(parsed[i].size()));
            // The index itself holds every language the file has, and nothing of the others.
            auto fromIndex = tradindex::Read(index, file, kCodes[i]);
            if (parsed[i].empty())
                EXPECT_TRUE(!fromIndex || fromIndex->empty());
            else
                EXPECT_EQ(fromIndex.value_or(tradindex::Table{}), parsed[i]);
        }
    }
}

TEST_F(TranslationIndexTest, AnIndexOfAnotherFileIsNotUsed) {
    tree.Write(kTradPath, kFiles[0]);
    WriteIndex();
    // Same size, one letter changed: the hash tells them apart.
    std::string edited = kFiles[0];
    edited.replace(edited.find("Bonjour"), 7, "Bonsoir");
    tree.Write(kTradPath, edited);
    EXPECT_EQ(Load("fr").at("id0001"), L"Bonsoir");
    // Removed, the file alone gives the table.
    tree.Write(kTradPath, kFiles[0]);
    std::remove(tree.Path(kIndexPath).c_str());
    EXPECT_EQ(Load("fr").at("id0001"), L"Bonjour");
}

// One translator loads language after language; the file and the index found to match are
// not read again while unchanged, so every change to either must still show at the next load.
TEST_F(TranslationIndexTest, TheSameTranslatorSeesEveryChangeAtItsNextLoad) {
    tree.Write(kTradPath, kFiles[0]);
    WriteIndex();
    ZFQTranslator t(tree.Path(kTradPath));
    t.SetWarningStream(null_);
    auto text = [&t](const char* code, const char* id) {
        t.LoadLanguage(code);
        return t.Table().count(id) ? t.Table().at(id) : L"(none)";
    };
    EXPECT_EQ(text("fr", "id0001"), L"Bonjour");
    EXPECT_EQ(text("en", "id0001"), L"Hello");
    std::string edited = kFiles[0];
    edited.replace(edited.find("Bonjour"), 7, "Bonsoir");
    tree.Write(kTradPath, edited);
    EXPECT_EQ(text("fr", "id0001"), L"Bonsoir");
    WriteIndex();
    EXPECT_EQ(text("fr", "id0001"), L"Bonsoir");
    // The index rewritten with another file's tables: refused by its source line.
    tree.Write(kIndexPath, tradindex::Write(kFiles[2], {{"fr", {{"id0001", L"stale"}}}}));
    EXPECT_EQ(text("fr", "id0001"), L"Bonsoir");
    std::remove(tree.Path(kTradPath).c_str());
    EXPECT_EQ(t.LoadLanguage("fr"), -1);
}

TEST_F(TranslationIndexTest, ADamagedIndexGivesTheRightTableOrNone) {
    tree.Write(kTradPath, kFiles[0]);
    const auto fr = Load("fr"), en = Load("en");
    const std::string index = WriteIndex();
    // Every cut and every changed byte: never another table than the file's.
    for (size_t at = 0; at <= index.size(); ++at) {
        for (const std::string& damaged :
             {index.substr(0, at),
              at < index.size()
                  ? index.substr(0, at) + char(index[at] ^ 0x01) + index.substr(at + 1)
                  : index}) {
            for (const auto* expected : {&fr, &en}) {
                const char* code = expected == &fr ? "fr" : "en";
                auto table = tradindex::Read(damaged, kFiles[0], code);
                if (table) {
                    ASSERT_EQ(*table, *expected) << "byte " << at << " " << code;
                }
            }
        }
    }
    // Through the translator a damaged index is the file's table again.
    std::string damaged = index;
    damaged[damaged.find("Bonjour")] = 'X';
    tree.Write(kIndexPath, damaged);
    EXPECT_EQ(Load("fr"), fr);
}

TEST_F(TranslationIndexTest, HeaderNumbersAreBounded) {
    const std::string xml = "<r/>";
    const std::string good = tradindex::Write(xml, {{"fr", {{"a", L"b"}}}});
    ASSERT_TRUE(tradindex::Read(good, xml, "fr"));
    const std::string header = good.substr(0, good.find("language "));
    for (const char* line :
         {"language fr 1 99999999999999999999999 0\n", "language fr 18446744073709551615 4 0\n",
          "language fr 1 18446744073709551616 0\n", "language fr 1 4\n", "language fr -1 4 0\n",
          "language  fr 1 4 0\n"}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(tradindex::Read(header + line + "a\tb\nend\n", xml, "fr"));
    }
}

TEST_F(TranslationIndexTest, TheShippedIndexIsOfTheShippedFile) {
    const std::string bytes = ReadFile(DIST_DIR "/config/trad/VEK_Trad.xml");
    const std::string index = ReadFile(DIST_DIR "/config/trad/VEK_Trad.xml.idx");
    ASSERT_FALSE(index.empty()) << "the build writes the index beside the table";
    // The file alone, in a tree without its index.
    tree.Write(kTradPath, bytes);
    for (const char* code : {"fr", "en", "de", "nl", "es", "it"}) {
        SCOPED_TRACE(code);
        auto table = tradindex::Read(index, bytes, code);
        ASSERT_TRUE(table) << "the index is of another file than the one it lies beside";
        EXPECT_GT(table->size(), 5u);
        EXPECT_EQ(*table, Load(code));
    }
}

}  // namespace
