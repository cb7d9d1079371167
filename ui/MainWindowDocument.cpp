// The document side of the main window: the open batch file, its caption, Open, New, Save and
// Save as, the Source page, the modification test, the settings, start-up, closing and the runs.

#include "ui/p_fmain.h"

#include "batch/BatchDocument.h"
#include "batch/BatchRun.h"
#include "batch/ScheduleInstaller.h"
#include "batch/p_BatchList.h"
#include "controls/vk_Button.h"
#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "core/Questions.h"
#include "core/vk_tools.h"
#include "framework/DialogProvider.h"
#include "framework/DialogRunner.h"
#include "framework/FormTexts.h"
#include "framework/FrameworkInit.h"
#include "framework/QtEventPump.h"
#include "framework/TvkLanguage.h"
#include "framework/VorlandApplication.h"
#include "framework/vk_contexte.h"
#include "pathrules/PathRules.h"
#include "ui/BatchParametersPage.h"
#include "ui/FilePickers.h"
#include "ui/LastRunPanel.h"
#include "ui/Links.h"
#include "ui/MainWindowCommands.h"
#include "ui/RestoreWindow.h"
#include "ui/ScheduleDialog.h"
#include "ui/SectionListView.h"
#include "ui/SectionPropertyPane.h"
#include "ui/p_fprogress.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QVBoxLayout>

#include <cerrno>
#include <sys/stat.h>

namespace {

constexpr int kWizardPage = 0;
constexpr int kParametersPage = 1;
constexpr int kSourcePage = 2;
constexpr int kListDesignWidth = 120;
constexpr int kDesignViewStyle = 2;
const char* const kBatchFilter = "Vorland file (*.vrl)|*.vrl|Tous (*.*)|*.*";

QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

QString commandCaption(const QAction* command)
{
    return fromUtf8(StripAmpersands(command->text().toStdString()));
}

} // namespace

bool TFrmSaveZip::SourcePageActive() const
{
    return PageControl->currentIndex() == kSourcePage;
}

const std::string& TFrmSaveZip::FileName() const
{
    return m_document->FileName();
}

void TFrmSaveZip::SetCaptionFor(const std::string& fileName)
{
    const bool exists = isRegularFile(fileName);
    setWindowTitle(QStringLiteral("Vorland : ") + (exists ? fromUtf8(fileName) : fromUtf8(AppString(sNew))));
}

void TFrmSaveZip::SetFileName(const std::string& fileName)
{
    if (fileName == FileName()) {
        return;
    }
    // A file that cannot be read raises here, before anything the window shows has changed.
    if (fileName.empty()) {
        m_document->New();
    } else {
        m_document->Open(fileName);
    }
    ShowDocument();
}

void TFrmSaveZip::ShowDocument()
{
    SetCaptionFor(FileName());
    ShowSourceText();
    RefreshBatch();
    PnLastRun->ShowBatch(FileName());
}

// ---- the Source page ----

void TFrmSaveZip::ShowSourceText()
{
    const QString text = QString::fromUtf8(m_document->SourceShownText());
    // The editor keeps no paragraph separator: it would come back as a line break.
    m_sourceReadOnly = text.contains(QChar::ParagraphSeparator);
    idBatch->setPlainText(text);
    idBatch->document()->setModified(false);
    m_sourcePending = false;
    UpdateEditingCommands();
}

