// Draws the section wizard's side picture (125 x 193 pixels) and writes it as JPEG. Our own
// artwork; rebuild it with:
//   g++ -std=c++20 -fPIC make_wizard_picture.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/mkpic
//   QT_QPA_PLATFORM=offscreen /tmp/mkpic wizard.jpg
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QImage image(125, 193, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 193);
    sky.setColorAt(0, QColor(18, 92, 112));
    sky.setColorAt(1, QColor(190, 226, 222));
    painter.fillRect(image.rect(), sky);
    // A folder.
    painter.setPen(QPen(QColor(90, 60, 10), 2));
    painter.setBrush(QColor(240, 196, 82));
    painter.drawRect(18, 40, 56, 40);
    painter.drawRect(18, 32, 22, 10);
    // Pages leaving it along an arc.
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    for (int i = 0; i < 3; ++i)
        painter.drawRect(52 + i * 12, 70 + i * 18, 16, 20);
    // An archive box with a zip band.
    painter.setPen(QPen(QColor(30, 40, 60), 2));
    painter.setBrush(QColor(70, 110, 170));
    painter.drawRect(50, 128, 56, 42);
    painter.setBrush(QColor(220, 220, 230));
    painter.drawRect(74, 128, 8, 42);
    for (int y = 132; y < 168; y += 6)
        painter.drawLine(74, y, 82, y);
    // An arrow from the folder to the box.
    QPainterPath arrow;
    arrow.moveTo(30, 86);
    arrow.quadTo(28, 140, 44, 148);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255), 3));
    painter.drawPath(arrow);
    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygon({QPoint(46, 149), QPoint(36, 143), QPoint(38, 155)}));
    painter.end();
    return image.save(QString::fromLocal8Bit(argc > 1 ? argv[1] : "wizard.jpg"), "JPEG", 90) ? 0 : 1;
}
