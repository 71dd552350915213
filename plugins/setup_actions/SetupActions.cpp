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
#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "plugins/setup_actions/SetupLogic.h"
#include "quilvane/plugin.h"

namespace {

using setup::Narrow;
using setup::Widen;

constexpr char kTag[] = "SetupActions";
constexpr char kLanguageFile[] = "../config/language.ini";
constexpr char kCountryRulesFile[] = "../config/country_rules.ini";
constexpr char kPointPlugin[] = "./LMQPointServicePluginu.so";
constexpr char kMiscPlugin[] = "./noxMiscPluginu.so";
constexpr char kDefaultTarget[] = "..\\data\\target";

// ---- Log: the host's current log file, in its line format.

class Log {
  public:
    explicit Log(const char* logFile) {
        if (logFile && *logFile && !std::strchr(logFile, '/'))
            path_ = std::string("../Log/1_") + logFile;
    }
    void Info(const std::string& text) { Line("INFO", text); }
    void Err(const std::string& text) { Line("ERR", text); }

  private:
    void Line(const char* level, const std::string& text) {
        if (path_.empty())
            return;
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%y/%m/%d %H:%M:%S  ", &tm);
        std::string line = std::string(stamp) + "[" + kTag + "]  (" + level + ") " + text + "\r\n";
        int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        ssize_t n = write(fd, line.data(), line.size());
        (void)n;
        close(fd);
    }
    std::string path_;
};

// ---- Context

class Context {
  public:
    explicit Context(const QvContextImage* image) : image_(image) {}
    int Int(const char* name, int occurrence = 1) const {
        int32_t v = 0;
        qv_get_int(image_, name, occurrence, &v);
        return v;
    }
    void SetInt(const char* name, int value, int occurrence = 1) const {
        qv_set_int(image_, name, occurrence, value);
    }
    std::string String(const char* name, int occurrence = 1) const {
        char buffer[QV_STRING_SIZE] = "";
        qv_get_string(image_, name, occurrence, buffer, sizeof buffer);
        return buffer;
    }
    void SetString(const char* name, const std::string& value, int occurrence = 1) const {
        qv_set_string(image_, name, occurrence, value.c_str());
    }
    // Fields typed on the screens are wide text in VOID properties.
    std::string Field(const char* name) const {
        wchar_t buffer[QV_VOID_SIZE / 2 + 1] = L"";
        qv_get_wide(image_, name, 1, buffer, sizeof buffer / sizeof buffer[0]);
        return Narrow(buffer);
    }
    void SetField(const char* name, const std::string& value) const {
        qv_set_wide(image_, name, 1, Widen(value).c_str());
    }

  private:
    const QvContextImage* image_;
};

void ShowScreen(const Context& c, const char* screen, const char* state) {
    c.SetString("PathGui", "..\\gui\\");
    c.SetString("Gui", std::string("..\\gui\\") + screen + ".gui");
    c.SetString("NameState", state);
}

// ---- Service plug-ins: loaded for one request, as the host does.

struct Answer {
    int code = -1;
    std::string message;
    std::string result;
};

int Replace(QvText* self, const wchar_t* value, size_t length) {
    auto* store = static_cast<std::wstring*>(self->host);
    store->assign(value, length);
    self->text = store->c_str();
    self->length = store->size();
    return 0;
}

std::string ParameterOf(const std::wstring& text, const std::wstring& key) {
    const std::wstring wanted = L"@@@" + key + L"=";
    size_t at = text.find(wanted);
    if (at == std::wstring::npos)
        return {};
    at += wanted.size();
    return Narrow(text.substr(at, text.find(L"@@@", at) - at));
}

Answer CallService(const char* path, const std::wstring& request) {
    Answer answer;
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        answer.message = std::string("cannot load ") + path;
        return answer;
    }
    auto init = reinterpret_cast<QvServiceInitializeFn>(dlsym(module, "Initialize"));
    auto serve = reinterpret_cast<QvServiceRequestServiceFn>(dlsym(module, "RequestService"));
    auto release = reinterpret_cast<QvServiceReleaseFn>(dlsym(module, "Release"));
    if (!init || !serve || !release) {
        dlclose(module);
        answer.message = std::string("not a service plug-in: ") + path;
        return answer;
    }
    std::wstring store = request;
    QvText text{store.c_str(), store.size(), &Replace, &store};
    init(request.c_str());
    answer.code = serve(&text);
    release(store.c_str());
    dlclose(module);
    answer.message = ParameterOf(store, L"LMQ_PLUGIN_RESPONSE_MESSAGE");
    answer.result = ParameterOf(store, L"result");
    return answer;
}

