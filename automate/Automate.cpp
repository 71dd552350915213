#include "automate/Automate.h"

#include <unistd.h>

#include <cstring>
#include <ctime>

#include "base/Profile.h"
#include "base/Text.h"

CLog* CAutomate::logger_ = nullptr;
CAutomateContext* CAutomate::context_ = nullptr;
CAutomateSharedMemory* CAutomate::sharedBlock_ = nullptr;

namespace {

std::string CutName(const std::string& text) {
    return std::string(CutUtf8(text, CAutomate::kMaxNameChars));
}

}  // namespace

CAutomate::CAutomate(const std::string& memoryKey, const std::string& memoryFile,
                     const std::string& stateTablePath, const std::string& serviceListPath,
                     const std::string& paramsPath, const std::string& logFile, uint32_t logLevel)
    : memoryKey_(CutName(memoryKey)),
      memoryFile_(CutName(memoryFile)),
      stateTablePath_(CutName(stateTablePath)),
      serviceListPath_(CutName(serviceListPath)),
      states_(kStateCount) {
    log_ = std::make_unique<CLog>("..\\Log\\", logFile, kLogSizeKb, "CAutomate", kLogFileCount,
                                  logLevel);
    logger_ = log_.get();

    log_->Info("Initialize Context");
    context_owned_ = std::make_unique<CAutomateContext>(logFile, logLevel);
    context_ = context_owned_.get();
    context_->Initialize();

    log_->Info("Create Shared Memory :");
    CreateSharedMemory();

    log_->Info("Load Automate Ini File");
    LoadingIniFile();

    engine_ = std::make_unique<CAutomateEngine>(
        AutomateServices{log_.get(), context_owned_.get(), shared_.get()});
    log_->Info("Initialize AutomateEngine");
    engine_->Initialize(states_.data(), highestState_, memoryKey_, serviceListPath_, logFile,
                        paramsPath);
    log_->Debug("Initialize Finished");
}

CAutomate::~CAutomate() {
    log_->Debug("Call ~Cautomate");
    if (context_owned_) {
        context_owned_->ReleaseValues();
        if (context_ == context_owned_.get())
            context_ = nullptr;
        context_owned_.reset();
    }
    engine_.reset();
    journal_.reset();
    if (sharedBlock_ == shared_.get())
        sharedBlock_ = nullptr;
    shared_.reset();
    if (logger_ == log_.get())
        logger_ = nullptr;
    log_.reset();
}

int CAutomate::CreateSharedMemory() {
    log_->Debug("Call CreateSharedMemory");
    shared_ =
        std::make_unique<CAutomateSharedMemory>(memoryKey_, CAutomateSharedMemory::kBlockBytes);
    sharedBlock_ = shared_.get();
    if (shared_->Create(memoryFile_) != 0) {
        log_->Err("Error during CreateSharedMemory");
        return -1;
    }
    InitSharedMemory();
    log_->Debug("End CreateSharedMemory");
    return 0;
}

int CAutomate::InitSharedMemory() {
    log_->Debug("Call InitSharedMemory");
    log_->Debug("Initialisation of the Shared Memory");
    shared_->SetCurrentState(0);
    shared_->SetLastState(-1);
    shared_->SetEvent(0);
    context_->LoadContext(stateTablePath_);
    image_ = context_->GetImage();
    log_->Debug("End InitSharedMemory");
    return 0;
}

