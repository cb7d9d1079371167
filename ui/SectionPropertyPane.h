#pragma once
// The property pane `PnProperties`: the selected section's fields, each edit stored into the
// section at once (texts trimmed, in the batch file's encoding; the control keeps what was typed).
// A text the section cannot take (a line break, a character the file's encoding cannot hold, an
// empty or taken name) is not stored: the reason shows under the fields, and leaving the field shows
// the section's value again. While the pane is being filled (`FUpdating`), or when no section is
// selected, edits are not stored anywhere.

#include "ui/ExtensionProposals.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class TvkButton;
class TpxBatchList;
class TBatchDocument;
class TSectionListModel;

class TSectionPropertyPane : public QWidget
{
    Q_OBJECT
public:
    // `selected` answers the selected row (-1 for none); `document` converts texts between the
    // screen and the batch file's encoding.
    TSectionPropertyPane(TpxBatchList& batch, const TBatchDocument& document, TSectionListModel& model,
                         std::function<int()> selected, QWidget* parent = nullptr);

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
    QLabel* _lbProblem = nullptr;

private:
    // Parts of the constructor: the controls, their grid and focus order, their handlers.
    void MakeControls();
    void LayOutControls();
    void ConnectHandlers();
    // A stored value for the screen.
    QString Shown(const std::string& stored) const;
    // The field's text, trimmed, as the batch stores it; false (and the reason shown) when it cannot be.
    bool Storable(const QLineEdit* field, std::string& stored);
    // Shows why a typed text is not kept, or hides the reason when `problem` is empty.
    void ShowProblem(const QString& problem);

    // The selected row when edits may be stored, else -1.
    int EditableRow() const;

    TpxBatchList& m_batch;
    const TBatchDocument& m_document;
    TSectionListModel& m_model;
    std::function<int()> m_selected;
    bool FUpdating = false;
    bool m_storingName = false;
    TExtensionList m_extensionList; // FExtensionList
};