Answer ReadRecord(const char* field) {
    return CallService(
        kPointPlugin,
        L"ReadDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER=" + Widen(field));
}

Answer WriteRecord(const char* field, const std::string& value) {
    return CallService(kPointPlugin,
                       L"WriteDataPointService@@@POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER=" +
                           Widen(field) + L"@@@POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER=" +
                           Widen(value));
}

// ---- Settings

struct Settings {
    std::string target;  // native path
    long minFreeMb = 20;
    std::string proxyGroup;
};

Settings ReadSettings(const char* paramsFile) {
    Settings s;
    const std::string text =
        paramsFile ? setup::ReadWholeFile(setup::NativePath(paramsFile)).value_or("") : "";
    s.target = setup::NativePath(
        setup::ProfileValue(text, "SETUP", "TargetRoot").value_or(kDefaultTarget));
    if (s.target.empty())
        s.target = setup::NativePath(kDefaultTarget);
    if (auto mb = setup::ProfileValue(text, "SETUP", "MinFreeMB"))
        s.minFreeMb = std::strtol(mb->c_str(), nullptr, 10);
    s.proxyGroup = setup::ProfileValue(text, "SETUP", "ProxyGroup").value_or("");
    return s;
}

// Language entry n of language.ini, its fallback resolved (at most a few steps).
std::string LanguageKey(const std::string& text, const char* key, int n) {
    for (int step = 0; step < 8; ++step) {
        auto fallback = setup::ProfileValue(text, "LANGUAGE", "Fallback." + std::to_string(n));
        if (!fallback || fallback->empty())
            break;
        n = std::atoi(fallback->c_str());
    }
    return setup::ProfileValue(text, "LANGUAGE", std::string(key) + "." + std::to_string(n))
        .value_or("");
}

int LanguageIndex(const Context& c) {
    std::string id = c.String("ID_LANG");
    return id.rfind("ID_LANG", 0) == 0 ? std::atoi(id.c_str() + 7) : -1;
}

// "fr_BE" for a French of Belgium entry: the resolved language and the entry's own country.
std::string LanguageTag(int index) {
    const std::string text = setup::ReadWholeFile(kLanguageFile).value_or("");
    std::string code = LanguageKey(text, "Code", index);
    std::string country =
        setup::ProfileValue(text, "LANGUAGE", "Country." + std::to_string(index)).value_or("");
    return code + "_" + country;
}

// ---- Checks

// The screen shows why the first wrong entry is refused and goes to it; nothing when all are
// right.
void PublishRefusal(const Context& c, const setup::Refusal& refusal) {
    c.SetString("InvalidReason", refusal.reason);
    c.SetInt("InvalidField", refusal.control);
}

constexpr int kPdvFlags = 15;

setup::ProxyEntry ProxyOf(const Context& c) {
    return {c.Field("ProxyUser"), c.Field("ProxyPassword"), c.Field("ProxyHost"),
            c.Field("ProxyPort")};
}

bool CheckProxy(const Context& c, Log& log) {
    const setup::ProxyEntry proxy = ProxyOf(c);
    setup::ProxyCheck r = setup::CheckProxy(proxy);
    const bool flags[6] = {r.user, r.password, r.host, r.port, false, false};
    for (int i = 0; i < 6; ++i)
        c.SetInt("ProxyInvalidData", flags[i] ? 1 : 0, i + 1);
    PublishRefusal(c, setup::ProxyRefusal(proxy, r));
    if (!r.Ok())
        log.Info("Proxy entries refused");
    return r.Ok();
}

