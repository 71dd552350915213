// qvkeys: the wizard driven by key events from a script, for the end-to-end tests, the
// screenshots and the benchmark. It runs the wizard's own start-up, frame and automaton in this
// process (it must lie in the runtime tree's bin/, like the wizard) and types into whichever
// widget has the focus, as an operator would; it never clicks nor writes into the context.
//
//   qvkeys [--times] [--timeout MS] SCRIPT [wizard arguments...]
//
// Script lines (blank lines and lines starting with '#' are skipped):
//   screen NAME     wait for a new screen NAME to be shown
//   key NAME [N]    press a key N times: Tab Return Up Down Left Right Backspace Home End F1-F12
//   type TEXT       type the UTF-8 text (the rest of the line)
//   erase           empty the focused field (End, then Backspace for each character)
//   grab FILE       save the window as an image
//
// Exit codes: 0 when the script ran and the wizard's run ended; the wizard's own start-up code
// when it could not start; 3 when a screen did not come in time; 4 for a bad script. With
// --times it prints each "key to screen" time, the total time and the resident memory (and with
// QV_MEMORY_MAP=FILE copies its /proc/self/smaps there).
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/QVApp.h"
#include "app/Unattended.h"
#include "base/Text.h"
#include "screens/QVAppView.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Step {
    std::string verb;
    std::string arg;
    int count = 1;
    int line = 0;
};

bool ParseKey(const std::string& name, Qt::Key* key) {
    static const std::pair<const char*, Qt::Key> kKeys[] = {
        {"Tab", Qt::Key_Tab},   {"Return", Qt::Key_Return}, {"Up", Qt::Key_Up},
        {"Down", Qt::Key_Down}, {"Left", Qt::Key_Left},     {"Right", Qt::Key_Right},
        {"Home", Qt::Key_Home}, {"End", Qt::Key_End},       {"Backspace", Qt::Key_Backspace},
    };
    for (const auto& [text, k] : kKeys) {
        if (name == text) {
            *key = k;
            return true;
        }
    }
    if (name.size() >= 2 && name[0] == 'F') {
        int n = std::atoi(name.c_str() + 1);
        if (n >= 1 && n <= 12) {
            *key = static_cast<Qt::Key>(Qt::Key_F1 + n - 1);
            return true;
        }
    }
    return false;
}

bool ReadScript(const std::string& path, std::vector<Step>* steps) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        if (text.empty() || text[0] == '#')
            continue;
        Step s;
        s.line = line;
        size_t space = text.find(' ');
        s.verb = text.substr(0, space);
        s.arg = space == std::string::npos ? "" : text.substr(space + 1);
        if (s.verb == "key") {
            std::istringstream words(s.arg);
            words >> s.arg >> s.count;
            if (s.count < 1)
                s.count = 1;
            Qt::Key k;
            if (!ParseKey(s.arg, &k)) {
                std::fprintf(stderr, "qvkeys: line %d: unknown key %s\n", line, s.arg.c_str());
                return false;
            }
        } else if (s.verb != "screen" && s.verb != "type" && s.verb != "erase" &&
                   s.verb != "grab") {
            std::fprintf(stderr, "qvkeys: line %d: unknown step %s\n", line, s.verb.c_str());
            return false;
        }
        steps->push_back(s);
    }
    return true;
}