QString TFrmSaveZip::TypedSourceText() const
{
    // The raw text, not the editor's plain text, which turns no-break spaces into spaces and line
    // separators into line breaks. Blocks are separated by paragraph separators there: the editor
    // holds no other one (a typed or pasted one starts a new block).
    QString text = idBatch->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

std::string TFrmSaveZip::SourceBytesToWrite() const
{
    if (!m_sourcePending) {
        return m_document->SourceBytes();
    }
    return m_document->TypedSourceBytes(TypedSourceText().toStdString());
}

void TFrmSaveZip::BatchToSource()
{
    try {
        m_document->ShowListAsSource();
    } catch (const EVorlandError& e) {
        throw EVorlandError(
            fromUtf8(AppString(sSourceNotShown)).replace(QStringLiteral("%s"), fromUtf8(e.what())).toStdString());
    }
    ShowSourceText();
}

void TFrmSaveZip::SourceToBatch()
{
    // Text nobody typed in is what the list would write: nothing to take over.
    if (!m_sourcePending) {
        return;
    }
    m_document->ApplySource(SourceBytesToWrite());
    m_sourcePending = false;
    RefreshBatch();
}

void TFrmSaveZip::PageControlChanging(int index)
{
    if (m_syncPages && index == kSourcePage) {
        SourceToBatch();
    }
}

void TFrmSaveZip::PageControlChange()
{
    if (m_syncPages && SourcePageActive()) {
        BatchToSource();
        if (m_sourceReadOnly && AppPrompter() != nullptr) {
            AppPrompter()->ShowMessage(AppString(sSourceReadOnly), false);
        }
    }
    UpdateEditingCommands();
}

void TFrmSaveZip::PageSwitched(int index)
{
    const int left = m_activePage;
    m_activePage = index;
    try {
        PageControlChanging(left);
        PageControlChange();
    } catch (const std::exception& e) {
        // Back on the page that was left, as it was: the batch and the typed text stay.
        const bool sync = m_syncPages;
        m_syncPages = false;
        PageControl->setCurrentIndex(left);
        m_syncPages = sync;
        UpdateEditingCommands();
        TVorlandApplication::ShowError(e.what());
    }
}

// ---- the batch file commands ----

bool TFrmSaveZip::IsBatchModified()
{
    return idBatch->document()->isModified() || m_document->DiffersFromFile();
}

bool TFrmSaveZip::IsEmptyUnnamedBatch()
{
    if (!FileName().empty() || m_batch->Count() != 0 || idBatch->document()->isModified()) {
        return false;
    }
    try {
        return m_batch->BatchFileText() == TpxBatchList().BatchFileText();
    } catch (const EVorlandError&) {
        return false;
    }
}

bool TFrmSaveZip::QuerySaveChanges()
{
    if (IsEmptyUnnamedBatch() || !IsBatchModified()) {
        return true;
    }
    switch (ConfirmYesNoCancel(AppString(sSaveBatchFile))) {
    case YesNoCancel::Yes:
        return SaveBatch();
    case YesNoCancel::No:
        return true;
    case YesNoCancel::Cancel:
        break;
    }
    return false;
}

bool TFrmSaveZip::WriteBatch(const std::string& fileName)
{
    const std::string bytes = SourcePageActive() ? SourceBytesToWrite() : m_document->ListBytes();
    // Another editor's save since this one read or wrote the file is not dropped without a question.
    if (fileName == FileName() && m_document->ChangedOnDisk()) {
        switch (ConfirmYesNoCancel(
            fromUtf8(AppString(sChangedOnDisk)).replace(QStringLiteral("%s"), fromUtf8(fileName)).toStdString())) {
        case YesNoCancel::Yes:
            m_document->Open(fileName);
            ShowDocument();
            return false;
        case YesNoCancel::No:
            break;
        case YesNoCancel::Cancel:
            return false;
        }
    }
    m_document->Save(fileName, bytes);
    idBatch->document()->setModified(false);
    return true;
}

bool TFrmSaveZip::SaveBatch()
{
    if (!isRegularFile(FileName())) {
        return SaveBatchAs();
    }
    return WriteBatch(FileName());
}

bool TFrmSaveZip::SaveBatchAs()
{
    QString picked;
    if (!AppDialogs().SaveFileName(this, commandCaption(Commands->cmSaveAs), DialogFilter(QLatin1String(kBatchFilter)),
                                   picked) ||
        picked.isEmpty()) {
        return false;
    }
    if (QFileInfo(picked).suffix().isEmpty()) {
        picked += QStringLiteral(".vrl");
    }
    picked = QFileInfo(picked).absoluteFilePath();
    const std::string name = picked.toStdString();
    // Another file of that name is replaced only when the user says so.
    if (name != FileName() && QFileInfo::exists(picked)) {
        QString question = fromUtf8(AppString(sAlreadyExists));
        question.replace(QStringLiteral("%s"), picked);
        question += QStringLiteral(". ") + fromUtf8(StripAmpersands(AppString(sReplace))) + QStringLiteral(" ?");
        if (!Confirm(question.toStdString())) {
            return false;
        }
    }
    if (!WriteBatch(name)) {
        return false;
    }
    SetCaptionFor(FileName());
    return true;
}

void TFrmSaveZip::sbOpenClick()
{
    if (!CanEdit()) {
        return;
    }
    QString picked = fromUtf8(FileName());
    if (!AppDialogs().OpenFileName(this, commandCaption(Commands->cmOpen), DialogFilter(QLatin1String(kBatchFilter)),
                                   picked) ||
        picked.isEmpty()) {
        return;
    }
    const std::string name = QFileInfo(picked).absoluteFilePath().toStdString();
    // The open file picked again changes nothing: nothing is re-read and no edit is lost.
    if (name == FileName() || !QuerySaveChanges()) {
        return;
    }
    SetFileName(name);
}

void TFrmSaveZip::sbNouveauClick()
{
    if (!CanEdit() || !QuerySaveChanges()) {
        return;
    }
    m_document->New();
    ShowDocument();
}

void TFrmSaveZip::sbSaveClick()
{
    SaveBatch();
}

void TFrmSaveZip::sbEnregistrerSousClick()
{
    SaveBatchAs();
}

void TFrmSaveZip::cmBatchShortcutClick()
{
    if (FileName().empty()) {
        return;
    }
    CreateDesktopShortcut(BatchShortcutName(FileName()), BatchShortcutArguments(FileName()));
}

void TFrmSaveZip::cmScheduleClick()
{
    if (FileName().empty()) {
        return;
    }
    TScheduleInstaller installer(ProgramPath(), FileName(), TScheduleInstaller::UserUnitFolder());
    TFrmSchedule dialog(installer, this);
    RunModalDialog(dialog);
}

// ---- start-up and closing ----

void TFrmSaveZip::FormCreate(bool batchMode)
{
    AppContexte().SetApplicationName(QStringLiteral("Vorland"));
    TFrmBaseMain::FormCreate();
    AppLanguage().SetHelpAddress(BundledHelpAddress());
    m_batchMode = batchMode;
    if (m_batchMode) {
        QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(RunBatchMessage)));
        return;
    }
    ReadSettings();
    if (FileName().empty()) {
        PageControl->setCurrentIndex(kWizardPage);
        QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(StartWizardMessage)));
    }
}

