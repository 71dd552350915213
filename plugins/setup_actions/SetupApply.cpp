// The checks of what the operator typed and the apply: all at once, or step by step with a
// progress screen between the steps.
#include "plugins/setup_actions/SetupApply.h"

#include <grp.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "plugins/setup_actions/SetupCommands.h"
#include "plugins/setup_actions/SetupStaging.h"

namespace actions {

namespace {

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

}  // namespace

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

namespace {

// ---- Applying

// Every file is staged and every record field kept until Commit, which puts them all in
// place or none of them (see SetupStaging.h).
class Applier {
  public:
    Applier(const Settings& s, Log& log) : settings_(s), log_(&log) {}
    // A run dropped before its commit (a failed step) leaves nothing behind.
    ~Applier() {
        if (!committed_)
            Abandon();
    }
    Applier(const Applier&) = delete;
    Applier& operator=(const Applier&) = delete;
    // Each request has its own log.
    void UseLog(Log& log) { log_ = &log; }

    bool Write(const std::string& relative, const std::string& text, unsigned mode,
               long group = -1) {
        std::string error;
        if (!setup::StageFile(settings_.target, relative, text, mode, &error, group)) {
            log_->Err("Cannot write " + settings_.target + "/" + relative + ": " + error);
            failed_ = true;
            return false;
        }
        // Written again in the same apply: the staged copy holds the last text.
        const auto known = std::find(plan_.renames.begin(), plan_.renames.end(), relative);
        if (known != plan_.renames.end()) {
            modes_[static_cast<size_t>(known - plan_.renames.begin())] = mode;
        } else {
            plan_.renames.push_back(relative);
            modes_.push_back(mode);
        }
        summary_ += "wrote " + relative + " " + ModeText(mode) + "\n";
        return true;
    }
    void Remove(const std::string& relative) {
        struct stat st {};
        if (lstat((settings_.target + "/" + relative).c_str(), &st) != 0)
            return;
        plan_.removes.push_back(relative);
        summary_ += "removed " + relative + "\n";
    }
    void Record(const char* field, const std::string& value) {
        record_.push_back({field, value});
        summary_ += std::string("record ") + field + "\n";
    }
    void Choose(const std::string& key, const std::string& value) {
        choices_.push_back({key, value});
    }
    bool Failed() const { return failed_; }
    // A tool that makes a step take effect failed after the files were in place: the result
    // names that step.
    void EffectFailed(const char* trad) {
        failed_ = true;
        failedStep_ = trad;
    }
    const char* FailedStep() const { return failedStep_; }
    // The locale the tools are to generate once the files are in place, and whether Debian's
    // list of locales is among the files.
    void GenerateLocale(std::string tag, bool listed) {
        localeTag_ = std::move(tag);
        localeListed_ = listed;
    }
    const std::string& LocaleTag() const { return localeTag_; }
    bool LocaleListed() const { return localeListed_; }
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
            log_->Info("Setup summary over " + std::to_string(setup::kSummaryReadMax) +
                       " bytes: only its last runs are kept");
        Write(kSummaryFile, setup::AppendSummary(previous.value_or(""), section, cut), 0644);
    }
    // The journal first, then the record in one transaction, then the renames: a kill at any
    // point leaves what the next start can finish or roll back.
    void Commit() {
        if (failed_)
            return Abandon();
        plan_.target = settings_.target;
        for (const auto& [field, value] : record_)
            plan_.fields.push_back(field);
        plan_.recordHash = record_.empty() ? "" : setup::RecordHash(record_);
        plan_.committed = record_.empty();
        if (std::string error; !setup::SyncStaged(plan_, &error)) {
            log_->Err(error);
            failed_ = true;
            return Abandon();
        }
        if (!WriteJournal()) {
            failed_ = true;
            return Abandon();
        }
        if (!record_.empty()) {
            Answer a = WriteRecords(record_);
            if (a.code != 0) {
                log_->Err("Point-of-sale record: not written (" + std::to_string(a.code) +
                          "): " + a.message);
                failed_ = true;
                return Abandon();
            }
            for (const auto& [field, value] : record_)
                log_->Info("Point-of-sale record: wrote " + field);
            // Should this fail, the record's hash still tells the next start to finish.
            plan_.committed = true;
            WriteJournal();
        }
        committed_ = true;
        std::string error;
        if (!setup::FinishPlan(plan_, &error)) {
            log_->Err(error + ": the apply is finished at the next start");
            failed_ = true;
            return;
        }
        for (size_t n = 0; n < plan_.renames.size(); ++n)
            log_->Info("Wrote " + settings_.target + "/" + plan_.renames[n] + " (" +
                       ModeText(modes_[n]) + ")");
        for (const std::string& r : plan_.removes)
            log_->Info("Removed " + settings_.target + "/" + r);
        RemoveJournal();
    }

