// A screen view offscreen: building a screen of 40 controls with 10 skinned buttons over an
// 800 x 600 background (settings file, pictures, buttons, labels, fields), and one validate
// press on a screen of 15 fields (save and event).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Text.h"
#include "screens/QVAppView.h"
#include "screens/ScreenHost.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A runtime tree in a temporary directory, bin/ current, with one screen "Big": 10 buttons,
// 12 labels, 15 edits, a list, a combo and a picture (40 controls).
class Tree {
  public:
    Tree() {
        char pattern[] = "/tmp/qv-bench-view-XXXXXX";
        root_ = mkdtemp(pattern);
        fs::create_directories(root_ / "bin");
        fs::create_directories(root_ / "Log");
        fs::current_path(root_ / "bin");
        QImage background(800, 600, QImage::Format_RGB32);
        background.fill(Qt::darkCyan);
        background.save(QString::fromStdString((root_ / "pictures/bg.png").string()));
        QImage dot(16, 16, QImage::Format_RGB32);
        dot.fill(Qt::red);
        dot.save(QString::fromStdString((root_ / "pictures/dot.png").string()));

        std::string dialog = "<dialog width=\"533\" height=\"400\" style=\"child\">\n";
        std::string settings = "<s><key_navigate>";
        std::string pictures = "[Big]\nBackground=..\\pictures\\bg.png\n";
        std::string labels = "[Big]\n";
        std::string save = "[Big]\n";
        for (int i = 0; i < 10; ++i) {
            const int id = 1001 + i;
            dialog += StrFormat(
                "<control id=\"%d\" class=\"BUTTON\" x=\"%d\" y=\"370\" "
                "width=\"45\" height=\"16\" text=\"B%d\"/>\n",
                id, 10 + 52 * i, i);
            pictures += StrFormat("ButtonId.%d=%d\nButtonTrad.%d=id%04d\n", i + 1, id, i + 1, i);
            settings += StrFormat(
                "<key_rule><input><key>Tab</key><widget_id>%d</widget_id>"
                "</input><output><widget_id>%d</widget_id></output></key_rule>",
                id, id + 1);
        }
        for (int i = 0; i < 15; ++i) {
            const int id = 1100 + i;
            dialog += StrFormat(
                "<control id=\"%d\" class=\"EDIT\" x=\"200\" y=\"%d\" "
                "width=\"150\" height=\"14\"/>\n",
                id, 10 + 20 * i);
            save += StrFormat("IdEdit.%d=%d\nProperties.%d=Field%d\n", i + 1, id, i + 1, i);
        }
        for (int i = 0; i < 12; ++i) {
            const int id = 1041 + i;
            dialog += StrFormat(
                "<control id=\"%d\" class=\"STATIC\" x=\"10\" y=\"%d\" "
                "width=\"180\" height=\"12\" text=\"L\"/>\n",
                id, 10 + 20 * i);
            labels += StrFormat("IdCompo.%d=%d\nIdTrad.%d=id%04d\n", i + 1, id, i + 1, i);
        }
        dialog +=
            "<control id=\"1200\" class=\"LISTBOX\" x=\"370\" y=\"10\" width=\"150\" "
            "height=\"80\"/>\n<control id=\"1300\" class=\"COMBOBOX\" x=\"370\" y=\"100\" "
            "width=\"150\" height=\"80\" style=\"dropdownlist\"/>\n<control id=\"1500\" "
            "class=\"PICTURE\" x=\"370\" y=\"200\" width=\"16\" height=\"16\"/>\n"
            "</dialog>\n";
        settings +=
            "</key_navigate><widget_settings><widget_id><value>1500</value><widget_type>"
            "PICTURE</widget_type><external_img_link>..\\pictures\\dot.png"
            "</external_img_link></widget_id></widget_settings></s>";
        Write(root_ / "gui/Big.gui", dialog);
        Write(root_ / "gui/Big.config.xml", settings);
        Write(root_ / "config/QV/QV_pictures.ini", pictures);
        Write(root_ / "config/QV/QV_infos.ini", labels);
        Write(root_ / "config/QV/QV_saveContext.ini", save);
        std::string trad = "<Traductions>";
        for (int i = 0; i < 20; ++i)
            trad += StrFormat(
                "<TraductionElement id=\"id%04d\"><Lang codeKSO=\"en\">Text %d"
                "</Lang></TraductionElement>",
                i, i);
        Write(root_ / "config/trad/VEK_Trad.xml", trad + "</Traductions>");
    }
    ~Tree() {
        std::error_code ec;
        fs::current_path("/", ec);
        fs::remove_all(root_, ec);
    }