bool CheckAccount(const Context& c, Log& log) {
    const setup::AccountCheck r =
        setup::CheckAccount({c.Field("CodeClient"), c.Field("CodeKelor"),
                             c.Field("AccountPassword"), c.Field("AccountPassword2")});
    const bool flags[4] = {r.customer, r.site, r.password, r.confirmation};
    for (int i = 0; i < 4; ++i)
        c.SetInt("PPSInvalidData", flags[i] ? 1 : 0, i + 1);
    PublishRefusal(c, setup::AccountRefusal(r));
    if (!r.Ok())
        log.Info("Account entries refused");
    return r.Ok();
}

// The postcode and phone rules of the country chosen; none for a country the file does not name.
setup::CountryRule CountryRules(const Context& c, Log& log) {
    const std::string country = c.String("CodePays");
    const std::optional<std::string> text = setup::ReadWholeFile(kCountryRulesFile);
    if (!text) {
        log.Err(std::string("Cannot read ") + kCountryRulesFile +
                ": postcodes and phone numbers are taken as typed");
        return {};
    }
    std::string problem;
    setup::CountryRule rule = setup::CountryRuleOf(*text, country, &problem);
    if (!problem.empty())
        log.Err(std::string(kCountryRulesFile) + ": " + problem + ": any phone number is taken");
    if (!rule.postcode && !rule.phoneDigits)
        log.Info("No postcode or phone rule for country [" + country + "]: any text is taken");
    return rule;
}

bool CheckPointOfSale(const Context& c, Log& log) {
    for (int i = 1; i <= kPdvFlags; ++i)
        c.SetInt("PdvInvalidData", 0, i);
    const setup::CountryRule country = CountryRules(c, log);
    setup::Refusal first;
    for (const setup::FormField& f : setup::PointOfSaleForm()) {
        const std::string value = c.Field(f.rule.property);
        if (!setup::FieldValid(f.rule, value, country)) {
            c.SetInt("PdvInvalidData", 1, f.flag);
            log.Info(std::string("Point-of-sale entry refused: ") + f.rule.property);
            if (first.control == 0)
                first = {f.control, setup::FieldReason(f, value)};
        }
    }
    PublishRefusal(c, first);
    return first.control == 0;
}

// ---- Applying

class Applier {
  public:
    Applier(const Settings& s, Log& log) : settings_(s), log_(log) {}

    bool Write(const std::string& relative, const std::string& text, unsigned mode,
               long group = -1) {
        const std::string path = settings_.target + "/" + relative;
        std::string error;
        if (!setup::WriteFileAtomically(path, text, mode, &error, group)) {
            log_.Err("Cannot write " + path + ": " + error);
            failed_ = true;
            return false;
        }
        char m[8];
        std::snprintf(m, sizeof m, "%04o", mode);
        log_.Info("Wrote " + path + " (" + m + ")");
        summary_ += "wrote " + relative + " " + m + "\n";
        return true;
    }
    void Remove(const std::string& relative) {
        const std::string path = settings_.target + "/" + relative;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0)
            return;
        std::string error;
        if (!setup::RemoveFile(path, &error)) {
            log_.Err(error);
            failed_ = true;
            return;
        }
        log_.Info("Removed " + path);
        summary_ += "removed " + relative + "\n";
    }
    void Record(const char* field, const std::string& value) {
        Answer a = WriteRecord(field, value);
        if (a.code != 0) {
            log_.Err(std::string("Point-of-sale record: ") + field + " not written (" +
                     std::to_string(a.code) + "): " + a.message);
            failed_ = true;
            return;
        }
        log_.Info(std::string("Point-of-sale record: wrote ") + field);
        summary_ += std::string("record ") + field + "\n";
    }
    void Choose(const std::string& key, const std::string& value) {
        choices_.push_back({key, value});
    }
    bool Failed() const { return failed_; }
    // The choices over those of earlier runs, then this run's section added to the summary.
    void Summary(const char* mode) {
        if (failed_)
            return;
        const std::string choicesPath = settings_.target + "/" + kChoicesFile;
        bool cut = false;
        std::string earlier = setup::ReadFileTail(choicesPath, kChoicesReadMax, &cut).value_or("");
        if (cut)
            earlier.erase(0, earlier.find('\n') + 1);  // the end of a longer line
        Write(kChoicesFile,
              setup::ChoicesFile(setup::MergeChoices(setup::ParseChoices(earlier), choices_)),
              0644);
        std::string section =
            "[" + setup::IsoTime(std::time(nullptr)) + " " + mode + "]\n" + summary_;
        for (const setup::Choice& c : choices_)
            section += "choice " + c.key + "=" + setup::EncodeChoiceValue(c.value) + "\n";
        const std::string summaryPath = settings_.target + "/" + kSummaryFile;
        const std::optional<std::string> previous =
            setup::ReadFileTail(summaryPath, setup::kSummaryReadMax, &cut);
        if (cut)
            log_.Info("Setup summary over " + std::to_string(setup::kSummaryReadMax) +
                      " bytes: only its last runs are kept");
        Write(kSummaryFile, setup::AppendSummary(previous.value_or(""), section, cut), 0644);
    }

  private:
    static constexpr char kSummaryFile[] = "etc/quilvane/setup-summary";
    static constexpr char kChoicesFile[] = "etc/quilvane/choices.conf";
    static constexpr size_t kChoicesReadMax = 64 * 1024;
    const Settings& settings_;
    Log& log_;
    bool failed_ = false;
    std::string summary_;
    std::vector<setup::Choice> choices_;
};

