#include "screens/QVAppView.h"

#include <QAbstractButton>
#include <QPainter>

#include "app/MainFrame.h"
#include "app/QVApp.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "platform/Paths.h"
#include "services/LanguageConfig.h"
#include "xmlgui/DialogForm.h"

namespace {

constexpr size_t kMaxPictureChars = 199;

}  // namespace

CQVAppView::CQVAppView(CQVApp& app, QWidget* frame)
    : QWidget(frame), app_(app), screenFilePath_(app.screenFilePath), screen_(app.currentScreen) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setContextMenuPolicy(Qt::NoContextMenu);
    CLog* log = CQVApp::Log();
    template_.SetLog(log);
    if (log) {
        log->Debug(
            StrFormat("Begin creation of CQVAppView for %s", Narrow(screenFilePath_).c_str()));
        log->Debug(StrFormat("Searching Background in [%s] of %s", screen_.c_str(),
                             app.files.pictures.c_str()));
    }
    std::wstring background = ReadProfileString(app.files.pictures, Widen(screen_), L"Background",
                                                Widen(kMissingKey), kMaxPictureChars);
    if (background == Widen(kMissingKey)) {
        if (log)
            log->Err("Background not found");
    } else {
        std::string file = Narrow(background);
        if (log)
            log->Debug(StrFormat("Using background %s", file.c_str()));
        // A missing or unreadable picture leaves the view without background.
        background_.load(QString::fromStdString(platform::NativePath(file)));
    }
    if (log)
        log->Debug("End creation of CQVAppView");
}

CQVAppView::~CQVAppView() {
    if (app_.viewSwitching)
        return;
    CAutomatonPort* automaton = app_.Automaton();
    CAutomateContext* context = app_.ScreenContext();
    if (!automaton || !context)
        return;
    context->SetImage(automaton->GetContextImage());
    context->SetInt("LastEvent", 1, -1);
    automaton->UpdateContextImage(context->GetImage());
}

void CQVAppView::Create() {
    app_.screenBuilding = true;
    int ok = 0;
    if (!screenFilePath_.empty())
        ok = template_.SerializeFrom(screenFilePath_);
    if (ok)
        template_.SetStyle(template_.Style() | xmlgui::kWsChild);
    else
        template_.LoadBuiltIn(xmlgui::kEmptyDialogResource);
    xmlgui::FormResult form = xmlgui::InitializeForm(this, template_.Template());
    formSize_ = form.size;
    // No context menu opens anywhere: the request goes up to the view and the frame, which
    // have none.
    for (QWidget* control : findChildren<QWidget*>())
        control->setContextMenuPolicy(Qt::NoContextMenu);
    for (int id = 1001; id <= 1006; ++id) {
        if (auto* button = qobject_cast<QAbstractButton*>(xmlgui::FindControl(this, id)))
            connect(button, &QAbstractButton::clicked, this,
                    [this, id] { OnRangeClickButton(id); });
    }
    resize(PreferredSize());
}

QSize CQVAppView::PreferredSize() const {
    return background_.isNull() ? formSize_ : background_.size();
}

int CQVAppView::SetViewInterface() {
    CLog* log = CQVApp::Log();
    if (log)
        log->Debug(StrFormat("Begin SetViewInterface for %s", app_.currentScreen.c_str()));
    if (!app_.currentScreen.empty())
        app_.screenBuilding = false;
    if (log)
        log->Debug(StrFormat("End SetViewInterface for %s", app_.currentScreen.c_str()));
    return 0;
}

int CQVAppView::LoadTraductions(const char*) {
    if (app_.translationsLoaded)
        return 0;
    CLog* log = CQVApp::Log();
    CAutomatonPort* automaton = app_.Automaton();
    CAutomateContext* context = app_.ScreenContext();
    char idLang[CAutomateContext::kStringBufferBytes] = "";
    if (automaton && context) {
        context->SetImage(automaton->GetContextImage());
        context->GetString("ID_LANG", 1, idLang);
    }
    if (idLang[0] != '\0') {
        std::string code = ResolvedLanguageCode(std::string_view(idLang));
        if (log)
            log->Info(StrFormat("Load traductions [%s=%s]", idLang, code.c_str()));
        app_.translator.LoadLanguage(code.c_str());
        int index = LanguageIndex(std::string_view(idLang));
        if (log)
            log->Info(StrFormat("ID LANG=[%d]", index));
        ApplyLanguageFonts(index, StartupFontDefaults());
    }
    app_.translationsLoaded = true;
    if (log)
        log->Info("Traductions loaded");
    return 0;
}

void CQVAppView::OnRangeClickButton(int id) {
    if (id < 1001 || id > 1006)
        return;
    CAutomatonPort* automaton = app_.Automaton();
    CAutomateContext* context = app_.ScreenContext();
    if (!automaton || !context)
        return;
    if (app_.clickInProgress || app_.screenBuilding || app_.viewSwitching)
        return;
    context->SetImage(automaton->GetContextImage());
    char gui[CAutomateContext::kStringBufferBytes] = "";
    context->GetString("Gui", 1, gui);
    if (gui[0] != '\0')
        return;
    app_.clickInProgress = true;
    context->SetInt("LastEvent", 1, id - 1000);
    automaton->UpdateContextImage(context->GetImage());
    app_.clickInProgress = false;
    if (auto* frame = qobject_cast<CMainFrame*>(parentWidget()))
        frame->WakeAutomate();
}

void CQVAppView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    OnDraw(painter);
    if (!shown_) {
        shown_ = true;
        if (CLog* log = CQVApp::Log())
            log->Debug(StrFormat("Screen shown : %s", screen_.c_str()));
    }
}

void CQVAppView::OnDraw(QPainter& painter) {
    if (background_.isNull())
        return;
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.drawImage(0, 0, background_);
}
