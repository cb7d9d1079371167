#include "framework/WindowTools.h"

#include "framework/DialogProvider.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QUrl>

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<int, const char*>, 13> kShellErrors = {{
    {0, "The operating system is out of memory or resources."},
    {2, "The specified file was not found."},
    {3, "The specified path was not found."},
    {5, "The operating system denied access to the specified file."},
    {8, "There was not enough memory to complete the operation."},
    {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
    {26, "A sharing violation occurred."},
    {27, "The filename association is incomplete or invalid."},
    {28, "The DDE transaction could not be completed because the request timed out."},
    {29, "The DDE transaction failed."},
    {30, "The DDE transaction could not be completed because other DDE transactions were being processed."},
    {31, "There is no application associated with the given filename extension."},
    {32, "The specified dynamic-link library was not found."},
}};

constexpr int kFileNotFound = 2;
constexpr int kNoAssociation = kShellNoAssociation;

// Removes the first folder of a folder part ("/a/b/" to "/.../b/", "/.../b/" to "/.../").
QString cutFirstFolder(QString part, QChar separator)
{
    if (part == QString(separator)) {
        return {};
    }
    const QString ellipsis = QStringLiteral("...") + separator;
    const bool rooted = part.startsWith(separator);
    if (rooted) {
        part.remove(0, 1);
    }
    if (part.startsWith(ellipsis)) {
        part.remove(0, ellipsis.size());
    }
    const qsizetype next = part.indexOf(separator);
    part = next < 0 ? QString() : ellipsis + part.mid(next + 1);
    return rooted ? separator + part : part;
}

} // namespace

EShellError::EShellError(int code) : EVorlandError(ShellErrorText(code).toStdString()), m_code(code) {}

QString ShellErrorText(int code)
{
    for (const auto& [number, text] : kShellErrors) {
        if (number == code) {
            return QString::fromLatin1(text);
        }
    }
    return {};
}

void OpenDocument(const QString& target)
{
    QUrl url(target);
    const bool address = url.scheme().size() > 1 && !url.isLocalFile();
    if (!address) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : target;
        if (!QFileInfo::exists(path)) {
            throw EShellError(kFileNotFound);
        }
        url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    }
    if (!AppDialogs().OpenUrl(url)) {
        throw EShellError(kNoAssociation);
    }
}

QString ShortenPath(const QString& path, const QFontMetrics& metrics, int maxWidth)
{
    QString drive;
    QString rest = path;
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':')) {
        drive = path.left(2);
        rest = path.mid(2);
    }
    const QChar separator = drive.isEmpty() ? QLatin1Char('/') : QLatin1Char('\\');
    const qsizetype lastSeparator = rest.lastIndexOf(separator);
    QString folders = rest.left(lastSeparator + 1);
    const QString name = rest.mid(lastSeparator + 1);
    const QString bareEllipsis = QStringLiteral("...") + separator;
    const QString rootedEllipsis = separator + bareEllipsis;

    QString result = path;
    while ((!drive.isEmpty() || !folders.isEmpty()) && metrics.horizontalAdvance(result) > maxWidth) {
        if (folders == rootedEllipsis) {
            drive.clear();
            folders = bareEllipsis;
        } else if (!folders.isEmpty()) {
            folders = cutFirstFolder(folders, separator);
        } else {
            drive.clear();
        }
        result = drive + folders + name;
    }
    return result;
}

bool BrowseForFolder(const QString& title, const QString& root, QString& folder)
{
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        folder.clear();
    }
    QString chosen = !folder.isEmpty() ? folder : root;
    QWidget* parent = QApplication::activeWindow();
    if (!AppDialogs().ExistingFolder(parent, title, chosen)) {
        return false;
    }
    folder = chosen;
    return true;
}