void TFrmSaveZip::ReadSettings()
{
    TvkContexte& settings = AppContexte();
    try {
        SetFileName(settings.ReadInitialString(QStringLiteral("BatchFile")).toStdString());
    } catch (const std::exception& e) {
        // The last batch cannot be read (a folder, a FIFO, no permission): said, and the editor
        // opens on an empty unnamed batch.
        TVorlandApplication::ShowError(e.what());
    }
    SetListWidth(
        std::max(settings.ReadInitialInteger(QStringLiteral("ListWidth"), kListDesignWidth), kListDesignWidth));
    const int style = settings.ReadInitialInteger(QStringLiteral("ViewStyle"), kDesignViewStyle);
    SetViewStyle(style >= 0 && style <= 3 ? style : kDesignViewStyle);
    const int mode = settings.ReadInitialInteger(QStringLiteral("WizardMode"), kWizardPage);
    // The page shown at start shows what was loaded; nothing is converted on the way.
    m_syncPages = false;
    PageControl->setCurrentIndex(mode == kWizardPage       ? kWizardPage
                                 : mode == kParametersPage ? kParametersPage
                                                           : kSourcePage);
    m_syncPages = true;
}

void TFrmSaveZip::WriteSettings()
{
    TvkContexte& settings = AppContexte();
    settings.WriteInitialString(QStringLiteral("BatchFile"), fromUtf8(FileName()));
    settings.WriteInitialInteger(QStringLiteral("WizardMode"), PageControl->currentIndex());
    settings.WriteInitialInteger(QStringLiteral("ListWidth"), ListWidth());
    settings.WriteInitialInteger(QStringLiteral("ViewStyle"), ViewStyle());
}

bool TFrmSaveZip::CloseQuery()
{
    if (!m_batch->QueryStop()) {
        return false;
    }
    if (m_batchMode || !Created()) {
        return true;
    }
    bool close = true;
    if (IsBatchModified()) {
        switch (ConfirmYesNoCancel(AppString(sSaveBatchFile))) {
        case YesNoCancel::Yes:
            try {
                // A cancelled file dialog or question keeps the window, as for New and Open.
                close = SaveBatch();
            } catch (const std::exception& e) {
                // A batch that could not be written keeps its window: closing would lose the edits.
                WriteSettings();
                TVorlandApplication::ShowError(e.what());
                return false;
            }
            break;
        case YesNoCancel::No:
            break;
        case YesNoCancel::Cancel:
            close = false;
            break;
        }
    }
    WriteSettings();
    return close;
}

bool TFrmSaveZip::event(QEvent* e)
{
    if (e->type() == static_cast<QEvent::Type>(RunBatchMessage)) {
        RunBatch();
        return true;
    }
    if (e->type() == static_cast<QEvent::Type>(StartWizardMessage)) {
        // Offered for a new, unnamed batch only: a file handed over by start-up after the request
        // was queued (a double-clicked batch file on a first start) is not greeted by the wizard.
        if (FileName().empty()) {
            cmWizardClick();
        }
        return true;
    }
    return TFrmBaseMain::event(e);
}

// ---- runs ----

namespace {

// The error that ends a run (or refuses it) is shown as any error of a command is; the problems
// dialog follows.
class TWindowRunReport : public IBatchRunReport
{
public:
    void RunError(const std::string& text) override { TVorlandApplication::ShowError(text); }
    void RunRefused(const std::string&, const std::string& localText) override
    {
        TVorlandApplication::ShowError(localText);
    }
    void RunEnded(const TRunSummary&, int) override {}
};

} // namespace

void TFrmSaveZip::sbZipItClick()
{
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(RunBatchMessage)));
}