long ResidentKb() {
    // bench_flow reads what the memory is made of from a copy of the process's map.
    if (const char* out = std::getenv("QV_MEMORY_MAP")) {
        std::ifstream map("/proc/self/smaps");
        std::ofstream(out) << map.rdbuf();
    }
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// QTest only types ASCII; other characters go as key events that carry their text alone, as an
// input method delivers them.
void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, static_cast<char>(c.unicode()));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    bool times = false;
    int timeoutMs = 20000;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
        std::string opt = argv[i];
        if (opt == "--times")
            times = true;
        else if (opt == "--timeout" && i + 1 < argc)
            timeoutMs = std::atoi(argv[++i]);
    }
    if (i >= argc) {
        std::fprintf(stderr,
                     "usage: qvkeys [--times] [--timeout MS] SCRIPT [wizard arguments...]\n");
        return 4;
    }
    std::vector<Step> steps;
    if (!ReadScript(argv[i], &steps))
        return 4;
    // The wizard's own options for recording (--record) work here too.
    std::vector<std::string> wizardArgs(argv + i + 1, argv + argc);
    app::Unattended unattended;
    if (int refused = unattended.TakeOptions(wizardArgs); refused != 0)
        return refused;
    std::string commandLine;
    for (const std::string& arg : wizardArgs)
        commandLine += (commandLine.empty() ? "" : " ") + arg;

    qputenv("QT_NO_GLIB", "1");
    int qargc = 1;
    char* qargv[] = {argv[0], nullptr};
    QApplication qapp(qargc, qargv);
    QApplication::setQuitOnLastWindowClosed(false);
    const Clock::time_point start = Clock::now();
    int code = 0;
    {
        CQVApp app;
        app.unattended = unattended.HasAnswers();
        int init = app.InitInstance(commandLine);
        if (init != 0)
            return init;
        unattended.Attach(app);
        CMainFrame* frame = app.Frame();
        bool ended = false;
        QObject::connect(frame, &CMainFrame::RunEnded, &qapp, [&] {
            ended = true;
            QCoreApplication::exit(0);
        });
        size_t next = 0;
        // Views are told apart by their number: a new view may take a deleted one's address.
        long seen = -1;
        Clock::time_point waitFrom = Clock::now();
        Clock::time_point keyAt{};
        std::vector<std::pair<std::string, double>> keyToScreen;
        QTimer driver;
        driver.setInterval(1);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            while (next < steps.size()) {
                const Step& s = steps[next];
                CQVAppView* view = frame->ActiveView();
                if (s.verb == "screen") {
                    if (view && frame->ViewsCreated() != seen && view->Shown() &&
                        app.currentScreen == s.arg) {
                        seen = frame->ViewsCreated();
                        frame->activateWindow();
                        if (keyAt != Clock::time_point{})
                            keyToScreen.emplace_back(s.arg, Ms(Clock::now() - keyAt));
                        keyAt = {};
                        ++next;
                        waitFrom = Clock::now();
                        continue;
                    }
                    if (Ms(Clock::now() - waitFrom) > timeoutMs) {
                        std::fprintf(stderr, "qvkeys: line %d: no screen %s; showing %s\n", s.line,
                                     s.arg.c_str(), app.currentScreen.c_str());
                        code = 3;
                        driver.stop();
                        frame->DestroyWindow();
                    }
                    return;
                }
                QWidget* focus = QApplication::focusWidget();
                if (!focus) {
                    std::fprintf(stderr, "qvkeys: line %d: nothing has the focus on %s\n", s.line,
                                 app.currentScreen.c_str());
                    focus = view ? static_cast<QWidget*>(view) : frame;
                }
                ++next;
                keyAt = Clock::now();
                if (s.verb == "key") {
                    Qt::Key k = Qt::Key_unknown;
                    ParseKey(s.arg, &k);
                    for (int n = 0; n < s.count; ++n)
                        QTest::keyClick(
                            QApplication::focusWidget() ? QApplication::focusWidget() : focus, k);
                    // A key may switch the screen: let the automaton run before the next step.
                    return;
                }
                if (s.verb == "type") {
                    TypeText(focus, QString::fromUtf8(s.arg.c_str()));
                } else if (s.verb == "erase") {
                    QTest::keyClick(focus, Qt::Key_End);
                    int chars = 0;
                    if (auto* edit = qobject_cast<QLineEdit*>(focus))
                        chars = static_cast<int>(edit->text().size());
                    for (int n = 0; n < chars; ++n)
                        QTest::keyClick(focus, Qt::Key_Backspace);
                } else if (s.verb == "grab") {
                    keyAt = {};
                    if (!frame->grab().save(QString::fromStdString(s.arg)))
                        std::fprintf(stderr, "qvkeys: cannot save %s\n", s.arg.c_str());
                }
            }
            // Script done: the run must end by itself.
            if (Ms(Clock::now() - waitFrom) > timeoutMs && !ended) {
                std::fprintf(stderr, "qvkeys: the run did not end; showing %s\n",
                             app.currentScreen.c_str());
                code = 3;
                driver.stop();
                frame->DestroyWindow();
            }
        });
        driver.start();
        int rc = QApplication::exec();
        unattended.Detach(app);
        if (code == 0)
            code = rc;
        if (times) {
            for (const auto& [screen, ms] : keyToScreen)
                std::printf("key->screen %-28s %.1f ms\n", screen.c_str(), ms);
            std::printf("total %.0f ms\nresident %.1f MB\n", Ms(Clock::now() - start),
                        ResidentKb() / 1024.0);
        }
    }
    return code;
}
