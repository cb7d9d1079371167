// The batch editor's main window: its three pages, the four styles of the section list, the context
// menu with its submenus (also from the menu button and the Source text's menu), the caption after
// New and Open, the questions it asks, the refused renames, the language prompts and the dialog
// listing the problems of a run.
#include "ScreenRegistry.h"
#include "ScreenSupport.h"

#include "batch/RunStateFiles.h"
#include "batch/p_BatchList.h"
#include "controls/vk_Button.h"
#include "core/AppStrings.h"
#include "ui/BatchParametersPage.h"
#include "ui/LastRunPanel.h"
#include "ui/MainWindowCommands.h"
#include "ui/SectionListView.h"
#include "ui/SectionPropertyPane.h"
#include "ui/p_fmain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTabWidget>

#include <memory>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;

// The main window as the program shows it: created, the sample batch opened, the first section
// selected. The wizard that start-up offers for an unnamed batch is cancelled.
std::unique_ptr<TFrmSaveZip> openWindow(const std::string& fileName)
{
    auto window = std::make_unique<TFrmSaveZip>();
    window->FormCreate(false);
    // The help page of the repository: the menu shows "Online Help" as an installed program does.
    screens::UseHelpPage();
    window->SetFileName(fileName);
    window->resize(kWidth, kHeight);
    window->show();
    QApplication::processEvents();
    window->SelectSection(0);
    return window;
}

// Opens a submenu of an open menu beside its item, as hovering the item would.
void openSubmenu(QMenu* menu, QAction* item)
{
    menu->setActiveAction(item);
    const QRect geometry = menu->actionGeometry(item);
    item->menu()->popup(menu->mapToGlobal(QPoint(geometry.right() - 4, geometry.top())));
}

void closeMenus(const QList<QMenu*>& menus)
{
    for (QMenu* menu : menus)
        menu->hide();
    QApplication::processEvents();
}

// Clicks a standard button of a message box (which ends it as that answer).
int answerBox(QDialog& dialog, QMessageBox::StandardButton button)
{
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        if (QAbstractButton* which = box->button(button))
            which->click();
    }
    return QDialog::Rejected;
}

} // namespace

