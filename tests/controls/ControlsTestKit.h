#pragma once
// Helpers of the control tests: one QApplication for the whole test program with a fixed font,
// rendering a widget into an image at a device pixel ratio, and reading the pixels back in the
// widget's own (logical) coordinates.

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QWidget>

#include <functional>

namespace controls_test {

// Renders w (and its children) over a background of the given colour, at the given device pixel
// ratio. The widget's own background is painted only if the widget paints it.
QImage Render(QWidget* w, qreal dpr = 1.0, const QColor& background = QColor(255, 0, 255));

// The colour of the logical pixel (x, y): the device pixel at its top-left corner.
QColor Pixel(const QImage& image, int x, int y);

// The smallest rectangle, in device pixels, holding every pixel that satisfies the test; empty
// when none does.
QRect DeviceBounds(const QImage& image, const std::function<bool(const QColor&)>& test);

// True when a and b differ by at most tolerance on every channel.
bool Near(const QColor& a, const QColor& b, int tolerance = 0);

// A palette whose colours are easy to tell apart in pictures: window white, text black, button
// face light gray, light (highlight of frames) pure green, dark (shadow) pure red, highlight
// (selection) pure blue.
QPalette TestPalette();

} // namespace controls_test
