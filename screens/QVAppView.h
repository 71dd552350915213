#pragma once
// The view of one wizard screen. It is built in a fixed order: background (construction),
// window from the dialog file (Create), then SetViewInterface: settings file and pictures,
// configured buttons, labels and combo boxes, field contents from the context, invalid-data
// colours, and the set-up particular to the screen. It moves the focus by the screen's
// navigation rules, saves what the operator entered and raises the screen's events. Destroyed
// outside a view switch, it ends the run.
//
// The view reaches the application only through screens::ScreenHost. Its methods live in one
// file per concern: QVAppView.cpp (window, drawing, input), ViewBuild.cpp (construction),
// ViewNavigation.cpp (keys and focus), ViewCapture.cpp (fields, colours, clicks and saving),
// ViewStateSetup.cpp (per-screen set-up).
#include <QImage>
#include <QSize>
#include <QWidget>
#include <future>
#include <string>
#include <unordered_map>
#include <vector>

#include "controls/NavigationHandler.h"
#include "screens/DataCapture.h"
#include "screens/ScreenHost.h"
#include "screens/ScreenSettings.h"
#include "services/LanguageConfig.h"
#include "xmlgui/DlgTemplate.h"

class CAutomateContext;
class CLog;
class CVEKButton;

class CQVAppView : public QWidget, public controls::NavigationHandler {
    Q_OBJECT

  public:
    // Reads the background of the screen it is made for.
    CQVAppView(screens::ScreenHost& host, QWidget* frame, screens::ScreenRequest request);
    // Outside a view switch: raises event -1, which ends the run.
    ~CQVAppView() override;

    // Window creation: from the dialog file, else from the built-in empty dialog 102.
    void Create();
    // Builds the screen's contents. Returns 0.
    int SetViewInterface();
    // Loads the fonts and translations of the language in ID_LANG, once per run. Returns 0.
    int LoadTraductions(const char* state);

    // The construction steps, in the order SetViewInterface calls them.
    int SetAllPictures(const XmlDocument* doc);
    int SetAllButtons();
    int SetAllLabels(const std::string& screen);
    int SetEditInformations(const std::string& screen);
    int ManageColor(const std::string& screen);
    int SetupStateScreen(const std::string& screen);
    // Shows the same screen again in this view, for a screen that passes on by itself and takes
    // no input (the progress screen between the apply's steps): only what it reads from the
    // context is set again, the rest stays as built. False, with nothing changed, when the
    // screen is not of that kind: it must be built anew.
    bool ShowAgain(const std::string& screen);

    // A press on button nID, by the mouse (nChar 0) or by the navigation key nChar.
    void OnRangeClickButton(int nID, unsigned nChar = 0);
    // Saves what the operator chose or typed on the state's screen. False when the choice
    // could not be saved and the operator stays on the screen.
    bool manageSaveData(const std::string& state);

    // Called by the key-forwarding controls.
    void OnNavigationKey(QWidget* control, const char* typeName, unsigned virtualKey) override;

    // Where a navigation key leads from control `current` by the screen's rules: the control
    // that takes the focus (-1: none) and whether the key presses it (a "BUTTON").
    struct NavigationStep {
        int target = -1;
        bool press = false;
    };
    NavigationStep NextStep(int current, unsigned virtualKey);
    // Moves the focus as the key does and presses the button it lands on. False when the
    // screen has no such control.
    bool TakeStep(const NavigationStep& step, unsigned virtualKey);
    // The choice the screen would save: the first of the choice buttons drawn pushed, 0 when
    // none.
    int SpecificButton() const;

    // The control with that ID, or null.
    QWidget* Control(int id) const;
    template <class T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }

    const screens::ScreenSettings& Settings() const { return settings_; }
    const std::vector<CVEKButton*>& ConfiguredButtons() const { return configuredButtons_; }
    bool HasBackground() const { return backgroundSize_.isValid(); }
    // The background picture (decoded on first use), or null; the frame extends it around.
    const QImage* BackgroundPicture() { return Background(); }
    // The background's size when there is one, else the dialog's.
    QSize PreferredSize() const;
    const std::wstring& ScreenFilePath() const { return screenFilePath_; }
    const xmlgui::CDlgTemplate& DialogTemplate() const { return template_; }
    // True once the view was painted.
    bool Shown() const { return shown_; }
    // True once SetViewInterface built a screen (never for the first, empty view).
    bool Built() const { return built_; }
    // Why the last save of this screen failed, in words; empty when none failed.
    const std::string& SaveFailure() const { return saveFailure_; }

  protected:
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // A face the configuration names, or the stand-in the dialog font takes for it where the
    // machine lacks it: fontconfig would give its default face instead, even a light one.
    static QString Face(const std::wstring& face);
    void OnDraw(class QPainter& painter);
    void SetInitialFocus();
    void FocusFirstTabStop();
    void SaveGeneric(const std::string& state);
    bool SaveChoice(screens::SaveRule rule, int specific, CAutomateContext& context, CLog& log);
    void FillWidget(const screens::InfosContextEntry& entry, const std::wstring& value,
                    const QString& face, const TextFont& font);
    void ShowGeneralInfoLanguage(CAutomateContext& context);
    bool IsPasswordField(int id, const std::string& screen) const;
    void AdaptLayoutToFont();
    void SetupLanguageButtons(bool reconfiguration);
    void ShowPicture(int id, const std::string& path);
    // The language buttons the screen has (screens::LanguageButtonIds): the pressed one
    // checked, focused and red, every other one black, in all their states.
    void HighlightLanguageButton(int pressed);
    void SelectChoiceButton(int pressed);
    // The line saying what is wrong with the first wrong field, and the focus on that field.
    void ShowInvalidEntry(const std::string& screen, CAutomateContext& context);
    // The reason line of a choice that could not be saved.
    void ShowSaveFailure(const char* reasonId);
    // The step the apply is about to run, in label 1043.
    void ShowApplyProgress(CAutomateContext& context);
    // Every choice of the run, one line each, before the apply.
    void ShowSummary(CAutomateContext& context);

    screens::ScreenHost& host_;
    xmlgui::CDlgTemplate template_;
    std::wstring screenFilePath_;
    std::string screen_;
    // The background is decoded on first use: the first, empty view is mostly replaced by the
    // first screen before it is ever painted, and a decode costs milliseconds of start-up. A
    // screen's view decodes it on a thread of its own from the start, while the screen is built.
    const QImage* Background();
    QString backgroundFile_;
    QByteArray backgroundBytes_;  // the file's bytes, to tell a picture shared with the next view
    QSize backgroundSize_;        // read from the picture's header; invalid when there is none
    QImage background_;
    std::future<QImage> pendingBackground_;
    bool backgroundDecoded_ = false;
    QSize formSize_;
    bool shown_ = false;
    bool built_ = false;
    std::string saveFailure_;
    screens::ScreenSettings settings_;
    std::unordered_map<int, QWidget*> controls_;
    std::vector<CVEKButton*> configuredButtons_;
    std::vector<CVEKButton*> languageButtons_;
};
