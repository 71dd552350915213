#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Text.h"
#include "screens/Choices.h"
#include "services/PointServiceClient.h"
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
    "Code.0=fr\nLabel.0=Francais\nPolice.0=Tahoma\nPoliceButton.0=Verdana\nSize.0=21\n"
    "Mode.0=Bold\n"
    "Label.1=Breton\nFallback.1=0\nPolice.1=Courier\nSize.1=40\n"
    "Code.2=en\nLabel.2=English\n"
    "Code.3=de\nLabel.3=Deutsch\n";

}  // namespace

TEST_F(ChoicesTest, InstallationLanguageRecordsThePressedEntryAndUsesItsFallback) {
    WriteLanguages(kLanguages);
    WriteTranslations(Entry("id0001", "fr", "Bonjour") + Entry("id0001", "en", "Hello"));
    EXPECT_EQ(SaveInstallationLanguage(1, context, translator, log), 0);
    EXPECT_EQ(String("ID_LANG"), "ID_LANG1");
    EXPECT_EQ(translator.GetTraduction("id0001"), L"Bonjour");
    EXPECT_EQ(CurrentTextFont().face, L"Tahoma");
    EXPECT_EQ(CurrentTextFont().buttonFace, L"Verdana");
    EXPECT_EQ(CurrentTextFont().height, 21);
    EXPECT_EQ(CurrentTextFont().weight, 700);
    EXPECT_EQ(LogCount("INFO", "Choosed OS/NOX language : 1=fr/0=fr"), 1);
    EXPECT_EQ(LogCount("INFO", "Load traductions [0=fr]"), 1);

    // An entry without fonts takes the language screens' defaults.
    EXPECT_EQ(SaveInstallationLanguage(2, context, translator, log), 2);
    EXPECT_EQ(String("ID_LANG"), "ID_LANG2");
    EXPECT_EQ(translator.GetTraduction("id0001"), L"Hello");
    EXPECT_EQ(CurrentTextFont().face, L"Arial");
    EXPECT_EQ(CurrentTextFont().height, 18);
    EXPECT_EQ(CurrentTextFont().weight, 400);
    EXPECT_EQ(LogCount("INFO", "Choosed OS/NOX language : 2=en/2=en"), 1);

    EXPECT_EQ(SaveInstallationLanguage(-1, context, translator, log), -1);
    EXPECT_EQ(String("ID_LANG"), "ID_LANG2");
}

TEST_F(ChoicesTest, ReconfigurationLanguageCountsOnlyEntriesWithoutFallback) {
    WriteLanguages(kLanguages);
    WriteTranslations(Entry("id0001", "de", "Hallo"));
    // Shown: 0, 2, 3, then entries past the end of the file.
    const std::pair<int, int> rows[] = {{0, 0}, {1, 2}, {2, 3}, {3, 4}, {5, 6}};
    for (const auto& [k, entry] : rows) {
        EXPECT_EQ(SaveReconfigurationLanguage(k, context, translator, log), entry) << k;
        EXPECT_EQ(String("ID_LANG"), "ID_LANG" + std::to_string(entry)) << k;
    }
    SaveReconfigurationLanguage(2, context, translator, log);
    EXPECT_EQ(translator.GetTraduction("id0001"), L"Hallo");
    EXPECT_EQ(LogCount("INFO", "Choosed language : 3=de"), 2);
    EXPECT_EQ(LogCount("INFO", "Load traductions [3=de]"), 2);
}

