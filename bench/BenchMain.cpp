// The main of the benchmark programs: the locale first, as in every program of the system.
#include <benchmark/benchmark.h>

#include "base/Text.h"

int main(int argc, char** argv) {
    InitLocale();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
