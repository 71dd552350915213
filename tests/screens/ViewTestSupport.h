#pragma once
// A screen view without the application: a host with its own context, logger, translator and
// profile files in a TempTree, and helpers to write a screen's files and build its view.
#include <QApplication>
#include <memory>
#include <string>

#include "automate/AutomateContext.h"
#include "base/Log.h"
#include "screens/QVAppView.h"
#include "screens/ScreenHost.h"
#include "services/Translator.h"
#include "tests/support/TempTree.h"

class FakeHost : public screens::ScreenHost {
  public:
    // Properties: INT LastEvent NextState KeyboardIndex AnalyseState InstallationType TradeMark,
    // STRING Gui NameState PathGui ID_LANG TypeBorne PCModelType CodePays, VOID Field (4).
    FakeHost();
    ~FakeHost() override;

    CLog& Log() override { return quiet ? CLog::Quiet() : log; }
    ZFQTranslator& Translator() override { return translator; }
    const screens::ScreenFiles& Files() override { return files; }
    CAutomateContext* RefreshContext() override { return &context; }
    void PublishContext() override { ++publishes; }
    void WakeEngine() override { ++wakes; }
    bool MayRaiseEvents() const override { return !click && !building && !switching; }
    bool ViewSwitching() const override { return switching; }
    void SetClickInProgress(bool on) override { click = on; }
    void SetScreenBuilding(bool on) override { building = on; }
    bool TranslationsLoaded() const override { return loaded; }
    void SetTranslationsLoaded() override { loaded = true; }

    int32_t Int(const char* name, int occurrence = 1);
    std::string String(const char* name);

    TempTree tree;  // first: the current directory is its bin/
    CLog log{"..\\Log\\", "QV.log", 0, "QVApp", 3, LOG_DEBUG};
    CAutomateContext context{"context.log", LOG_ERR};
    ZFQTranslator translator;
    screens::ScreenFiles files;
    std::string screen;
    std::wstring screenFile;
    bool click = false, building = false, switching = true, loaded = false;
    bool quiet = false;  // hands the logger that writes nothing
    int publishes = 0, wakes = 0;
};

// Writes gui/<name>.gui (and the settings file when given) and points the host at it.
void WriteScreen(FakeHost& host, const std::string& name, const std::string& dialog,
                 const std::string& settings = "");

// Creates the view for the host's screen in a shown top-level window and builds it.
std::unique_ptr<QWidget> ShowScreen(FakeHost& host, CQVAppView** view);
