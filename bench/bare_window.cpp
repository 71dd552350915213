// The floor of the first-screen figure: a bare Qt Widgets window that paints once. On its first
// paint it creates the file named by its argument, then waits to be stopped.
#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <cstdio>

namespace {

class Window : public QWidget {
  public:
    explicit Window(const char* marker) : marker_(marker) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::darkCyan);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Choose your language"));
        if (marker_) {
            if (std::FILE* f = std::fopen(marker_, "w"))
                std::fclose(f);
            marker_ = nullptr;
        }
    }

  private:
    const char* marker_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Window window(argc > 1 ? argv[1] : nullptr);
    window.resize(800, 640);
    window.show();
    return QApplication::exec();
}
