// controls_demo OUTDIR: renders the screens' controls in their states into OUTDIR/*.png.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

#include "base/Text.h"
#include "controls/AnimatedPicture.h"
#include "controls/GifWalk.h"
#include "controls/GradientLabel.h"
#include "controls/QtSupport.h"
#include "controls/SkinControls.h"
#include "controls/VEKButton.h"

using namespace controls;

namespace {

QDir g_out;
int g_written = 0;

void Save(QWidget& w, const char* name) {
    QString path = g_out.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (w.grab().save(path, "PNG")) {
        ++g_written;
        std::printf("%s\n", path.toLocal8Bit().constData());
    } else {
        std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
    }
}

QString SkinPicture(const QString& dir, const char* name, QColor top, QColor bottom) {
    QImage image(120, 40, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, 40);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(image.rect(), g);
    p.setPen(Qt::black);
    p.drawRect(image.rect().adjusted(0, 0, -1, -1));
    p.end();
    QString path = dir + QLatin1Char('/') + QString::fromLatin1(name);
    image.save(path, "BMP");
    return path;
}

QImage Backdrop(QSize size) {
    QImage bg(size, QImage::Format_RGB32);
    QPainter p(&bg);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(30, 60, 120));
    g.setColorAt(1, QColor(120, 170, 220));
    p.fillRect(bg.rect(), g);
    return bg;
}

class BackdropWidget : public QWidget {
  public:
    explicit BackdropWidget(QImage bg) : bg_(std::move(bg)) { resize(bg_.size()); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, bg_);
    }

  private:
    QImage bg_;
};

void Labels() {
    QWidget host;
    host.resize(260, 60);
    struct {
        const char* name;
        int direction;
        uint32_t style;
    } cases[] = {{"label_solid", 0, 0},
                 {"label_gradient_horizontal", 1, kSsCenter},
                 {"label_gradient_vertical", 2, kSsRight | kSsCenterImage}};
    for (const auto& c : cases) {
        CGradientLabel label(nullptr, c.style);
        label.resize(260, 60);
        label.SetFont(QStringLiteral("Arial"), 16, 700);
        label.SetTextColor(Rgb(255, 255, 255));
        label.SetGradient(Rgb(0, 60, 160), Rgb(200, 220, 255), c.direction);
        label.SetText(
            std::wstring(L"Quilvane Setup: a label that wraps its words\r\nand keeps "
                         L"line ends"));
        Save(label, c.name);
    }
    BackdropWidget screen(Backdrop(QSize(300, 80)));
    CGradientLabel over(&screen);
    over.setGeometry(10, 10, 280, 60);
    over.SetFont(QStringLiteral("Arial Unicode MS"), 18, 400);
    over.SetTextColor(Rgb(255, 0, 0));
    over.SetTransparent(true);
    over.SetText(std::wstring(L"* Transparent label, red text"));
    Save(screen, "label_transparent");
    CGradientLabel raised;
    raised.resize(260, 40);
    raised.SetFont(QStringLiteral("Arial"), 24, 700);
    raised.SetTextColor(Rgb(0x33, 0x33, 0x33));
    raised.Set3DText(true, true);
    raised.SetText(std::wstring(L"3D text"));
    Save(raised, "label_3d");
}

