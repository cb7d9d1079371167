#pragma once
// The property pane `PnProperties`: the selected section's fields, each edit stored into the
// section at once (texts trimmed; the control keeps what was typed). While the pane is being
// filled (`FUpdating`), or when no section is selected, edits are not stored anywhere.

#include "ui/ExtensionProposals.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class TvkButton;
class TpxBatchList;
class TSectionListModel;

class TSectionPropertyPane : public QWidget
{
    Q_OBJECT
public:
    // `selected` answers the selected row (-1 for none).
    TSectionPropertyPane(TpxBatchList& batch, TSectionListModel& model, std::function<int()> selected,
                         QWidget* parent = nullptr);

    // Fills the controls from the selected section, or blanks them (lbBatchListClick).
    void Fill();
    // The zip-name label and "Store with pathname" follow "Compress archive".
    void UpdateZipNameCaption();
    // The extension patterns of the selected section's folder, gathered once per selection.
    void FillExtensionList(QStringList& list);
    bool Updating() const { return FUpdating; }
    // True while edNameChange stores the typed name (the field keeps the text as typed).
    bool StoringName() const { return m_storingName; }

    void edNameChange();
    void edDirChange();
    void cbSaveToZipClick();
    void EdZipNameChange();
    void edSuffixChange();
    void edIgnoreChange();
    void cbRecurseClick();
    void cbDirNameClick();
    void _sbDirectoryClick();
    void _sbZipNameClick();
    void _sbAddFilesClick();
    void _sbExcludeClick();

    QLabel* lbName = nullptr;
    QLineEdit* edName = nullptr;
    QLabel* lbDirName = nullptr;
    QLineEdit* edDir = nullptr;
    TvkButton* _sbDirectory = nullptr;
    QCheckBox* cbSaveToZip = nullptr;
    QLabel* _lbZipName = nullptr;
    QLineEdit* EdZipName = nullptr;
    TvkButton* _sbZipName = nullptr;
    QLabel* lbSuffix = nullptr;
    QLineEdit* edSuffix = nullptr;
    TvkButton* _sbAddFiles = nullptr;
    QLabel* lbExclude = nullptr;
    QLineEdit* edIgnore = nullptr;
    TvkButton* _sbExclude = nullptr;
    QCheckBox* cbRecurse = nullptr;
    QCheckBox* cbDirName = nullptr;

private:
    // The selected row when edits may be stored, else -1.
    int EditableRow() const;

    TpxBatchList& m_batch;
    TSectionListModel& m_model;
    std::function<int()> m_selected;
    bool FUpdating = false;
    bool m_storingName = false;
    TExtensionList m_extensionList; // FExtensionList
};
