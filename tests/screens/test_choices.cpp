#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include <sqlite3.h>

#include "base/Text.h"
#include "clients/PointServiceClient.h"
#include "screens/Choices.h"
#include "services/Translator.h"
#include "tests/screens/ScreensTestSupport.h"

using namespace screens;

namespace {

class ChoicesTest : public ScreensTest {
  protected:
    void SetUp() override {
        ScreensTest::SetUp();
        translator.SetWarningStream(devNull.get());
    }
    // Declared first, so it outlives the translator that writes to it.
    std::unique_ptr<FILE, int (*)(FILE*)> devNull{std::fopen("/dev/null", "w"), &std::fclose};
    ZFQTranslator translator;
};

// Entry 1 falls back to 0 and has fonts of its own that are not used.
const char kLanguages[] =
    "Code.0=fr\nPolice.0=Tahoma\nSize.0=21\nMode.0=Bold\n"
    "Fallback.1=0\nPolice.1=Courier\nSize.1=40\n"
    "Code.2=en\nCode.3=de\nCode.4=fra\n";

const LanguePaysWriter kSucceeds = [](std::wstring_view, std::wstring_view) { return 0; };

}  // namespace

TEST_F(ChoicesTest, LanguageScreensRecordTheEntryAndFollowItsFallback) {
    WriteLanguages(kLanguages);
    WriteTranslations(Entry("id1", "fr", "Bonjour") + Entry("id1", "de", "Hallo"));
    EXPECT_EQ(SaveInstallationLanguage(1, context, translator, log), 0);
    EXPECT_EQ(String("ID_LANG"), "ID_LANG1");
    EXPECT_EQ(translator.GetTraduction("id1"), L"Bonjour");
    EXPECT_EQ(CurrentTextFont().face, L"Tahoma");
    EXPECT_EQ(CurrentTextFont().height, 21);
    EXPECT_EQ(CurrentTextFont().weight, 700);
    EXPECT_EQ(LogCount("INFO", "Choosed OS/NOX language : 1=fr/0=fr"), 1);
    EXPECT_EQ(LogCount("INFO", "Load traductions [0=fr]"), 1);

    // Reconfiguration shows entries 0, 2, 3, 4, then entries past the end of the file.
    for (const auto& [k, entry] : {std::pair{0, 0}, {1, 2}, {2, 3}, {5, 6}}) {
        EXPECT_EQ(SaveReconfigurationLanguage(k, context, translator, log), entry) << k;
        EXPECT_EQ(String("ID_LANG"), "ID_LANG" + std::to_string(entry)) << k;
    }
    SaveReconfigurationLanguage(2, context, translator, log);
    EXPECT_EQ(translator.GetTraduction("id1"), L"Hallo");
    EXPECT_EQ(CurrentTextFont().face, L"Arial");  // defaults of the language screens
    EXPECT_EQ(CurrentTextFont().height, 18);
    EXPECT_EQ(LogCount("INFO", "Choosed language : 3=de"), 2);
}

TEST_F(ChoicesTest, PcModelTypeFromTheMatchingEntries) {
    struct Row {
        const char* first;  // occurrences 1 and 2 of PCModelTypeMatching
        const char* second;
        const wchar_t* caption;
        const char* type;
        int warnings;
    };
    const Row rows[] = {
        {"[ALPHA:A1][BETA:B7]", "", L"beta", "B7", 0},
        {"[ALPHA:A1][BETA:B7]", "", L"gamma", "GAMMA", 2},
        {"[ALPHA:A1][BETA:B7", "", L"Beta", "", 0},  // no "]"
        {"[ALPHA:A1]", "[BETA:B7]", L"beta", "B7", 1},
        {"", "[BETA:B7]", L"beta", "BETA", 1},  // an empty occurrence ends the search
        {"[L:0123456789012345678901234567890123456789]", "", L"l",
         "0123456789012345678901234567890", 0},
        {"[W:\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9]",
         "", L"w",
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
         0},  // cut between characters
    };
    int warnings = 0;
    for (const Row& r : rows) {
        context.SetString("PCModelTypeMatching", 1, r.first);
        context.SetString("PCModelTypeMatching", 2, r.second);
        EXPECT_EQ(IdentifyPcModelType(r.caption, context, log), r.type) << r.first;
        EXPECT_EQ(String("PCModelType"), r.type) << r.first;
        warnings += r.warnings;
        EXPECT_EQ(LogCount("WARNING", "PC family seems to be not managed by this configuration"),
                  warnings)
            << r.first;
    }
    EXPECT_EQ(LogCount("INFO", "Searching BETA in [ALPHA:A1][BETA:B7] [1]"), 1);
    EXPECT_EQ(LogCount("INFO", "PC model Type identified : [B7]"), 2);
}

TEST_F(ChoicesTest, CountrySaveWritesLanguageAndCountryAtThePointOfSale) {
    WriteLanguages(kLanguages);
    WriteTranslations(Entry("PAYBE", "fr", "Belgique") + Entry("PAYFR", "fr", "France"));
    translator.LoadLanguage("fr");
    tree.Write("config/KSOCountries.csv", "Code Langue KSO;ID_COUNTRY\nfr;PAYBE\nfr;PAYFR\n");
    context.SetString("ID_LANG", 1, "ID_LANG1");  // falls back to fr

    EXPECT_EQ(SaveCountryAndLanguage({true, L"France"}, context, translator, log,
                                     PointServiceLanguePaysWriter(Widen(POINT_PLUGIN), log)),
              0);
    EXPECT_EQ(String("CodePays"), "FR");
    EXPECT_EQ(Int("LastEvent"), 0);
    EXPECT_EQ(LogCount("INFO", "Call PointServicePlugin to set language and country"), 1);
    PointServiceClient reader;
    reader.SetLibraryPath(Widen(POINT_PLUGIN));
    std::wstring value;
    EXPECT_EQ(reader.ReadDataPoint("LanguePays", value), 0);
    EXPECT_EQ(value, L"frFR");
}

