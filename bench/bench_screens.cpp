// The country screen's list: a table of 220 rows in four languages, the rows of the current
// language translated (goal: at most 5 ms), in a throw-away runtime tree.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>

#include "automate/AutomateContext.h"
#include "base/Log.h"
#include "base/Text.h"
#include "platform/Paths.h"
#include "screens/StateSetup.h"
#include "services/Translator.h"

namespace {

const char* const kCodes[] = {"fr", "en", "de", "nl"};
constexpr int kRows = 220;

void Write(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// A runtime tree with bin/ current and the language, translation and country files.
struct Tree {
    Tree() {
        char tmpl[] = "/tmp/qvbench-XXXXXX";
        root = mkdtemp(tmpl) ? tmpl : "";
        std::string languages = "[LANGUAGE]\n";
        std::string table = "Code Langue KSO;ID_COUNTRY\n";
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<T>\n";
        for (int i = 0; i < 4; ++i)
            languages += StrFormat("Code.%d=%s\n", i, kCodes[i]);
        for (int i = 0; i < kRows; ++i) {
            std::string id = StrFormat("P%02d%c%c", i % 100, 'A' + i / 26 % 26, 'A' + i % 26);
            table += StrFormat("%s;%s\n", kCodes[i % 4], id.c_str());
            xml += StrFormat("<TraductionElement id=\"%s\">", id.c_str());
            for (const char* code : kCodes)
                xml += StrFormat("<Lang codeKSO=\"%s\">Pays %d (%s)</Lang>", code, i, code);
            xml += "</TraductionElement>\n";
        }
        Write(root + "/config/language.ini", languages);
        Write(root + "/config/KSOCountries.csv", table);
        Write(root + "/config/trad/VEK_Trad.xml", xml + "</T>\n");
        std::filesystem::create_directories(root + "/bin");
        std::filesystem::create_directories(root + "/Log");
        char cwd[PATH_MAX];
        previous = getcwd(cwd, sizeof cwd) ? cwd : "/";
        if (chdir((root + "/bin").c_str()) != 0)
            root.clear();
        platform::SetProgramDirectory(root + "/bin");
    }
    ~Tree() {
        platform::SetProgramDirectory("");
        if (chdir(previous.c_str()) != 0) {
        }
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string root, previous;
};

void BM_CountryList(benchmark::State& state) {
    Tree tree;
    CAutomateContext context("QV.log", LOG_ERR);
    context.Initialize();
    context.addPropertiesContext("ID_LANG", "STRING", 1);
    context.SetString("ID_LANG", 1, "ID_LANG1");
    ZFQTranslator translator;
    translator.LoadLanguage("en");
    CLog log(std::string("..\\Log\\"), std::string("QV.log"), kLogSizeKb, std::string("QVApp"),
             kLogFileCount, LOG_ERR);
    size_t listed = 0;
    for (auto _ : state) {
        listed = screens::CountryListNames(context, translator, log).size();
        benchmark::DoNotOptimize(listed);
    }
    if (listed != kRows / 4)
        state.SkipWithError("unexpected list");
    context.ReleaseValues();
}
BENCHMARK(BM_CountryList)->Unit(benchmark::kMillisecond);

}  // namespace
