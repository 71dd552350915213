// Reading a dialog file and creating its widgets lies on the path of every screen switch
// (goal: the next screen within 50 ms). Offscreen unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <string>

#include "base/Text.h"
#include "base/XmlDocument.h"
#include "xmlgui/DialogForm.h"
#include "xmlgui/DlgTemplate.h"

namespace {

// A typical screen: 10 buttons, 12 labels, 4 edit fields, a list box, a combo box, 2 pictures.
std::string TypicalScreen() {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dialog width=\"356\" height=\"267\" "
        "style=\"child\">\n  <font face=\"Arial Unicode MS\" size=\"12\"/>\n";
    auto add = [&s](int id, const char* cls, int x, int y, int w, int h, const char* text,
                    const char* style) {
        s += StrFormat(
            "  <control id=\"%d\" class=\"%s\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" "
            "text=\"%s\" style=\"%s\"/>\n",
            id, cls, x, y, w, h, text, style);
    };
    for (int i = 0; i < 10; ++i)
        add(1001 + i, "BUTTON", 20 + (i % 5) * 64, 180 + (i / 5) * 26, 60, 20, "Button", "tabstop");
    for (int i = 0; i < 12; ++i)
        add(1041 + i, "STATIC", 20, 10 + i * 14, 150, 12, "A label with some words", "left");
    for (int i = 0; i < 4; ++i)
        add(1100 + i, "EDIT", 180, 10 + i * 18, 120, 14, "", "tabstop border autohscroll");
    add(1200, "LISTBOX", 180, 90, 120, 40, "", "tabstop border vscroll");
    add(1300, "COMBOBOX", 180, 136, 120, 80, "", "tabstop dropdownlist vscroll");
    add(1500, "PICTURE", 310, 10, 30, 30, "", "");
    add(1501, "PICTURE", 310, 50, 30, 30, "", "");
    return s + "</dialog>\n";
}

const std::string& Screen() {
    static const std::string screen = TypicalScreen();
    return screen;
}

// Looks every ID a screen may address up, as the view does when it attaches its controls.
int FindAll(const QWidget& view) {
    int found = 0;
    const int ranges[][2] = {{1001, 1040}, {1041, 1090}, {1100, 1139},
                             {1200, 1204}, {1300, 1304}, {1500, 1509}};
    for (const auto& r : ranges) {
        for (int id = r[0]; id <= r[1]; ++id)
            found += xmlgui::FindControl(&view, id) != nullptr;
    }
    return found;
}

void BM_Parse(benchmark::State& state) {
    xmlgui::CDlgTemplate t;
    for (auto _ : state)
        benchmark::DoNotOptimize(t.SerializeFromMemory(Screen()));
    state.counters["controls"] = static_cast<double>(t.Template().controls.size());
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMicrosecond);

void BM_ParseFile(benchmark::State& state) {
    char path[] = "/tmp/bench_xmlgui_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) {
        state.SkipWithError("mkstemp failed");
        return;
    }
    FILE* f = fdopen(fd, "wb");
    std::fwrite(Screen().data(), 1, Screen().size(), f);
    std::fclose(f);
    for (auto _ : state) {
        xmlgui::CDlgTemplate t;
        benchmark::DoNotOptimize(t.SerializeFrom(std::string(path)));
    }
    std::remove(path);
}
BENCHMARK(BM_ParseFile)->Unit(benchmark::kMicrosecond);

void BM_Instantiate(benchmark::State& state) {
    xmlgui::CDlgTemplate t;
    t.SerializeFromMemory(Screen());
    for (auto _ : state) {
        QWidget view;
        benchmark::DoNotOptimize(xmlgui::InitializeForm(&view, t.Template()).created);
    }
}
BENCHMARK(BM_Instantiate)->Unit(benchmark::kMicrosecond);

// The whole step of a screen switch: read the file, create the widgets, look every ID up,
// show the view once.
void BM_ParseInstantiateShow(benchmark::State& state) {
    int found = 0;
    for (auto _ : state) {
        xmlgui::CDlgTemplate t;
        t.SerializeFromMemory(Screen());
        QWidget view;
        xmlgui::InitializeForm(&view, t.Template());
        found = FindAll(view);
        view.show();
        QApplication::processEvents();
    }
    state.counters["found"] = found;
}
BENCHMARK(BM_ParseInstantiateShow)->Unit(benchmark::kMillisecond);

void BM_FindAllIds(benchmark::State& state) {
    xmlgui::CDlgTemplate t;
    t.SerializeFromMemory(Screen());
    QWidget view;
    xmlgui::InitializeForm(&view, t.Template());
    for (auto _ : state)
        benchmark::DoNotOptimize(FindAll(view));
}
BENCHMARK(BM_FindAllIds)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // One Xerces reference for the whole run, so the templates do not restart the platform.
    XmlPlatform xml;
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