  private:
    static std::string ModeText(unsigned mode) {
        char m[8];
        std::snprintf(m, sizeof m, "%04o", mode);
        return m;
    }
    bool WriteJournal() {
        std::string error;
        if (setup::WriteFileAtomically(setup::kApplyJournal, setup::ApplyJournalText(plan_), 0600,
                                       &error)) {
            journal_ = true;
            return true;
        }
        log_->Err("Cannot write the apply journal: " + error);
        return false;
    }
    void RemoveJournal() {
        if (journal_ && setup::RemoveFile(setup::kApplyJournal))
            setup::SyncDirectory("../data");
        journal_ = false;
    }
    void Abandon() {
        for (const std::string& r : plan_.renames)
            setup::RemoveFile(settings_.target + "/" + r + setup::kStagedSuffix);
        plan_.renames.clear();
        plan_.removes.clear();
        RemoveJournal();
        committed_ = true;
    }

    static constexpr char kSummaryFile[] = "etc/quilvane/setup-summary";
    static constexpr char kChoicesFile[] = "etc/quilvane/choices.conf";
    static constexpr size_t kChoicesReadMax = 64 * 1024;
    const Settings& settings_;
    Log* log_;
    bool failed_ = false;
    const char* failedStep_ = nullptr;
    std::string localeTag_;
    bool localeListed_ = false;
    bool committed_ = false;  // or abandoned: nothing is left to undo
    bool journal_ = false;
    std::string summary_;
    std::vector<setup::Choice> choices_;
    setup::RecordFields record_;
    setup::ApplyPlan plan_;
    std::vector<unsigned> modes_;
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

// ---- The apply, all at once or step by step

enum class Step { Keyboard, Locale, Proxy, Account, Record };

struct StepInfo {
    Step step;
    const char* service;
    const char* trad;  // its name on the progress and end screens
};

constexpr StepInfo kSteps[] = {
    {Step::Keyboard, "ApplyKeyboard", "id0251"}, {Step::Locale, "ApplyLocale", "id0276"},
    {Step::Proxy, "ApplyProxy", "id0257"},       {Step::Account, "ApplyAccount", "id0277"},
    {Step::Record, "ApplyRecord", "id0278"},
};

std::vector<StepInfo> StepsOf(bool installation) {
    std::vector<StepInfo> steps;
    for (const StepInfo& s : kSteps) {
        if (installation || (s.step != Step::Keyboard && s.step != Step::Account))
            steps.push_back(s);
    }
    return steps;
}

// Checked again: a flow that skipped a screen never writes what no one checked. 0 when the
// target root can take the configuration, else the analysis state to report.
int Prepare(const Context& c, const Settings& s, Log& log, bool installation) {
    if (!CheckProxy(c, log) || !CheckPointOfSale(c, log) ||
        (installation && !CheckAccount(c, log))) {
        log.Err("Entries left invalid: configuration not applied");
        return 3;
    }
    return Analyse(s, log);
}

// "fr_BE" from "fr" and "BE" (LocaleFile checked both).
std::string LocaleTagOf(const std::string& language, const std::string& country) {
    const std::string locale = setup::LocaleFile(language, country).value_or("LANG=");
    return locale.substr(5, locale.find('.') - 5);
}

// One of the system's tools, when the target root has it; the step it serves fails with it.
void RunTool(Applier& out, const Settings& s, Log& log, const std::vector<std::string>& argv,
             const char* trad, int timeoutMs) {
    if (!setup::ProgramInRoot(s.target, argv[0])) {
        log.Info("No " + argv[0] + " under " + s.target + ": not run");
        return;
    }
    std::string line;
    for (const std::string& a : argv)
        line += (line.empty() ? "" : " ") + a;
    const setup::CommandRun run = setup::RunInRoot(s.target, argv, timeoutMs);
    if (run.started && run.status == 0) {
        log.Info("Ran " + line + " under " + s.target);
        return;
    }
    log.Err("Command " + line + " under " + s.target + " failed (" +
            (run.started ? "status " + std::to_string(run.status) : std::string("not started")) +
            "): " + run.error);
    out.EffectFailed(trad);
}

// The files are in place; the tools that make a running system take them up.
void TakeEffect(Applier& out, const Settings& s, Log& log, bool installation) {
    const std::string& tag = out.LocaleTag();
    if (out.LocaleListed()) {
        RunTool(out, s, log, {"/usr/sbin/locale-gen"}, "id0276", 300000);
    } else if (!tag.empty() &&
               access((s.target + "/usr/share/i18n/locales/" + tag).c_str(), R_OK) == 0) {
        // Debian's list could not be written (a read-only /etc): the one locale, as
        // locale-gen would make it.
        RunTool(out, s, log,
                {"/usr/bin/localedef", "-i", tag, "-c", "-f", "UTF-8", "-A",
                 "/usr/share/locale/locale.alias", tag + ".UTF-8"},
                "id0276", 300000);
    }
    // The console's keyboard, where this root is the running system's and has a console.
    if (installation && s.target == "/" && access("/dev/tty0", W_OK) == 0)
        RunTool(out, s, log, {"/bin/setupcon", "--keyboard-only", "--force"}, "id0251", 60000);
}

void ApplyPiece(Step step, Applier& out, const Context& c, const Settings& s, Log& log,
                bool installation) {
    const std::string tag = LanguageTag(LanguageIndex(c));
    const std::string country = c.String("CodePays");
    const std::string language = tag.substr(0, tag.find('_'));
    switch (step) {
        case Step::Keyboard:
            out.Write("etc/default/keyboard", setup::KeyboardFile(c.Int("KeyboardIndex")), 0644);
            break;
        case Step::Locale:
            if (auto locale = setup::LocaleFile(language, country)) {
                out.Write("etc/default/locale", *locale, 0644);
                // A root with Debian's locale list gets the locale generated too; the list is
                // changed only where its folder may be written (the kiosk's /etc may not).
                const std::string tag = LocaleTagOf(language, country);
                const std::optional<std::string> list =
                    setup::ReadWholeFile(s.target + "/etc/locale.gen");
                const bool listed = list && access((s.target + "/etc").c_str(), W_OK) == 0;
                if (listed)
                    out.Write("etc/locale.gen", setup::LocaleGenWith(*list, tag), 0644);
                out.GenerateLocale(tag, listed);
            } else {
                log.Err("No locale for language [" + language + "] and country [" + country + "]");
            }
            break;
        case Step::Proxy:
            WriteProxy(out, ProxyOf(c), s, log);
            break;
        case Step::Account:
            out.Write("etc/quilvane/account.conf",
                      "customer=" + setup::PercentEncode(c.Field("CodeClient")) +
                          "\nsite=" + setup::PercentEncode(c.Field("CodeKelor")) +
                          "\npassword=" + setup::PercentEncode(c.Field("AccountPassword")) + "\n",
                      0600);
            break;
        case Step::Record:
            // The account's fields too: the whole record is one transaction, new or old. A
            // reconfiguration never asks for the account, so it keeps the one recorded.
            if (installation) {
                out.Record("CodeClient", c.Field("CodeClient"));
                out.Record("CodeKelor", c.Field("CodeKelor"));
            }
            if (!installation && language.size() == 2 && country.size() == 2)
                out.Record("LanguePays", language + country);
            WritePointOfSale(out, c);
            ChooseAll(out, c, tag, installation);
            out.Summary(installation ? "installation" : "reconfiguration");
            out.Commit();
            if (!out.Failed())
                TakeEffect(out, s, log, installation);
            break;
    }
}

void Finish(const Context& c, int state, Log& log) {
    c.SetInt("AnalyseState", state);
    log.Info(state == 0 ? "Configuration applied" : "Configuration not applied");
}

// A stepwise apply between its steps: the plug-in stays loaded for the whole run.
struct StepwiseRun {
    std::unique_ptr<Settings> settings;
    std::unique_ptr<Applier> out;
    bool installation = true;
    std::vector<StepInfo> steps;
    size_t next = 0;
};

StepwiseRun& CurrentRun() {
    static StepwiseRun run;
    return run;
}

// The progress screen for the step about to run; it passes on by itself.
void ShowProgress(const Context& c, const StepwiseRun& run) {
    const StepInfo& step = run.steps[run.next];
    c.SetString("ApplyStep", step.trad);
    c.SetInt("ApplyStepNumber", static_cast<int>(run.next) + 1);
    c.SetInt("ApplyStepCount", static_cast<int>(run.steps.size()));
    ShowScreen(c, "StateApplying", "Applying");
    c.SetInt("NextState", 1);
}

void Fail(const Context& c, const char* trad, Log& log) {
    c.SetString("ApplyFailedStep", trad);
    Finish(c, 2, log);
    CurrentRun() = StepwiseRun{};
    c.SetInt("LastEvent", 3);
}

}  // namespace

void Apply(const Context& c, const Settings& s, Log& log, bool installation) {
    int state = Prepare(c, s, log, installation);
    if (state == 0) {
        Applier out(s, log);
        for (const StepInfo& step : StepsOf(installation))
            ApplyPiece(step.step, out, c, s, log, installation);
        state = out.Failed() ? 2 : 0;
        if (out.FailedStep())
            c.SetString("ApplyFailedStep", out.FailedStep());
    }
    Finish(c, state, log);
    c.SetInt("LastEvent", 1);
}

void StartApply(const Context& c, const Settings& s, Log& log, bool installation) {
    StepwiseRun& run = CurrentRun();
    run = StepwiseRun{};
    c.SetString("ApplyFailedStep", "");
    const int state = Prepare(c, s, log, installation);
    if (state != 0) {
        Finish(c, state, log);
        c.SetInt("LastEvent", 3);
        return;
    }
    run.settings = std::make_unique<Settings>(s);
    run.out = std::make_unique<Applier>(*run.settings, log);
    run.installation = installation;
    run.steps = StepsOf(installation);
    ShowProgress(c, run);
}

bool ApplyStep(const std::string& service, const Context& c, Log& log) {
    const StepInfo* known = nullptr;
    for (const StepInfo& s : kSteps) {
        if (service == s.service)
            known = &s;
    }
    if (!known)
        return false;
    StepwiseRun& run = CurrentRun();
    if (!run.out || run.next >= run.steps.size() || run.steps[run.next].step != known->step) {
        log.Err(service +
                " out of turn: the steps run in order after StartConfiguration or "
                "StartReconfiguration");
        Fail(c, known->trad, log);
        return true;
    }
    // The applier logs to this request's log.
    run.out->UseLog(log);
    ApplyPiece(known->step, *run.out, c, *run.settings, log, run.installation);
    if (run.out->Failed()) {
        Fail(c, run.out->FailedStep() ? run.out->FailedStep() : known->trad, log);
        return true;
    }
    if (++run.next < run.steps.size()) {
        ShowProgress(c, run);
        return true;
    }
    Finish(c, 0, log);
    run = StepwiseRun{};
    c.SetInt("LastEvent", 1);
    return true;
}

// ---- After a kill

namespace {

// Whether the record holds what the plan wrote; false when it cannot be read.
bool RecordIsIn(const setup::ApplyPlan& plan) {
    setup::RecordFields now;
    for (const std::string& f : plan.fields) {
        Answer a = ReadRecord(f.c_str());
        if (a.code != 0)
            return false;
        now.push_back({f, a.message});
    }
    return setup::RecordHash(now) == plan.recordHash;
}

void SetAside(const char* path, const std::string& why, Log& log) {
    const std::string aside = std::string(path) + ".rejected";
    log.Warn(std::string("Apply journal ") + path + " set aside as " + aside + ": " + why);
    if (rename(path, aside.c_str()) != 0)
        setup::RemoveFile(path);
}

}  // namespace

void RecoverApply(const Settings& s, Log& log) {
    struct stat st {};
    if (lstat(setup::kApplyJournal, &st) == 0) {
        const std::optional<std::string> text = setup::ReadWholeFile(setup::kApplyJournal);
        std::string problem = "it cannot be read";
        const std::optional<setup::ApplyPlan> plan =
            text ? setup::ParseApplyJournal(*text, &problem) : std::nullopt;
        if (!plan) {
            SetAside(setup::kApplyJournal, problem, log);
        } else if (plan->target != s.target) {
            SetAside(setup::kApplyJournal, "it is of target root " + plan->target, log);
        } else if (plan->committed || RecordIsIn(*plan)) {
            std::string error;
            if (setup::FinishPlan(*plan, &error)) {
                log.Info("Interrupted apply finished: " + std::to_string(plan->renames.size()) +
                         " files put in place, " + std::to_string(plan->removes.size()) +
                         " removed");
                setup::RemoveFile(setup::kApplyJournal);
            } else {
                // Kept, so the next start tries again; nothing is rolled back under a record
                // that is already in.
                log.Err("Interrupted apply not finished: " + error);
                return;
            }
        } else {
            log.Info(
                "Interrupted apply rolled back: its record was not written, the previous "
                "configuration stays");
            setup::RemoveFile(setup::kApplyJournal);
        }
    }
    if (const int n = setup::DropStaged(s.target))
        log.Info("Removed " + std::to_string(n) + " files an interrupted apply left under " +
                 s.target);
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
    const bool hasCountry = country.code == 0 && country.message.size() == 2;
    if (hasCountry)
        c.SetString("CodePays", country.message);
    // The current-settings screen shows the country by name: the translation of its ID.
    c.SetField("CountryLabel", hasCountry ? "PAY" + country.message : std::string());
    if (language.code == 0 && !language.message.empty()) {
        // The entry of that language and country, else the first of that language; an entry's
        // language is its fallback's, so English of the United Kingdom is found for en and GB.
        const std::string text = setup::ReadWholeFile(kLanguageFile).value_or("");
        int found = -1;
        for (int n = 0; n < 64; ++n) {
            const std::string tag = LanguageTag(n);
            const std::string code = tag.substr(0, tag.find('_'));
            const std::string ctry = tag.substr(tag.find('_') + 1);
            if (code.empty())
                continue;
            bool sameLanguage = strcasecmp(code.c_str(), language.message.c_str()) == 0;
            if (sameLanguage && ctry == country.message) {
                found = n;
                break;
            }
            if (sameLanguage && found < 0)
                found = n;
        }
        if (found >= 0) {
            c.SetString("ID_LANG", "ID_LANG" + std::to_string(found));
            c.SetField("KSOLabel",
                       setup::ProfileValue(text, "LANGUAGE", "Label." + std::to_string(found))
                           .value_or(""));
        }
    }
    const auto record = setup::ReadWholeFile(s.target + "/etc/quilvane/proxy.conf");
    std::string proxyLabel = "id0356";  // none: a direct connection
    if (auto proxy = record ? setup::ParseProxyRecord(*record) : std::nullopt) {
        c.SetField("ProxyHost", proxy->host);
        c.SetField("ProxyPort", proxy->port);
        c.SetField("ProxyUser", proxy->user);
        c.SetField("ProxyPassword", proxy->password);
        if (!proxy->host.empty())
            proxyLabel = proxy->port.empty() ? proxy->host : proxy->host + ":" + proxy->port;
    }
    c.SetField("ProxyLabel", proxyLabel);
    log.Info("Current configuration loaded");
    c.SetInt("LastEvent", 1);
}

}  // namespace actions
