#include "tests/screens/ViewTestSupport.h"

#include <QTest>

#include "automate/ContextNames.h"

FakeHost::FakeHost() {
    context.Initialize();
    for (const char* name : {ctx::kLastEvent, ctx::kNextState, ctx::kKeyboardIndex,
                             ctx::kAnalyseState, ctx::kInstallationType, ctx::kTradeMark})
        context.addPropertiesContext(name, "INT", 1);
    for (const char* name : {ctx::kGui, ctx::kNameState, ctx::kPathGui, ctx::kIdLang,
                             ctx::kTypeBorne, ctx::kPcModelType, ctx::kCodePays})
        context.addPropertiesContext(name, "STRING", 1);
    context.addPropertiesContext("Field", "VOID", 4);
    context.SetString(ctx::kPathGui, 1, "..\\gui\\");
    files = {"..\\config\\QV\\QV_pictures.ini", "..\\config\\QV\\QV_infos.ini",
             "..\\config\\QV\\QV_combobox.ini", "..\\config\\QV\\QV_infoscontext.ini",
             "..\\config\\QV\\QV_saveContext.ini"};
}

FakeHost::~FakeHost() {
    context.ReleaseValues();
}

int32_t FakeHost::Int(const char* name, int occurrence) {
    int32_t v = 0;
    context.GetInt(name, occurrence, &v);
    return v;
}

std::string FakeHost::String(const char* name) {
    char buf[CAutomateContext::kStringBufferBytes] = "";
    context.GetString(name, 1, buf);
    return buf;
}

void WriteScreen(FakeHost& host, const std::string& name, const std::string& dialog,
                 const std::string& settings) {
    host.tree.Write("gui/" + name + ".gui", dialog);
    if (!settings.empty())
        host.tree.Write("gui/" + name + ".config.xml", settings);
    host.screen = name;
    host.screenFile = L"..\\gui\\" + std::wstring(name.begin(), name.end()) + L".gui";
}

std::unique_ptr<QWidget> ShowScreen(FakeHost& host, CQVAppView** view) {
    auto window = std::make_unique<QWidget>();
    window->resize(1000, 800);
    host.switching = true;
    auto* v = new CQVAppView(host, window.get(), {host.screen, host.screenFile});
    v->Create();
    host.switching = false;
    window->show();
    v->show();
    window->activateWindow();
    (void)QTest::qWaitForWindowActive(window.get());
    v->SetViewInterface();
    *view = v;
    return window;
}