VORLAND_SCREEN(main_window)
{
    screens::UseLanguage(ctx);
    screens::TSampleBatch sample;
    std::unique_ptr<TFrmSaveZip> window = openWindow(sample.FileName());
    TFrmSaveZip& w = *window;

    ctx.Save(QStringLiteral("wizard"), &w);
    const char* styles[] = {"view-icon", "view-small-icon", "view-list", "view-report"};
    for (int style = 0; style < 4; ++style) {
        w.SetViewStyle(style);
        ctx.Save(QString::fromLatin1(styles[style]), &w);
    }
    w.SetViewStyle(2);
    // A copy section: the target label and the disabled path-name check box.
    w.SelectSection(1);
    ctx.Save(QStringLiteral("copy-section"), &w);
    w.SelectSection(0);

    w.PageControl->setCurrentIndex(1);
    ctx.Save(QStringLiteral("parameters"), &w);
    w.PageControl->setCurrentIndex(2);
    ctx.Save(QStringLiteral("source"), &w);
    w.PageControl->setCurrentIndex(0);

    TMainWindowCommands& c = *w.Commands;
    const QPoint at = w.mapToGlobal(QPoint(150, 60));
    w.ShowPopupMenu(at);
    ctx.Save(QStringLiteral("menu"), &w, {w.PopupMenu});
    openSubmenu(w.PopupMenu, c._cmBatchSection->menuAction());
    ctx.Save(QStringLiteral("menu-section"), &w, {w.PopupMenu, c._cmBatchSection});
    c._cmBatchSection->hide();
    w.cmViewClick();
    openSubmenu(w.PopupMenu, c.cmView->menuAction());
    ctx.Save(QStringLiteral("menu-view"), &w, {w.PopupMenu, c.cmView});
    c.cmView->hide();
    openSubmenu(w.PopupMenu, w.cmLanguageList);
    ctx.Save(QStringLiteral("menu-languages"), &w, {w.PopupMenu, w.LanguageMenu});
    closeMenus({w.LanguageMenu, w.PopupMenu});

    // The menu button at the toolbar's right end opens the same menu.
    w._sbMenu->click();
    ctx.Save(QStringLiteral("menu-button"), &w, {w.PopupMenu});
    closeMenus({w.PopupMenu});

    // The Source text's menu holds the window's menu as a submenu.
    w.PageControl->setCurrentIndex(2);
    w.idBatchContextMenu(QPoint(120, 80));
    if (auto* textMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
        openSubmenu(textMenu, w.cmCommands);
        ctx.Save(QStringLiteral("source-menu"), &w, {textMenu, w.PopupMenu});
        closeMenus({w.PopupMenu, textMenu});
    }
    w.PageControl->setCurrentIndex(0);

    // On the Parameters page the section commands are disabled.
    w.PageControl->setCurrentIndex(1);
    w.ShowPopupMenu(w.mapToGlobal(QPoint(150, 60)));
    ctx.Save(QStringLiteral("menu-parameters-page"), &w, {w.PopupMenu});
    closeMenus({w.PopupMenu});
    w.PageControl->setCurrentIndex(0);

    // A name another section has is refused with a message.
    screens::WithDialogs(
        [&](QDialog& dialog) {
            ctx.Save(QStringLiteral("rename-refused"), &dialog);
            return answerBox(dialog, QMessageBox::Ok);
        },
        [&] { w.lbBatchListEdited(1, QString::fromStdString(w.BatchList().Entries(0).Name)); });
    // So is an empty name.
    screens::WithDialogs(
        [&](QDialog& dialog) {
            ctx.Save(QStringLiteral("rename-empty"), &dialog);
            return answerBox(dialog, QMessageBox::Ok);
        },
        [&] { w.lbBatchListEdited(1, QStringLiteral(" ")); });
    // The name field keeps a refused name with the reason under the fields.
    w.PnProperties->edName->setText(QStringLiteral(" "));
    ctx.Save(QStringLiteral("pane-refused"), &w);
    w.PnProperties->Fill();
    // The Parameters page says why a command with a line break is not kept.
    w.PageControl->setCurrentIndex(1);
    w.tsBatch->edBefore->setText(QStringLiteral("echo one\necho two"));
    ctx.Save(QStringLiteral("parameters-refused"), &w);
    w.tsBatch->Refresh();
    w.PageControl->setCurrentIndex(0);

    // New on an unchanged batch asks nothing; the caption names the new batch.
    w.sbNouveauClick();
    ctx.Save(QStringLiteral("after-new"), &w);

    // Open (the file dialog answered with the sample batch): the new batch kept the parameters, so
    // the window asks about it first (answered No); then the caption names the file.
    screens::AnswerNextOpen(QString::fromStdString(sample.FileName()));
    screens::WithDialogs([&](QDialog& dialog) { return answerBox(dialog, QMessageBox::No); }, [&] { w.sbOpenClick(); });
    ctx.Save(QStringLiteral("after-open"), &w);

    // An edit, then New: the batch differs from its file, so the window asks first.
    w.PnProperties->edName->setText(QStringLiteral("Documents 2026"));
    screens::WithDialogs(
        [&](QDialog& dialog) {
            ctx.Save(QStringLiteral("save-question"), &dialog);
            return answerBox(dialog, QMessageBox::Cancel);
        },
        [&] { w.sbNouveauClick(); });
}

VORLAND_SCREEN(language_prompts)
{
    screens::UseLanguage(ctx);
    screens::TSampleBatch sample;
    std::unique_ptr<TFrmSaveZip> window = openWindow(sample.FileName());

    // A language whose caption file the user already has: adding it again asks before replacing it.
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/vorland/Languages/Italiano");
    QDir().mkpath(user);
    QFile existing(user + QStringLiteral("/CaptionList.txt"));
    if (existing.open(QIODevice::WriteOnly))
        existing.write("strings.11=Nuovo\r\n");
    existing.close();

    screens::WithDialogs(
        [&](QDialog& dialog) {
            if (auto* prompt = qobject_cast<QInputDialog*>(&dialog)) {
                ctx.Save(QStringLiteral("new-language"), prompt);
                prompt->setTextValue(QStringLiteral("Italiano"));
                ctx.Save(QStringLiteral("new-language-typed"), prompt);
                return static_cast<int>(QDialog::Accepted);
            }
            ctx.Save(QStringLiteral("replace-question"), &dialog);
            return answerBox(dialog, QMessageBox::Cancel);
        },
        [&] { window->cmNewLanguageClick(); });
    QDir(user).removeRecursively();

    // A language of a shipped translation's name: asked before the new file would hide it.
    screens::WithDialogs(
        [&](QDialog& dialog) {
            if (auto* prompt = qobject_cast<QInputDialog*>(&dialog)) {
                prompt->setTextValue(QStringLiteral("French"));
                return static_cast<int>(QDialog::Accepted);
            }
            ctx.Save(QStringLiteral("shipped-language-question"), &dialog);
            return answerBox(dialog, QMessageBox::Cancel);
        },
        [&] { window->cmNewLanguageClick(); });
}

