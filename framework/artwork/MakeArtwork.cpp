// Draws the program's own pictures and writes them into this folder (run it after changing a
// picture, then commit the results):
//   Vorland.png       application icon, 256 x 256 (Vorland.svg is the same drawing as vector text)
//   icons/vorland-N.png  the icon at the sizes of the desktop's icon theme (window, menu entry)
//   AboutBrand.jpg    brand picture at the top right of the about box
//   AboutBanner.jpg   banner along the bottom of the about box
//   WizardSide.jpg    side picture of the section wizard
//   MenuBar.png       picture at the foot of the context menu's side bar
// Usage: vorland_make_artwork [FOLDER]   (default: the current folder)
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

const QColor kDeep(0x1d, 0x3f, 0x6e);
const QColor kSea(0x2f, 0x7d, 0xb3);
const QColor kFoam(0xe8, 0xf1, 0xf8);
const QColor kSand(0xf2, 0xc1, 0x4e);

// The emblem: a rounded square of deep blue with a folder-like box and a zip tooth line, a golden
// arrow into the box. Drawn in a 256-unit square.
void drawEmblem(QPainter& p, const QRectF& box)
{
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 256.0, box.height() / 256.0);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 0, 256);
    back.setColorAt(0, kSea);
    back.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    // The box.
    p.setBrush(kFoam);
    p.drawRoundedRect(QRectF(48, 112, 160, 100), 12, 12);
    p.setBrush(kFoam.darker(115));
    p.drawRect(QRectF(48, 112, 160, 16));
    // Zip teeth down the middle of the box.
    p.setBrush(kDeep);
    for (int i = 0; i < 5; ++i) {
        const qreal y = 134 + i * 15;
        p.drawRect(QRectF(i % 2 == 0 ? 120 : 128, y, 8, 9));
    }
    // The arrow into the box.
    QPainterPath arrow;
    arrow.moveTo(128, 104);
    arrow.lineTo(92, 64);
    arrow.lineTo(114, 64);
    arrow.lineTo(114, 28);
    arrow.lineTo(142, 28);
    arrow.lineTo(142, 64);
    arrow.lineTo(164, 64);
    arrow.closeSubpath();
    p.setBrush(kSand);
    p.drawPath(arrow);
    p.restore();
}

// Gentle waves across a rectangle, for the banners.
void drawWaves(QPainter& p, const QRectF& area, int count)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < count; ++i) {
        QPainterPath wave;
        const qreal base = area.top() + area.height() * (0.35 + 0.2 * i);
        wave.moveTo(area.left(), base);
        for (qreal x = area.left(); x <= area.right(); x += area.width() / 8) {
            wave.quadTo(x + area.width() / 32, base - area.height() * 0.12, x + area.width() / 16, base);
            wave.quadTo(x + 3 * area.width() / 32, base + area.height() * 0.12, x + area.width() / 8, base);
        }
        QColor colour = kFoam;
        colour.setAlpha(90 - i * 25);
        p.setPen(QPen(colour, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
    }
    p.restore();
}

// Sizes of the icon theme's fixed-size folders (hicolor/NxN/apps).
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QImage iconAt(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    drawEmblem(p, QRectF(0, 0, size, size));
    return image;
}

bool save(const QImage& image, const QString& path, const char* format, int quality = -1)
{
    if (!image.save(path, format, quality)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QImage brand()
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter p(&image);
    drawEmblem(p, QRectF(4, 4, 56, 56));
    return image;
}

QImage banner()
{
    QImage image(400, 36, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient back(0, 0, 400, 0);
    back.setColorAt(0, kDeep);
    back.setColorAt(1, kSea);
    p.fillRect(image.rect(), back);
    drawWaves(p, QRectF(0, 0, 400, 36), 2);
    return image;
}

QImage wizardSide()
{
    QImage image(164, 314, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient back(0, 0, 0, 314);
    back.setColorAt(0, kSea);
    back.setColorAt(1, kDeep);
    p.fillRect(image.rect(), back);
    drawWaves(p, QRectF(0, 200, 164, 114), 3);
    drawEmblem(p, QRectF(34, 40, 96, 96));
    return image;
}

QImage menuBar()
{
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    drawEmblem(p, QRectF(0, 0, 24, 24));
    return image;
}

const char* const kSvg = R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 256 256" width="256" height="256">
  <defs>
    <linearGradient id="back" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#2f7db3"/>
      <stop offset="1" stop-color="#1d3f6e"/>
    </linearGradient>
  </defs>
  <rect x="8" y="8" width="240" height="240" rx="44" fill="url(#back)"/>
  <rect x="48" y="112" width="160" height="100" rx="12" fill="#e8f1f8"/>
  <rect x="48" y="112" width="160" height="16" fill="#c9d1d7"/>
  <g fill="#1d3f6e">
    <rect x="120" y="134" width="8" height="9"/><rect x="128" y="149" width="8" height="9"/>
    <rect x="120" y="164" width="8" height="9"/><rect x="128" y="179" width="8" height="9"/>
    <rect x="120" y="194" width="8" height="9"/>
  </g>
  <path d="M128 104 L92 64 L114 64 L114 28 L142 28 L142 64 L164 64 Z" fill="#f2c14e"/>
</svg>
)svg";

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    bool ok = save(iconAt(256), folder.filePath(QStringLiteral("Vorland.png")), "PNG");
    ok = save(brand(), folder.filePath(QStringLiteral("AboutBrand.jpg")), "JPEG", 92) && ok;
    ok = save(banner(), folder.filePath(QStringLiteral("AboutBanner.jpg")), "JPEG", 92) && ok;
    ok = save(wizardSide(), folder.filePath(QStringLiteral("WizardSide.jpg")), "JPEG", 92) && ok;
    ok = save(menuBar(), folder.filePath(QStringLiteral("MenuBar.png")), "PNG") && ok;
    folder.mkpath(QStringLiteral("icons"));
    for (const int size : kIconSizes) {
        ok = save(iconAt(size), folder.filePath(QStringLiteral("icons/vorland-%1.png").arg(size)), "PNG") && ok;
    }
    QFile svg(folder.filePath(QStringLiteral("Vorland.svg")));
    ok = svg.open(QIODevice::WriteOnly) && svg.write(kSvg) > 0 && ok;
    return ok ? 0 : 1;
}
