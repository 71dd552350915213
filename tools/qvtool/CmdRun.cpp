// qvtool run: the automaton without a screen. It stands in for the main frame: a requested
// screen is printed and answered from an answer file (one section per screen name: Event, and
// Set.1, Set.2, ... = Name[#occurrence]=Value saved before the event is raised).
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/AnswerFile.h"
#include "app/FileSet.h"
#include "app/MemoryScan.h"
#include "app/ScreenName.h"
#include "automate/Automate.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "platform/Paths.h"
#include "tools/qvtool/Answers.h"
#include "tools/qvtool/Cli.h"
#include "tools/qvtool/Commands.h"

namespace {

constexpr int kStatusNoAnswer = 3;
constexpr int kStatusMaxSteps = 4;
constexpr const char kUsage[] =
    "usage: qvtool run [--root BINDIR] [--mode QV|RW] [--answers FILE] [--max-steps N]";

bool Readable(const std::string& path) {
    return access(platform::NativePath(path).c_str(), R_OK) == 0;
}

class RunHook : public CNoSleepHook {
  public:
    RunHook(CAutomate& automate, const std::string& logFile, std::string answers, long maxSteps)
        : automate_(automate),
          screen_(logFile, LOG_DEBUG),
          answers_(std::move(answers)),
          maxSteps_(maxSteps) {}

    int Status() const { return status_; }

    bool Pump() override {
        screen_.SetImage(automate_.GetContextImage());
        char gui[CAutomateContext::kStringBufferBytes] = "";
        screen_.GetString("Gui", 1, gui);
        std::string name = ScreenNameFromGui(gui);
        if (!name.empty()) {
            char nameState[CAutomateContext::kStringBufferBytes] = "";
            screen_.GetString("NameState", 1, nameState);
            screen_.SetString("Gui", 1, "");
            std::printf("screen %s state %s\n", name.c_str(), nameState);
            std::fflush(stdout);
            screen_.SetInt("LastEvent", 1, 0);
            // A screen whose service already raised its event (a progress screen) passes on by
            // itself, as the wizard's frame lets it.
            int32_t pending = 0;
            screen_.GetInt("NextState", 1, &pending);
            if (pending == 0 && !Answer(name))
                return false;
        }
        int32_t next = 0;
        if (screen_.GetInt("NextState", 1, &next) >= 0 && next != 0) {
            screen_.SetInt("LastEvent", 1, next);
            screen_.SetInt("NextState", 1, 0);
            automate_.UpdateContextImage(screen_.GetImage());
        } else if (!name.empty()) {
            automate_.UpdateContextImage(screen_.GetImage());
        }
        return Continue();
    }

  private:
    bool Fail(int status, const std::string& reason) {
        std::fprintf(stderr, "qvtool run: %s\n", reason.c_str());
        status_ = status;
        return false;
    }

    // Saves the answer's entries and raises its event through NextState, as a screen does.
    bool Answer(const std::string& screen) {
        AnswerOutcome outcome = ApplyAnswer(answers_, screen, screen_);
        if (outcome.kind == AnswerOutcome::Missing)
            return Fail(kStatusNoAnswer, outcome.reason);
        if (outcome.kind == AnswerOutcome::Refused)
            return Fail(kStatusUsage, outcome.reason);
        screen_.SetInt("NextState", 1, outcome.event);
        return true;
    }

    // Stops runs that would never end by themselves.
    bool Continue() {
        CAutomateSharedMemory* block = CAutomate::SharedBlock();
        int32_t current = 0, event = 0, lastEvent = 0;
        if (!block || block->GetCurrentState(&current) != 0 || block->GetEvent(&event) != 0)
            return true;
        if (current == -1 || event == -1)
            return true;  // the loop ends after this pass
        if (automate_.Engine().Steps() >= maxSteps_) {
            return Fail(kStatusMaxSteps, "stopped after " + std::to_string(maxSteps_) +
                                             " transitions in state " + std::to_string(current));
        }
        screen_.GetInt("LastEvent", 1, &lastEvent);
        if (event == 0 && lastEvent == 0) {
            return Fail(kStatusNoAnswer, "state " + std::to_string(current) +
                                             " waits for an event: no screen was asked for");
        }
        return true;
    }

