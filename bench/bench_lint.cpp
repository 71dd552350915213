// Lint figures: the staged demo configuration (both modes), and a generated 700-state
// configuration beside the demo's screens, languages and translations.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Paths.h"
#include "tools/qvtool/Lint.h"

namespace fs = std::filesystem;

namespace {

void Enter(const fs::path& bin) {
    platform::ChangeDirectory(bin.string());
    platform::SetProgramDirectory(bin.string());
}

void BM_LintDemo(benchmark::State& state) {
    Enter(fs::path(STAGE_DIR) / "bin");
    size_t messages = 0;
    for (auto _ : state) {
        authoring::Report report;
        authoring::LintConfiguration({}, report);
        messages = report.Sorted().size();
    }
    state.counters["messages"] = static_cast<double>(messages);
}
BENCHMARK(BM_LintDemo)->Unit(benchmark::kMillisecond);

// Every state shows a screen or moves on; events 1 to 3 lead forward, back and to the end.
class Tree700 {
  public:
    Tree700() {
        char tmpl[] = "/tmp/qvlint-XXXXXX";
        root_ = mkdtemp(tmpl);
        fs::copy(STAGE_DIR, root_, fs::copy_options::recursive);
        std::string table =
            "[CONTEXT]\n1=LastEvent:INT:1\n2=LastState:INT:1\n3=NextState:INT:1\n"
            "4=Gui:STRING:1\n5=NameState:STRING:1\n6=PathGui:STRING:1\n7=Next:INT:1\n"
            "[0]\nActionToRun=\nEvent_1=1\n";
        const char* services[] = {"ShowLanguage", "ApplyLanguage", "ShowResult", "Continue"};
        for (int n = 1; n < 700; ++n) {
            table += "[" + std::to_string(n) + "]\nActionToRun=" + services[n % 4] +
                     "\nEvent_1=" + std::to_string(n + 1 < 700 ? n + 1 : -1) +
                     "\nEvent_2=" + std::to_string(n - 1) + "\nEvent_3=-1\n";
            if (n % 50 == 0)
                table += "Event_4=${Next}\n";
        }
        std::ofstream(root_ / "config/QV/QV_automate.ini", std::ios::binary) << table;
    }
    ~Tree700() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    fs::path Bin() const { return root_ / "bin"; }

  private:
    fs::path root_;
};

void BM_Lint700States(benchmark::State& state) {
    Tree700 tree;
    Enter(tree.Bin());
    authoring::LintOptions options;
    options.modes = {"QV"};
    size_t messages = 0;
    for (auto _ : state) {
        authoring::Report report;
        authoring::LintConfiguration(options, report);
        messages = report.Sorted().size();
    }
    state.counters["messages"] = static_cast<double>(messages);
}
BENCHMARK(BM_Lint700States)->Unit(benchmark::kMillisecond);

}  // namespace
