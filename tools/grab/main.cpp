// qvgrab: saves a picture of the whole X screen (the wizard's screenshot under Xvfb).
// usage: qvgrab OUT.png [DELAY_MS]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qvgrab OUT.png [DELAY_MS]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    if (argc > 2)
        QThread::msleep(static_cast<unsigned long>(std::atoi(argv[2])));
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "qvgrab: cannot grab the screen\n");
        return 1;
    }
    return 0;
}