    CAutomate& automate_;
    CAutomateContext screen_;
    std::string answers_;
    long maxSteps_;
    int status_ = 0;
};

}  // namespace

int CmdRun(const std::vector<std::string>& argv) {
    CommandArgs args = ParseCommandArgs(argv, {"--mode", "--answers", "--max-steps"}, {});
    if (args.Has("--help")) {
        std::printf(
            "%s\n"
            "Runs the mode's automaton without a screen, as the wizard would. Each screen a\n"
            "service asks for is printed as 'screen NAME state NAMESTATE' and answered from\n"
            "the answer file: section [NAME], key Event (the event the screen raises) and\n"
            "keys Set.1, Set.2, ... = Name=Value or Name#occurrence=Value. The wizard's own\n"
            "answer files (QuilvaneWizApp --answers: control IDs, Push=, Leave=) are refused\n"
            "when they hold none of these keys.\n"
            "Exit status: 0 the run ended; 2 unusable arguments or files; 3 a screen has no\n"
            "answer (or the automaton waits for an event nothing raises); 4 --max-steps\n"
            "(default 1000) transitions passed.\n",
            kUsage);
        return 0;
    }
    std::string mode = args.Get("--mode", "QV");
    long maxSteps = 1000;
    if (!args.error.empty() || !args.positional.empty() || (mode != "QV" && mode != "RW") ||
        !ParseInt(args.Get("--max-steps", "1000"), 1, LONG_MAX, &maxSteps)) {
        std::fprintf(stderr, "qvtool run: %s\n", args.error.empty() ? kUsage : args.error.c_str());
        return kStatusUsage;
    }
    // The answer file is named relative to where qvtool was started.
    std::string answers;
    if (!args.Get("--answers").empty()) {
        char* resolved = realpath(args.Get("--answers").c_str(), nullptr);
        if (!resolved || access(resolved, R_OK) != 0) {
            std::free(resolved);
            std::fprintf(stderr, "qvtool run: cannot read answer file %s\n",
                         args.Get("--answers").c_str());
            return kStatusUsage;
        }
        answers = resolved;
        std::free(resolved);
        if (answers::KindOfAnswerKeys(answers) == answers::AnswerKeys::Wizard) {
            std::fprintf(stderr, "qvtool run: %s: %s\n", args.Get("--answers").c_str(),
                         answers::kFileForWizard);
            return kStatusUsage;
        }
    }
    if (!EnterProgramDirectory(args))
        return kStatusUsage;

    FileSet files = FileSet::For(mode == "RW" ? Mode::Reconfiguration : Mode::Installation);
    if (!Readable(files.stateTable)) {
        std::fprintf(stderr, "qvtool run: cannot read %s\n",
                     platform::NativePath(files.stateTable).c_str());
        return kStatusUsage;
    }
    // The first block number whose memory file does not exist yet, as the wizard picks it;
    // a number whose mapping another tree's run holds is skipped too.
    int n = FirstFreeMemoryNumber();

    int status = 0;
    {
        CAutomate automate(MemoryKeyName(n), MemoryFileName(n), files.stateTable, files.serviceList,
                           files.parameters, files.logName, LOG_DEBUG);
        if (!automate.GetContextImage()) {
            std::fprintf(stderr, "qvtool run: cannot create the shared block %s\n",
                         MemoryFileName(n).c_str());
            return kStatusUsage;
        }
        if (automate.DefinedStates() == 0) {
            std::fprintf(stderr, "qvtool run: no state in %s\n",
                         platform::NativePath(files.stateTable).c_str());
            return kStatusUsage;
        }
        RunHook hook(automate, files.logName, answers, maxSteps);
        automate.SetEngineHook(&hook);
        automate.Run();
        automate.SetEngineHook(nullptr);
        status = hook.Status();
    }
    return status;
}
