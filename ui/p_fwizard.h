#pragma once
// The section wizard: builds one batch section, or re-edits one, a question per page.

#include "ui/ExtensionProposals.h"
#include "ui/vk_DlgAssistant.h"

#include <memory>

class QLabel;
class QLineEdit;
class QRadioButton;
class TvkButton;
class TBatchEntry;
class TBatchDocument;

// Seven pages: directory, zip or copy target, recursion, include masks, exclude masks, path names
// (skipped in copy mode), section name. Next stays disabled on the first page until the folder
// exists and on the second while the target is empty; Close stays disabled while the name is empty.
class TfrmBatchWizard : public TDlgAssistant
{
    Q_OBJECT
public:
    explicit TfrmBatchWizard(QWidget* parent = nullptr);

    void UpdateButtons() override;
    // Puts the section's values into the controls.
    // `document` (may be null: texts as they are) converts between the screen and the batch file's
    // encoding.
    void LoadSection(const TBatchEntry& section, const TBatchDocument* document = nullptr);
    // Writes the controls' values into the section: texts exactly as typed.
    // Raises EVorlandError, with `section` unchanged, for a text the batch file cannot hold.
    void StoreSection(TBatchEntry& section, const TBatchDocument* document = nullptr) const;

    void edSelectChange();
    void rbCompressClick();
    void _sbDirectoryClick();
    void _sbZipNameClick();
    void _sbAddFilesClick();
    void _sbExcludeClick();
    // The provider behind the mask dialogs' "...": the extensions of the chosen folder, gathered
    // the first time they are asked for and kept for the rest of this wizard run.
    void FillExtensionList(QStringList& list);

    QWidget* _tsDir = nullptr;
    QWidget* _tsZip = nullptr;
    QWidget* _tsRecurse = nullptr;
    QWidget* _tsInclude = nullptr;
    QWidget* _tsExclude = nullptr;
    QWidget* _tsFullName = nullptr;
    QWidget* _tsName = nullptr;
    QLineEdit* edSelectDir = nullptr;
    TvkButton* _sbDirectory = nullptr;
    QRadioButton* rbCompress = nullptr;
    QRadioButton* rbNoCompress = nullptr;
    QLabel* lbSelectZip = nullptr;
    QLineEdit* EdZipName = nullptr;
    TvkButton* _sbZipName = nullptr;
    QRadioButton* RbRecurseYes = nullptr;
    QRadioButton* rbRecurseNo = nullptr;
    QLineEdit* edSelectSuffix = nullptr;
    TvkButton* _sbAddFiles = nullptr;
    QLineEdit* edSelectIgnore = nullptr;
    TvkButton* _sbExclude = nullptr;
    QRadioButton* RbRelativeName = nullptr;
    QRadioButton* rbFullName = nullptr;
    QLineEdit* edSelectName = nullptr;

protected:
    void PageChanged(int index) override; // pgcMainChange

private:
    void UpdateCompressMode();

    TExtensionList m_extensionList; // FExtensionList
};

// Runs the wizard. With `section` (edit mode) the controls start from it and Close overwrites its
// fields; without (new mode) Close creates a section and hands it over through `made`. Always
// starts on the first page; texts are stored as typed, in the encoding of `document` when given. A
// text the batch file cannot hold (a line break, a character its encoding lacks) is refused with
// its reason and the wizard shows again as it was. False, and nothing changed, on Cancel.
bool ExecuteBatchWizard(QWidget* parent, TBatchEntry* section, std::unique_ptr<TBatchEntry>& made,
                        const TBatchDocument* document = nullptr);