TEST_F(ChoicesTest, CountrySaveFailuresEndTheRun) {
    WriteLanguages(kLanguages);
    WriteTranslations(Entry("PAYFR", "fr", "France") + Entry("PAYLU", "fr", ""));
    translator.LoadLanguage("fr");
    tree.Write("config/KSOCountries.csv", "Code Langue KSO;ID_COUNTRY\nfr;PAYLU\nfr;PAYFR\n");
    struct Row {
        const char* name;
        const char* idLang;
        CountrySelection selection;
        LanguePaysWriter writer;
        bool retrieveLine;  // "Unable to retrieve data from KSOCountries.csv"
        bool exceptionLine;
    };
    const Row rows[] = {
        {"empty list", "ID_LANG0", {false, L""}, kSucceeds, true, false},
        {"unknown name", "ID_LANG0", {true, L"Atlantis"}, kSucceeds, true, false},
        {"untranslated row", "ID_LANG0", {true, L""}, kSucceeds, true, false},
        {"three-letter language", "ID_LANG4", {true, L"France"}, kSucceeds, true, false},
        {"refused",
         "ID_LANG0",
         {true, L"France"},
         [](std::wstring_view, std::wstring_view) { return 5; },
         false,
         false},
        {"throws",
         "ID_LANG0",
         {true, L"France"},
         [](std::wstring_view, std::wstring_view) -> int { throw std::runtime_error("disk gone"); },
         false,
         true},
        {"no plug-in",
         "ID_LANG0",
         {true, L"France"},
         PointServiceLanguePaysWriter(L".\\NoSuchPluginu.dll", log),
         false,
         false},
    };
    int failures = 0, retrieves = 0, exceptions = 0;
    for (const Row& r : rows) {
        context.SetString("ID_LANG", 1, r.idLang);
        context.SetInt("LastEvent", 1, 0);
        EXPECT_EQ(SaveCountryAndLanguage(r.selection, context, translator, log, r.writer), -1)
            << r.name;
        EXPECT_EQ(Int("LastEvent"), -1) << r.name;
        EXPECT_EQ(LogCount("ERR", "Unable to save language and country"), ++failures) << r.name;
        retrieves += r.retrieveLine;
        EXPECT_EQ(LogCount("ERR", "Unable to retrieve data from KSOCountries.csv"), retrieves)
            << r.name;
        exceptions += r.exceptionLine;
        EXPECT_EQ(LogCount("ERR", "Unexpected exception saving language/country :"), exceptions)
            << r.name;
    }
    EXPECT_EQ(LogCount("ERR", "disk gone"), 1);

    std::remove(tree.Path("config/KSOCountries.csv").c_str());
    context.SetString("ID_LANG", 1, "ID_LANG0");
    EXPECT_EQ(SaveCountryAndLanguage({true, L"France"}, context, translator, log, kSucceeds), -1);
    EXPECT_EQ(LogCount("ERR", "Can not ReadFile KSOCountries.csv"), 1);
}

// A country the record cannot take: the cause, from the plug-in's own words, for the line the
// operator reads and for the log.
TEST_F(ChoicesTest, ACountryThatCannotBeSavedSaysWhy) {
    const struct {
        const char* message;
        const char* reasonId;
        const char* cause;
    } rows[] = {
        {"write: database or disk is full", "id0385", "the disk is full"},
        {"cannot open x: No space left on device", "id0385", "the disk is full"},
        {"write: database is locked", "id0386", "the record is locked by another program"},
        {"write: attempt to write a readonly database", "id0387",
         "the record cannot be written: write: attempt to write a readonly database"},
        {"", "id0387", "the record cannot be written"},
    };
    for (const auto& r : rows) {
        const SaveFailure f = SaveFailureOf(r.message);
        EXPECT_STREQ(f.reasonId, r.reasonId) << r.message;
        EXPECT_EQ(f.cause, r.cause) << r.message;
    }

    // The record held by another program past the plug-in's wait.
    WriteLanguages(kLanguages);
    WriteTranslations(Entry("PAYFR", "fr", "France"));
    translator.LoadLanguage("fr");
    tree.Write("config/KSOCountries.csv", "Code Langue KSO;ID_COUNTRY\nfr;PAYFR\n");
    context.SetString("ID_LANG", 1, "ID_LANG0");
    std::string failure;
    const LanguePaysWriter writer =
        PointServiceLanguePaysWriter(Widen(POINT_PLUGIN), log, &failure);
    ASSERT_EQ(SaveCountryAndLanguage({true, L"France"}, context, translator, log, writer), 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(tree.Path("data/LMQPointService.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(SaveCountryAndLanguage({true, L"France"}, context, translator, log, writer), -1);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_STREQ(SaveFailureOf(failure).reasonId, "id0386") << failure;

    // No plug-in at all.
    failure.clear();
    EXPECT_EQ(SaveCountryAndLanguage(
                  {true, L"France"}, context, translator, log,
                  PointServiceLanguePaysWriter(L".\\NoSuchPluginu.dll", log, &failure)),
              -1);
    EXPECT_NE(failure.find("cannot be loaded"), std::string::npos) << failure;
}
