// The picture layer: JPEG through libjpeg-turbo by extension; damaged, truncated and random input
// gives an empty picture and a message, never a crash.
#include "framework/Picture.h"
#include "framework/Artwork.h"
#include "tests/guikit/GuiTestKit.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <random>

namespace {

QByteArray artworkBytes(const QString& name)
{
    QFile file(ArtworkPath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray encodeJpeg(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setQuality(90);
    writer.write(image);
    return bytes;
}

} // namespace

TEST(Picture, decodes_our_artwork_and_chooses_the_decoder_by_extension)
{
    const QImage side = ArtworkImage(QStringLiteral("WizardSide.jpg"));
    ASSERT_FALSE(side.isNull());
    EXPECT_EQ(side.size(), QSize(164, 314));
    // The top of the side picture is the light sea blue, the bottom the deep blue.
    EXPECT_GT(qBlue(side.pixel(2, 2)), qRed(side.pixel(2, 2)));
    EXPECT_GT(qBlue(side.pixel(2, 2)), qBlue(side.pixel(2, 311)));
    EXPECT_FALSE(ArtworkImage(QStringLiteral("Vorland.png")).isNull());

    EXPECT_TRUE(IsJpegFileName(QStringLiteral("a/b.JPG")));
    EXPECT_TRUE(IsJpegFileName(QStringLiteral("b.jpeg")));
    EXPECT_FALSE(IsJpegFileName(QStringLiteral("b.png")));
    EXPECT_FALSE(IsJpegFileName(QStringLiteral("jpg")));
}

TEST(Picture, decodes_grayscale_and_keeps_colours)
{
    QImage gray(40, 30, QImage::Format_Grayscale8);
    gray.fill(200);
    const QImage decodedGray = DecodeJpeg(encodeJpeg(gray));
    ASSERT_FALSE(decodedGray.isNull());
    EXPECT_EQ(decodedGray.format(), QImage::Format_Grayscale8);
    EXPECT_NEAR(qGray(decodedGray.pixel(20, 15)), 200, 3);

    QImage red(32, 16, QImage::Format_RGB32);
    red.fill(QColor(220, 30, 40));
    const QImage decoded = DecodeJpeg(encodeJpeg(red));
    ASSERT_EQ(decoded.size(), QSize(32, 16));
    EXPECT_NEAR(qRed(decoded.pixel(10, 8)), 220, 6);
    EXPECT_NEAR(qGreen(decoded.pixel(10, 8)), 30, 6);
}

TEST(Picture, a_truncated_or_damaged_jpeg_gives_an_empty_picture_and_a_message)
{
    const QByteArray good = artworkBytes(QStringLiteral("AboutBanner.jpg"));
    ASSERT_GT(good.size(), 1000);
    QString message;
    EXPECT_TRUE(DecodeJpeg(good.left(good.size() / 2), &message).isNull());
    EXPECT_FALSE(message.isEmpty());

    message.clear();
    EXPECT_TRUE(DecodeJpeg(QByteArray("not a picture at all"), &message).isNull());
    EXPECT_FALSE(message.isEmpty());
    EXPECT_TRUE(DecodeJpeg(QByteArray(), &message).isNull());

    TTempFolder folder;
    const QString broken = folder.Write(QStringLiteral("broken.jpg"), good.left(300));
    message.clear();
    EXPECT_TRUE(LoadPicture(broken, &message).isNull());
    EXPECT_TRUE(message.contains(QStringLiteral("broken.jpg")));
    TQueuedPrompter prompter;
    EXPECT_TRUE(LoadPictureOrReport(broken).isNull());
    ASSERT_EQ(prompter.Errors.size(), 1u);
    EXPECT_TRUE(LoadPicture(folder.FilePath(QStringLiteral("missing.jpeg")), &message).isNull());
    EXPECT_TRUE(message.contains(QStringLiteral("missing.jpeg")));
}

TEST(Picture, a_header_announcing_a_huge_picture_is_refused_before_allocating)
{
    QByteArray bytes = artworkBytes(QStringLiteral("AboutBrand.jpg"));
    // The frame header (SOF0 or SOF2): height and width at offsets 5 and 7 from the marker.
    qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0) {
        sof = bytes.indexOf(QByteArray("\xFF\xC2", 2));
    }
    ASSERT_GT(sof, 0);
    bytes[sof + 5] = '\x7F';
    bytes[sof + 6] = '\xFF';
    bytes[sof + 7] = '\x7F';
    bytes[sof + 8] = '\xFF';
    QString message;
    EXPECT_TRUE(DecodeJpeg(bytes, &message).isNull());
    EXPECT_TRUE(message.contains(QStringLiteral("too large"))) << message.toStdString();
}

TEST(Picture, random_cuts_flips_and_noise_never_crash)
{
    const QByteArray good = artworkBytes(QStringLiteral("WizardSide.jpg"));
    std::mt19937 random(12345);
    int decoded = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray bytes = good;
        switch (round % 4) {
        case 0:
            bytes.truncate(static_cast<qsizetype>(random() % static_cast<unsigned>(good.size())));
            break;
        case 1:
            for (int i = 0; i < 8; ++i) {
                bytes[static_cast<qsizetype>(random() % static_cast<unsigned>(bytes.size()))] =
                    static_cast<char>(random());
            }
            break;
        case 2:
            bytes.resize(static_cast<qsizetype>(random() % 4096));
            for (auto& byte : bytes) {
                byte = static_cast<char>(random());
            }
            break;
        default:
            // Keep the header, scramble the scan data.
            for (qsizetype i = bytes.size() / 2; i < bytes.size(); i += 7) {
                bytes[i] = static_cast<char>(random());
            }
            break;
        }
        QString message;
        const QImage image = DecodeJpeg(bytes, &message);
        if (image.isNull()) {
            EXPECT_FALSE(message.isEmpty());
        } else {
            ++decoded;
        }
    }
    // Some bit flips land where they do no harm; the point is that every input came back.
    EXPECT_LT(decoded, 400);
}

