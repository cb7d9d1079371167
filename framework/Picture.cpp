#include "framework/Picture.h"

#include "core/Questions.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

#include <jerror.h> // after jpeglib.h, which it needs

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to the
// decoder's entry with the message kept. Only plain data lives between setjmp and longjmp.
struct JpegErrors
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// libjpeg's own working memory (above all the coefficients of a progressive picture, two bytes a
// sample for the whole picture), apart from the decoded image. Past it libjpeg asks for a backing
// store it does not have and fails.
constexpr long kMaxJpegWorkingMemory = 128L * 1024 * 1024;

[[noreturn]] void onJpegError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (info->err->msg_code == JERR_NO_BACKING_STORE) {
        std::snprintf(errors->message, sizeof errors->message, "Picture needs too much memory to decode");
    } else {
        (*info->err->format_message)(info, errors->message);
    }
    std::longjmp(errors->jump, 1);
}

// Warnings (corrupt data, a premature end of the stream) count as damage: libjpeg would otherwise
// return a picture padded with gray. Trace messages are ignored.
void onJpegMessage(j_common_ptr info, int level)
{
    if (level >= 0) {
        return;
    }
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Progressive pictures hold several scans, each of which the decoder walks over the whole picture;
// real encoders write about ten. A few kilobytes of scan headers must not keep the program busy for
// minutes, so a picture with more scans than this is refused as damaged.
constexpr int kMaxJpegScans = 100;

void onJpegProgress(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxJpegScans) {
        auto* errors = reinterpret_cast<JpegErrors*>(info->err);
        std::snprintf(errors->message, sizeof errors->message, "Too many scans in a progressive picture (over %d)",
                      kMaxJpegScans);
        std::longjmp(errors->jump, 1);
    }
}

void setMessage(QString* message, const QString& text)
{
    if (message != nullptr) {
        *message = text;
    }
}

// Adobe's CMYK JPEGs store inverted values; both kinds become RGB.
void cmykToRgb(const JSAMPLE* in, uchar* out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        int c = in[4 * x], m = in[4 * x + 1], y = in[4 * x + 2], k = in[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[3 * x] = static_cast<uchar>(c * k / 255);
        out[3 * x + 1] = static_cast<uchar>(m * k / 255);
        out[3 * x + 2] = static_cast<uchar>(y * k / 255);
    }
}

// The decoding proper. `image` and `row` are the caller's, so the jump skips no destructor.
bool decode(const QByteArray& bytes, QImage& image, QByteArray& row, JpegErrors& errors)
{
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = onJpegError;
    errors.manager.emit_message = onJpegMessage;
    errors.message[0] = '\0';
    jpeg_progress_mgr progress{};
    progress.progress_monitor = onJpegProgress;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    info.mem->max_memory_to_use = kMaxJpegWorkingMemory;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool gray = info.jpeg_color_space == JCS_GRAYSCALE;
    info.out_color_space = cmyk ? JCS_CMYK : gray ? JCS_GRAYSCALE : JCS_RGB;
    if (static_cast<qint64>(info.image_width) * info.image_height > kMaxPicturePixels) {
        std::snprintf(errors.message, sizeof errors.message, "Picture too large (%u x %u)", info.image_width,
                      info.image_height);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (image.isNull()) {
        std::snprintf(errors.message, sizeof errors.message, "Not enough memory for the picture");
        jpeg_destroy_decompress(&info);
        return false;
    }
    if (cmyk) {
        row.resize(static_cast<qsizetype>(info.output_width) * 4);
    }
    const bool inverted = info.saw_Adobe_marker != 0;
    while (info.output_scanline < info.output_height) {
        uchar* line = image.scanLine(static_cast<int>(info.output_scanline));
        JSAMPROW target = cmyk ? reinterpret_cast<JSAMPROW>(row.data()) : line;
        jpeg_read_scanlines(&info, &target, 1);
        if (cmyk) {
            cmykToRgb(reinterpret_cast<const JSAMPLE*>(row.constData()), line, info.output_width, inverted);
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray& bytes, QString* message)
{
    QImage image;
    QByteArray row;
    JpegErrors errors{};
    if (bytes.isEmpty()) {
        setMessage(message, QStringLiteral("Empty JPEG file"));
        return {};
    }
    if (!decode(bytes, image, row, errors)) {
        setMessage(message, QString::fromLocal8Bit(errors.message));
        return {};
    }
    return image;
}

bool IsJpegFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QLatin1String("jpeg"), Qt::CaseInsensitive) == 0;
}

QImage LoadPicture(const QString& fileName, QString* message)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        setMessage(message, QStringLiteral("Cannot open the picture \"%1\": %2").arg(fileName, file.errorString()));
        return {};
    }
    if (IsJpegFileName(fileName)) {
        // Pictures are small: a file beyond this is not one of ours and is not read into memory.
        constexpr qint64 kMaxJpegBytes = 64LL * 1024 * 1024;
        if (file.size() > kMaxJpegBytes) {
            setMessage(message, QStringLiteral("The picture \"%1\" is too large").arg(fileName));
            return {};
        }
        QString reason;
        QImage image = DecodeJpeg(file.readAll(), &reason);
        if (image.isNull()) {
            setMessage(message, QStringLiteral("The picture \"%1\" is damaged: %2").arg(fileName, reason));
        }
        return image;
    }
    QImageReader reader(&file);
    reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)));
    QImage image = reader.read();
    if (image.isNull()) {
        setMessage(message, QStringLiteral("The picture \"%1\" is damaged: %2").arg(fileName, reader.errorString()));
    }
    return image;
}

QImage LoadPictureOrReport(const QString& fileName)
{
    QString message;
    QImage image = LoadPicture(fileName, &message);
    if (image.isNull()) {
        if (IPrompter* prompter = AppPrompter()) {
            prompter->ShowMessage(message.toStdString(), true);
        }
    }
    return image;
}
