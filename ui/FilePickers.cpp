#include "ui/FilePickers.h"

#include "framework/DialogProvider.h"

#include <QFileInfo>
#include <QStringList>

bool BrowseForFolder(QWidget* parent, const QString& start, QString& picked)
{
    QString folder = start;
    if (!AppDialogs().ExistingFolder(parent, QString(), folder) || folder.isEmpty())
        return false;
    picked = folder;
    return true;
}

bool PickFile(QWidget* parent, const TFileDialogSpec& spec, QString& picked)
{
    QString name = spec.fileName;
    if (!spec.folder.isEmpty())
        name = spec.folder + QLatin1Char('/') + QFileInfo(spec.fileName).fileName();
    const QString filter = DialogFilter(spec.filter);
    const bool chosen = spec.mustExist ? AppDialogs().OpenFileName(parent, QString(), filter, name)
                                       : AppDialogs().SaveFileName(parent, QString(), filter, name);
    if (!chosen || name.isEmpty())
        return false;
    if (!spec.defaultSuffix.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QLatin1Char('.') + spec.defaultSuffix;
    picked = QFileInfo(name).absoluteFilePath();
    return true;
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash == 0 ? 1 : slash);
}
