#pragma once
// The picture layer: JPEG pictures are decoded by libjpeg-turbo, chosen by the file extensions "jpg"
// and "jpeg" (any letter case); other pictures (PNG, SVG, ...) by Qt's own readers. A damaged or
// truncated picture gives an empty image and a message naming the file and the cause; nothing a file
// holds can crash the decoder, make it allocate beyond kMaxPicturePixels (and a bounded working
// memory), or keep it busy with thousands of progressive scans.

#include <QByteArray>
#include <QImage>
#include <QString>

// The largest picture decoded (about 64 megapixels): the program's pictures are small, and a
// damaged header must not make the decoder allocate gigabytes.
inline constexpr qint64 kMaxPicturePixels = 64LL * 1024 * 1024;

// Decodes JPEG bytes into an RGB or grayscale image. Damage of any kind (a bad marker, a truncated
// stream, a warning of corrupt data, an absurd size) gives an empty image and the reason in `message`.
QImage DecodeJpeg(const QByteArray& bytes, QString* message = nullptr);

// True when the extension of a file name selects the JPEG decoder.
bool IsJpegFileName(const QString& fileName);

// Loads a picture file (also ":/" resources). On failure: an empty image and `message` filled.
QImage LoadPicture(const QString& fileName, QString* message = nullptr);

// As LoadPicture, and a failure is also shown to the user (the installed prompter's error message).
QImage LoadPictureOrReport(const QString& fileName);
