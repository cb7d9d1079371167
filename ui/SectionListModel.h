#pragma once
// The section list's items: one row per section of the batch list, in batch order, captioned with
// the section's name. The model reads the batch list directly, so the list and the batch cannot
// drift apart; a caption change is a name change.

#include <QAbstractListModel>
#include <QIcon>

#include <functional>
#include <memory>
#include <string>

class TBatchEntry;
class TpxBatchList;

class TSectionListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // Decides whether an in-place edit of a row's caption may be stored (lbBatchListEdited).
    using TEditCheck = std::function<bool(int row, const QString& caption)>;

    TSectionListModel(TpxBatchList& batch, QObject* parent = nullptr);

    void SetEditCheck(TEditCheck check) { m_editCheck = std::move(check); }
    void SetIcon(const QIcon& icon) { m_icon = icon; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Sets a row's caption from code (no edit check); the section takes it as its name.
    void SetCaption(int row, const std::string& caption);
    // The batch list changed behind the model's back (loaded, refreshed): rebuild every row.
    void Rebuild();
    // Appends the section to the batch list (which owns it) with its row; returns the row.
    int AppendSection(std::unique_ptr<TBatchEntry> section);
    // Removes and frees the section at the row, with its row.
    void DeleteSection(int row);
    // The column caption of the report view.
    void SetColumnCaption(const QString& caption);

signals:
    // A row's caption changed (and with it the section's name): lbBatchListChange.
    void CaptionChanged(int row);

private:
    TpxBatchList& m_batch;
    TEditCheck m_editCheck;
    QIcon m_icon;
    QString m_columnCaption;
};
