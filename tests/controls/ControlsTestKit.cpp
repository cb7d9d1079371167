#include "ControlsTestKit.h"

#include <QApplication>
#include <QFont>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace controls_test {

QImage Render(QWidget* w, qreal dpr, const QColor& background)
{
    w->ensurePolished();
    QImage image(w->size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(background);
    w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QColor Pixel(const QImage& image, int x, int y)
{
    const qreal dpr = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
}

QRect DeviceBounds(const QImage& image, const std::function<bool(const QColor&)>& test)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (test(image.pixelColor(x, y)))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

bool Near(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QPalette TestPalette()
{
    QPalette pal;
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    pal.setColor(QPalette::Text, Qt::black);
    pal.setColor(QPalette::ButtonText, Qt::black);
    pal.setColor(QPalette::Button, QColor(200, 200, 200));
    pal.setColor(QPalette::Light, QColor(0, 255, 0));
    pal.setColor(QPalette::Dark, QColor(255, 0, 0));
    pal.setColor(QPalette::Highlight, QColor(0, 0, 255));
    return pal;
}

} // namespace controls_test

// One application for every test; the font is fixed so that measures are the same everywhere.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    return RUN_ALL_TESTS();
}
