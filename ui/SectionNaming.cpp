#include "ui/SectionNaming.h"

#include "batch/p_BatchList.h"
#include "core/vk_tools.h"

#include <QString>

bool SectionNameExists(const TpxBatchList& batch, const std::string& name, int skipIndex)
{
    const std::string_view trimmed = TrimBlanks(name);
    const QString wanted = QString::fromLocal8Bit(trimmed.data(), static_cast<qsizetype>(trimmed.size()));
    // The parameter section's name is always taken: a section of that name could not be stored.
    if (wanted.compare(QLatin1String(kParameterSectionName), Qt::CaseInsensitive) == 0)
        return true;
    for (int i = 0; i < batch.Count(); ++i) {
        if (i == skipIndex)
            continue;
        const std::string& stored = batch.Entries(i).Name;
        if (QString::fromLocal8Bit(stored).compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

std::string NumberedSectionName(const TpxBatchList& batch, const std::string& base, int index)
{
    std::string candidate = base;
    for (int n = 1; SectionNameExists(batch, candidate, index); ++n)
        candidate = base + " " + std::to_string(n);
    return candidate;
}
