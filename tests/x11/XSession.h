#pragma once
// The staged wizard on a bare X server (Xvfb, no window manager), driven as a person drives it:
// keys and mouse clicks through the X server (xdotool's XTEST input), pictures of the whole
// display (qvgrab). Where the controls lie comes from the wizard's control map
// (QV_CONTROL_MAP); what it did, from its log and the files it wrote.
#include <QImage>
#include <QRect>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Process.h"
#include "tests/platform/ProcessTestSupport.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"

namespace x11test {

// Xvfb on display :N of the suite's own /tmp, started once for the whole suite.
class XServer {
  public:
    XServer(int width, int height);
    ~XServer();
    bool Running() const { return running_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

  private:
    platform::ChildProcess process_;
    int width_;
    int height_;
    bool running_ = false;
};

struct MapControl {
    QRect rect;
    std::string caption;
};

// One screen as the wizard's control map gives it.
struct ScreenMap {
    std::string screen;
    long view = 0;
    QRect frame;
    QRect rect;  // the view
    int focus = -1;
    std::map<int, MapControl> controls;
    bool Has(int id) const { return controls.count(id) != 0; }
};
ScreenMap ParseScreenMap(const std::string& text);

// The wizard's pid that holds the X keyboard focus, or 0.
int FocusedWindowPid();

class StagedWizard {
  public:
    // Copies the staged tree (QV_X11_STAGE or the build's stage) into a fresh tree.
    StagedWizard();
    ~StagedWizard();

    TempTree& Tree() { return tree_; }
    // Sets Modal in the parameters file of the mode.
    void SetModal(bool modal, bool reconfiguration = false);
    void Start(bool reconfiguration = false);
    // Runs the wizard unattended and offscreen from an answer file (relative to bin/); its exit
    // code.
    int RunUnattended(const std::string& answers);
    // Runs the wizard offscreen in bin/ with args, whatever its end.
    ProgramResult RunOffscreen(const std::vector<std::string>& args);
    int Pid() const { return process_ ? process_->Pid() : 0; }
    // Kills the wizard with SIGKILL, as a crash or a power cut would end it, and reaps it.
    void Kill();
    // Waits for the exit; the exit code, or -1000 on a time-out.
    int WaitExit(int timeoutMs);

    // Waits for a new view of that screen, waiting for the operator; fails the test otherwise.
    ScreenMap WaitScreen(const std::string& name, int timeoutMs = 20000);
    // Waits until the shown screen's focus is on id.
    ScreenMap WaitFocus(int id, int timeoutMs = 5000);
    // The map as it stands.
    ScreenMap Current() const;

    // Input through the X server.
    void Key(const std::string& keysym, int times = 1);
    void Type(const std::string& text);
    void ClickAt(QPoint global);
    // Clicks the middle of control id of the current screen.
    void Click(int id);
    // A picture of the whole display (kept under name in the suite's picture folder).
    QImage Grab(const std::string& name);

    // Runs a key script of scripts/flows: screen, key K [N], type T, erase.
    void RunScript(const std::string& script);

    std::string Log() const;
    // The last value the context was given for an INT or STRING property, from the log.
    std::string LastSet(const std::string& property) const;
    std::string Target(const std::string& relative) const;
    // The screens shown, in order, from the log (the empty first view left out).
    std::vector<std::string> Shown() const;

  private:
    std::string MapPath() const { return tree_.Path("control.map"); }
    std::string logName_ = "1_QV.log";
    TempTree tree_;
    ProcessSweeper sweeper_{tree_.Root()};
    std::unique_ptr<platform::ChildProcess> process_;
    long lastView_ = 0;
};

// The folder that keeps the suite's pictures (build/x11-pictures).
std::string PictureDir();

// ---- Reading the pictures

// Pixels whose brightness stands far from the middle brightness of the area: the strokes of a
// caption on a plain or gradient skin.
int InkPixels(const QImage& image, const QRect& area);
// Pixels of pure-looking red (the highlight of the chosen language).
int RedPixels(const QImage& image, const QRect& area);
// Share (0..1) of the pixels of the focus ring's band around area that have the ring's colour.
double FocusRingShare(const QImage& image, const QRect& area);
// Pixels that are black (0, 0, 0): what the bare X server shows where no window is.
int BlackPixels(const QImage& image, const QRect& area);

}  // namespace x11test
