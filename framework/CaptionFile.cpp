#include "framework/CaptionFile.h"

#include "core/CaptionText.h"
#include "core/CoreErrors.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>

namespace {

std::string decodedBytes(const QByteArray& bytes)
{
    return DecodeCaptionBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

} // namespace

QString DecodeLanguageText(const QByteArray& bytes)
{
    return QString::fromStdString(decodedBytes(bytes));
}

bool ReadTextLines(const QString& fileName, QStringList& lines)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    lines.clear();
    for (const std::string& line : SplitCaptionLines(decodedBytes(file.readAll()))) {
        lines.append(QString::fromStdString(line));
    }
    return true;
}

void TCaptionTable::Clear()
{
    m_entries.Clear();
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
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(lines.size()));
    for (const QString& line : lines) {
        texts.push_back(line.toStdString());
    }
    m_entries.SetLines(texts);
}

QString TCaptionTable::Value(const QString& name) const
{
    return QString::fromStdString(m_entries.Value(name.toStdString()));
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
