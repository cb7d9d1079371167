#pragma once
// The batch editor's main window: the section list, the property pane of the selected section,
// the Parameters page and the Source page, the toolbar and the context menu with every command.
// It owns the one batch list of the program. GUI thread only.

#include <QWidget>

#include <memory>
#include <string>

class QPlainTextEdit;
class QMenu;
class QSplitter;
class QTabWidget;
class TvkButton;
class TBatchParametersPage;
class TMainWindowCommands;
class TpxBatchList;
class TSectionListModel;
class TSectionListView;
class TSectionPropertyPane;

class TFrmSaveZip : public QWidget
{
    Q_OBJECT
public:
    explicit TFrmSaveZip(QWidget* parent = nullptr);
    ~TFrmSaveZip() override;

    TpxBatchList& BatchList() { return *m_batch; }

    // The open batch file ("" for an unnamed batch).
    const std::string& FileName() const { return m_fileName; }
    // Gives the window a batch file: caption, sections and parameters follow it.
    void SetFileName(const std::string& fileName);

    // Selects the section at `index`, clamped into the list (none for an empty batch), and fills the
    // property pane, whether or not the selection changed.
    void SelectSection(int index);
    // Rebuilds the section list and the Parameters page from the batch list, keeping the selected
    // index as far as it still exists.
    void RefreshBatch();
    // The selected section's index, -1 for none.
    int SelectedIndex() const;
    // Run after every translation: list column caption and toolbar tooltips from the captions.
    void TranslateHints();
    // Prepares the context menu's items for the active page and the selection.
    void PopupMenuTaskPopup();

    // Section commands.
    void cmWizardClick();
    void cmAddClick();
    void cmEditWizardClick();
    void cmDeleteClick();
    void cmRenameClick();
    void cmViewClick();
    void cmReportClick();
    void cmListClick();
    void cmIconClick();
    void cmSmallIconClick();
    // Section list events.
    void lbBatchListClick();
    void lbBatchListChange(int index);
    bool lbBatchListEdited(int index, const QString& caption);

    // Batch file and run commands (their behaviour belongs to the document side of the window).
    void sbZipItClick();
    void sbOpenClick();
    void sbNouveauClick();
    void sbSaveClick();
    void sbEnregistrerSousClick();
    void cmBatchShortcutClick();
    void cmZipSectionClick();
    // Page changes: before leaving `index`, and after the new page became active.
    void PageControlChanging(int index);
    void PageControlChange();

    QTabWidget* PageControl = nullptr;
    QWidget* tsWizard = nullptr;
    QWidget* tsSource = nullptr;
    QWidget* _pnToolbar = nullptr;
    TvkButton* _sbOuvrir = nullptr;
    TvkButton* _sbSave = nullptr;
    TvkButton* _sbZipIt = nullptr;
    TvkButton* _sbWizard = nullptr;
    TvkButton* _sbAdd = nullptr;
    TvkButton* _sbDelete = nullptr;
    TvkButton* _sbZipSection = nullptr;
    QSplitter* SplitterWizard = nullptr;
    QWidget* PnList = nullptr;
    TSectionListView* lbBatchList = nullptr;
    TSectionPropertyPane* PnProperties = nullptr;
    TBatchParametersPage* tsBatch = nullptr;
    QPlainTextEdit* idBatch = nullptr;
    QMenu* PopupMenu = nullptr;
    TMainWindowCommands* Commands = nullptr;

    // Width of the list panel and style of the section list (0 icon, 1 small icon, 2 list, 3 report).
    int ListWidth() const;
    void SetListWidth(int width);
    int ViewStyle() const;
    void SetViewStyle(int style);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildWizardPage();
    void BuildToolbar();
    // Appends the section, names it after `base` with a number when taken, and selects it.
    int AppendNamedSection(std::unique_ptr<class TBatchEntry> section, const std::string& base);
    // True when editing commands may change the batch (no run in progress).
    bool CanEdit() const;

    std::unique_ptr<TpxBatchList> m_batch;
    std::unique_ptr<TSectionListModel> m_model;
    std::string m_fileName;
    int m_activePage = 0;
};
