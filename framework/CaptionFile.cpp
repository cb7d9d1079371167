#include "framework/CaptionFile.h"

#include "framework/core/CoreErrors.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <array>
#include <cerrno>

namespace {

// Windows-1252 characters 0x80 to 0x9F; the rest of the code page is Latin-1. Undefined bytes
// become themselves, as the platform's converter does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeCp1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        text.append(c >= 0x80 && c < 0xA0 ? QChar(kCp1252High[c - 0x80]) : QChar(c));
    }
    return text;
}

} // namespace

QString DecodeLanguageText(const QByteArray& bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF")) {
        data.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError()) {
        return text;
    }
    return decodeCp1252(data);
}

bool ReadTextLines(const QString& fileName, QStringList& lines)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QString text = DecodeLanguageText(file.readAll());
    lines.clear();
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(text.mid(start, i - start));
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.append(text.mid(start));
    }
    return true;
}

void TCaptionTable::Clear()
{
    m_values.clear();
}

bool TCaptionTable::LoadFromFile(const QString& fileName)
{
    QStringList lines;
    if (!ReadTextLines(fileName, lines)) {
        return false;
    }
    SetLines(lines);
    return true;
}

void TCaptionTable::SetLines(const QStringList& lines)
{
    m_values.clear();
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            continue;
        }
        const QString name = line.left(equals).toLower();
        if (!m_values.contains(name)) {
            m_values.insert(name, line.mid(equals + 1));
        }
    }
}

QString TCaptionTable::Value(const QString& name) const
{
    return m_values.value(name.toLower());
}

void WriteTextLines(const QString& fileName, const QStringList& lines)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        throw EInOutError(fileName.toStdString(), errno, "Cannot create");
    }
    for (const QString& line : lines) {
        const QByteArray bytes = line.toUtf8() + "\r\n";
        if (file.write(bytes) != bytes.size()) {
            const int error = errno;
            file.cancelWriting();
            throw EInOutError(fileName.toStdString(), error, "Cannot write");
        }
    }
    if (!file.commit()) {
        throw EInOutError(fileName.toStdString(), errno, "Cannot write");
    }
}
