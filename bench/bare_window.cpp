// The floors of the first-screen figure: a bare Qt Widgets window that paints once, a line of
// text in the system font over a colour (the fair floor: the wizard's first screen draws text
// too) or, with --colour, the colour alone. On its first paint it creates the file named by its
// argument, then waits to be stopped.
#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <cstring>

namespace {

class Window : public QWidget {
  public:
    Window(const char* marker, bool text) : marker_(marker), text_(text) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::darkCyan);
        if (text_)
            painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Choose your language"));
        if (marker_) {
            if (std::FILE* f = std::fopen(marker_, "w"))
                std::fclose(f);
            marker_ = nullptr;
        }
    }

  private:
    const char* marker_;
    bool text_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool colourOnly = argc > 2 && std::strcmp(argv[2], "--colour") == 0;
    Window window(argc > 1 ? argv[1] : nullptr, !colourOnly);
    window.resize(800, 640);
    window.show();
    return QApplication::exec();
}