TEST(Picture, decodes_every_shape_of_the_fuzz_seeds_at_the_size_their_names_give)
{
    // Grayscale, 4:4:4, 4:2:2 and 4:2:0 with odd sizes, restart markers, CMYK and YCCK with the
    // Adobe marker, progressive streams: names end in WIDTHxHEIGHT.jpg.
    const QDir seeds(qEnvironmentVariable("VORLAND_SOURCE_DIR") + QStringLiteral("/fuzz/corpus/picture"));
    const QRegularExpression sizeInName(QStringLiteral("-(\\d+)x(\\d+)\\.jpg$"));
    int checked = 0;
    for (const QString& name : seeds.entryList({QStringLiteral("*.jpg")}, QDir::Files)) {
        const QRegularExpressionMatch match = sizeInName.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        QString message;
        const QImage image = LoadPicture(seeds.filePath(name), &message);
        ASSERT_FALSE(image.isNull()) << name.toStdString() << ": " << message.toStdString();
        EXPECT_EQ(image.size(), QSize(match.captured(1).toInt(), match.captured(2).toInt())) << name.toStdString();
        const bool gray = name.startsWith(QStringLiteral("gray")) || name.contains(QStringLiteral("-gray"));
        EXPECT_EQ(image.format(), gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888) << name.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 8);
}

TEST(Picture, hostile_progressive_pictures_are_refused_before_they_cost_minutes_or_gigabytes)
{
    const QString seeds = qEnvironmentVariable("VORLAND_SOURCE_DIR") + QStringLiteral("/fuzz/corpus/picture/");
    // Valid, but 900 scans: each one is a walk over the whole picture.
    QString message;
    EXPECT_TRUE(LoadPicture(seeds + QStringLiteral("progressive-many-scans.jpg"), &message).isNull());
    EXPECT_TRUE(message.contains(QStringLiteral("Too many scans"))) << message.toStdString();

    // 6000 x 6000 is under the pixel limit, but a progressive CMYK picture of that size needs its
    // coefficients in memory (about 290 MB) before the first scan: refused without reading on.
    QFile file(seeds + QStringLiteral("progressive-cmyk-adobe-16x16.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC2", 2));
    ASSERT_GT(sof, 0);
    bytes[sof + 5] = '\x17'; // 0x1770 = 6000
    bytes[sof + 6] = '\x70';
    bytes[sof + 7] = '\x17';
    bytes[sof + 8] = '\x70';
    message.clear();
    EXPECT_TRUE(DecodeJpeg(bytes, &message).isNull());
    EXPECT_TRUE(message.contains(QStringLiteral("too much memory"))) << message.toStdString();
}
