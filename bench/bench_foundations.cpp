// Figures for the foundations: context look-up, one log line, one profile read.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "automate/AutomateContext.h"
#include "base/Log.h"
#include "base/Profile.h"
#include "base/Text.h"

namespace {

// A scratch runtime tree (bin/ current, Log/ and config/ beside it) for the whole run.
struct Scratch {
    Scratch() {
        char tmpl[] = "/tmp/qvbench-XXXXXX";
        root = mkdtemp(tmpl);
        for (const char* d : {"bin", "Log", "config"})
            std::filesystem::create_directories(root + "/" + d);
        if (chdir((root + "/bin").c_str()) != 0)
            std::abort();
    }
    ~Scratch() { std::filesystem::remove_all(root); }
    std::string root;
};

Scratch& TheScratch() {
    static Scratch s;
    return s;
}

void BM_GetIntOf400thProperty(benchmark::State& state) {
    TheScratch();
    CAutomateContext ctx("bench.log", 0);
    ctx.Initialize();
    ctx.addPropertiesContext("Filler", "STRING", 399);
    ctx.addPropertiesContext("Last", "INT", 1);
    ctx.SetInt("Last", 1, 42);
    int32_t v = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ctx.GetInt("Last", 1, &v));
    }
    ctx.ReleaseValues();
}
BENCHMARK(BM_GetIntOf400thProperty);

void BM_OneLogLine(benchmark::State& state) {
    TheScratch();
    CLog log("..\\Log\\", "bench.log", 3072, "Bench", 3, 7);
    for (auto _ : state) {
        log.Debug("Call CAutomateEngine WaitEvents");
    }
}
BENCHMARK(BM_OneLogLine);

void BM_ReadIniStringUnchanged100Sections(benchmark::State& state) {
    Scratch& s = TheScratch();
    {
        std::ofstream out(s.root + "/config/big.ini");
        for (int sec = 0; sec < 100; ++sec) {
            out << "[" << sec << "]\nActionToRun=Service" << sec << "\n";
            for (int e = 0; e < 20; ++e)
                out << "Event_" << e << "=" << (sec + e) % 100 << "\n";
        }
    }
    char value[1024];
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadIniString("..\\config\\big.ini", "57", "Event_13", value));
    }
}
BENCHMARK(BM_ReadIniStringUnchanged100Sections);

}  // namespace
