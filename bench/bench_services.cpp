// Translation file of 2000 entries in 6 languages: loading one language, and one look-up. The
// load is also timed for 20 000 and 100 000 entries: its time per entry must stay flat.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/Text.h"
#include "services/Translator.h"

namespace {

std::string g_dir;
std::string g_file;
const char* const kCodes[] = {"fr", "en", "de", "nl", "es", "it"};
constexpr int kEntries = 2000;

std::string MakeTranslationFile(const std::string& dir, int entries = kEntries) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Traductions>\n";
    for (int i = 0; i < entries; ++i) {
        xml += StrFormat("  <TraductionElement id=\"id%04d\">\n", i);
        for (const char* code : kCodes) {
            xml += StrFormat(
                "    <Lang codeKSO=\"%s\">Texte num\xC3\xA9ro %d de l'\xC3\xA9\x63ran en "
                "%s</Lang>\n",
                code, i, code);
        }
        xml += "  </TraductionElement>\n";
    }
    xml += "</Traductions>\n";
    std::string path = dir + "/VEK_Trad" + std::to_string(entries) + ".xml";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(xml.data(), 1, xml.size(), f);
        std::fclose(f);
    }
    return path;
}

void BM_LoadLanguage(benchmark::State& state) {
    ZFQTranslator t(g_file);
    for (auto _ : state) {
        int n = t.LoadLanguage("it");
        if (n != kEntries)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_LoadLanguage)->Unit(benchmark::kMillisecond);

// Per entry, so that a load growing faster than its file shows as a rising figure.
void BM_LoadLanguageScaling(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    ZFQTranslator t(MakeTranslationFile(g_dir, entries));
    for (auto _ : state) {
        if (t.LoadLanguage("it") != entries)
            state.SkipWithError("load failed");
    }
    state.SetItemsProcessed(state.iterations() * entries);
}
BENCHMARK(BM_LoadLanguageScaling)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_GetTraductionIntoBuffer(benchmark::State& state) {
    ZFQTranslator t(g_file);
    t.LoadLanguage("de");
    wchar_t ids[64][8];
    for (int i = 0; i < 64; ++i)
        std::swprintf(ids[i], 8, L"id%04d", (i * 31) % kEntries);
    wchar_t buffer[1024];
    int i = 0;
    for (auto _ : state) {
        int n = t.GetTraduction(ids[i++ & 63], buffer);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_GetTraductionIntoBuffer);

void BM_GetTraductionNarrow(benchmark::State& state) {
    ZFQTranslator t(g_file);
    t.LoadLanguage("de");
    for (auto _ : state) {
        std::wstring text = t.GetTraduction("id1234");
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_GetTraductionNarrow);

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    char tmpl[] = "/tmp/qvbench-XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    g_dir = tmpl;
    g_file = MakeTranslationFile(tmpl);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
    return 0;
}
