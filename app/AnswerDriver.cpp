#include "app/AnswerDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QValidator>
#include <cstdio>

#include "app/MainFrame.h"
#include "app/QVApp.h"
#include "app/StopSignals.h"
#include "automate/ContextNames.h"
#include "base/Text.h"
#include "controls/ControlsLogic.h"
#include "controls/SkinControls.h"
#include "controls/VEKButton.h"
#include "screens/ControlIds.h"
#include "screens/Navigation.h"
#include "screens/QVAppView.h"
#include "xmlgui/DialogForm.h"

using controls::SkinEdit;

namespace app {

namespace {

namespace ids = screens::ids;

std::string Id(int id) {
    return std::to_string(id);
}

// The virtual key of a navigation key name, case ignored; 0 when none.
unsigned VirtualKey(const std::wstring& name) {
    const QString wanted = QString::fromStdWString(name);
    for (unsigned vk = 1; vk < 256; ++vk) {
        const char* known = screens::NavigationKeyName(vk);
        if (known && wanted.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return vk;
    }
    return 0;
}

QString ButtonCaption(const QAbstractButton& button) {
    if (auto* vek = qobject_cast<const CVEKButton*>(&button)) {
        const std::wstring caption = vek->Caption(controls::kStateNormal);
        if (!caption.empty())
            return QString::fromStdWString(caption);
    }
    return button.text();
}

}  // namespace

AnswerDriver::AnswerDriver(CQVApp& app, const answers::AnswerFile& file, int maxVisits, bool echo)
    : app_(app), file_(file), maxVisits_(maxVisits), echo_(echo) {
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &AnswerDriver::Tick);
}

AnswerDriver::~AnswerDriver() {
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

void AnswerDriver::Start() {
    lastScreenAt_ = Clock::now();
    NoteProgress();
    qApp->installEventFilter(this);
    if (CMainFrame* frame = app_.Frame())
        connect(frame, &CMainFrame::OperatorAwaited, this, &AnswerDriver::OnAwaited,
                Qt::QueuedConnection);
    timer_.start();
}

void AnswerDriver::StopForOperator() {
    if (stopped_ || problem_.code)
        return;
    stopped_ = true;
    timer_.stop();
    qApp->removeEventFilter(this);
    const std::string line =
        "Unattended run stopped by a key at the workstation on " + app_.currentScreen;
    app_.Log().Info(line);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool AnswerDriver::eventFilter(QObject* watched, QEvent* e) {
    // Only what comes from the window system is a person; the key that stops the run does
    // nothing else, so it cannot validate a screen by surprise.
    if (e->type() == QEvent::KeyPress && e->spontaneous()) {
        StopForOperator();
        return true;
    }
    return QObject::eventFilter(watched, e);
}

void AnswerDriver::OnAwaited() {
    if (stopped_ || problem_.code)
        return;
    CMainFrame* frame = app_.Frame();
    if (!frame || app_.RunState() != kRunRunning)
        return;
    CQVAppView* view = frame->ActiveView();
    // Views are told apart by their serial number: a new one may reuse a freed address.
    if (view && view->Built() && view->Shown() && frame->WaitingForOperator() &&
        frame->ViewsCreated() != answered_)
        Answer(*view);
}

void AnswerDriver::Tick() {
    const long answered = answered_;
    OnAwaited();
    if (stopped_ || problem_.code || answered_ != answered)
        return;
    if (Clock::now() - lastScreenAt_ > std::chrono::milliseconds(kStallMs))
        Fail(answers::kExitStalled, "",
             "no new screen for " + Id(kStallMs / 1000) + " s; showing " + app_.currentScreen);
}

void AnswerDriver::Answer(CQVAppView& view) {
    const std::string screen = app_.currentScreen;
    state_.clear();
    if (CAutomateContext* context = app_.RefreshContext()) {
        char state[CAutomateContext::kStringBufferBytes] = "";
        context->GetString(ctx::kNameState, 1, state);
        state_ = state;
    }
    if (state_.empty())
        state_ = screen;
    answered_ = app_.Frame()->ViewsCreated();
    lastScreenAt_ = Clock::now();
    NoteProgress();
    const int visits = ++visits_[screen];
    if (echo_) {
        std::printf("screen %s\n", screen.c_str());
        std::fflush(stdout);
    }
    if (visits > maxVisits_) {
        Fail(answers::kExitRepeated, "",
             "screen " + screen + " shown " + Id(visits) + " times (at most " + Id(maxVisits_) +
                 "): its answer is refused or the flow loops");
        return;
    }
    const answers::ScreenAnswer* answer = file_.Find(state_, screen);
    if (!answer) {
        if (NeedsAnswer(view)) {
            Fail(answers::kExitNoAnswer, "", "no answer for screen " + screen);
        } else {
            Grab();
            Leave(view, L"");
        }
        return;
    }
    for (const answers::Field& field : answer->fields)
        if (!Fill(view, field))
            return;
    if (!answer->push.empty() && !Push(view, answer->push))
        return;
    Grab();
    Leave(view, answers::LeaveFor(*answer, visits));
}

void AnswerDriver::Grab() {
    if (grabDir_.empty() || !app_.Frame())
        return;
    char name[32];
    std::snprintf(name, sizeof name, "%02d_", ++grabbed_);
    const QString path =
        QString::fromStdString(grabDir_ + "/" + name + app_.currentScreen + ".png");
    if (!app_.Frame()->grab().save(path))
        std::fprintf(stderr, "cannot save %s\n", path.toLocal8Bit().constData());
}

bool AnswerDriver::NeedsAnswer(const CQVAppView& view) const {
    for (QWidget* w : view.findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QListWidget*>(w) ||
            qobject_cast<QComboBox*>(w))
            return true;
        const int id = xmlgui::ControlId(w);
        if (ids::kChoiceButtons.Contains(id) && qobject_cast<QAbstractButton*>(w))
            return true;
    }
    return false;
}

bool AnswerDriver::Fill(CQVAppView& view, const answers::Field& field) {
    QWidget* widget = view.Control(field.id);
    const std::string control = Id(field.id);
    if (!widget) {
        Fail(answers::kExitNoControl, control,
             "screen " + app_.currentScreen + " has no control " + control);
        return false;
    }
    const QString value = QString::fromStdWString(field.value);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        // Answers are held to what the operator could type.
        auto* skinned = qobject_cast<SkinEdit*>(edit);
        const int limit =
            skinned && skinned->TypingLimit() > 0 ? skinned->TypingLimit() : edit->maxLength();
        if (value.size() > limit) {
            Fail(answers::kExitRefused, control,
                 "longer than the field's " + Id(limit) + " characters");
            return false;
        }
        if (const QValidator* validator = edit->validator()) {
            QString copy = value;
            int pos = 0;
            if (validator->validate(copy, pos) == QValidator::Invalid) {
                Fail(answers::kExitRefused, control, "the field does not take this text");
                return false;
            }
        }
        // As typed: the skinned field measures its text too.
        if (auto* skin = qobject_cast<SkinEdit*>(edit))
            skin->SetText(field.value);
        else
            edit->setText(value);
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        int row = answers::ParsePosition(field.value) - 1;
        if (row < 0) {
            for (int i = 0; i < list->count() && row < 0; ++i)
                if (list->item(i)->text() == value)
                    row = i;
        }
        if (row < 0 || row >= list->count()) {
            Fail(answers::kExitRefused, control, "the list has no item " + Narrow(field.value));
            return false;
        }
        list->setCurrentRow(row);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        int row = answers::ParsePosition(field.value) - 1;
        if (row < 0)
            row = combo->findText(value, Qt::MatchExactly);
        if (row < 0 || row >= combo->count()) {
            Fail(answers::kExitRefused, control, "the list has no item " + Narrow(field.value));
            return false;
        }
        combo->setCurrentIndex(row);
    } else {
        Fail(answers::kExitRefused, control,
             "control " + control + " is not a field or list (a choice button goes in Push)");
        return false;
    }
    app_.Log().Debug("Answer filled into widget [" + control + "]");
    return true;
}

bool AnswerDriver::Push(CQVAppView& view, const std::wstring& which) {
    int id = 0;
    if (answers::ParseControlId(which, &id)) {
        if (!ids::kChoiceButtons.Contains(id) || !view.ControlAs<QAbstractButton>(id)) {
            Fail(answers::kExitNoControl, Id(id),
                 "screen " + app_.currentScreen + " has no choice button " + Id(id));
            return false;
        }
    } else {
        const QString caption = QString::fromStdWString(which);
        for (int candidate = ids::kChoiceButtons.first;
             candidate <= ids::kChoiceButtons.last && !id; ++candidate) {
            auto* button = view.ControlAs<QAbstractButton>(candidate);
            if (button && ButtonCaption(*button).compare(caption, Qt::CaseInsensitive) == 0)
                id = candidate;
        }
        if (!id) {
            Fail(answers::kExitNoControl, "Push",
                 "screen " + app_.currentScreen + " has no choice button " + Narrow(which));
            return false;
        }
    }
    view.OnRangeClickButton(id, 0);
    return true;
}

bool AnswerDriver::Leave(CQVAppView& view, const std::wstring& which) {
    int id = 0;
    if (answers::ParseControlId(which, &id)) {
        if (!ids::kEventButtons.Contains(id) || !view.ControlAs<QAbstractButton>(id)) {
            Fail(answers::kExitNoControl, Id(id),
                 "screen " + app_.currentScreen + " has no button " + Id(id) + " to leave by");
            return false;
        }
        view.OnRangeClickButton(id, 0);
        CheckRaised(view);
        return true;
    }
    const std::wstring key = which.empty() ? L"Return" : which;
    const unsigned vk = VirtualKey(key);
    if (!vk) {
        Fail(answers::kExitRefused, "Leave", "no key " + Narrow(key));
        return false;
    }
    QWidget* focus = QApplication::focusWidget();
    const int current = focus && view.isAncestorOf(focus) ? xmlgui::ControlId(focus) : -1;
    CQVAppView::NavigationStep step = view.NextStep(current, vk);
    if (!step.press && which.empty() && view.Control(ids::kValidate))
        step = {ids::kValidate, true};  // no rule for Return here: validate as its OK button would
    if (!step.press || !view.TakeStep(step, vk)) {
        Fail(answers::kExitRefused, "Leave",
             "key " + Narrow(key) + " leads to no button on screen " + app_.currentScreen);
        return false;
    }
    CheckRaised(view);
    return true;
}

void AnswerDriver::CheckRaised(const CQVAppView& view) {
    int32_t last = 0;
    if (CAutomateContext* context = app_.RefreshContext())
        context->GetInt(ctx::kLastEvent, 1, &last);
    // Asking again cannot help a choice the workstation could not store: say why at once.
    if (last == 0 && !view.SaveFailure().empty()) {
        Fail(answers::kExitRefused, "",
             "screen " + app_.currentScreen +
                 ": the choice could not be saved: " + view.SaveFailure());
        return;
    }
    // No event: the screen refused what it was given and stays; it is answered again, as a
    // screen that comes back, until the visits run out. Never by time: a screen also stays up
    // while the action it started runs (the network check).
    if (last == 0) {
        answered_ = -1;
        QMetaObject::invokeMethod(this, &AnswerDriver::OnAwaited, Qt::QueuedConnection);
    }
}

void AnswerDriver::Fail(int code, const std::string& control, const std::string& reason) {
    problem_ = answers::Problem{code, state_, control, reason};
    timer_.stop();
    qApp->removeEventFilter(this);
    const std::string line = answers::ErrLine(problem_);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    app_.Log().Err("Unattended run stopped: " + line.substr(4));
    if (CMainFrame* frame = app_.Frame())
        frame->DestroyWindow();
}

}  // namespace app
