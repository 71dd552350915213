// The process table is read on every check of the watchdog and at the wizard's start-up.
#include <benchmark/benchmark.h>

#include "platform/Process.h"

static void BM_CountProcesses(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::CountProcesses("QuilvaneWizApp.exe"));
    std::vector<platform::ProcessEntry> table;
    platform::ListProcesses(table);
    state.counters["processes"] = static_cast<double>(table.size());
}
BENCHMARK(BM_CountProcesses)->Unit(benchmark::kMicrosecond);

static void BM_ExecutableNameMatches(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            platform::ExecutableNameMatches("QuilvaneWizApp.exe", "quilvanewizapp"));
        benchmark::DoNotOptimize(platform::ExecutableNameMatches("QuilvaneWizApp.exe", "sh"));
    }
}
BENCHMARK(BM_ExecutableNameMatches);

static void BM_SplitCommandLine(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::SplitCommandLine(
            "\"/opt/quilvane/bin\\noxStart.exe\" \"/opt/quilvane/bin\\noxAgent.exe\""));
}
BENCHMARK(BM_SplitCommandLine);
