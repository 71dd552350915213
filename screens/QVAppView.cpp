#include "screens/QVAppView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Profile.h"
#include "base/StartupTrace.h"
#include "base/Text.h"
#include "controls/QtSupport.h"
#include "platform/Paths.h"
#include "screens/ControlIds.h"
#include "screens/ScreenControlFactory.h"
#include "xmlgui/DialogForm.h"

namespace {

constexpr size_t kMaxPictureChars = 199;
constexpr qsizetype kMaxComparedBackgroundBytes = 1024 * 1024;

bool IsRightButton(QEvent* e) {
    switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return static_cast<QMouseEvent*>(e)->button() == Qt::RightButton;
        default:
            return false;
    }
}

}  // namespace

CQVAppView::CQVAppView(screens::ScreenHost& host, QWidget* frame, screens::ScreenRequest request)
    : QWidget(frame),
      host_(host),
      screenFilePath_(std::move(request.file)),
      screen_(std::move(request.name)) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setContextMenuPolicy(Qt::NoContextMenu);
    CLog& log = host_.Log();
    template_.SetLog(&log);
    const std::string& pictures = host_.Files().pictures;
    log.Debug(StrFormat("Begin creation of CQVAppView for %s", Narrow(screenFilePath_).c_str()));
    log.Debug(StrFormat("Searching Background in [%s] of %s", screen_.c_str(), pictures.c_str()));
    std::wstring background = ReadProfileString(pictures, Widen(screen_), L"Background",
                                                Widen(kMissingKey), kMaxPictureChars);
    if (background == Widen(kMissingKey)) {
        log.Err("Background not found");
    } else {
        std::string file = Narrow(background);
        log.Debug(StrFormat("Using background %s", file.c_str()));
        // A missing or unreadable picture leaves the view without background.
        backgroundFile_ = QString::fromStdString(platform::NativePath(file));
        backgroundBytes_ = controls::ReadPictureFile(backgroundFile_);
        // Most screens share one picture under different names: the one on the display is
        // taken as it is, which spares a decode and 2 MB while both views exist.
        if (CQVAppView* shown = request.replacing; shown && !backgroundBytes_.isEmpty() &&
                                                   shown->backgroundBytes_ == backgroundBytes_ &&
                                                   shown->Background()) {
            background_ = shown->background_;
            backgroundDecoded_ = true;
            backgroundSize_ = background_.size();
        } else {
            backgroundSize_ = controls::DecodedPictureSize(backgroundBytes_, backgroundFile_);
            if (!backgroundSize_.isValid())
                Background();  // a format that tells no size without decoding
            else if (!screenFilePath_.empty())
                // A decode takes milliseconds: on the other core while the screen is built.
                pendingBackground_ = std::async(std::launch::async,
                                                [bytes = backgroundBytes_, file = backgroundFile_] {
                                                    return controls::DecodePicture(bytes, file);
                                                });
        }
    }
    log.Debug("End creation of CQVAppView");
}

CQVAppView::~CQVAppView() {
    if (host_.ViewSwitching())
        return;
    if (CAutomateContext* context = host_.RefreshContext()) {
        context->SetInt(ctx::kLastEvent, 1, -1);
        host_.PublishContext();
    }
}

void CQVAppView::Create() {
    host_.SetScreenBuilding(true);
    int ok = 0;
    if (!screenFilePath_.empty())
        ok = template_.SerializeFrom(screenFilePath_);
    if (ok)
        template_.SetStyle(template_.Style() | xmlgui::kWsChild);
    else
        template_.LoadBuiltIn(xmlgui::kEmptyDialogResource);
    screens::ScreenControlFactory factory;
    xmlgui::FormResult form = xmlgui::InitializeForm(this, template_.Template(), &factory);
    formSize_ = form.size;
    for (QWidget* control : findChildren<QWidget*>()) {
        // No context menu opens and a right click does nothing, on any control.
        control->setContextMenuPolicy(Qt::NoContextMenu);
        control->installEventFilter(this);
        if (control->parentWidget() == this) {
            const int id = xmlgui::ControlId(control);
            if (id != xmlgui::kNoId)
                controls_.emplace(id, control);
        }
    }
    for (int id = screens::ids::kButtons.first; id <= screens::ids::kButtons.last; ++id) {
        if (auto* button = ControlAs<QAbstractButton>(id))
            connect(button, &QAbstractButton::clicked, this,
                    [this, id] { OnRangeClickButton(id, 0); });
    }
    resize(PreferredSize());
    // The focus mark lies outside the control, on the view: repaint it where the focus went.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        for (QWidget* w : {old, now})
            if (w && w->parentWidget() == this)
                update(controls::FocusRingArea(w->geometry()));
    });
}

QWidget* CQVAppView::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QSize CQVAppView::PreferredSize() const {
    return backgroundSize_.isValid() ? backgroundSize_ : formSize_;
}

const QImage* CQVAppView::Background() {
    if (!backgroundDecoded_ && !backgroundFile_.isEmpty()) {
        backgroundDecoded_ = true;
        background_ = pendingBackground_.valid()
                          ? pendingBackground_.get()
                          : controls::DecodePicture(backgroundBytes_, backgroundFile_);
        // An uncompressed picture's bytes weigh what the picture does: not kept to compare.
        if (backgroundBytes_.size() > kMaxComparedBackgroundBytes)
            backgroundBytes_.clear();
        backgroundSize_ = background_.isNull() ? QSize() : background_.size();
    }
    return background_.isNull() ? nullptr : &background_;
}

bool CQVAppView::eventFilter(QObject* watched, QEvent* e) {
    if (IsRightButton(e))
        return true;
    return QWidget::eventFilter(watched, e);
}

void CQVAppView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    OnDraw(painter);
    // Every control that has the focus shows it, whatever its own skin draws.
    if (QWidget* focus = focusWidget();
        focus && focus->parentWidget() == this && focus->isVisible())
        controls::DrawFocusRing(painter, focus->geometry());
    if (!shown_) {
        shown_ = true;
        host_.Log().Debug(StrFormat("Screen shown : %s", screen_.c_str()));
        StartupTrace(built_ ? "screen shown" : "first view shown");
        if (built_)
            host_.ScreenPainted();
    }
}

void CQVAppView::OnDraw(QPainter& painter) {
    const QImage* background = Background();
    if (!background)
        return;
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.drawImage(0, 0, *background);
}
