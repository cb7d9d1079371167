#include "ui/MaskListDialog.h"

#include "batch/vk_textline.h"
#include "core/AppStrings.h"

#include <vector>

QStringList MaskListEntries(const std::string& text, bool complete)
{
    std::vector<std::string> masks;
    BuildMaskList(text, masks, complete);
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(masks.size()));
    for (const std::string& mask : masks)
        entries.append(QString::fromStdString(mask));
    return entries;
}

std::string MaskListText(const QStringList& entries)
{
    std::vector<std::string> masks;
    masks.reserve(static_cast<std::size_t>(entries.size()));
    for (const QString& entry : entries) {
        if (!entry.isEmpty())
            masks.push_back(entry.toStdString());
    }
    return JoinMaskList(masks);
}

bool EditMaskList(QWidget* parent, bool exclude, const TListProvider& provider, std::string& text)
{
    QStringList entries = MaskListEntries(text, exclude);
    const QString title = QString::fromStdString(AppString(exclude ? sExcludeFiles : sAddFiles));
    if (!EditList(title, entries, provider, parent))
        return false;
    text = MaskListText(entries);
    return true;
}
