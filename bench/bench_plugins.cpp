// One request round trip to the point-of-service plug-in, loading and unloading included
// (goal: at most 2 ms), in a throw-away runtime tree.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/Text.h"
#include "clients/PointServiceClient.h"

namespace {

// A runtime tree with bin/ current, removed at the end.
struct Tree {
    Tree() {
        char tmpl[] = "/tmp/qvbench-XXXXXX";
        root = mkdtemp(tmpl) ? tmpl : "";
        for (const char* d : {"bin", "data", "Log"})
            std::filesystem::create_directories(root + "/" + d);
        char cwd[PATH_MAX];
        previous = getcwd(cwd, sizeof cwd) ? cwd : "/";
        if (chdir((root + "/bin").c_str()) != 0)
            root.clear();
    }
    ~Tree() {
        if (chdir(previous.c_str()) != 0) {
        }
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string root, previous;
};

void BM_PointServiceRead(benchmark::State& state) {
    Tree tree;
    PointServiceClient client;
    client.SetLibraryPath(Widen(POINT_PLUGIN));
    client.WriteCodeClient(L"C123");
    std::wstring value;
    for (auto _ : state) {
        client.ReadCodeClient(value);
        benchmark::DoNotOptimize(value);
    }
    if (value != L"C123")
        state.SkipWithError("unexpected value");
}
BENCHMARK(BM_PointServiceRead)->Unit(benchmark::kMicrosecond);

void BM_PointServiceWrite(benchmark::State& state) {
    Tree tree;
    PointServiceClient client;
    client.SetLibraryPath(Widen(POINT_PLUGIN));
    for (auto _ : state)
        benchmark::DoNotOptimize(client.WriteVille(L"Lyon"));
}
BENCHMARK(BM_PointServiceWrite)->Unit(benchmark::kMicrosecond);

}  // namespace
