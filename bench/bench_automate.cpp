// Automaton figures: building a CAutomate from a 100-state table with 20 services, and the
// engine's own cost per transition with a hook that does not sleep and a trivial plug-in.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "automate/Automate.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

constexpr int kStates = 100;
constexpr int kServices = 20;

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A runtime tree in /tmp: the demo plug-in, a state table of kStates states whose services
// (Continue, and kServices - 1 more names mapped to the same DLL) move on by themselves.
class BenchTree {
  public:
    BenchTree() {
        char tmpl[] = "/tmp/qvbench-XXXXXX";
        root_ = mkdtemp(tmpl);
        fs::create_directories(root_ / "bin");
        fs::create_directories(root_ / "Log");
        fs::copy_file(DEMO_PLUGIN, root_ / "bin" / "demoActions.so");
        std::string table =
            "[CONTEXT]\n1=LastEvent:INT:1\n2=LastState:INT:1\n3=NextState:INT:1\n"
            "4=Gui:STRING:1\n5=NameState:STRING:1\n6=PathGui:STRING:1\n"
            "[0]\nActionToRun=\nEvent_1=1\n";
        for (int n = 1; n < kStates; ++n) {
            table += "[" + std::to_string(n) + "]\nActionToRun=Continue\nEvent_1=" +
                     std::to_string(n + 1 < kStates ? n + 1 : -1) +
                     "\nEvent_2=1\nEvent_3=${LastState}\nEvent_Default=-1\n";
        }
        WriteText(root_ / "config/QV/QV_automate.ini", table);
        WriteText(root_ / "config/QV/QV_params.ini", "[DLLS]\n1=demoActions.dll\n");
        std::string xml = "<services>";
        for (int i = 0; i < kServices; ++i) {
            xml += "<service><name>" +
                   (i == 0 ? std::string("Continue") : "S" + std::to_string(i)) +
                   "</name><component><name>Demo</name><library-location>demoActions.dll"
                   "</library-location></component></service>";
        }
        WriteText(root_ / "config/QV/QV_serv.xml", xml + "</services>");
        fs::current_path(root_ / "bin");
        platform::SetProgramDirectory((root_ / "bin").string());
    }
    ~BenchTree() {
        fs::current_path("/");
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    std::unique_ptr<CAutomate> Make() {
        std::string n = std::to_string(getpid()) + "_" + std::to_string(serial_++);
        return std::make_unique<CAutomate>(
            "QVMemoryKeyB" + n + ".def", "QVMemoryFileB" + n + ".def",
            "..\\config\\QV\\QV_automate.ini", "..\\config\\QV\\QV_serv.xml",
            "..\\config\\QV\\QV_params.ini", "QV.log", 7);
    }
    // Empties the log set so the files never fill up during a long benchmark.
    void TrimLogs() {
        std::error_code ec;
        for (int i = 1; i <= 3; ++i)
            fs::resize_file(root_ / "Log" / (std::to_string(i) + "_QV.log"), 0, ec);
    }

  private:
    fs::path root_;
    int serial_ = 0;
};

void BM_ConstructAutomate(benchmark::State& state) {
    BenchTree tree;
    for (auto _ : state) {
        auto automate = tree.Make();
        benchmark::DoNotOptimize(automate.get());
        state.PauseTiming();
        automate.reset();
        tree.TrimLogs();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ConstructAutomate)->Unit(benchmark::kMillisecond);

void BM_TransitionOverhead(benchmark::State& state) {
    BenchTree tree;
    auto automate = tree.Make();
    CNoSleepHook hook;
    automate->SetEngineHook(&hook);
    long transitions = 0;
    for (auto _ : state) {
        // One run walks states 1 to 99 and ends: kStates transitions.
        CAutomate::SharedBlock()->SetCurrentState(0);
        CAutomate::SharedBlock()->SetEvent(1);
        long before = automate->Engine().Steps();
        automate->Run();
        transitions += automate->Engine().Steps() - before;
        state.PauseTiming();
        tree.TrimLogs();
        state.ResumeTiming();
    }
    state.counters["per_transition_us"] =
        benchmark::Counter(static_cast<double>(transitions) / 1e6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["transitions"] = static_cast<double>(transitions);
}
BENCHMARK(BM_TransitionOverhead)->Unit(benchmark::kMillisecond);

}  // namespace
