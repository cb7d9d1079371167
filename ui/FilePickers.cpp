#include "ui/FilePickers.h"

#include "framework/DialogProvider.h"

#include <QFileInfo>
#include <QStringList>

namespace {

// The platform's dialogs, through the one dialog seam of the windows.
class TPlatformPickers : public IFilePicker
{
public:
    bool BrowseForFolder(QWidget* parent, const QString& start, QString& picked) override
    {
        QString folder = start;
        if (!AppDialogs().ExistingFolder(parent, QString(), folder) || folder.isEmpty())
            return false;
        picked = folder;
        return true;
    }

    bool OpenFile(QWidget* parent, const TFileDialogSpec& spec, QString& picked) override
    {
        QString name = spec.fileName;
        if (!spec.folder.isEmpty())
            name = spec.folder + QLatin1Char('/') + QFileInfo(spec.fileName).fileName();
        const QString filter = DialogFilter(spec.filter);
        // A file that need not exist yet (an archive to be made) is asked like a file to save to,
        // without a question about replacing it.
        const bool chosen = spec.mustExist ? AppDialogs().OpenFileName(parent, QString(), filter, name)
                                           : AppDialogs().SaveFileName(parent, QString(), filter, name);
        if (!chosen || name.isEmpty())
            return false;
        if (!spec.defaultSuffix.isEmpty() && QFileInfo(name).suffix().isEmpty())
            name += QLatin1Char('.') + spec.defaultSuffix;
        picked = QFileInfo(name).absoluteFilePath();
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

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash == 0 ? 1 : slash);
}
