#pragma once
// The batch editor's main window: the section list, the property pane of the selected section,
// the Parameters page and the Source page, the toolbar and the context menu with every command.
// It owns the one batch list of the program. GUI thread only.
//
// The document side (MainWindowDocument.cpp): which batch file is open, the caption, Open, New,
// Save and Save as, the Source page's text, the test whether the batch differs from its file, the
// settings kept between runs, start-up and closing, and the runs started from the window.
//
// Life: construct, FormCreate(batchMode), then SetFileName with a file named on the command line,
// then show (editing mode) or not (batch mode: the run queued at creation ends with a close).

#include "framework/vk_fbaseMain.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <string>

class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class TvkButton;
class TBatchDocument;
class TBatchParametersPage;
class TLastRunPanel;
class TMainWindowCommands;
class TpxBatchList;
class TSectionListModel;
class TSectionListView;
class TSectionPropertyPane;

class TFrmSaveZip : public TFrmBaseMain
{
    Q_OBJECT
public:
    // Posted requests: the whole-batch run and the new-section wizard, handled after everything
    // queued before them.
    static constexpr int RunBatchMessage = 1124;
    static constexpr int StartWizardMessage = 1125;

    explicit TFrmSaveZip(QWidget* parent = nullptr);
    ~TFrmSaveZip() override;

    // The start-up sequence. In batch mode the whole-batch run is queued and nothing of the editor's
    // settings is read; in editing mode the last batch file, the list's width and style and the page
    // are restored, and the wizard is queued for an unnamed batch.
    void FormCreate(bool batchMode);
    bool BatchMode() const { return m_batchMode; }
    // Start-up could not open the batch file of a batch-mode start: the window becomes the editor
    // (without the settings it did not read) and the queued run goes over the empty batch.
    void CancelBatchMode() { m_batchMode = false; }

    TpxBatchList& BatchList() { return *m_batch; }

    // The open batch file ("" for an unnamed batch).
    const std::string& FileName() const;
    // Gives the window a batch file: caption, sections and parameters follow it (another file than
    // the open one starts from the default parameters; "" is New). A file that cannot be read raises
    // EInOutError naming it, and the window stays on what it had, caption included.
    void SetFileName(const std::string& fileName);

    // Selects the section at `index`, clamped into the list (none for an empty batch), and fills the
    // property pane, whether or not the selection changed.
    void SelectSection(int index);
    // Rebuilds the section list and the Parameters page from the batch list, keeping the selected
    // index as far as it still exists.
    void RefreshBatch();
    // The selected section's index, -1 for none.
    int SelectedIndex() const;
    // Run after every translation: list column caption and toolbar tooltips from the captions, and the
    // zip-name label from its numbered string.
    void TranslateHints();
    // Prepares the context menu's items for the active page and the selection.
    void PopupMenuTaskPopup() override;

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
    void cmScheduleClick();
    void cmZipSectionClick();
    // Opens the context menu below the menu button.
    void _sbMenuClick();
    // The Source text's menu (right click, Menu key, Shift+F10): the text's own commands, then the
    // window's menu as a submenu, so every command is reachable by keyboard from the text too.
    void idBatchContextMenu(const QPoint& position);
    void cmRestoreClick();
    // Page changes: before leaving `index`, and after the new page became active.
    void PageControlChanging(int index);
    void PageControlChange();