// Makes the target root and checks its free space through the miscellaneous plug-in. 0 when
// it can take the configuration, else the analysis state to report.
int Analyse(const Settings& s, Log& log) {
    if (std::string e; !setup::WriteFileAtomically(s.target + "/.quilvane-check", "", 0600, &e)) {
        log.Err("Target root " + s.target + " is not writable: " + e);
        return 2;
    }
    setup::RemoveFile(s.target + "/.quilvane-check");
    Answer a =
        CallService(kMiscPlugin, L"getFreeDiskSpaceService@@@MISC_LMQ_PLUGIN_DISK_NAME_PARAMETER=" +
                                     Widen(s.target));
    if (a.code != 0) {
        log.Err("Disk analysis failed (" + std::to_string(a.code) + "): " + a.message);
        return 1;
    }
    const long long freeMb = std::atoll(a.message.c_str()) / (1024 * 1024);
    log.Info("Disk analysis: " + std::to_string(freeMb) + " MB free under " + s.target);
    if (freeMb < s.minFreeMb) {
        log.Err("Not enough free space under " + s.target);
        return 1;
    }
    return 0;
}

// The group that may read the proxy password; -1 for root alone.
long ProxyGroupId(const Settings& s, Log& log) {
    if (s.proxyGroup.empty())
        return -1;
    group g{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrnam_r(s.proxyGroup.c_str(), &g, buffer.data(), buffer.size(), &found) != 0 || !found) {
        log.Err("No group [" + s.proxyGroup + "]: the proxy password is readable by root alone");
        return -1;
    }
    return static_cast<long>(found->gr_gid);
}

void WriteProxy(Applier& out, const setup::ProxyEntry& proxy, const Settings& s, Log& log) {
    if (proxy.host.empty()) {
        out.Remove("etc/profile.d/quilvane-proxy.sh");
        out.Remove("etc/apt/apt.conf.d/90quilvane-proxy");
        out.Remove("etc/quilvane/proxy.conf");
        out.Remove(setup::kProxyCredentials);
        return;
    }
    // Every user's shell gets the proxy; its password only those who may read the credentials.
    out.Write("etc/profile.d/quilvane-proxy.sh", setup::ShellProfileFile(proxy), 0644);
    if (proxy.password.empty()) {
        out.Remove(setup::kProxyCredentials);
    } else {
        const long group = ProxyGroupId(s, log);
        out.Write(setup::kProxyCredentials, setup::ShellCredentialsFile(proxy),
                  group < 0 ? 0600 : 0640, group);
    }
    // APT runs as root: its file keeps the password, readable by its owner only.
    const unsigned mode = proxy.password.empty() ? 0644 : 0600;
    out.Write("etc/apt/apt.conf.d/90quilvane-proxy", setup::AptProxyFile(proxy), mode);
    out.Write("etc/quilvane/proxy.conf", setup::ProxyRecordFile(proxy), 0600);
}

