// The setup action plug-in: every service of the installation and reconfiguration flows. It asks
// for the screens, checks what the operator typed (sending the flow back with the invalid-data
// flags set when something is wrong), runs the network check and the disk-space analysis
// through the miscellaneous plug-in, and applies the choices to the target root: keyboard,
// locale, proxy, account, and the point-of-sale record through the point-of-service plug-in.
//
// Written against the SDK headers only. Parameters (section "SETUP" of the parameters file):
//   TargetRoot  root the files are written under, "..\data\target" by default, so a demo never
//               touches the machine's own /etc
//   MinFreeMB   free space the target root needs, 20 by default
//   ProxyGroup  group that may read the proxy password (etc/quilvane/proxy-credentials 0640);
//               none by default: root alone (0600)
#include <cstdio>
#include <string>

#include "plugins/setup_actions/SetupApply.h"
#include "plugins/setup_actions/SetupHost.h"
#include "plugins/setup_actions/SetupLogic.h"
#include "quilvane/plugin.h"

namespace actions {
namespace {

// ---- Services

struct ScreenService {
    const char* service;
    const char* screen;
    const char* state;
};

constexpr ScreenService kScreens[] = {
    {"ShowLanguage", "StateLanguage", "Language"},
    {"ShowLanguageReconf", "StateLanguageR", "LanguageReconf"},
    {"ShowAskKeyboard", "StateGuiAskKeyBoard", "GuiAskKeyBoard"},
    {"ShowKeyboard", "StateGuiKeyBoard", "GuiKeyBoard"},
    {"ShowCountry", "StateCountryChoice", "CountryChoice"},
    {"ShowInstallationType", "StateInstallationTypeQV", "InstallationTypeQV"},
    {"ShowTradeMark", "StateChoiceTradeMark", "ChoiceTradeMark"},
    {"ShowPcModel", "StateChoicePC", "StateChoicePC"},
    {"ShowKiosk", "StateChoiceBorne", "StateChoiceBorne"},
    {"ShowConnectRouter", "StateConnectRouterPC", "StateConnectRouterPC"},
    {"ShowConnectBorne", "StateConnectBornePC", "StateConnectBornePC"},
    {"ShowConnectVerif", "StateConnectRouterPCVerif", "StateConnectRouterPCVerif"},
    {"ShowNetworkCheck", "StateNetworkCheck", "StateNetworkCheck"},
    {"ShowProxy", "StateConfProxy", "StateConfProxy"},
    {"ShowAccount", "StateInfo2", "StateInfo2"},
    {"ShowPointOfSale", "StateQvInfoPdv", "StateQvInfoPdv"},
    {"ShowGeneralInfo", "GeneralInfo", "GeneralInfo"},
    {"ShowSummary", "StateSummary", "Summary"},
    {"ShowEnd", "StateEnd3", "StateEnd3"},
};

// Families of the PC model screen and the model type each stands for.
constexpr const char* kPcModelTypes[] = {"[COMPACT 200:PC]", "[TOWER 400:PC]",
                                         "[ALL-IN-ONE 15:AIO]", "[KIOSK K1:BORNE]"};

// The layout's label as the screens show it: the translation ID of its name (id0360 for
// layout 1 to id0383 for layout 24), translated in the operator's language.
std::string KeyboardLabel(int n) {
    char id[16];
    std::snprintf(id, sizeof id, "id%04d", 359 + (n < 1 || n > setup::kKeyboardCount ? 1 : n));
    return id;
}

void BeforeScreen(const std::string& service, const Context& c) {
    if (service == "ShowLanguage" || service == "ShowLanguageReconf") {
        if (c.String("ID_LANG").empty())
            c.SetString("ID_LANG", "ID_LANG0");
    } else if (service == "ShowAskKeyboard") {
        // Proposed: the layout that suits the language (chosen again when it changed).
        c.SetInt("KeyboardIndex", setup::KeyboardForTag(LanguageTag(LanguageIndex(c))));
        c.SetField("KeyboardLabel", KeyboardLabel(c.Int("KeyboardIndex")));
    } else if (service == "ShowPcModel") {
        int n = 1;
        for (const char* entry : kPcModelTypes)
            c.SetString("PCModelTypeMatching", entry, n++);
    } else if (service == "ShowConnectRouter" || service == "ShowConnectBorne") {
        // The failure screen counts the checks since the operator last saw the connection.
        c.SetInt("NetworkAttempt", 0);
    } else if (service == "ShowNetworkCheck") {
        // The screen says the check runs; the check follows at once.
        c.SetInt("NextState", 1);
    } else if (service == "ShowKiosk") {
        // The kiosk screen writes only "others": the first kiosk is what stays when chosen.
        c.SetString("TypeBorne", "standard");
    }
}

void Serve(const std::string& service, const Context& c, const char* paramsFile, Log& log) {
    for (const ScreenService& s : kScreens) {
        if (service == s.service) {
            BeforeScreen(service, c);
            ShowScreen(c, s.screen, s.state);
            return;
        }
    }
    if (service == "KeyboardPrevious" || service == "KeyboardNext") {
        int n = c.Int("KeyboardIndex");
        n = n < 1 || n > setup::kKeyboardCount ? 1 : n;
        n = service == "KeyboardNext" ? n % setup::kKeyboardCount + 1
                                      : (n + setup::kKeyboardCount - 2) % setup::kKeyboardCount + 1;
        c.SetInt("KeyboardIndex", n);
        c.SetField("KeyboardLabel", KeyboardLabel(n));
        c.SetInt("LastEvent", 1);
    } else if (service == "KeyboardChosen") {
        const setup::KeyboardLayout& k = setup::Keyboard(c.Int("KeyboardIndex"));
        c.SetField("KeyboardLabel", KeyboardLabel(c.Int("KeyboardIndex")));
        log.Info(std::string("Keyboard chosen: ") + k.name);
        c.SetInt("LastEvent", 1);
    } else if (service == "RouteByPcModel") {
        c.SetInt("LastEvent", c.String("PCModelType") == "BORNE" ? 3 : 1);
    } else if (service == "RouteByKeyboardChoice") {
        // 1008 on the keyboard question: a layout was chosen from the pictures.
        c.SetInt("LastEvent", c.Int("AskKeyboardButton") == 1008 ? 3 : 1);
    } else if (service == "NetworkCheck") {
        c.SetInt("NetworkAttempt", c.Int("NetworkAttempt") + 1);
        Answer a = CallService(kMiscPlugin, L"TestInternetService_defaultListURL");
        log.Info("Network check: " + std::to_string(a.code) + " " + a.message);
        c.SetInt("LastEvent", a.code == 0 ? 1 : 2);
    } else if (service == "CheckProxy") {
        c.SetInt("LastEvent", CheckProxy(c, log) ? 1 : 2);
    } else if (service == "CheckAccount") {
        c.SetInt("LastEvent", CheckAccount(c, log) ? 1 : 2);
    } else if (service == "CheckPointOfSale") {
        c.SetInt("LastEvent", CheckPointOfSale(c, log) ? 1 : 2);
    } else if (service == "ApplyConfiguration" || service == "ApplyReconfiguration") {
        Apply(c, ReadSettings(paramsFile), log, service == "ApplyConfiguration");
    } else if (service == "StartConfiguration" || service == "StartReconfiguration") {
        StartApply(c, ReadSettings(paramsFile), log, service == "StartConfiguration");
    } else if (ApplyStep(service, c, log)) {
        // A step of the stepwise apply.
    } else if (service == "LoadCurrent") {
        LoadCurrent(c, ReadSettings(paramsFile), log);
    } else {
        log.Err("Unknown service " + service);
        c.SetInt("LastEvent", 2);
    }
}

}  // namespace
}  // namespace actions

extern "C" {

QV_PLUGIN_EXPORT void Initialize(void) {}

QV_PLUGIN_EXPORT void Release(void) {}

QV_PLUGIN_EXPORT void RequestService(const char* service, void* contextImage, const char* logFile,
                                     const char* paramsFile) {
    if (!service || !contextImage)
        return;
    try {
        actions::Log log(logFile);
        static bool recovered = false;
        if (!recovered) {
            recovered = true;
            actions::RecoverApply(actions::ReadSettings(paramsFile), log);
        }
        actions::Serve(service, actions::Context(static_cast<const QvContextImage*>(contextImage)),
                       paramsFile, log);
    } catch (...) {
        // Nothing may leave the export; the state table treats a silent service as waiting,
        // so the flow is sent back.
        qv_set_int(static_cast<const QvContextImage*>(contextImage), "LastEvent", 1, 2);
    }
}

}  // extern "C"
