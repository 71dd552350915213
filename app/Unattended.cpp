#include "app/Unattended.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/AnswerDriver.h"
#include "app/AnswerRecorder.h"
#include "app/QVApp.h"
#include "automate/ContextNames.h"
#include "base/Profile.h"
#include "base/ProgramDirectory.h"

namespace app {

namespace {

// A section names a screen of gui/ (StateLanguage), its state (Language), or a state whose
// screen name is cut short (LanguageReconf for StateLanguageR).
bool KnownState(const std::wstring& section) {
    namespace fs = std::filesystem;
    const std::wstring wanted = FoldProfileName(section);
    const std::wstring prefixed = FoldProfileName(L"State" + section);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(GetProgramDirectory() + "/../gui", ec)) {
        if (entry.path().extension() != ".gui")
            continue;
        const std::wstring stem = FoldProfileName(entry.path().stem().wstring());
        if (stem == wanted || stem == prefixed || (stem.size() > 6 && prefixed.rfind(stem, 0) == 0))
            return true;
    }
    return false;
}

int Refuse(const std::string& reason) {
    answers::Problem problem{answers::kExitBadFile, "", "", reason};
    std::fprintf(stderr, "%s\n", answers::ErrLine(problem).c_str());
    return problem.code;
}

}  // namespace

Unattended::Unattended() : maxVisits_(AnswerDriver::kDefaultMaxVisits) {}
Unattended::~Unattended() = default;

int Unattended::TakeOptions(std::vector<std::string>& args) {
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--record-secrets") {
            recordSecrets_ = true;
        } else if (arg == "--answers" || arg == "--grab" || arg == "--record" ||
                   arg == "--max-visits") {
            if (!hasValue)
                return Refuse(arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "--answers") {
                answerPath_ = value;
            } else if (arg == "--grab") {
                grabDir_ = value;
            } else if (arg == "--record") {
                recordPath_ = value;
            } else {
                char* end = nullptr;
                const long n = std::strtol(value.c_str(), &end, 10);
                if (value.empty() || *end != '\0' || n < 1 || n > 1000)
                    return Refuse("--max-visits takes 1 to 1000");
                maxVisits_ = static_cast<int>(n);
            }
        } else {
            rest.push_back(arg);
        }
    }
    args = rest;
    if (recordSecrets_ && recordPath_.empty())
        return Refuse("--record-secrets goes with --record FILE");
    if (!answerPath_.empty()) {
        answers::Problem problem;
        if (!file_.Load(answerPath_, KnownState, &problem)) {
            std::fprintf(stderr, "%s\n", answers::ErrLine(problem).c_str());
            return problem.code;
        }
    }
    return 0;
}

void Unattended::Attach(CQVApp& app) {
    if (!recordPath_.empty()) {
        recorder_ = std::make_unique<AnswerRecorder>(recordPath_, recordSecrets_);
        if (!recorder_->Save())
            std::fprintf(stderr, "cannot write %s\n", recordPath_.c_str());
        app.leavingHook = [this, &app](const CQVAppView& view, int nID, unsigned nChar) {
            std::string state = app.currentScreen;
            if (CAutomateContext* context = app.RefreshContext()) {
                char name[CAutomateContext::kStringBufferBytes] = "";
                context->GetString(ctx::kNameState, 1, name);
                if (name[0])
                    state = name;
            }
            recorder_->Record(view, state, app.currentScreen, nID, nChar);
        };
    }
    if (!answerPath_.empty()) {
        driver_ = std::make_unique<AnswerDriver>(app, file_, maxVisits_, true);
        driver_->GrabInto(grabDir_);
        driver_->Start();
    }
}

void Unattended::Detach(CQVApp& app) {
    if (driver_)
        exitCode_ = driver_->ExitCode();
    driver_.reset();
    app.leavingHook = nullptr;
}

int Unattended::ExitCode() const {
    return driver_ ? driver_->ExitCode() : exitCode_;
}

}  // namespace app
