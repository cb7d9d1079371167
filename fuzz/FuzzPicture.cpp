// Fuzz target of the picture layer's JPEG decoder (libjpeg-turbo behind a setjmp/longjmp wrapper).
// Whatever the bytes, the decoder comes back: either an empty image with a reason, or a picture of
// a sane size and one of the two formats it promises, every row of which can be read.

#include "FuzzCheck.h"
#include "framework/Picture.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The bytes are copied so the decoder reads exactly `size` of them, as from a file.
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString message;
    const QImage image = DecodeJpeg(bytes, &message);
    if (image.isNull()) {
        check(!message.isEmpty());
        return 0;
    }
    check(image.width() > 0 && image.height() > 0);
    check(static_cast<qint64>(image.width()) * image.height() <= kMaxPicturePixels);
    check(image.format() == QImage::Format_RGB888 || image.format() == QImage::Format_Grayscale8);
    // Every row is there, first to last byte (AddressSanitizer checks the reads).
    const qsizetype rowBytes = image.format() == QImage::Format_RGB888 ? image.width() * 3LL : image.width();
    unsigned sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        sum += line[0] + line[rowBytes - 1];
    }
    check(sum <= 2u * 255u * static_cast<unsigned>(image.height()));
    return 0;
}
