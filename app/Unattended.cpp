#include "app/Unattended.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// Makes dir with its parents; empty, or why it is no folder pictures can be saved into.
std::string MakeGrabFolder(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec)
        return "cannot make the folder: " + ec.message();
    if (!fs::is_directory(dir, ec))
        return "not a folder";
    if (access(dir.c_str(), W_OK | X_OK) != 0)
        return "cannot write into the folder: " + std::string(std::strerror(errno));
    return {};
}

}  // namespace

const char Unattended::kOptionsHelp[] =
    "  --answers FILE     run unattended from the answer file (control IDs, Push=, Leave=);\n"
    "                     offscreen when there is no display\n"
    "  --max-visits N     how often one screen may come back in that run (1-1000, default 3)\n"
    "  --grab DIR         save a picture of every screen into DIR (made when missing)\n"
    "  --record FILE      write the answer file that replays this run (owner-only)\n"
    "  --record-secrets   with --record: write the passwords typed, too\n";

Unattended::Unattended() : maxVisits_(AnswerDriver::kDefaultMaxVisits) {}
Unattended::~Unattended() = default;

int Unattended::TakeOptions(std::vector<std::string>& args) {
    std::vector<std::string> rest;
    // The first bad option is told only once the whole line is read: --help anywhere wins.
    std::string refusal;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--help" || arg == "-h") {
            help_ = true;
        } else if (arg == "--record-secrets") {
            recordSecrets_ = true;
        } else if (arg == "--answers" || arg == "--grab" || arg == "--record" ||
                   arg == "--max-visits") {
            if (!hasValue) {
                if (refusal.empty())
                    refusal = arg + " needs a value";
                continue;
            }
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
                if (value.empty() || *end != '\0' || n < 1 || n > 1000) {
                    if (refusal.empty())
                        refusal = "--max-visits takes 1 to 1000";
                    continue;
                }
                maxVisits_ = static_cast<int>(n);
            }
        } else {
            rest.push_back(arg);
        }
    }
    args = rest;
    if (help_)
        return 0;
    if (!refusal.empty())
        return Refuse(refusal);
    if (recordSecrets_ && recordPath_.empty())
        return Refuse("--record-secrets goes with --record FILE");
    if (!answerPath_.empty()) {
        answers::Problem problem;
        if (!file_.Load(answerPath_, KnownState, &problem)) {
            std::fprintf(stderr, "%s\n", answers::ErrLine(problem).c_str());
            return problem.code;
        }
    }
    // Made now, so that a folder that cannot be is one line before the run, not one per screen.
    if (!grabDir_.empty()) {
        if (std::string reason = MakeGrabFolder(grabDir_); !reason.empty())
            return Refuse("--grab " + grabDir_ + ": " + reason);
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
