#pragma once
// Drives the wizard from an answer file: each screen, once shown and waiting for the operator,
// gets its fields filled and its choice button pushed, then is left through the view's own
// OnRangeClickButton, as a key or click would, so every save rule, check and plug-in call runs
// as with a person. A key pressed at the workstation stops it and leaves the person on the
// current screen.
#include <QObject>
#include <QTimer>
#include <chrono>
#include <map>
#include <string>

#include "app/AnswerFile.h"

class CQVApp;
class CQVAppView;

namespace app {

class AnswerDriver : public QObject {
    Q_OBJECT

  public:
    static constexpr int kDefaultMaxVisits = 3;
    // A leaving press that raises no event was refused: the screen is answered again and counts
    // as coming back. No new screen at all within kStallMs ends the run.
    static constexpr int kStallMs = 120000;
    static constexpr int kTickMs = 1000;

    AnswerDriver(CQVApp& app, const answers::AnswerFile& file, int maxVisits, bool echo);
    ~AnswerDriver() override;

    void Start();
    // Saves a picture of every screen, answered, into dir as NN_<screen>.png.
    void GrabInto(const std::string& dir) { grabDir_ = dir; }
    // 0 while nothing went wrong, else the exit code of the problem met.
    int ExitCode() const { return problem_.code; }
    const answers::Problem& Failure() const { return problem_; }
    bool StoppedByOperator() const { return stopped_; }
    // The first key of a person at the workstation ends the unattended run.
    void StopForOperator();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // Answers the shown screen when it waits for the operator and was not answered yet.
    void OnAwaited();
    // The stall check; also catches a wait no synchronisation reported.
    void Tick();
    void Grab();
    void CheckRaised(const CQVAppView& view);
    void Answer(CQVAppView& view);
    bool Fill(CQVAppView& view, const answers::Field& field);
    bool Push(CQVAppView& view, const std::wstring& which);
    bool Leave(CQVAppView& view, const std::wstring& which);
    bool NeedsAnswer(const CQVAppView& view) const;
    void Fail(int code, const std::string& control, const std::string& reason);

    using Clock = std::chrono::steady_clock;
    CQVApp& app_;
    const answers::AnswerFile& file_;
    const int maxVisits_;
    const bool echo_;
    QTimer timer_;
    long answered_ = -1;  // the frame's view count when the last screen was answered
    Clock::time_point lastScreenAt_{};
    std::string state_;
    std::map<std::string, int> visits_;
    answers::Problem problem_;
    bool stopped_ = false;
    std::string grabDir_;
    int grabbed_ = 0;
};

}  // namespace app