VORLAND_SCREEN(run_problems)
{
    screens::UseLanguage(ctx);
    screens::TSampleBatch sample;
    // Two copy sections whose folders are missing and an After command that fails.
    TpxBatchList batch;
    batch.After = "false";
    batch.AddEntry(std::make_unique<TBatchEntry>("Photos", sample.Path(QStringLiteral("copies/photos")).toStdString(),
                                                 sample.Path(QStringLiteral("missing/photos")).toStdString(), "*.jpg",
                                                 "", true, false, false));
    batch.AddEntry(std::make_unique<TBatchEntry>("Music", sample.Path(QStringLiteral("copies/music")).toStdString(),
                                                 sample.Path(QStringLiteral("missing/music")).toStdString(), "*.*", "",
                                                 true, false, false));
    const std::string fileName = sample.Path(QStringLiteral("Problems.vrl")).toStdString();
    batch.SaveToFile(fileName);

    std::unique_ptr<TFrmSaveZip> window = openWindow(fileName);
    screens::WithDialogs(
        [&](QDialog& dialog) {
            ctx.Save(QStringLiteral("dialog"), &dialog);
            return static_cast<int>(QDialog::Accepted);
        },
        [&] { window->RunBatch(); });
}

// The last result of the open batch under the pages: after a run with problems, and a batch whose
// last run without problems is older than the user's limit.
VORLAND_SCREEN(last_result)
{
    screens::UseLanguage(ctx);
    screens::TSampleBatch sample;
    qputenv("XDG_STATE_HOME", sample.Path(QStringLiteral("state")).toLocal8Bit());
    const std::string fileName = sample.FileName();
    // 2026-05-04 10:00 UTC, and runs a few days before it.
    const std::int64_t now = 1777888800;
    std::string error;
    MakeRunStateFolder(error);
    TRunState state;
    state.BatchFile = fileName;
    state.LastStart = now - 2 * 86400 - 95;
    state.LastEnd = now - 2 * 86400;
    state.LastExitCode = kExitWithErrors;
    state.Summary.SectionsRun = 4;
    state.Summary.ArchivesWritten = 3;
    state.Summary.FilesCopied = 12;
    state.Summary.Problems[static_cast<std::size_t>(TRunProblem::CopyFailed)] = 2;
    state.LastSuccess = now - 3 * 86400;
    WriteRunState(RunFilesOf(fileName).State, state, error);
    QFile log(QString::fromStdString(RunFilesOf(fileName).Log));
    if (log.open(QIODevice::WriteOnly)) {
        log.write("==== Run of Daily.vrl\n");
    }
    log.close();

    std::unique_ptr<TFrmSaveZip> window = openWindow(fileName);
    window->PnLastRun->ShowBatch(fileName, now);
    ctx.Save(QStringLiteral("problems"), window.get());

    state.LastExitCode = kExitOk;
    state.Summary.Problems = {};
    state.LastSuccess = state.LastEnd = now - 9 * 86400;
    state.LastStart = state.LastEnd - 80;
    WriteRunState(RunFilesOf(fileName).State, state, error);
    window->PnLastRun->ShowBatch(fileName, now);
    ctx.Save(QStringLiteral("stale"), window.get());

    state.LastExitCode = kExitStoppedByError;
    state.Summary.CurrentSection = "Documents";
    state.Summary.SetStopError(sDisplayWentAway, {});
    WriteRunState(RunFilesOf(fileName).State, state, error);
    window->PnLastRun->ShowBatch(fileName, now);
    ctx.Save(QStringLiteral("stopped"), window.get());
}
