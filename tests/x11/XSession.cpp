#include "tests/x11/XSession.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "controls/ControlsLogic.h"
#include "tests/support/RunProgram.h"

namespace fs = std::filesystem;

namespace x11test {

namespace {

constexpr const char* kDisplay = ":7";
constexpr const char* kSocket = "/tmp/.X11-unix/X7";

std::string StageDir() {
    const char* stage = std::getenv("QV_X11_STAGE");
    return stage && *stage ? stage : STAGE_DIR;
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

ProgramResult Xdotool(const std::vector<std::string>& args) {
    ProgramResult r = RunProgram(XDOTOOL_PATH, args);
    EXPECT_EQ(r.status, 0) << "xdotool " << (args.empty() ? "" : args[0]) << ": " << r.err;
    return r;
}

int Luma(QRgb p) {
    return (qRed(p) * 299 + qGreen(p) * 587 + qBlue(p) * 114) / 1000;
}

QRect Clipped(const QImage& image, const QRect& area) {
    return area.intersected(image.rect());
}

}  // namespace

XServer::XServer(int width, int height) : width_(width), height_(height) {
    fs::create_directories("/tmp/.X11-unix");
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    if (process_.Start(
            {XVFB_PATH, kDisplay, "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}) != 0)
        return;
    running_ = WaitFor([] { return fs::exists(kSocket); }, 10000);
    setenv("DISPLAY", kDisplay, 1);
    // Every X client of the suite (the wizard, xdotool, qvgrab) talks to this server.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("WAYLAND_DISPLAY");
    if (running_)
        running_ = WaitFor(
            [] { return RunProgram(XDOTOOL_PATH, {"getmouselocation"}).status == 0; }, 10000);
}

XServer::~XServer() {
    if (process_.Pid() > 0 && !process_.HasExited())
        platform::TerminatePid(process_.Pid(), 500);
}

ScreenMap ParseScreenMap(const std::string& text) {
    ScreenMap map;
    std::istringstream in(text);
    std::string line;
    auto rect = [](std::istringstream& s) {
        int x = 0, y = 0, w = 0, h = 0;
        s >> x >> y >> w >> h;
        return QRect(x, y, w, h);
    };
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string word;
        s >> word;
        if (word == "screen") {
            s >> map.screen;
        } else if (word == "view") {
            s >> map.view;
        } else if (word == "frame") {
            map.frame = rect(s);
        } else if (word == "rect") {
            map.rect = rect(s);
        } else if (word == "focus") {
            s >> map.focus;
        } else if (word == "control") {
            int id = 0;
            s >> id;
            MapControl c;
            c.rect = rect(s);
            std::getline(s >> std::ws, c.caption);
            map.controls[id] = c;
        }
    }
    return map;
}

int FocusedWindowPid() {
    ProgramResult r = RunProgram(XDOTOOL_PATH, {"getwindowfocus", "getwindowpid"});
    return r.status == 0 ? std::atoi(r.out.c_str()) : 0;
}

std::string PictureDir() {
    const std::string dir = std::string(BINARY_DIR) + "/x11-pictures";
    fs::create_directories(dir);
    return dir;
}

StagedWizard::StagedWizard() {
    const std::string stage = StageDir();
    for (const char* dir : {"config", "gui", "pictures", "bin"})
        fs::copy(stage + "/" + dir, tree_.Path(dir),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    // The network check fails at once (nothing listens on port 1): its screen comes up and F3
    // goes on without the network.
    tree_.Write("config/noxMiscPlugin.ini", "[TestInternet]\nURL.1=127.0.0.1:1\nTimeout=500\n");
    fs::create_directories(tree_.Path("desktop"));
    setenv("QV_DESKTOP_DIR", tree_.Path("desktop").c_str(), 1);
    setenv("QV_CONTROL_MAP", MapPath().c_str(), 1);
}

StagedWizard::~StagedWizard() {
    sweeper_.Sweep();
    unsetenv("QV_CONTROL_MAP");
    unsetenv("QV_DESKTOP_DIR");
}

void StagedWizard::SetModal(bool modal, bool reconfiguration) {
    const std::string file =
        reconfiguration ? "config/RW/RW_params.ini" : "config/QV/QV_params.ini";
    std::string text = tree_.Read(file);
    const std::string from = modal ? "Modal=false" : "Modal=true";
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << file;
    text.replace(at, from.size(), modal ? "Modal=true" : "Modal=false");
    tree_.Write(file, text);
}

void StagedWizard::Start(bool reconfiguration) {
    logName_ = reconfiguration ? "1_RW.log" : "1_QV.log";
    std::vector<std::string> argv = {tree_.Bin() + "/QuilvaneWizApp"};
    if (reconfiguration)
        argv.push_back("-reconfig");
    // A new process numbers its views from 1 again.
    lastView_ = 0;
    fs::remove(MapPath());
    process_ = std::make_unique<platform::ChildProcess>();
    ASSERT_EQ(process_->Start(argv, tree_.Bin()), 0);
}

void StagedWizard::Kill() {
    ASSERT_TRUE(process_ && process_->Pid() > 0);
    ASSERT_EQ(kill(process_->Pid(), SIGKILL), 0);
    ASSERT_TRUE(process_->Wait(10000));
}

ProgramResult StagedWizard::RunOffscreen(const std::vector<std::string>& args) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string previous = fs::current_path().string();
    EXPECT_EQ(chdir(tree_.Bin().c_str()), 0);
    ProgramResult r = RunProgram(tree_.Bin() + "/QuilvaneWizApp", args);
    EXPECT_EQ(chdir(previous.c_str()), 0);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    return r;
}

int StagedWizard::RunUnattended(const std::string& answers) {
    const ProgramResult r = RunOffscreen({"--answers", answers});
    if (r.status != 0)
        ADD_FAILURE() << answers << ": " << r.err.substr(0, 4000);
    return r.status;
}

int StagedWizard::WaitExit(int timeoutMs) {
    if (!process_ || !process_->Wait(timeoutMs))
        return -1000;
    return process_->ExitCode();
}

ScreenMap StagedWizard::Current() const {
    return tree_.Exists("control.map") ? ParseScreenMap(tree_.Read("control.map")) : ScreenMap{};
}

ScreenMap StagedWizard::WaitScreen(const std::string& name, int timeoutMs) {
    ScreenMap map;
    const bool shown = WaitFor(
        [&] {
            map = Current();
            return map.screen == name && map.view > lastView_;
        },
        timeoutMs);
    EXPECT_TRUE(shown) << "screen " << name << " did not come; the map shows " << map.screen
                       << " (view " << map.view << ")";
    if (shown)
        lastView_ = map.view;
    // Let the first paint of the controls reach the server.
    Sleep(150);
    return Current();
}

ScreenMap StagedWizard::WaitFocus(int id, int timeoutMs) {
    ScreenMap map;
    const bool moved = WaitFor(
        [&] {
            map = Current();
            return map.focus == id;
        },
        timeoutMs);
    EXPECT_TRUE(moved) << "focus did not reach " << id << " on " << map.screen << " (it is on "
                       << map.focus << ")";
    Sleep(100);
    return map;
}

void StagedWizard::Key(const std::string& keysym, int times) {
    for (int i = 0; i < times; ++i) {
        Xdotool({"key", keysym});
        // A person's pace: the wizard handles one key before the next comes.
        Sleep(120);
    }
}

void StagedWizard::Type(const std::string& text) {
    Xdotool({"type", "--delay", "40", text});
    Sleep(100);
}

void StagedWizard::ClickAt(QPoint global) {
    Xdotool({"mousemove", "--sync", std::to_string(global.x()), std::to_string(global.y())});
    Sleep(60);
    Xdotool({"click", "1"});
    Sleep(150);
}

void StagedWizard::Click(int id) {
    const ScreenMap map = Current();
    auto it = map.controls.find(id);
    ASSERT_NE(it, map.controls.end()) << "no control " << id << " on " << map.screen;
    ClickAt(it->second.rect.center());
}

QImage StagedWizard::Grab(const std::string& name) {
    const std::string path = PictureDir() + "/" + name + ".png";
    ProgramResult r = RunProgram(tree_.Bin() + "/qvgrab", {path});
    EXPECT_EQ(r.status, 0) << r.err;
    QImage image(QString::fromStdString(path));
    EXPECT_FALSE(image.isNull()) << path;
    return image.convertToFormat(QImage::Format_RGB32);
}

void StagedWizard::RunScript(const std::string& script) {
    std::istringstream in(script);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream s(line);
        std::string word;
        s >> word;
        if (word == "screen") {
            std::string name;
            s >> name;
            WaitScreen(name);
        } else if (word == "key") {
            std::string key;
            int times = 1;
            s >> key >> times;
            Key(key, std::max(1, times));
        } else if (word == "type") {
            std::string text;
            std::getline(s >> std::ws, text);
            Type(text);
        } else if (word == "erase") {
            // Ctrl+A is a character a digits-only field refuses; a selection by keys is not.
            Key("End");
            Key("shift+Home");
            Key("BackSpace");
        }
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

std::string StagedWizard::Log() const {
    const std::string path = "Log/" + logName_;
    return tree_.Exists(path) ? tree_.Read(path) : "";
}

std::string StagedWizard::LastSet(const std::string& property) const {
    const std::string text = Log();
    const std::string marker = "Set [" + property + "] ";
    const size_t at = text.rfind(marker);
    if (at == std::string::npos)
        return {};
    // "Set [Name] INT = 3" or "Set [Name] STRING = text"
    const size_t eq = text.find(" = ", at);
    const size_t end = text.find('\r', at);
    if (eq == std::string::npos || eq > end)
        return {};
    return text.substr(eq + 3, end - eq - 3);
}

std::string StagedWizard::Target(const std::string& relative) const {
    const std::string path = "data/target/" + relative;
    return tree_.Exists(path) ? tree_.Read(path) : "";
}

std::vector<std::string> StagedWizard::Shown() const {
    std::vector<std::string> names;
    const std::string text = Log(), marker = "Screen shown : ";
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
        const size_t from = at + marker.size();
        std::string name = text.substr(from, text.find('\r', from) - from);
        if (name != "Initialisation")
            names.push_back(name);
    }
    return names;
}

int InkPixels(const QImage& image, const QRect& area) {
    const QRect r = Clipped(image, area);
    if (r.isEmpty())
        return 0;
    std::vector<int> lumas;
    lumas.reserve(size_t(r.width()) * size_t(r.height()));
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            lumas.push_back(Luma(image.pixel(x, y)));
    std::vector<int> sorted = lumas;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const int middle = sorted[sorted.size() / 2];
    return int(std::count_if(lumas.begin(), lumas.end(),
                             [middle](int l) { return std::abs(l - middle) > 70; }));
}

int RedPixels(const QImage& image, const QRect& area) {
    const QRect r = Clipped(image, area);
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) > 180 && qGreen(p) < 90 && qBlue(p) < 90)
                ++n;
        }
    return n;
}

double FocusRingShare(const QImage& image, const QRect& area) {
    const uint32_t ring = controls::kFocusRingColour;
    const int width = controls::kFocusRingWidth, gap = controls::kFocusRingGap;
    const QRect outer = area.adjusted(-gap - width, -gap - width, gap + width, gap + width);
    const QRect inner = area.adjusted(-gap, -gap, gap, gap);
    int total = 0, hits = 0;
    for (int y = outer.top(); y <= outer.bottom(); ++y)
        for (int x = outer.left(); x <= outer.right(); ++x) {
            if (inner.contains(x, y) || !image.rect().contains(x, y))
                continue;
            ++total;
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - int(controls::RedOf(ring))) < 16 &&
                std::abs(qGreen(p) - int(controls::GreenOf(ring))) < 16 &&
                std::abs(qBlue(p) - int(controls::BlueOf(ring))) < 16)
                ++hits;
        }
    return total ? double(hits) / total : 0.0;
}

int BlackPixels(const QImage& image, const QRect& area) {
    const QRect r = Clipped(image, area);
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0)
                ++n;
    return n;
}

}  // namespace x11test