  private:
    fs::path root_;
};

class BenchHost : public screens::ScreenHost {
  public:
    BenchHost() {
        context.Initialize();
        for (const char* name : {ctx::kLastEvent, ctx::kNextState})
            context.addPropertiesContext(name, "INT", 1);
        for (const char* name : {ctx::kGui, ctx::kNameState, ctx::kPathGui})
            context.addPropertiesContext(name, "STRING", 1);
        for (int i = 0; i < 15; ++i)
            context.addPropertiesContext(StrFormat("Field%d", i), "VOID", 1);
        context.SetString(ctx::kPathGui, 1, "..\\gui\\");
        context.SetString(ctx::kNameState, 1, "Big");
        translator.LoadLanguage("en");
        files = {"..\\config\\QV\\QV_pictures.ini", "..\\config\\QV\\QV_infos.ini",
                 "..\\config\\QV\\QV_combobox.ini", "..\\config\\QV\\QV_infoscontext.ini",
                 "..\\config\\QV\\QV_saveContext.ini"};
    }
    ~BenchHost() override { context.ReleaseValues(); }
    CLog& Log() override { return log; }
    ZFQTranslator& Translator() override { return translator; }
    const screens::ScreenFiles& Files() override { return files; }
    CAutomateContext* RefreshContext() override { return &context; }
    void PublishContext() override {}
    void WakeEngine() override {}
    bool MayRaiseEvents() const override { return !click && !building && !switching; }
    bool ViewSwitching() const override { return switching; }
    void SetClickInProgress(bool on) override { click = on; }
    void SetScreenBuilding(bool on) override { building = on; }
    bool TranslationsLoaded() const override { return true; }
    void SetTranslationsLoaded() override {}

    // The wizard logs at DEBUG; so does the benchmark.
    CLog log{"..\\Log\\", "QV.log", 4096, "QVApp", 3, LOG_DEBUG};
    CAutomateContext context{"context.log", LOG_ERR};
    ZFQTranslator translator;
    screens::ScreenFiles files;
    std::string screen = "Big";
    std::wstring screenFile = L"..\\gui\\Big.gui";
    bool click = false, building = false, switching = false;
};

CQVAppView* BuildView(BenchHost& host, QWidget& window) {
    host.switching = true;
    auto* view = new CQVAppView(host, &window, {host.screen, host.screenFile});
    view->Create();
    host.switching = false;
    view->SetViewInterface();
    return view;
}

void BM_BuildScreen40Controls(benchmark::State& state) {
    BenchHost host;
    QWidget window;
    window.resize(1000, 800);
    for (auto _ : state) {
        CQVAppView* view = BuildView(host, window);
        state.PauseTiming();
        host.switching = true;  // the frame deletes an old view inside a switch
        delete view;
        host.switching = false;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildScreen40Controls)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ValidateFifteenFields(benchmark::State& state) {
    BenchHost host;
    QWidget window;
    CQVAppView* view = BuildView(host, window);
    for (int i = 0; i < 15; ++i)
        view->ControlAs<QLineEdit>(1100 + i)->setText(
            QString::fromStdString(StrFormat("Value of field %d, caf\u00e9", i)));
    for (auto _ : state) {
        view->OnRangeClickButton(1001);
        state.PauseTiming();
        host.context.SetInt(ctx::kLastEvent, 1, 0);
        state.ResumeTiming();
    }
    host.switching = true;
    delete view;
}
BENCHMARK(BM_ValidateFifteenFields)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    SetCurrentTextFont({L"Arial", L"Arial", 16, 400});
    Tree tree;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
