#include "ui/FilePickers.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {

class TPlatformPickers : public IFilePicker
{
public:
    bool BrowseForFolder(QWidget* parent, const QString& start, QString& picked) override
    {
        const QString folder = QFileDialog::getExistingDirectory(parent, QString(), start);
        if (folder.isEmpty())
            return false;
        picked = folder;
        return true;
    }

    bool OpenFile(QWidget* parent, const TFileDialogSpec& spec, QString& picked) override
    {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(spec.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setNameFilters(QtNameFilters(spec.filter).split(QStringLiteral(";;")));
        dialog.setDefaultSuffix(spec.defaultSuffix);
        if (!spec.folder.isEmpty())
            dialog.setDirectory(spec.folder);
        if (!spec.fileName.isEmpty())
            dialog.selectFile(spec.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        picked = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
        return true;
    }
};

IFilePicker* g_picker = nullptr;

} // namespace

IFilePicker& FilePicker()
{
    static TPlatformPickers platform;
    return g_picker != nullptr ? *g_picker : platform;
}

void SetFilePicker(IFilePicker* picker)
{
    g_picker = picker;
}

QString QtNameFilters(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        if (const qsizetype open = description.indexOf(QLatin1Char('(')); open > 0)
            description = description.left(open).trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        filters.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash == 0 ? 1 : slash);
}