void WritePointOfSale(Applier& out, const Context& c) {
    for (const setup::FormField& f : setup::PointOfSaleForm())
        out.Record(f.rule.property, c.Field(f.rule.property));
}

// What the operator chose in this run, for the results; never a password.
void ChooseAll(Applier& out, const Context& c, const std::string& tag, bool installation) {
    out.Choose("language", tag);
    if (installation) {
        const setup::KeyboardLayout& k = setup::Keyboard(c.Int("KeyboardIndex"));
        out.Choose("keyboard", k.name);
        out.Choose("keyboard_layout", std::string(k.layout) + (*k.variant ? " " : "") + k.variant);
    }
    out.Choose("country", c.String("CodePays"));
    if (installation) {
        out.Choose("installation_type", std::to_string(c.Int("InstallationType")));
        out.Choose("brand", std::to_string(c.Int("TradeMark")));
        const std::string model = c.String("PCModelType");
        out.Choose("pc_model_type", model);
        if (model == "BORNE")
            out.Choose("kiosk_model", c.String("TypeBorne"));
    }
    const setup::ProxyEntry proxy = ProxyOf(c);
    out.Choose("proxy_host", proxy.host);
    out.Choose("proxy_port", proxy.port);
    out.Choose("proxy_user", proxy.user);
    out.Choose("proxy_password", proxy.password.empty() ? "none" : "given");
    if (installation) {
        out.Choose("customer", c.Field("CodeClient"));
        out.Choose("site", c.Field("CodeKelor"));
    }
    for (const setup::FormField& f : setup::PointOfSaleForm())
        out.Choose(f.rule.property, c.Field(f.rule.property));
}

void Apply(const Context& c, const Settings& s, Log& log, bool installation) {
    // Checked again: a flow that skipped a screen never writes what no one checked.
    if (!CheckProxy(c, log) || !CheckPointOfSale(c, log) ||
        (installation && !CheckAccount(c, log))) {
        log.Err("Entries left invalid: configuration not applied");
        c.SetInt("AnalyseState", 3);
        c.SetInt("LastEvent", 1);
        return;
    }
    int state = Analyse(s, log);
    if (state == 0) {
        Applier out(s, log);
        const std::string tag = LanguageTag(LanguageIndex(c));
        const std::string country = c.String("CodePays");
        const std::string language = tag.substr(0, tag.find('_'));
        if (installation)
            out.Write("etc/default/keyboard", setup::KeyboardFile(c.Int("KeyboardIndex")), 0644);
        if (auto locale = setup::LocaleFile(language, country))
            out.Write("etc/default/locale", *locale, 0644);
        else
            log.Err("No locale for language [" + language + "] and country [" + country + "]");
        WriteProxy(out, ProxyOf(c), s, log);
        if (installation) {
            out.Write("etc/quilvane/account.conf",
                      "customer=" + setup::PercentEncode(c.Field("CodeClient")) +
                          "\nsite=" + setup::PercentEncode(c.Field("CodeKelor")) +
                          "\npassword=" + setup::PercentEncode(c.Field("AccountPassword")) + "\n",
                      0600);
            out.Record("CodeClient", c.Field("CodeClient"));
            out.Record("CodeKelor", c.Field("CodeKelor"));
        } else if (language.size() == 2 && country.size() == 2) {
            out.Record("LanguePays", language + country);
        }
        WritePointOfSale(out, c);
        ChooseAll(out, c, tag, installation);
        out.Summary(installation ? "installation" : "reconfiguration");
        state = out.Failed() ? 2 : 0;
    }
    c.SetInt("AnalyseState", state);
    log.Info(state == 0 ? "Configuration applied" : "Configuration not applied");
    c.SetInt("LastEvent", 1);
}

// ---- Reconfiguration: what the workstation has now.