int ReadStateTable(const std::string& path, std::vector<AutomateState>& states, int* highest,
                   CLog* log) {
    states.assign(kStateCount, AutomateState{});
    int defined = 0;
    int top = -1;
    char value[kProfileValueMax + 1];
    // Keeps at most limit bytes of value, with a warning when it is cut.
    auto take = [&](int state, const char* key, size_t limit) {
        std::string_view text(value);
        std::string_view kept = CutUtf8(text, limit);
        if (kept.size() < text.size() && log) {
            log->Warning(StrFormat("State %d %s cut to %zu characters", state, key, limit));
        }
        return std::string(kept);
    };
    const ProfileSnapshot table(path);
    // As ReadIniString reads: the value in a 1024-byte field, "@1@" meaning missing.
    auto read = [&](const std::wstring& section, const std::string& key) {
        std::optional<std::wstring> found = table.Read(section, Widen(key));
        CopyToField(value, sizeof value, found ? Narrow(*found) : kMissingKey);
        return std::strcmp(value, kMissingKey) != 0;
    };
    for (int n = 0; n <= kMaxStateNumber; ++n) {
        const std::wstring section = std::to_wstring(n);
        if (!read(section, "ActionToRun"))
            continue;
        AutomateState& state = states[static_cast<size_t>(n)];
        ++defined;
        top = n;
        state.action = take(n, "ActionToRun", AutomateState::kMaxActionChars);
        for (int i = 0; i < AutomateState::kEvents; ++i) {
            std::string key = StrFormat("Event_%d", i);
            if (read(section, key))
                state.events[static_cast<size_t>(i)] =
                    take(n, key.c_str(), AutomateState::kMaxEventChars);
        }
        if (read(section, "Event_Default"))
            state.eventDefault = ParseDecimal(value);
    }
    if (highest)
        *highest = top;
    return defined;
}

int CAutomate::LoadingIniFile() {
    log_->Debug("Call LoadingIniFile");
    definedStates_ = ReadStateTable(stateTablePath_, states_, &highestState_, log_.get());
    log_->Info(StrFormat("%d états dans l'automate", definedStates_));
    if (definedStates_ == 0) {
        // Missing, empty or unreadable: a run without states would end at once and look like
        // a success.
        log_->Err(StrFormat("No state in %s : the automaton cannot run", stateTablePath_.c_str()));
        return -1;
    }
    log_->Debug("End LoadingIniFile");
    return 0;
}

int CAutomate::Run() {
    if (definedStates_ == 0) {
        log_->Err("No state to run : end of the run");
        return -1;
    }
    log_->Debug("Run of the Automate");
    engine_->WaitEvents(image_);
    log_->Debug("End Run Automate");
    return 0;
}

int CAutomate::UpdateContextImage(ContextImage* image) {
    if (!image)
        return -1;
    if (image == image_)
        return 0;
    if (!shared_ || shared_->WriteImage(image) != 0)
        return -1;
    image_ = image;
    return 0;
}

CAutomate::JournalStart CAutomate::StartJournal(const std::string& path, const std::string& mode,
                                                const JournalSettings& settings, bool unattended) {
    engine_->SetJournal(nullptr);
    journal_.reset();
    if (!settings.enabled)
        return JournalStart::Off;
    if (unattended) {
        if (unlink(path.c_str()) == 0)
            log_->Info("Journal " + path +
                       " removed : an unattended run replays its answers from the start");
        return JournalStart::Off;
    }
    journal_ = std::make_unique<CRunJournal>(
        path, mode, ConfigurationHash(states_, *context_owned_), *context_owned_, log_.get());
    engine_->SetJournal(journal_.get());
    JournalContents found;
    if (journal_->Load(settings.maxAgeMinutes, static_cast<int64_t>(std::time(nullptr)), &found) !=
        CRunJournal::Found::Usable)
        return JournalStart::Fresh;
    const int32_t state = found.currentState;
    if (state < 1 || state > highestState_ || State(state).action.empty()) {
        journal_->Reject(StrFormat("state %d is not in the table", state));
        return JournalStart::Fresh;
    }
    if (found.resumes >= kJournalMaxResumes) {
        journal_->Reject(
            StrFormat("%d runs resumed at state %d ended there", found.resumes, state));
        return JournalStart::Fresh;
    }
    if (std::string misfit = RestoreProperties(found.properties, *context_owned_);
        !misfit.empty()) {
        journal_->Reject(misfit);
        return JournalStart::Fresh;
    }
    engine_->ResumeAt(state, found.lastState);
    // Counted before the state runs: a crash there again counts against it.
    journal_->Save(state, found.lastState, found.resumes + 1);
    char written[32] = "";
    const time_t at = static_cast<time_t>(found.writtenAt);
    struct tm local {};
    if (localtime_r(&at, &local))
        std::strftime(written, sizeof written, "%Y-%m-%d %H:%M:%S", &local);
    log_->Info(StrFormat("Run resumed at state %d (%s) from the journal %s of %s", state,
                         State(state).action.c_str(), path.c_str(), written));
    return JournalStart::Resumed;
}
