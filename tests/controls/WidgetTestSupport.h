#pragma once
// Small helpers of the widget tests: pixels of a grabbed widget, solid test pictures, raw mouse
// events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdlib>

#include "controls/ControlsLogic.h"
#include "controls/QtSupport.h"

namespace widgettest {

using namespace controls;

inline uint32_t Px(const QImage& image, int x, int y) {
    return FromQColor(image.pixelColor(x, y));
}

inline bool Near(uint32_t a, uint32_t b, int tolerance = 3) {
    return std::abs(int(RedOf(a)) - int(RedOf(b))) <= tolerance &&
           std::abs(int(GreenOf(a)) - int(GreenOf(b))) <= tolerance &&
           std::abs(int(BlueOf(a)) - int(BlueOf(b))) <= tolerance;
}

inline QImage Grab(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QString SolidPicture(const QTemporaryDir& dir, const char* name, QColor colour, int w,
                            int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QString path = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(image.save(path, "BMP"));
    return path;
}

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

const uint32_t kRed = Rgb(255, 0, 0);
const uint32_t kBlue = Rgb(0, 0, 255);
const uint32_t kGreen = Rgb(0, 255, 0);

}  // namespace widgettest