void LoadCurrent(const Context& c, const Settings& s, Log& log) {
    for (const setup::FormField& f : setup::PointOfSaleForm()) {
        Answer a = ReadRecord(f.rule.property);
        if (a.code == 0)
            c.SetField(f.rule.property, a.message);
    }
    Answer language = ReadRecord("Langue");
    Answer country = ReadRecord("Pays");
    if (country.code == 0 && country.message.size() == 2)
        c.SetString("CodePays", country.message);
    c.SetField("CountryLabel", country.message);
    if (language.code == 0 && !language.message.empty()) {
        // The entry of that language and country, else the first of that language.
        const std::string text = setup::ReadWholeFile(kLanguageFile).value_or("");
        int found = -1;
        for (int n = 0; n < 64; ++n) {
            auto code = setup::ProfileValue(text, "LANGUAGE", "Code." + std::to_string(n));
            if (!code)
                continue;
            auto ctry = setup::ProfileValue(text, "LANGUAGE", "Country." + std::to_string(n));
            bool sameLanguage = strcasecmp(code->c_str(), language.message.c_str()) == 0;
            if (sameLanguage && ctry && *ctry == country.message) {
                found = n;
                break;
            }
            if (sameLanguage && found < 0)
                found = n;
        }
        if (found >= 0)
            c.SetString("ID_LANG", "ID_LANG" + std::to_string(found));
    }
    const auto record = setup::ReadWholeFile(s.target + "/etc/quilvane/proxy.conf");
    if (auto proxy = record ? setup::ParseProxyRecord(*record) : std::nullopt) {
        c.SetField("ProxyHost", proxy->host);
        c.SetField("ProxyPort", proxy->port);
        c.SetField("ProxyUser", proxy->user);
        c.SetField("ProxyPassword", proxy->password);
    }
    log.Info("Current configuration loaded");
    c.SetInt("LastEvent", 1);
}

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

void BeforeScreen(const std::string& service, const Context& c) {
    if (service == "ShowLanguage" || service == "ShowLanguageReconf") {
        if (c.String("ID_LANG").empty())
            c.SetString("ID_LANG", "ID_LANG0");
    } else if (service == "ShowAskKeyboard") {
        // Proposed: the layout that suits the language (chosen again when it changed).
        c.SetInt("KeyboardIndex", setup::KeyboardForTag(LanguageTag(LanguageIndex(c))));
        c.SetField("KeyboardLabel", setup::Keyboard(c.Int("KeyboardIndex")).name);
    } else if (service == "ShowPcModel") {
        int n = 1;
        for (const char* entry : kPcModelTypes)
            c.SetString("PCModelTypeMatching", entry, n++);
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
        c.SetField("KeyboardLabel", setup::Keyboard(n).name);
        c.SetInt("LastEvent", 1);
    } else if (service == "KeyboardChosen") {
        const setup::KeyboardLayout& k = setup::Keyboard(c.Int("KeyboardIndex"));
        c.SetField("KeyboardLabel", k.name);
        log.Info(std::string("Keyboard chosen: ") + k.name);
        c.SetInt("LastEvent", 1);
    } else if (service == "RouteByPcModel") {
        c.SetInt("LastEvent", c.String("PCModelType") == "BORNE" ? 3 : 1);
    } else if (service == "RouteByKeyboardChoice") {
        // 1008 on the keyboard question: a layout was chosen from the pictures.
        c.SetInt("LastEvent", c.Int("AskKeyboardButton") == 1008 ? 3 : 1);
    } else if (service == "NetworkCheck") {
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
    } else if (service == "LoadCurrent") {
        LoadCurrent(c, ReadSettings(paramsFile), log);
    } else {
        log.Err("Unknown service " + service);
        c.SetInt("LastEvent", 2);
    }
}

}  // namespace

extern "C" {

QV_PLUGIN_EXPORT void Initialize(void) {}

QV_PLUGIN_EXPORT void Release(void) {}

QV_PLUGIN_EXPORT void RequestService(const char* service, void* contextImage, const char* logFile,
                                     const char* paramsFile) {
    if (!service || !contextImage)
        return;
    try {
        Log log(logFile);
        Serve(service, Context(static_cast<const QvContextImage*>(contextImage)), paramsFile, log);
    } catch (...) {
        // Nothing may leave the export; the state table treats a silent service as waiting,
        // so the flow is sent back.
        qv_set_int(static_cast<const QvContextImage*>(contextImage), "LastEvent", 1, 2);
    }
}

}  // extern "C"