void TFrmSaveZip::RunBatch()
{
    if (m_batch->Running() || m_runActive) {
        return;
    }
    if (SourcePageActive()) {
        SourceToBatch();
    }
    TWindowRunReport report;
    RunWithProgress([this, &report] { RunWholeBatch(*m_batch, FileName(), report, m_batchMode); });
    if (m_batchMode) {
        close();
    }
}

void TFrmSaveZip::cmZipSectionClick()
{
    const int row = SelectedIndex();
    if (row < 0 || m_batch->Running() || m_runActive) {
        return;
    }
    TWindowRunReport report;
    RunWithProgress([this, row, &report] { RunOneSection(*m_batch, FileName(), row, report); });
}

void TFrmSaveZip::cmRestoreClick()
{
    TRestoreWindow::TSource source;
    source.password = m_batch->Password;
    const int row = SelectedIndex();
    if (row >= 0 && row < static_cast<int>(m_batch->EntryList.size())) {
        const TBatchEntry& entry = *m_batch->EntryList[static_cast<std::size_t>(row)];
        source.path = entry.Zip;
        source.archive = entry.Compress;
        source.originalPlace = entry.Dir;
    } else {
        TFileDialogSpec spec;
        spec.filter = QStringLiteral("Zip|*.zip");
        spec.mustExist = true;
        QString picked;
        if (!PickFile(this, spec, picked)) {
            return;
        }
        source.path = picked.toStdString();
    }
    TRestoreWindow window(source, this);
    window.Load();
    RunModalDialog(window);
}

void TFrmSaveZip::RunWithProgress(const std::function<void()>& run)
{
    if (!m_progressWired) {
        auto window = std::make_unique<TFrmSaveProgress>();
        window->BatchList = m_batch.get();
        // Only the main window's close ends the program.
        window->setAttribute(Qt::WA_QuitOnClose, false);
        m_batch->SetProgressForm(std::move(window));
        m_batch->SetEventPump(&AppEventPump());
        m_progressWired = true;
    }
    m_lastProblems.clear();
    m_runActive = true;
    UpdateEditingCommands();
    struct TRunEnd
    {
        TFrmSaveZip* window;
        ~TRunEnd()
        {
            window->m_runActive = false;
            window->UpdateEditingCommands();
        }
    } end{this};
    try {
        run();
    } catch (const ESilentStop&) {
        // Stopped by the user: the summary says so; nothing else to show.
    }
    PnLastRun->ShowBatch(FileName());
    const TRunSummary& summary = m_batch->RunSummary;
    for (const std::string& line : summary.LocalProblemLines) {
        m_lastProblems.append(fromUtf8(line));
    }
    if (!m_lastProblems.isEmpty() && !m_batchMode) {
        ShowRunProblems();
    }
}

void TFrmSaveZip::ShowRunProblems()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("TFrmRunProblems"));
    dialog.setWindowTitle(QStringLiteral("Vorland : ") + commandCaption(Commands->cmZipIt));
    auto* layout = new QVBoxLayout(&dialog);
    auto* summary = new QLabel(fromUtf8(m_batch->RunSummary.LocalText()).trimmed(), &dialog);
    // The summary is the run's own text: no caption to translate.
    summary->setObjectName(QStringLiteral("_lbSummary"));
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* lines = new QPlainTextEdit(&dialog);
    lines->setObjectName(QStringLiteral("idProblems"));
    lines->setReadOnly(true);
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines->setPlainText(m_lastProblems.join(QLatin1Char('\n')));
    lines->setAccessibleName(summary->text().section(QLatin1Char('\n'), 0, 0));
    summary->setBuddy(lines);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(fromUtf8(AppString(sOk)));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(summary);
    layout->addWidget(lines, 1);
    layout->addWidget(buttons);
    dialog.resize(560, 300);
    RegisterForm(&dialog);
    AppLanguage().TranslateForm(&dialog);
    RunModalDialog(dialog);
}

void TFrmSaveZip::UpdateEditingCommands()
{
    const bool editable = CanEdit();
    TMainWindowCommands& c = *Commands;
    for (QAction* command :
         {c.cmOpen, c.cmNew, c.cmWizard, c.cmAdd, c.cmEditWizard, c.cmDelete, c.cmRename, c.cmZipIt, c.cmZipSection}) {
        command->setEnabled(editable);
    }
    for (TvkButton* button : {_sbOuvrir, _sbZipIt, _sbWizard, _sbAdd, _sbDelete, _sbZipSection}) {
        button->setEnabled(editable);
    }
    idBatch->setReadOnly(!editable || m_sourceReadOnly);
    // The running batch is the one shown: nothing of it may change until the run ends.
    lbBatchList->setEnabled(editable);
    PnProperties->setEnabled(editable);
    tsBatch->setEnabled(editable);
}
