#pragma once
// The wizard's options for runs without an operator, shared by QuilvaneWizApp and qvkeys:
//   --answers FILE      run from an answer file (app/AnswerFile.h)
//   --max-visits N      how often one screen may be shown in that run (3)
//   --grab DIR          a picture of every screen as it passes
//   --record FILE       write the answer file that replays this run
//   --record-secrets    with the passwords typed (otherwise left empty)
//   --help, -h          asks for the usage text (WantsHelp); nothing else is checked then
#include <memory>
#include <string>
#include <vector>

#include "app/AnswerFile.h"

class CQVApp;

namespace app {

class AnswerDriver;
class AnswerRecorder;

class Unattended {
  public:
    Unattended();
    ~Unattended();

    // Takes the options out of args (the rest are the wizard's own). 0, or an exit code with
    // its ERR line printed; the answer file is read and checked here, before anything starts.
    int TakeOptions(std::vector<std::string>& args);
    bool HasAnswers() const { return !answerPath_.empty(); }
    bool WantsHelp() const { return help_; }
    // The lines of the usage text that describe these options.
    static const char kOptionsHelp[];
    // Starts driving and recording once the application is up.
    void Attach(CQVApp& app);
    // Stops driving and recording; before the application goes.
    void Detach(CQVApp& app);
    // 0, or the exit code of the problem that stopped the unattended run.
    int ExitCode() const;

  private:
    std::string answerPath_;
    std::string grabDir_;
    std::string recordPath_;
    bool recordSecrets_ = false;
    bool help_ = false;
    int maxVisits_;
    int exitCode_ = 0;
    answers::AnswerFile file_;
    std::unique_ptr<AnswerDriver> driver_;
    std::unique_ptr<AnswerRecorder> recorder_;
};

}  // namespace app