TEST_F(ChoicesTest, PcModelTypeFromTheMatchingEntries) {
    struct Row {
        const char* first;  // occurrences of PCModelTypeMatching
        const char* second;
        const wchar_t* caption;
        const char* type;
        int warnings;
    };
    const Row rows[] = {
        {"[ALPHA:A1][BETA:B7]", "", L"beta", "B7", 0},
        {"[ALPHA:A1][BETA:B7]", "", L"gamma", "GAMMA", 2},
        {"[ALPHA:A1][BETA:B7", "", L"Beta", "", 0},  // no "]": empty type
        {"[ALPHA:A1]", "[BETA:B7]", L"beta", "B7", 1},
        {"[ALPHA:A1]", "[BETA:B7]", L"delta", "DELTA", 3},  // the third is missing
        {"", "[BETA:B7]", L"beta", "BETA", 1},              // an empty occurrence ends the search
        {"[ALPHA:A1]", "", L"", "", 2},
        {"[LONG:0123456789012345678901234567890123456789]", "", L"long",
         "0123456789012345678901234567890", 0},
        {"[\xC3\x89T\xC3\x89:\xC3\xA9\xC3\xA9]", "", L"\u00e9t\u00e9", "\xC3\xA9\xC3\xA9", 0},
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

    // The stored type is cut on a character boundary.
    std::string wide = "[W:";
    for (int i = 0; i < 20; ++i)
        wide += "\xC3\xA9";
    context.SetString("PCModelTypeMatching", 1, (wide + "]").c_str());
    EXPECT_EQ(IdentifyPcModelType(L"w", context, log).size(), 30u);
}

TEST_F(ChoicesTest, CountrySaveStoresLanguageAndCountryAtThePointOfSale) {
    WriteLanguages("Code.0=fr\nCode.1=en\n");
    WriteTranslations(Entry("PAYBE", "fr", "Belgique") + Entry("PAYFR", "fr", "France"));
    translator.LoadLanguage("fr");
    tree.Write("config/KSOCountries.csv",
               "Code Langue KSO;ID_COUNTRY\nfr;PAYBE\nen;PAYFR\nfr;PAYFR\n");
    context.SetString("ID_LANG", 1, "ID_LANG0");
    context.SetInt("LastEvent", 1, 0);

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
    WriteLanguages("Code.0=fr\nCode.1=fra\n");
    WriteTranslations(Entry("PAYFR", "fr", "France") + Entry("PAYLU", "fr", ""));
    translator.LoadLanguage("fr");
    tree.Write("config/KSOCountries.csv", "Code Langue KSO;ID_COUNTRY\nfr;PAYLU\nfr;PAYFR\n");
    const LanguePaysWriter succeeds = [](std::wstring_view, std::wstring_view) { return 0; };

    struct Row {
        const char* name;
        const char* idLang;
        CountrySelection selection;
        LanguePaysWriter writer;
        bool retrieveLine;  // "Unable to retrieve data from KSOCountries.csv"
        bool exceptionLine;
    };
    const Row rows[] = {
        {"empty list", "ID_LANG0", {false, L""}, succeeds, true, false},
        {"unknown name", "ID_LANG0", {true, L"Atlantis"}, succeeds, true, false},
        {"nothing selected", "ID_LANG0", {true, L""}, succeeds, true, false},
        {"three-letter language", "ID_LANG1", {true, L"France"}, succeeds, true, false},
        {"plug-in refuses",
         "ID_LANG0",
         {true, L"France"},
         [](std::wstring_view, std::wstring_view) { return 5; },
         false,
         false},
        {"plug-in throws",
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
    int failures = 0;
    int retrieves = 0;
    int exceptions = 0;
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
    EXPECT_EQ(LogCount("ERR", "Can not ReadFile KSOCountries.csv"), 0);

    std::remove(tree.Path("config/KSOCountries.csv").c_str());
    context.SetString("ID_LANG", 1, "ID_LANG0");
    EXPECT_EQ(SaveCountryAndLanguage({true, L"France"}, context, translator, log, succeeds), -1);
    EXPECT_EQ(LogCount("ERR", "Can not ReadFile KSOCountries.csv"), 1);
    EXPECT_EQ(LogCount("ERR", "Unable to retrieve data from KSOCountries.csv"), retrieves + 1);
}
