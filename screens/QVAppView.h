#pragma once
// The view of one wizard screen: its background picture, its window built from the screen's
// dialog file (or the built-in empty dialog), and the end of the run when it is destroyed
// outside a view switch. The screen's contents (buttons, labels, fields, navigation, saving)
// are built on top of this.
#include <QImage>
#include <QSize>
#include <QWidget>
#include <string>

#include "xmlgui/DlgTemplate.h"

class CQVApp;

class CQVAppView : public QWidget {
    Q_OBJECT

  public:
    // Reads the background of the current screen; copies the application's screen file path.
    CQVAppView(CQVApp& app, QWidget* frame);
    // Outside a view switch: raises event -1, which ends the run.
    ~CQVAppView() override;

    // Window creation: from the dialog file, else from the built-in empty dialog 102.
    void Create();
    // Builds the screen's contents. Returns 0.
    int SetViewInterface();
    // Loads the fonts and translations of the language in ID_LANG, once per run. Returns 0.
    int LoadTraductions(const char* state);
    // A press on a screen button: buttons 1001 to 1006 raise events 1 to 6.
    void OnRangeClickButton(int id);

    bool HasBackground() const { return !background_.isNull(); }
    // The background's size when there is one, else the dialog's.
    QSize PreferredSize() const;
    const std::wstring& ScreenFilePath() const { return screenFilePath_; }
    const xmlgui::CDlgTemplate& DialogTemplate() const { return template_; }
    // True once the view was painted.
    bool Shown() const { return shown_; }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    void OnDraw(class QPainter& painter);

    CQVApp& app_;
    xmlgui::CDlgTemplate template_;
    std::wstring screenFilePath_;
    std::string screen_;
    QImage background_;
    QSize formSize_;
    bool shown_ = false;
};
