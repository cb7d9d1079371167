// The main window's document side: the open batch file and its caption, Open, New, Save and Save as,
// the Source page, the modification test, the settings kept between runs, start-up, closing and the
// runs started from the window (with the real engine).
#include "batch/p_BatchList.h"
#include "core/CoreErrors.h"
#include "framework/FrameworkInit.h"
#include "framework/vk_contexte.h"
#include "testkit/TestKit.h"
#include "tests/guikit/GuiTestKit.h"
#include "ui/BatchParametersPage.h"
#include "ui/EditorTestKit.h"
#include "ui/FilePickers.h"
#include "ui/MainWindowCommands.h"
#include "ui/SectionPropertyPane.h"
#include "ui/p_fmain.h"
#include "zipcomp/ZipComp.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextCursor>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QByteArray kParameters = "[BatchParameters]\r\nBefore=echo before\r\nAfter=\r\nPassword=\r\nUpdateZip=1\r\n\r\n";

QByteArray Section(const QByteArray& name, const QByteArray& zip, const QByteArray& dir)
{
    return "[" + name + "]\r\nZip=" + zip + "\r\nCompress=1\r\nDir=" + dir +
           "\r\nSuffix=*.*\r\nIgnore=\r\nRecurse=1\r\nDirName=0\r\nComments=\r\n\r\n";
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Document : public ::testing::Test
{
protected:
    Document()
    {
        InitFramework();
        ClearSettings();
        window = std::make_unique<TFrmSaveZip>();
        window->BatchList().ZipComponent->SetDLLDirectory(testkit::binDir().string());
    }

    ~Document() override
    {
        // The window is gone before the prompter and the dialogs it might still ask.
        window.reset();
        QCoreApplication::removePostedEvents(nullptr);
    }

    // Start-up in editing mode; the queued wizard (if any) is answered by `answers`.
    void Start()
    {
        window->FormCreate(false);
        QCoreApplication::processEvents();
    }

    // What the window would do when the user closes it: true when it closed.
    bool Close() { return window->close(); }

    // A batch file written by the program itself, so it reads back byte for byte.
    QString ProgramWritten(const QString& name, int sections)
    {
        TpxBatchList list;
        list.LoadFromFile(folder.Write(QStringLiteral("seed.vrl"), kParameters).toStdString());
        for (int i = 0; i < sections; ++i) {
            list.AddEntry(std::make_unique<TBatchEntry>("S" + std::to_string(i), "/z/s.zip", "/src", "*.*", "", true,
                                                        false, true));
        }
        const QString path = folder.FilePath(name);
        list.SaveToFile(path.toStdString());
        return path;
    }

    void ShowPage(int page) { window->PageControl->setCurrentIndex(page); }
    QString Source() const { return window->idBatch->toPlainText(); }

    TQueuedPrompter prompter;
    TQueuedDialogs dialogs;
    uitest::TDialogAnswers answers;
    TTempFolder folder;
    std::unique_ptr<TFrmSaveZip> window;
};

TEST_F(Document, FirstStartOffersTheWizardAndItsCancelLeavesAnEmptyUnnamedBatch)
{
    Start();
    EXPECT_EQ(answers.Asked(), 1) << "the wizard opens by itself";
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorland"));
    EXPECT_EQ(window->PageControl->currentIndex(), 0);
    EXPECT_EQ(window->BatchList().Count(), 0);
    EXPECT_TRUE(window->FileName().empty());
    // An unnamed batch always counts as modified, even without sections.
    EXPECT_TRUE(window->IsBatchModified());
}

TEST_F(Document, AFileHandedOverAtStartUpIsNotGreetedByTheWizard)
{
    const QString file = ProgramWritten(QStringLiteral("given.vrl"), 1);
    window->FormCreate(false);
    window->SetFileName(file.toStdString());
    QCoreApplication::processEvents();
    EXPECT_EQ(answers.Asked(), 0);
    EXPECT_EQ(window->BatchList().Count(), 1);
}

TEST_F(Document, StoredSourcePageShowsTheStoredFileAndNoWizard)
{
    const QString file = ProgramWritten(QStringLiteral("daily.vrl"), 2);
    AppContexte().WriteInitialString(QStringLiteral("BatchFile"), file);
    AppContexte().WriteInitialInteger(QStringLiteral("WizardMode"), 2);
    AppContexte().WriteInitialInteger(QStringLiteral("ViewStyle"), 9); // out of range: the design style
    Start();
    EXPECT_EQ(answers.Asked(), 0);
    EXPECT_EQ(window->PageControl->currentIndex(), 2);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorland : ") + file);
    // Every line, the final blank one included; the editor's empty last line stands after it.
    EXPECT_EQ(Source(), QString::fromUtf8(ReadAll(file)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_EQ(window->ViewStyle(), 2);
    EXPECT_FALSE(window->IsBatchModified());
}

TEST_F(Document, AStoredFileThatIsGoneStartsUnnamedLookingWithoutTheWizard)
{
    AppContexte().WriteInitialString(QStringLiteral("BatchFile"), folder.FilePath(QStringLiteral("gone.vrl")));
    Start();
    EXPECT_EQ(answers.Asked(), 0);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorland : New"));
    // Save has to ask for a name.
    dialogs.Cancel();
    window->sbSaveClick();
    EXPECT_EQ(dialogs.Titles.size(), 1);
}

TEST_F(Document, ReopeningTheOpenFileKeepsTheEditsAndAnotherFileAsksFirst)
{
    const QString file = ProgramWritten(QStringLiteral("a.vrl"), 1);
    const QString other = ProgramWritten(QStringLiteral("b.vrl"), 3);
    window->SetFileName(file.toStdString());
    window->BatchList().Entries(0).Dir = "/edited";
    dialogs.Queue(file);
    window->sbOpenClick();
    EXPECT_EQ(window->BatchList().Entries(0).Dir, "/edited");
    EXPECT_TRUE(prompter.Questions.empty());

    // Another file: the unsaved edit is not dropped without a question; Cancel keeps everything.
    dialogs.Queue(other);
    prompter.QueueYesNoCancel(YesNoCancel::Cancel);
    window->sbOpenClick();
    ASSERT_EQ(prompter.Questions.size(), 1);
    EXPECT_EQ(prompter.Questions[0], "Save batch file ?");
    EXPECT_EQ(window->FileName(), file.toStdString());
    EXPECT_EQ(window->BatchList().Entries(0).Dir, "/edited");

    // Yes saves, then opens.
    dialogs.Queue(other);
    prompter.QueueYesNoCancel(YesNoCancel::Yes);
    window->sbOpenClick();
    EXPECT_EQ(window->FileName(), other.toStdString());
    EXPECT_EQ(window->BatchList().Count(), 3);
    EXPECT_TRUE(ReadAll(file).contains("Dir=/edited"));
}

TEST_F(Document, AHandWrittenLayoutCountsAsModifiedAndAProgramWrittenOneDoesNot)
{
    const QString written = ProgramWritten(QStringLiteral("w.vrl"), 2);
    window->SetFileName(written.toStdString());
    EXPECT_FALSE(window->IsBatchModified());

    // The same content with a comment and another blank line.
    QByteArray hand = ReadAll(written);
    hand.prepend("; my backups\r\n");
    const QString byHand = folder.Write(QStringLiteral("hand.vrl"), hand);
    window->SetFileName(byHand.toStdString());
    EXPECT_TRUE(window->IsBatchModified());
}

TEST_F(Document, CancelAtTheSaveQuestionKeepsTheWindowButWritesTheSettings)
{
    Start();
    window->show();
    prompter.QueueYesNoCancel(YesNoCancel::Cancel);
    EXPECT_FALSE(Close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(prompter.Questions, std::vector<std::string>{"Save batch file ?"});
    EXPECT_TRUE(AppContexte().ValueExists(QStringLiteral("Initial"), QStringLiteral("WizardMode")));
    EXPECT_TRUE(AppContexte().ValueExists(QStringLiteral("Initial"), QStringLiteral("ListWidth")));

    // No closes without writing anything.
    prompter.QueueYesNoCancel(YesNoCancel::No);
    EXPECT_TRUE(Close());
}

TEST_F(Document, CloseWithYesSavesAndStoresTheBatchFile)
{
    const QString file = ProgramWritten(QStringLiteral("c.vrl"), 1);
    window->FormCreate(false);
    window->SetFileName(file.toStdString());
    window->BatchList().Entries(0).Ignore = "*.tmp";
    window->show();
    ShowPage(1);
    prompter.QueueYesNoCancel(YesNoCancel::Yes);
    EXPECT_TRUE(Close());
    EXPECT_TRUE(ReadAll(file).contains("Ignore=*.tmp"));
    EXPECT_EQ(AppContexte().ReadInitialString(QStringLiteral("BatchFile")), file);
    EXPECT_EQ(AppContexte().ReadInitialInteger(QStringLiteral("WizardMode"), -1), 1);
}

TEST_F(Document, SavingOnTheSourcePageWritesTheTextAsTypedAndLeavingItReloadsTheList)
{
    const QString file = ProgramWritten(QStringLiteral("s.vrl"), 2);
    window->SetFileName(file.toStdString());
    ShowPage(2);
    // A line the batch reader drops, typed at the top, and the second section's lines removed.
    QString text = Source();
    const qsizetype second = text.indexOf(QStringLiteral("[S1]"));
    ASSERT_GT(second, 0);
    text = QStringLiteral("; kept as typed\n") + text.left(second);
    window->idBatch->setPlainText(text);
    window->idBatch->document()->setModified(true);
    window->sbSaveClick();
    EXPECT_TRUE(ReadAll(file).startsWith("; kept as typed\r\n[BatchParameters]\r\n"));
    EXPECT_FALSE(window->idBatch->document()->isModified());
    // The list follows the text only once the page is left.
    EXPECT_EQ(window->BatchList().Count(), 2);
    ShowPage(0);
    EXPECT_EQ(window->BatchList().Count(), 1);
    EXPECT_EQ(window->BatchList().Entries(0).Name, "S0");
    // The file has the comment, the list would not write it: still modified.
    EXPECT_TRUE(window->IsBatchModified());
}

TEST_F(Document, TheSourcePageKeepsEveryByteNobodyTypedAndRefusesWhatTheFileCannotHold)
{
    // A no-break space and a line separator in folder names, and the final blank line.
    const QByteArray odd = kParameters + Section("odd", "/z/o.zip",
                                                 "/data/My\xC2\xA0"
                                                 "Docs/a\xE2\x80\xA8"
                                                 "b");
    const QString file = folder.Write(QStringLiteral("odd.vrl"), odd);
    window->SetFileName(file.toStdString());
    ShowPage(2);
    ShowPage(0);
    ShowPage(2);
    window->sbSaveClick();
    EXPECT_EQ(ReadAll(file).toStdString(), odd.toStdString());
    ShowPage(1);
    window->sbSaveClick();
    EXPECT_EQ(ReadAll(file).toStdString(), odd.toStdString());
    EXPECT_FALSE(window->IsBatchModified());

    // Typed text keeps the untouched lines as they were.
    ShowPage(2);
    QTextCursor cursor(window->idBatch->document());
    cursor.insertText(QStringLiteral("; typed\n"));
    ShowPage(0);
    EXPECT_EQ(window->BatchList().Entries(0).Dir, "/data/My\xC2\xA0"
                                                  "Docs/a\xE2\x80\xA8"
                                                  "b");
    ShowPage(2);
    window->sbSaveClick();
    EXPECT_EQ(ReadAll(file).toStdString(), odd.toStdString());

    // "Été" in Latin-1, as a batch file written on another system has it: shown as such, kept as such.
    const QByteArray latin = kParameters + Section("\xC9t\xE9", "/z/e.zip", "/photos/\xE9t\xE9");
    const QString latinFile = folder.Write(QStringLiteral("latin.vrl"), latin);
    window->SetFileName(latinFile.toStdString());
    EXPECT_TRUE(Source().contains(QStringLiteral("/photos/\u00E9t\u00E9")));
    cursor = QTextCursor(window->idBatch->document());
    cursor.insertText(QStringLiteral("; \u00E0 typed\n"));
    window->sbSaveClick();
    EXPECT_EQ(ReadAll(latinFile).toStdString(), ("; \xE0 typed\r\n" + latin).toStdString());
    // A character Latin-1 does not have is refused with a word, and the page and its text stay.
    cursor.insertText(QStringLiteral("; \u20AC\n"));
    ShowPage(0);
    EXPECT_EQ(window->PageControl->currentIndex(), 2);
    ASSERT_EQ(prompter.Errors.size(), 1);
    EXPECT_NE(prompter.Errors[0].find("\u20AC"), std::string::npos) << prompter.Errors[0];
    EXPECT_TRUE(Source().contains(QStringLiteral("\u20AC")));
    EXPECT_THROW(window->sbSaveClick(), EVorlandError);
    EXPECT_EQ(ReadAll(latinFile).toStdString(), ("; \xE0 typed\r\n" + latin).toStdString());
}

TEST_F(Document, TextTypedInThePaneAndOnTheParametersPageIsStoredInTheFilesEncodingOrRefused)
{
    const QByteArray latin = kParameters + Section("\xC9t\xE9", "/z/e.zip", "/photos/\xE9t\xE9");
    const QString file = folder.Write(QStringLiteral("latin.vrl"), latin);
    window->SetFileName(file.toStdString());
    window->SelectSection(0);
    TSectionPropertyPane& pane = *window->PnProperties;
    TBatchParametersPage& page = *window->tsBatch;
    EXPECT_EQ(pane.edDir->text(), QStringLiteral("/photos/\u00E9t\u00E9"));
    // Showing a Latin-1 batch stores nothing: the file is still what the list would write.
    page.Refresh();
    EXPECT_FALSE(window->IsBatchModified());

    pane.edDir->setText(QStringLiteral("/photos/\u00E0"));
    page.edBefore->setText(QStringLiteral("echo \u00E9"));
    EXPECT_EQ(window->BatchList().Entries(0).Dir, "/photos/\xE0");
    EXPECT_EQ(window->BatchList().Before, "echo \xE9");

    // What the file cannot hold stays out of the batch, with the reason under the field; leaving
    // the field shows the stored value again.
    pane.edDir->setText(QStringLiteral("/photos/\u20AC"));
    EXPECT_EQ(window->BatchList().Entries(0).Dir, "/photos/\xE0");
    EXPECT_FALSE(pane._lbProblem->isHidden());
    EXPECT_TRUE(pane._lbProblem->text().contains(QStringLiteral("\u20AC")));
    emit pane.edDir->editingFinished();
    EXPECT_EQ(pane.edDir->text(), QStringLiteral("/photos/\u00E0"));
    EXPECT_TRUE(pane._lbProblem->isHidden());
    page.edAfter->setText(QStringLiteral("echo a\nb"));
    EXPECT_EQ(window->BatchList().After, "");
    EXPECT_FALSE(page._lbCommandProblem->isHidden());

    // The name field refuses an empty name and the parameter section's, in any case.
    for (const QString& name : {QStringLiteral("  "), QStringLiteral("batchPARAMETERS")}) {
        pane.edName->setText(name);
        EXPECT_EQ(window->BatchList().Entries(0).Name, "\xC9t\xE9") << name.toStdString();
        EXPECT_FALSE(pane._lbProblem->isHidden());
    }
    window->sbSaveClick();
    EXPECT_EQ(ReadAll(file), QByteArray(kParameters).replace("echo before", "echo \xE9") +
                                 Section("\xC9t\xE9", "/z/e.zip", "/photos/\xE0"));
}

TEST_F(Document, ABatchTheSourcePageCannotShowIsKeptWithAMessage)
{
    const QString file = ProgramWritten(QStringLiteral("k.vrl"), 1);
    window->SetFileName(file.toStdString());
    ShowPage(2);
    ShowPage(0);
    window->BatchList().AddEntry(std::make_unique<TBatchEntry>("added", "/z/a.zip", "/a", "", "", false, false, true));
    window->BatchList().Entries(0).Dir = "/line\nbreak";
    window->RefreshBatch();
    ShowPage(2);
    EXPECT_EQ(window->PageControl->currentIndex(), 0) << "the page that was left stays";
    ASSERT_EQ(prompter.Errors.size(), 1);
    EXPECT_NE(prompter.Errors[0].find("The Source page cannot show the batch"), std::string::npos);
    ShowPage(1);
    EXPECT_EQ(window->BatchList().Count(), 2);
    EXPECT_EQ(window->BatchList().Entries(0).Dir, "/line\nbreak");
}

TEST_F(Document, AFileThatCannotBeReadLeavesTheWindowOnWhatItHad)
{
    const QString file = ProgramWritten(QStringLiteral("kept.vrl"), 2);
    window->SetFileName(file.toStdString());
    const QString title = window->windowTitle();
    const QString unreadable = folder.FilePath(QStringLiteral("a-folder.vrl"));
    QDir().mkpath(unreadable);
    EXPECT_THROW(window->SetFileName(unreadable.toStdString()), EInOutError);
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_EQ(window->FileName(), file.toStdString());
    EXPECT_EQ(window->BatchList().Count(), 2);
    EXPECT_FALSE(window->IsBatchModified());

    // Named in the settings as the last batch: said, and the editor opens on an empty unnamed batch.
    std::unique_ptr<TFrmSaveZip> fresh = std::make_unique<TFrmSaveZip>();
    window.swap(fresh);
    fresh.reset();
    AppContexte().WriteInitialString(QStringLiteral("BatchFile"), unreadable);
    Start();
    ASSERT_EQ(prompter.Errors.size(), 1);
    EXPECT_NE(prompter.Errors[0].find(unreadable.toStdString()), std::string::npos) << prompter.Errors[0];
    EXPECT_TRUE(window->FileName().empty());
    EXPECT_EQ(window->BatchList().Count(), 0);
}

TEST_F(Document, AnotherFileStartsFromDefaultParameters)
{
    const QString file = ProgramWritten(QStringLiteral("p.vrl"), 1);
    window->SetFileName(file.toStdString());
    window->BatchList().Password = "secret";
    const QString bare = folder.Write(QStringLiteral("bare.vrl"), Section("only", "/z/b.zip", "/b"));
    window->SetFileName(bare.toStdString());
    EXPECT_EQ(window->BatchList().Before, "");
    EXPECT_EQ(window->BatchList().Password, "");
    EXPECT_EQ(window->tsBatch->edBefore->text(), QString());
}

TEST_F(Document, SavingOverAFileChangedByAnotherProgramAsksFirst)
{
    const QString file = ProgramWritten(QStringLiteral("shared.vrl"), 1);
    window->SetFileName(file.toStdString());
    window->BatchList().Entries(0).Dir = "/mine";
    // The other editor's save: same size, other content.
    QByteArray theirs = ReadAll(file);
    theirs.replace("Dir=/src", "Dir=/oth");
    folder.Write(QStringLiteral("shared.vrl"), theirs);

    prompter.QueueYesNoCancel(YesNoCancel::Cancel);
    window->sbSaveClick();
    ASSERT_EQ(prompter.Questions.size(), 1);
    EXPECT_NE(prompter.Questions[0].find("was changed by another program"), std::string::npos);
    EXPECT_EQ(ReadAll(file), theirs);

    prompter.QueueYesNoCancel(YesNoCancel::Yes);
    window->sbSaveClick();
    EXPECT_EQ(window->BatchList().Entries(0).Dir, "/oth") << "reloaded";
    EXPECT_EQ(ReadAll(file), theirs);

    window->BatchList().Entries(0).Dir = "/mine";
    window->sbSaveClick();
    EXPECT_EQ(prompter.Questions.size(), 2) << "no question over a file as it was read";
    folder.Write(QStringLiteral("shared.vrl"), theirs);
    prompter.QueueYesNoCancel(YesNoCancel::No);
    window->sbSaveClick();
    EXPECT_EQ(prompter.Questions.size(), 3);
    EXPECT_TRUE(ReadAll(file).contains("Dir=/mine"));
}

TEST_F(Document, CancelInTheSaveDialogOfTheCloseQuestionKeepsTheWindow)
{
    Start();
    window->show();
    window->BatchList().AddEntry(std::make_unique<TBatchEntry>("A", "/z/a.zip", "/src", "*.*", "", true, false, true));
    prompter.QueueYesNoCancel(YesNoCancel::Yes);
    dialogs.Cancel();
    EXPECT_FALSE(Close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->BatchList().Count(), 1);
}

TEST_F(Document, NewOnANamedBatchKeepsTheParameters)
{
    const QString file = ProgramWritten(QStringLiteral("n.vrl"), 2);
    window->SetFileName(file.toStdString());
    window->sbNouveauClick();
    EXPECT_TRUE(window->FileName().empty());
    EXPECT_EQ(window->BatchList().Count(), 0);
    EXPECT_EQ(window->BatchList().Before, "echo before");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorland : New"));
    EXPECT_TRUE(prompter.Questions.empty()) << "an unchanged batch is dropped without a question";
}

TEST_F(Document, SaveAsAsksBeforeReplacingAnotherFileAndAWriteErrorChangesNothingShown)
{
    window->BatchList().AddEntry(std::make_unique<TBatchEntry>("A", "/z/a.zip", "/src", "*.*", "", true, false, true));
    const QString existing = folder.Write(QStringLiteral("other.vrl"), "precious");
    dialogs.Queue(existing);
    prompter.QueueConfirm(false);
    window->sbEnregistrerSousClick();
    EXPECT_EQ(ReadAll(existing), QByteArray("precious"));
    EXPECT_TRUE(window->FileName().empty());
    ASSERT_EQ(prompter.Questions.size(), 1);
    EXPECT_NE(prompter.Questions[0].find("already exists"), std::string::npos);

    // A name without extension gets ".vrl".
    dialogs.Queue(folder.FilePath(QStringLiteral("fresh")));
    window->sbEnregistrerSousClick();
    EXPECT_EQ(window->FileName(), folder.FilePath(QStringLiteral("fresh.vrl")).toStdString());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorland : ") + folder.FilePath(QStringLiteral("fresh.vrl")));
    EXPECT_FALSE(window->IsBatchModified());

    // A folder that does not exist: the error reaches the caller, the caption stays.
    const QString unreachable = folder.FilePath(QStringLiteral("no/such/folder/x.vrl"));
    dialogs.Queue(unreachable);
    window->idBatch->document()->setModified(true);
    EXPECT_THROW(window->sbEnregistrerSousClick(), EInOutError);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorland : ") + folder.FilePath(QStringLiteral("fresh.vrl")));
    EXPECT_TRUE(window->idBatch->document()->isModified());
}

TEST_F(Document, ZipItOnTheSourcePageRunsTheTextAndCommandsAreOffDuringTheRun)
{
    const QString src = folder.Write(QStringLiteral("src/a.txt"), QByteArray(5000, 'a'));
    folder.Write(QStringLiteral("src/b.txt"), "b");
    const QString archive = folder.FilePath(QStringLiteral("out.zip"));
    window->FormCreate(false);
    QCoreApplication::removePostedEvents(window.get());
    ShowPage(2);
    window->idBatch->setPlainText(
        QString::fromUtf8(kParameters + Section("typed", archive.toUtf8(), QFileInfo(src).absolutePath().toUtf8())));
    window->idBatch->document()->setModified(true);
    bool openEnabledDuringRun = true;
    bool sourceReadOnlyDuringRun = false;
    QTimer::singleShot(0, window.get(), [&] {
        openEnabledDuringRun = window->Commands->cmOpen->isEnabled();
        sourceReadOnlyDuringRun = window->idBatch->isReadOnly();
    });
    window->RunBatch();
    EXPECT_EQ(window->BatchList().Count(), 1);
    EXPECT_EQ(window->BatchList().RunSummary.ArchivesWritten, 1);
    EXPECT_TRUE(ReadAll(archive).startsWith("PK\x03\x04"));
    EXPECT_FALSE(openEnabledDuringRun);
    EXPECT_TRUE(sourceReadOnlyDuringRun);
    EXPECT_TRUE(window->Commands->cmOpen->isEnabled());
    EXPECT_FALSE(window->idBatch->isReadOnly());
    EXPECT_TRUE(window->LastRunProblems().isEmpty());
    EXPECT_EQ(answers.Asked(), 0) << "no problems, no dialog";
}

TEST_F(Document, ProblemsOfARunAreListedInOneDialog)
{
    window->BatchList().After = "false";
    window->BatchList().AddEntry(std::make_unique<TBatchEntry>(
        "gone", folder.FilePath(QStringLiteral("g.zip")).toStdString(),
        folder.FilePath(QStringLiteral("missing")).toStdString(), "*.*", "", true, false, true));
    window->RefreshBatch();
    QString listed;
    answers.Then([&](QDialog& dialog) {
        if (auto* lines = dialog.findChild<QPlainTextEdit*>(QStringLiteral("idProblems")))
            listed = lines->toPlainText();
        return static_cast<int>(QDialog::Accepted);
    });
    window->RunBatch();
    EXPECT_EQ(answers.Asked(), 1);
    EXPECT_GE(window->LastRunProblems().size(), 1);
    EXPECT_TRUE(listed.contains(QStringLiteral("After command"))) << listed.toStdString();
}

TEST_F(Document, ZipSectionRunsTheSelectedSectionOnly)
{
    const QString src = folder.Write(QStringLiteral("one/a.txt"), "a");
    const QString first = folder.FilePath(QStringLiteral("first.zip"));
    const QString second = folder.FilePath(QStringLiteral("second.zip"));
    window->BatchList().Before = "touch " + folder.FilePath(QStringLiteral("before-ran")).toStdString();
    for (const QString& zip : {first, second})
        window->BatchList().AddEntry(
            std::make_unique<TBatchEntry>(QFileInfo(zip).baseName().toStdString(), zip.toStdString(),
                                          QFileInfo(src).absolutePath().toStdString(), "*.*", "", true, false, true));
    window->RefreshBatch();
    window->SelectSection(1);
    window->cmZipSectionClick();
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_TRUE(QFile::exists(second));
    EXPECT_FALSE(QFile::exists(folder.FilePath(QStringLiteral("before-ran"))));
}

TEST_F(Document, TheShortcutCommandPutsALauncherOfTheBatchOnTheDesktop)
{
    const QString desktop = folder.FilePath(QStringLiteral("Desktop"));
    qputenv("XDG_DESKTOP_DIR", desktop.toUtf8());
    const QString file = ProgramWritten(QStringLiteral("my.week.vrl"), 1);
    window->SetFileName(file.toStdString());
    window->cmBatchShortcutClick();
    window->cmBatchShortcutClick(); // made twice, it replaces the first
    qunsetenv("XDG_DESKTOP_DIR");
    const QDir folderOfLaunchers(desktop);
    EXPECT_EQ(folderOfLaunchers.entryList(QDir::Files), QStringList{QStringLiteral("my.week Vorland.desktop")});
    const QByteArray launcher = ReadAll(desktop + QStringLiteral("/my.week Vorland.desktop"));
    EXPECT_TRUE(launcher.contains(QByteArray("\"") + file.toUtf8() + "\" /B")) << launcher.toStdString();
}

} // namespace

namespace {

TEST_F(Document, TheEditorsFilePickersGoThroughTheOneDialogSeam)
{
    TFileDialogSpec zip;
    zip.fileName = QStringLiteral("/old/place/backup.zip");
    zip.folder = QStringLiteral("/old/place");
    zip.filter = QStringLiteral("Zip (*.zip)|*.zip|*.*|*.*");
    zip.defaultSuffix = QStringLiteral("zip");
    dialogs.Queue(folder.FilePath(QStringLiteral("new-archive")));
    QString picked;
    ASSERT_TRUE(PickFile(window.get(), zip, picked));
    EXPECT_EQ(dialogs.Proposals, QStringList{QStringLiteral("/old/place/backup.zip")});
    EXPECT_EQ(picked, folder.FilePath(QStringLiteral("new-archive.zip")));

    dialogs.Cancel();
    EXPECT_FALSE(BrowseForFolder(window.get(), QStringLiteral("/start"), picked));
    EXPECT_EQ(dialogs.Proposals.last(), QStringLiteral("/start"));
}

} // namespace