    // Whether the batch differs from its file: an unnamed batch, a missing file, typed Source text,
    // or a file that is not byte for byte what the batch list would write.
    bool IsBatchModified();
    // The Source page shows what Save would write from the batch list. Raises EVorlandError, and
    // the page keeps its text, when the list holds a value that cannot be stored.
    void BatchToSource();
    // The batch list follows text typed on the Source page (lines the reader does not understand
    // are lost); nothing happens when nothing was typed. Raises EVorlandError for a character the
    // file's encoding cannot hold.
    void SourceToBatch();
    // The whole batch, from the posted request (nothing while a run goes on).
    void RunBatch();
    // The problems of the last run started from the window (empty after a run without any).
    const QStringList& LastRunProblems() const { return m_lastProblems; }

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
    // At the toolbar's right end: opens the context menu, for users who do not look for it.
    TvkButton* _sbMenu = nullptr;
    // The window's menu as a submenu of the Source text's own menu.
    QAction* cmCommands = nullptr;
    QSplitter* SplitterWizard = nullptr;
    QWidget* PnList = nullptr;
    TSectionListView* lbBatchList = nullptr;
    TSectionPropertyPane* PnProperties = nullptr;
    TBatchParametersPage* tsBatch = nullptr;
    QPlainTextEdit* idBatch = nullptr;
    TLastRunPanel* PnLastRun = nullptr;
    TMainWindowCommands* Commands = nullptr;

    // Width of the list panel and style of the section list (0 icon, 1 small icon, 2 list, 3 report).
    int ListWidth() const;
    void SetListWidth(int width);
    int ViewStyle() const;
    void SetViewStyle(int style);

protected:
    bool event(QEvent* event) override;
    // Refused while a run goes on and the user keeps it; in editing mode asks "Save batch file ?"
    // and writes the settings (also when the answer is Cancel).
    bool CloseQuery() override;

private:
    // Enables what may change the batch only while no run goes on.
    void UpdateEditingCommands();
    // Runs the batch list's run with the window's progress window and shows the problems at its end.
    void RunWithProgress(const std::function<void()>& run);
    // Writes the batch to `fileName` as Save does: the Source text on the Source page, else the list.
    // Over a file that another program changed since it was read or saved, asks first whether to
    // reload it, replace it or not save. False when nothing was written.
    bool WriteBatch(const std::string& fileName);
    void SetCaptionFor(const std::string& fileName);
    // Caption, Source text and pages after the document got another file or a new batch.
    void ShowDocument();
    // The Source text becomes the document's (clears the modified mark and the typed text).
    void ShowSourceText();
    // The Source text as the editor holds it, lines separated by LF.
    QString TypedSourceText() const;
    // What Save writes from the Source page: the shown bytes, or the typed text.
    std::string SourceBytesToWrite() const;
    // A page change: the Source page's conversions; when one fails, back to the page that was left.
    void PageSwitched(int index);
    // Save and Save as; false when nothing was written because the user cancelled.
    bool SaveBatch();
    bool SaveBatchAs();
    // Before Open and New drop the batch: asks "Save batch file ?" when it differs from its file
    // (an empty unnamed batch has nothing to lose); false when the user keeps the batch.
    bool QuerySaveChanges();
    bool IsEmptyUnnamedBatch();
    bool SourcePageActive() const;
    void ShowRunProblems();
    void ReadSettings();
    void WriteSettings();

    void BuildWizardPage();
    // The Source page: the batch file's text.
    void BuildSourcePage();
    // The commands' actions to their handlers.
    void ConnectCommands();
    void BuildToolbar();
    // Appends the section, names it after `base` with a number when taken, and selects it.
    int AppendNamedSection(std::unique_ptr<class TBatchEntry> section, const std::string& base);
    // True when editing commands may change the batch (no run in progress).
    bool CanEdit() const;

    std::unique_ptr<TpxBatchList> m_batch;
    std::unique_ptr<TBatchDocument> m_document;
    std::unique_ptr<TSectionListModel> m_model;
    int m_activePage = 0;
    bool m_batchMode = false;
    bool m_syncPages = true;       // page changes convert between the Source text and the list
    bool m_sourcePending = false;  // text was typed on the Source page that the list does not follow yet
    bool m_sourceReadOnly = false; // the Source text holds what the editor cannot keep
    bool m_runActive = false;
    bool m_progressWired = false;
    QStringList m_lastProblems;
};
