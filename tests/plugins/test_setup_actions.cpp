// The setup plug-in as the automaton calls it: a context of the shipped definition, the
// plug-in's services on it, and what they leave in the context and the target root.
#include <dlfcn.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "automate/AutomateContext.h"
#include "quilvane/plugin.h"
#include "tests/support/TempTree.h"

namespace fs = std::filesystem;

namespace {

unsigned Mode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class SetupActions : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy(DIST_DIR "/config", tree.Path("config"),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        for (const char* p : {SETUP_PLUGIN, MISC_PLUGIN, POINT_PLUGIN})
            fs::copy_file(p, tree.Bin() + "/" + fs::path(p).filename().string());
        module = dlopen((tree.Bin() + "/setupActions.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        serve = reinterpret_cast<QvActionRequestServiceFn>(dlsym(module, "RequestService"));
        ASSERT_NE(serve, nullptr);
        context.Initialize();
        ASSERT_EQ(context.LoadContext("..\\config\\QV\\QV_automate.ini"), 0);
    }
    void TearDown() override {
        context.ReleaseValues();
        if (module)
            dlclose(module);
    }
    void Run(const char* service, const char* params = "..\\config\\QV\\QV_params.ini") {
        serve(service, context.GetImage(), "QV.log", params);
    }
    void Set(const char* name, const std::string& value) {
        context.SetWide(name, 1, std::wstring(value.begin(), value.end()));
    }
    int Int(const char* name, int occurrence = 1) {
        int32_t v = -99;
        context.GetInt(name, occurrence, &v);
        return v;
    }
    std::string String(const char* name) {
        char buffer[CAutomateContext::kStringBufferBytes] = "";
        context.GetString(name, 1, buffer);
        return buffer;
    }
    // A point-of-sale record that every country's rule takes but its postcode and phone.
    void Shop(const char* country, const char* postcode, const char* phone) {
        context.SetString("CodePays", 1, country);
        Set("RaisonSociale", "Shop");
        Set("Adresse", "1 Street");
        Set("CodePostal", postcode);
        Set("Ville", "Town");
        Set("Telephone", phone);
    }
    void WithAccount() {
        Set("CodeClient", "123456");
        Set("CodeKelor", "SITE7");
        Set("AccountPassword", "passw0rd");
        Set("AccountPassword2", "passw0rd");
    }
    // A proxy with a user and a password.
    void WithProxy() {
        Set("ProxyHost", "proxy.example.net");
        Set("ProxyPort", "3128");
        Set("ProxyUser", "till");
        Set("ProxyPassword", "s3cret");
    }
    // Entries every check takes: an English (United Kingdom) shop in the United Kingdom.
    void Valid() {
        context.SetString("ID_LANG", 1, "ID_LANG7");
        context.SetInt("KeyboardIndex", 1, 2);
        WithAccount();
        Shop("GB", "SW1A 1AA", "+44 20 7946 0000");
    }
    std::string Target(const std::string& relative) {
        return tree.Exists("data/target/" + relative) ? tree.Read("data/target/" + relative) : "";
    }

    TempTree tree;
    CAutomateContext context{"QV.log", 7};
    void* module = nullptr;
    QvActionRequestServiceFn serve = nullptr;
};

// Each check names the first wrong field and why, and clears both once all is right.
TEST_F(SetupActions, ChecksSayWhichFieldIsWrongAndWhy) {
    struct Row {
        const char* name;
        const char* service;
        std::vector<std::pair<const char*, std::string>> fields;
        const char* country;
        int event;
        std::string reason;
        int control;
    } rows[] = {
        {"port out of range",
         "CheckProxy",
         {{"ProxyHost", "proxy.example.net"}, {"ProxyPort", "80999"}},
         "",
         2,
         "id0301",
         1103},
        {"proxy right", "CheckProxy", {{"ProxyPort", "8080"}}, "", 1, "", 0},
        {"confirmation differs",
         "CheckAccount",
         {{"CodeClient", "123456"},
          {"CodeKelor", "SITE7"},
          {"AccountPassword", "passw0rd"},
          {"AccountPassword2", "passw0rt"}},
         "",
         2,
         "id0313",
         1103},
        {"account right", "CheckAccount", {{"AccountPassword2", "passw0rd"}}, "", 1, "", 0},
        {"one-digit postcode", "CheckPointOfSale", {{"CodePostal", "7"}}, "GB", 2, "id0323", 1102},
        {"UK postcode", "CheckPointOfSale", {{"CodePostal", "SW1A 1AA"}}, "GB", 1, "", 0},
        {"wrong phone and e-mail",
         "CheckPointOfSale",
         {{"Email", "contact@"}, {"Telephone", "12"}},
         "GB",
         2,
         "id0329",  // the phone (1107) comes before the e-mail (1109)
         1107},
        {"e-mail alone wrong",
         "CheckPointOfSale",
         {{"Telephone", "+44 20 7946 0000"}},
         "GB",
         2,
         "id0331",
         1109},
        {"Dutch postcode",
         "CheckPointOfSale",
         {{"Email", ""}, {"CodePostal", "1012 AB"}},
         "NL",
         1,
         "",
         0},
        {"a country without a rule", "CheckPointOfSale", {{"CodePostal", "X"}}, "ZZ", 1, "", 0},
    };
    Shop("GB", "SW1A 1AA", "+44 20 7946 0000");
    for (const Row& r : rows) {
        for (const auto& [name, value] : r.fields)
            Set(name, value);
        if (*r.country)
            context.SetString("CodePays", 1, r.country);
        Run(r.service);
        EXPECT_EQ(Int("LastEvent"), r.event) << r.name;
        EXPECT_EQ(String("InvalidReason"), r.reason) << r.name;
        EXPECT_EQ(Int("InvalidField"), r.control) << r.name;
    }
    // The flags that paint the labels red are as they were.
    Set("CodePostal", "7");
    context.SetString("CodePays", 1, "NL");
    Run("CheckPointOfSale");
    EXPECT_EQ(Int("PdvInvalidData", 3), 1);
    EXPECT_EQ(Int("PdvInvalidData", 8), 0);
    const std::string log = tree.Read("Log/1_QV.log");
    EXPECT_NE(log.find("(INFO) Point-of-sale entry refused: CodePostal"), std::string::npos);
    EXPECT_NE(log.find("(INFO) No postcode or phone rule for country [ZZ]: any text is taken"),
              std::string::npos);
}

// Installation then reconfiguration: the summary keeps both runs, dated; the choices hold every
// choice, the installation's kept where the reconfiguration made none; the proxy password goes
// to root alone, the proxy to every user.
TEST_F(SetupActions, ResultsHoldEveryChoiceAndEveryRun) {
    context.SetString("ID_LANG", 1, "ID_LANG7");  // English of the United Kingdom
    context.SetInt("KeyboardIndex", 1, 2);
    context.SetInt("InstallationType", 1, 2);
    context.SetInt("TradeMark", 1, 3);
    context.SetString("PCModelType", 1, "BORNE");
    Run("ShowKiosk");
    EXPECT_EQ(String("TypeBorne"), "standard");
    WithProxy();
    WithAccount();
    Shop("GB", "SW1A 1AA", "+44 20 7946 0000");
    Run("ApplyConfiguration");
    ASSERT_EQ(Int("AnalyseState"), 0) << tree.Read("Log/1_QV.log");

    std::string choices = Target("etc/quilvane/choices.conf");
    for (const char* line :
         {"language=en_GB", "keyboard=English (UK)", "keyboard_layout=gb", "country=GB",
          "installation_type=2", "brand=3", "pc_model_type=BORNE", "kiosk_model=standard",
          "proxy_host=proxy.example.net", "proxy_user=till", "proxy_password=given",
          "customer=123456", "site=SITE7", "CodePostal=SW1A 1AA", "Telephone=+44 20 7946 0000"})
        EXPECT_NE(choices.find(std::string("\n") + line + "\n"), std::string::npos) << line << "\n"
                                                                                    << choices;
    const std::string profile = Target("etc/profile.d/quilvane-proxy.sh");
    EXPECT_EQ(profile.find("s3cret"), std::string::npos);
    EXPECT_NE(profile.find("http://proxy.example.net:3128/"), std::string::npos);
    EXPECT_NE(Target("etc/quilvane/proxy-credentials").find("till:s3cret@"), std::string::npos);
    EXPECT_EQ(Mode(tree.Path("data/target/etc/profile.d/quilvane-proxy.sh")), 0644u);
    EXPECT_EQ(Mode(tree.Path("data/target/etc/quilvane/proxy-credentials")), 0600u);
    EXPECT_EQ(Mode(tree.Path("data/target/etc/apt/apt.conf.d/90quilvane-proxy")), 0600u);
    EXPECT_EQ(Mode(tree.Path("data/target/etc/quilvane/choices.conf")), 0644u);

    // The reconfiguration: another language and country, no proxy password; the credentials go.
    context.ReleaseValues();
    context.Initialize();
    ASSERT_EQ(context.LoadContext("..\\config\\RW\\RW_automate.ini"), 0);
    context.SetString("ID_LANG", 1, "ID_LANG3");  // Dutch
    Set("ProxyHost", "proxy2.example.net");
    Set("ProxyPort", "8080");
    Shop("NL", "1012 AB", "+31 20 123 4567");
    Run("ApplyReconfiguration", "..\\config\\RW\\RW_params.ini");
    ASSERT_EQ(Int("AnalyseState"), 0) << tree.Read("Log/1_QV.log");
    EXPECT_FALSE(tree.Exists("data/target/etc/quilvane/proxy-credentials"));
    EXPECT_EQ(Target("etc/profile.d/quilvane-proxy.sh").find("proxy-credentials"),
              std::string::npos);

    choices = Target("etc/quilvane/choices.conf");
    for (const char* line : {"installation_type=2", "pc_model_type=BORNE", "kiosk_model=standard",
                             "language=nl_NL", "country=NL", "proxy_host=proxy2.example.net",
                             "proxy_user=", "proxy_password=none", "CodePostal=1012 AB"})
        EXPECT_NE(choices.find(std::string("\n") + line + "\n"), std::string::npos) << line << "\n"
                                                                                    << choices;
    const std::string summary = Target("etc/quilvane/setup-summary");
    const std::regex dated(R"(\n\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d (\w+)\]\n)");
    std::vector<std::string> modes;
    for (std::sregex_iterator it(summary.begin(), summary.end(), dated), end; it != end; ++it)
        modes.push_back((*it)[1]);
    EXPECT_EQ(modes, (std::vector<std::string>{"installation", "reconfiguration"})) << summary;
    const size_t second = summary.find(" reconfiguration]\n");
    // The installation's section is whole: what it wrote and chose.
    const std::string first = summary.substr(0, second);
    for (const char* line : {"\nwrote etc/default/keyboard 0644\n", "\nrecord CodeClient\n",
                             "\nwrote etc/quilvane/proxy-credentials 0600\n",
                             "\nchoice pc_model_type=BORNE\n", "\nchoice CodePostal=SW1A 1AA\n"})
        EXPECT_NE(first.find(line), std::string::npos) << line << summary;
    const std::string last = summary.substr(second);
    for (const char* line : {"\nremoved etc/quilvane/proxy-credentials\n", "\nrecord LanguePays\n",
                             "\nchoice country=NL\n"})
        EXPECT_NE(last.find(line), std::string::npos) << line << summary;
    EXPECT_EQ(last.find("choice pc_model_type"), std::string::npos);  // not chosen in this run
    for (const char* secret : {"s3cret", "passw0rd"}) {
        EXPECT_EQ(summary.find(secret), std::string::npos) << secret;
        EXPECT_EQ(choices.find(secret), std::string::npos) << secret;
    }
}

// With ProxyGroup set, the group may read the password; an unknown group leaves it to root.
TEST_F(SetupActions, TheProxyGroupMayReadThePassword) {
    const group* own = getgrgid(getgid());
    ASSERT_NE(own, nullptr);
    struct Row {
        std::string group;
        unsigned mode;
        bool err;
    } rows[] = {{"", 0600, false}, {"no-such-group-qv", 0600, true}, {own->gr_name, 0640, false}};
    for (const Row& r : rows) {
        tree.Write("config/QV/P.ini",
                   "[SETUP]\nTargetRoot=..\\data\\target\nProxyGroup=" + r.group + "\n");
        context.SetString("ID_LANG", 1, "ID_LANG1");
        WithProxy();
        WithAccount();
        Shop("US", "10001", "+1 212 555 0100");
        Run("ApplyConfiguration", "..\\config\\QV\\P.ini");
        EXPECT_EQ(Int("AnalyseState"), 0) << r.group;
        EXPECT_EQ(Mode(tree.Path("data/target/etc/quilvane/proxy-credentials")), r.mode) << r.group;
        EXPECT_EQ(
            tree.Read("Log/1_QV.log").find("(ERR) No group [" + r.group + "]") != std::string::npos,
            r.err)
            << r.group;
        struct stat st {};
        ASSERT_EQ(stat(tree.Path("data/target/etc/quilvane/proxy-credentials").c_str(), &st), 0);
        if (r.mode == 0640) {
            EXPECT_EQ(st.st_gid, getgid());
        }
    }
}

}  // namespace

// The stepwise apply: the progress screen before each step says which and how far, the last
// step ends it; a step out of turn or one that fails ends it on event 3 and names itself.
TEST_F(SetupActions, TheApplyRunsStepByStepAndNamesAFailedStep) {
    Valid();
    Run("StartConfiguration");
    const char* steps[][2] = {{"ApplyKeyboard", "id0251"},
                              {"ApplyLocale", "id0276"},
                              {"ApplyProxy", "id0257"},
                              {"ApplyAccount", "id0277"},
                              {"ApplyRecord", "id0278"}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(String("Gui"), "..\\gui\\StateApplying.gui") << i;
        EXPECT_EQ(Int("NextState"), 1) << i;
        EXPECT_EQ(String("ApplyStep"), steps[i][1]) << i;
        EXPECT_EQ(Int("ApplyStepNumber"), i + 1);
        EXPECT_EQ(Int("ApplyStepCount"), 5);
        context.SetString("Gui", 1, "");
        context.SetInt("NextState", 1, 0);
        Run(steps[i][0]);
    }
    EXPECT_EQ(Int("LastEvent"), 1);
    EXPECT_EQ(Int("AnalyseState"), 0) << tree.Read("Log/1_QV.log");
    EXPECT_EQ(String("ApplyFailedStep"), "");
    EXPECT_NE(Target("etc/quilvane/setup-summary").find("wrote etc/default/keyboard"),
              std::string::npos);

    // Out of turn.
    Run("StartConfiguration");
    context.SetInt("LastEvent", 1, 0);
    Run("ApplyProxy");
    EXPECT_EQ(Int("LastEvent"), 3);
    EXPECT_EQ(String("ApplyFailedStep"), "id0257");
    Run("ApplyLocale");  // the run is over
    EXPECT_EQ(Int("LastEvent"), 3);

    // The keyboard layout cannot be written: nothing after it runs.
    fs::remove_all(tree.Path("data/target"));
    tree.Write("data/target/etc/default", "a file where a folder should be");
    Run("StartConfiguration");
    Run("ApplyKeyboard");
    EXPECT_EQ(Int("LastEvent"), 3);
    EXPECT_EQ(String("ApplyFailedStep"), "id0251");
    EXPECT_EQ(Int("AnalyseState"), 2);
    EXPECT_FALSE(tree.Exists("data/target/etc/quilvane/setup-summary"));
}

// What the screens show as the plug-in leaves it: the layout's label to translate, the checks
// counted since the connection screen, and the workstation's current settings by name.
TEST_F(SetupActions, TheScreensGetTheirLabelsAndCounts) {
    auto Field = [&](const char* name) {
        std::wstring v;
        context.GetWide(name, 1, &v);
        return std::string(v.begin(), v.end());
    };
    context.SetString("ID_LANG", 1, "ID_LANG7");
    Run("ShowAskKeyboard");
    const int proposed = Int("KeyboardIndex");
    EXPECT_EQ(Field("KeyboardLabel"), "id0" + std::to_string(359 + proposed));
    context.SetInt("KeyboardIndex", 1, 24);
    Run("KeyboardNext");  // wraps to the first
    EXPECT_EQ(Field("KeyboardLabel"), "id0360");

    context.SetInt("NetworkAttempt", 1, 5);
    Run("ShowConnectRouter");
    EXPECT_EQ(Int("NetworkAttempt"), 0);
    tree.Write("config/noxMiscPlugin.ini", "[TestInternet]\nURL.1=127.0.0.1:1\nTimeout=200\n");
    Run("NetworkCheck");
    Run("NetworkCheck");
    EXPECT_EQ(Int("NetworkAttempt"), 2);
    context.SetInt("NextState", 1, 0);
    Run("ShowNetworkCheck");
    EXPECT_EQ(String("Gui"), "..\\gui\\StateNetworkCheck.gui");
    EXPECT_EQ(Int("NextState"), 1);

    // An English (United Kingdom) shop with a proxy (the reconfiguration records the language
    // and country), read back as the next reconfiguration starts.
    context.ReleaseValues();
    context.Initialize();
    ASSERT_EQ(context.LoadContext("..\\config\\RW\\RW_automate.ini"), 0);
    Valid();
    Set("ProxyHost", "proxy.example.net");
    Set("ProxyPort", "3128");
    Run("ApplyReconfiguration", "..\\config\\RW\\RW_params.ini");
    ASSERT_EQ(Int("AnalyseState"), 0) << tree.Read("Log/1_QV.log");
    context.ReleaseValues();
    context.Initialize();
    ASSERT_EQ(context.LoadContext("..\\config\\RW\\RW_automate.ini"), 0);
    Run("LoadCurrent", "..\\config\\RW\\RW_params.ini");
    EXPECT_EQ(String("ID_LANG"), "ID_LANG7");
    EXPECT_EQ(Field("KSOLabel"), "English (United Kingdom)");
    EXPECT_EQ(Field("CountryLabel"), "PAYGB");
    EXPECT_EQ(Field("ProxyLabel"), "proxy.example.net:3128");
}

// A step that fails leaves the target root as it was: the steps before it were only staged.
TEST_F(SetupActions, AnApplyThatFailsLeavesNothingOfItself) {
    Valid();
    WithProxy();
    Run("ApplyConfiguration");
    ASSERT_EQ(Int("AnalyseState"), 0) << tree.Read("Log/1_QV.log");
    const std::string keyboard = Target("etc/default/keyboard");
    const std::string summary = Target("etc/quilvane/setup-summary");

    context.SetInt("KeyboardIndex", 1, 5);
    Set("ProxyHost", "other.example.net");
    fs::remove_all(tree.Path("data/target/etc/apt/apt.conf.d"));
    tree.Write("data/target/etc/apt/apt.conf.d", "a file where a folder should be");
    Run("ApplyConfiguration");
    EXPECT_EQ(Int("AnalyseState"), 2);
    EXPECT_EQ(Target("etc/default/keyboard"), keyboard);
    EXPECT_EQ(Target("etc/quilvane/setup-summary"), summary);
    EXPECT_EQ(Target("etc/quilvane/proxy.conf").find("other"), std::string::npos);
    for (const auto& e : fs::recursive_directory_iterator(tree.Path("data")))
        EXPECT_EQ(e.path().string().find(".qv-staged"), std::string::npos) << e.path();
    EXPECT_FALSE(tree.Exists("data/setup-apply.journal"));
}

// The first request of a process meets the journal a killed apply left.
class InterruptedApply : public SetupActions {
  protected:
    void Leave(const std::string& journal) {
        tree.Write("data/target/etc/default/keyboard", "old");
        tree.Write("data/target/etc/default/keyboard.qv-staged", "new");
        tree.Write("data/target/etc/default/locale.tmpAb12Cd", "half writ");
        tree.Write("data/setup-apply.journal", journal);
    }
    std::string Journal(const std::string& state, const std::string& renamed,
                        const std::string& target = "../data/target") {
        return "quilvane-apply 1\ntarget " + target + "\nstate " + state +
               "\nfield RaisonSociale\nrecord 0123456789abcdef\nrename " + renamed + "\nend 6\n";
    }
    std::string Log() { return tree.Read("Log/1_QV.log"); }
    // A copy of the plug-in under a new name: a new process, as far as its first request goes.
    void LoadAgain(int n) {
        dlclose(module);
        const std::string copy = tree.Bin() + "/setupActions" + std::to_string(n) + ".so";
        fs::copy_file(tree.Bin() + "/setupActions.so", copy);
        module = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        serve = reinterpret_cast<QvActionRequestServiceFn>(dlsym(module, "RequestService"));
    }
};

TEST_F(InterruptedApply, WithItsRecordInItIsFinished) {
    Leave(Journal("committed", "etc/default/keyboard"));
    Run("ShowLanguage");
    EXPECT_EQ(Target("etc/default/keyboard"), "new");
    EXPECT_FALSE(tree.Exists("data/setup-apply.journal"));
    EXPECT_FALSE(tree.Exists("data/target/etc/default/locale.tmpAb12Cd"));
    EXPECT_NE(Log().find("(INFO) Interrupted apply finished: 1 files"), std::string::npos) << Log();
    EXPECT_EQ(String("Gui"), "..\\gui\\StateLanguage.gui") << "the request itself still runs";
}

TEST_F(InterruptedApply, WithoutItsRecordItIsRolledBack) {
    // The record holds no such hash (there is no record at all).
    Leave(Journal("staged", "etc/default/keyboard"));
    Run("ShowLanguage");
    EXPECT_EQ(Target("etc/default/keyboard"), "old");
    EXPECT_FALSE(tree.Exists("data/target/etc/default/keyboard.qv-staged"));
    EXPECT_FALSE(tree.Exists("data/setup-apply.journal"));
    EXPECT_NE(Log().find("(INFO) Interrupted apply rolled back"), std::string::npos) << Log();
}

TEST_F(InterruptedApply, AJournalNotToBeTrustedIsSetAsideAndNothingIsRenamed) {
    int n = 0;
    for (const std::string& journal :
         {Journal("committed", "../../bin/setupActions.so"),
          Journal("committed", "etc/default/keyboard", "/etc"), std::string("junk\n")}) {
        SCOPED_TRACE(journal);
        LoadAgain(++n);
        fs::remove_all(tree.Path("data"));
        Leave(journal);
        Run("ShowLanguage");
        EXPECT_EQ(Target("etc/default/keyboard"), "old");
        EXPECT_FALSE(tree.Exists("data/target/etc/default/keyboard.qv-staged"));
        EXPECT_TRUE(tree.Exists("data/setup-apply.journal.rejected"));
        const std::string log = Log();
        int warnings = 0;
        const std::string line = "(WARNING) Apply journal ../data/setup-apply.journal set aside";
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
            ++warnings;
        EXPECT_EQ(warnings, n) << log;
    }
}

// A root with Debian's locale list gets the locale enabled there, and its locale-gen run; one
// that fails is an ERR line with its status and words, and the result names the locale step.
TEST_F(SetupActions, TheLocaleToolOfTheRootRunsAndItsFailureNamesTheStep) {
    Valid();
    tree.Write("data/target/etc/locale.gen", "# en_GB.UTF-8 UTF-8\n# fr_FR.UTF-8 UTF-8\n");
    // A tool the root cannot run: it has no interpreter for it.
    tree.Write("data/target/usr/sbin/locale-gen", "#!/bin/sh\nexit 0\n");
    fs::permissions(tree.Path("data/target/usr/sbin/locale-gen"), fs::perms::owner_all);
    Run("ApplyConfiguration");
    EXPECT_EQ(Target("etc/locale.gen"), "en_GB.UTF-8 UTF-8\n# fr_FR.UTF-8 UTF-8\n");
    EXPECT_NE(Target("etc/default/locale").find("LANG=en_GB.UTF-8"), std::string::npos);
    EXPECT_EQ(Int("AnalyseState"), 2);
    EXPECT_EQ(String("ApplyFailedStep"), "id0276");
    const std::string log = tree.Read("Log/1_QV.log");
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(\(ERR\) Command /usr/sbin/locale-gen under )"
                                                  R"(\.\./data/target failed \(status \d+\): .)")))
        << log;

    // Without the tool, the files alone and no failure.
    fs::remove(tree.Path("data/target/usr/sbin/locale-gen"));
    Run("ApplyConfiguration");
    EXPECT_EQ(Int("AnalyseState"), 0) << tree.Read("Log/1_QV.log");
    EXPECT_NE(tree.Read("Log/1_QV.log")
                  .find("(INFO) No /usr/sbin/locale-gen under ../data/target: "
                        "not run"),
              std::string::npos);
}
