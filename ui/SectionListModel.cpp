#include "ui/SectionListModel.h"

#include "batch/p_BatchList.h"

TSectionListModel::TSectionListModel(TpxBatchList& batch, QObject* parent) : QAbstractListModel(parent), m_batch(batch)
{
}

int TSectionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_batch.Count();
}

QVariant TSectionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_batch.Count())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
        return QString::fromStdString(m_batch.Entries(index.row()).Name);
    case Qt::DecorationRole:
        return m_icon;
    default:
        return {};
    }
}

bool TSectionListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_batch.Count())
        return false;
    const QString caption = value.toString();
    if (caption == QString::fromStdString(m_batch.Entries(index.row()).Name))
        return false;
    if (m_editCheck && !m_editCheck(index.row(), caption))
        return false;
    SetCaption(index.row(), caption.toStdString());
    return true;
}

Qt::ItemFlags TSectionListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

QVariant TSectionListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_columnCaption;
    return {};
}

void TSectionListModel::SetCaption(int row, const std::string& caption)
{
    if (row < 0 || row >= m_batch.Count())
        return;
    m_batch.Entries(row).Name = caption;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
    emit CaptionChanged(row);
}

void TSectionListModel::Rebuild()
{
    beginResetModel();
    endResetModel();
}

int TSectionListModel::AppendSection(std::unique_ptr<TBatchEntry> section)
{
    const int row = m_batch.Count();
    beginInsertRows({}, row, row);
    m_batch.AddEntry(std::move(section));
    endInsertRows();
    return row;
}

void TSectionListModel::DeleteSection(int row)
{
    if (row < 0 || row >= m_batch.Count())
        return;
    beginRemoveRows({}, row, row);
    m_batch.DeleteEntry(row);
    endRemoveRows();
}

void TSectionListModel::SetColumnCaption(const QString& caption)
{
    m_columnCaption = caption;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}