void Buttons(const QString& dir) {
    QString normal = SkinPicture(dir, "normal.bmp", QColor(240, 240, 240), QColor(180, 180, 180));
    QString pushed = SkinPicture(dir, "pushed.bmp", QColor(90, 140, 220), QColor(30, 70, 160));
    QString hot = SkinPicture(dir, "hot.bmp", QColor(255, 250, 200), QColor(230, 200, 90));
    QImage bg = Backdrop(QSize(160, 60));

    auto make = [&](BackdropWidget& screen, bool bitmaps) {
        auto* b = new CVEKButton(&screen);
        b->setGeometry(20, 10, 120, 40);
        if (bitmaps) {
            b->SetBitmaps(normal, false, pushed, hot, QString());
        }
        b->SetCaptions(L"Continue");
        b->SetFontFaces(QStringLiteral("Arial"), true);
        b->SetFontHeights(20, true);
        b->SetTextColors(Rgb(0, 0, 0), true);
        b->SetCheckMode(false);
        b->SetEdgeWidths(0, true);
        b->SetEdgeStyles(kEdgeFlat, false, kEdgeSunken, kEdgeRaised, kEdgeFlat);
        b->SetBitmapShift(false, true);
        b->SetButtonType(kTypeRadio, false);
        b->BuildSkin(&bg, 0, kLayerNoFocus);
        return b;
    };
    {
        BackdropWidget screen(bg);
        CVEKButton* b = make(screen, true);
        Save(screen, "button_normal");
        b->SetCheck(true);
        Save(screen, "button_pushed");
        b->SetCheck(false);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(b, &enter);
        Save(screen, "button_hot");
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(b, &leave);
        b->setEnabled(false);
        Save(screen, "button_disabled");
    }
    {
        BackdropWidget screen(bg);
        auto* b = new CVEKButton(&screen);
        b->setGeometry(20, 10, 120, 40);
        b->SetBitmaps(normal, true);
        b->BuildSkin(&bg, 0, kLayerNoFocus);
        b->setEnabled(false);
        Save(screen, "button_disabled_embossed");
    }
    {
        // Classic look: caption only, double 3D edges.
        BackdropWidget screen(bg);
        auto* b = new CVEKButton(&screen);
        b->setGeometry(20, 10, 120, 40);
        b->SetCaptions(L"Cancel");
        b->SetFontHeights(18, true);
        b->SetEdgeWidths(2, true);
        b->SetEdgeStyles(kEdgeRaised, false, kEdgeSunken, kEdgeRaised, kEdgeFlat);
        b->SetCaptionShift(true, true);
        b->BuildSkin(&bg, 0, 0);
        Save(screen, "button_edges_normal");
        b->setDown(true);
        Save(screen, "button_edges_pushed");
        b->setDown(false);
        b->SetCorners(20, 20);
        b->SetBackgroundColors(Rgb(255, 220, 160), true);
        b->BuildSkin(&bg, 0, 0);
        Save(screen, "button_rounded");
        b->setEnabled(false);
        b->SetCorners(0, 0);
        b->BuildSkin(&bg, 0, 0);
        Save(screen, "button_edges_disabled");
    }
}

void Pictures() {
    // A small animation: a blue square walking over a white field.
    std::vector<GifFrameSpec> frames;
    for (int i = 0; i < 4; ++i) {
        GifFrameSpec f;
        f.left = 0;
        f.top = 0;
        f.width = 48;
        f.height = 24;
        f.pixels.assign(48 * 24, 0);
        for (int y = 6; y < 18; ++y) {
            for (int x = i * 12; x < i * 12 + 12; ++x) {
                f.pixels[size_t(y * 48 + x)] = 1;
            }
        }
        f.delay = 10;
        f.disposal = 2;
        frames.push_back(f);
    }
    auto gif = WriteGif(48, 24, {Rgb(255, 255, 255), Rgb(0, 0, 255)}, 0, frames);
    QWidget host;
    AnimatedPicture pic(&host);
    pic.LoadMemory(gif.data(), gif.size());
    pic.SetBackgroundColor(Rgb(255, 255, 255));
    pic.Start();
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 110) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        pic.BufferCopy().save(g_out.filePath(QStringLiteral("picture_frame%1.png").arg(i)), "PNG");
        ++g_written;
    }
    pic.Stop();
}

class NoScreen : public QWidget, public NavigationHandler {
  public:
    void OnNavigationKey(QWidget*, const char*, unsigned) override {}
};

void Fields() {
    NoScreen screen;
    screen.resize(320, 200);
    auto* edit = new NavEdit(&screen);
    edit->setGeometry(10, 10, 300, 28);
    edit->SetFont(QStringLiteral("Arial"), 16, 400);
    edit->SetText(L"12345");
    auto* list = new NavListBox(&screen);
    list->setGeometry(10, 48, 145, 140);
    list->SetOwnerDraw(true);
    list->SetFont(QStringLiteral("Arial"), 15, 400);
    list->addItems({QStringLiteral("English"), QStringLiteral("Français"),
                    QStringLiteral("Deutsch"), QStringLiteral("Español")});
    list->setCurrentRow(1);
    auto* combo = new NavComboBox(&screen);
    combo->setGeometry(165, 48, 145, 28);
    combo->SetOwnerDraw(true);
    combo->SetFont(QStringLiteral("Arial"), 15, 400);
    combo->addItems({QStringLiteral("Desktop"), QStringLiteral("Kiosk"), QStringLiteral("Tablet")});
    combo->SetVisibleItems(5);
    Save(screen, "fields");
}

}  // namespace

int main(int argc, char** argv) {
    InitLocale();
    if (argc != 2) {
        std::fprintf(stderr, "usage: controls_demo OUTDIR\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    g_out = QDir(QString::fromLocal8Bit(argv[1]));
    if (!g_out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 2;
    }
    QTemporaryDir tmp;
    if (!tmp.isValid()) {
        return 2;
    }
    Labels();
    Buttons(tmp.path());
    Pictures();
    Fields();
    std::printf("%d pictures written\n", g_written);
    return 0;
}
