// The editor's dialogs: every page of the section wizard (zip and copy mode), the mask list dialog
// with its proposals, the selection list, the about box with its menu, and the progress window in
// the states a run puts it in.
#include "ScreenRegistry.h"
#include "ScreenSupport.h"

#include "batch/ScheduleInstaller.h"
#include "batch/p_BatchList.h"
#include "core/AppStrings.h"
#include "framework/vk_fBaseAPropos.h"
#include "framework/vk_fBaseDialogueListe.h"
#include "framework/vk_fbaseSelectList.h"
#include "testkit/TestKit.h"
#include "ui/RestoreWindow.h"
#include "ui/ScheduleDialog.h"
#include "ui/p_fprogress.h"
#include "ui/p_fwizard.h"

#include "controls/vk_Button.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTreeWidget>

#include <initializer_list>
#include <memory>

namespace {

// Ticks the candidates of the selection list at these rows.
void tick(TFrmBaseSelectList& dialog, std::initializer_list<int> rows)
{
    for (int row : rows) {
        if (row < dialog.lbSelectList->count())
            dialog.lbSelectList->item(row)->setCheckState(Qt::Checked);
    }
}

} // namespace

VORLAND_SCREEN(wizard)
{
    screens::UseLanguage(ctx);
    screens::TSampleBatch sample;
    const auto page = [&](TfrmBatchWizard& w, const char* name) { ctx.Save(QString::fromLatin1(name), &w); };
    screens::WithDialogs(
        [&](QDialog& dialog) -> int {
            if (auto* list = qobject_cast<TFrmBaseDialogList*>(&dialog)) {
                ctx.Save(QStringLiteral("mask-list"), list);
                list->sbSelectListClick();
                list->lbListe->setCurrentRow(1);
                ctx.Save(QStringLiteral("mask-list-proposed"), list);
                return QDialog::Rejected;
            }
            if (auto* select = qobject_cast<TFrmBaseSelectList*>(&dialog)) {
                // The proposals not in the list yet (the list holds *.odt and *.ods).
                tick(*select, {2, 4});
                ctx.Save(QStringLiteral("selection-list"), select);
                return QDialog::Accepted;
            }
            auto* w = qobject_cast<TfrmBatchWizard*>(&dialog);
            if (w == nullptr)
                return QDialog::Rejected;
            page(*w, "page-directory-empty");
            w->edSelectDir->setText(sample.SourceFolder());
            page(*w, "page-directory");
            w->btSuivantClick();
            page(*w, "page-zip-empty");
            w->EdZipName->setText(QStringLiteral("/media/backup/documents.zip"));
            page(*w, "page-zip");
            w->rbNoCompress->setChecked(true);
            w->EdZipName->setText(QStringLiteral("/media/backup/Documents"));
            page(*w, "page-copy");
            w->rbCompress->setChecked(true);
            w->EdZipName->setText(QStringLiteral("/media/backup/documents.zip"));
            w->btSuivantClick();
            page(*w, "page-recurse");
            w->btSuivantClick();
            w->edSelectSuffix->setText(QStringLiteral("*.odt;*.ods"));
            page(*w, "page-include");
            w->_sbAddFilesClick();
            w->btSuivantClick();
            w->edSelectIgnore->setText(QStringLiteral("*.tmp;*.~*"));
            page(*w, "page-exclude");
            w->btSuivantClick();
            page(*w, "page-path-names");
            w->btSuivantClick();
            page(*w, "page-name-empty");
            w->edSelectName->setText(QStringLiteral("Documents"));
            page(*w, "page-name");
            return QDialog::Rejected;
        },
        [&] {
            std::unique_ptr<TBatchEntry> made;
            ExecuteBatchWizard(nullptr, nullptr, made);
        });
}

VORLAND_SCREEN(list_dialogs)
{
    screens::UseLanguage(ctx);
    screens::WithDialogs(
        [&](QDialog& dialog) -> int {
            if (auto* list = qobject_cast<TFrmBaseDialogList*>(&dialog)) {
                ctx.Save(QStringLiteral("exclude"), list);
                list->sbSelectListClick();
                return QDialog::Rejected;
            }
            if (auto* select = qobject_cast<TFrmBaseSelectList*>(&dialog)) {
                tick(*select, {0});
                ctx.Save(QStringLiteral("selection"), select);
            }
            return QDialog::Rejected;
        },
        [&] {
            QStringList masks{QStringLiteral("*.tmp"), QStringLiteral("*.~*"), QStringLiteral("*.bak")};
            EditList(QString::fromStdString(AppString(sExcludeFiles)), masks, [](QStringList& candidates) {
                candidates << QStringLiteral("*.log") << QStringLiteral("*.o") << QStringLiteral("*.swp");
            });
        });
}

VORLAND_SCREEN(about_box)
{
    screens::UseLanguage(ctx);
    // As the main window's About command makes it.
    TfrmBaseAboutBox box;
    box.setWindowTitle(QString::fromStdString(AppString(sAbout)));
    box.cmEdit->setText(QString::fromStdString(AppString(sEditAboutFile)));
    ctx.Save(QStringLiteral("box"), &box);
    box.PopupMenu->popup(box.mapToGlobal(QPoint(120, 200)));
    ctx.Save(QStringLiteral("menu"), &box, {box.PopupMenu});
    box.PopupMenu->hide();
}

VORLAND_SCREEN(schedule)
{
    screens::UseLanguage(ctx);
    screens::TSampleBatch sample;
    // Day names and dates in the language of the pictures.
    const QLocale previous;
    QLocale::setDefault(ctx.French() ? QLocale(QLocale::French, QLocale::France)
                                     : QLocale(QLocale::English, QLocale::UnitedKingdom));
    QTemporaryDir units;
    TScheduleInstaller installer("/usr/bin/vorland", sample.FileName(), units.path().toStdString());
    installer.Systemctl = "true";
    {
        TFrmSchedule dialog(installer);
        ctx.Save(QStringLiteral("off"), &dialog);
        dialog.rbWeekly->setChecked(true);
        dialog.cbDay->setCurrentIndex(4);
        dialog.edTime->setTime(QTime(19, 30));
        dialog.btApplyClick();
        ctx.Save(QStringLiteral("weekly"), &dialog);
    }
    installer.Apply({});
    installer.Systemctl = units.filePath(QStringLiteral("no-systemctl")).toStdString();
    TFrmSchedule dialog(installer);
    dialog.rbDaily->setChecked(true);
    dialog.edTime->setTime(QTime(2, 0));
    dialog.btApplyClick();
    ctx.Save(QStringLiteral("no-systemd"), &dialog);
    QLocale::setDefault(previous);
}

VORLAND_SCREEN(progress)
{
    screens::UseLanguage(ctx);
    TFrmSaveProgress form;
    // The design width, whatever the pictures before left as the stored placement.
    form.resize(530, form.height());
    form.Show();
    ctx.Save(QStringLiteral("start"), &form);

    form.SetBatchMax(4);
    form.SetBatchPosition(1);
    form.StartSection("Documents", "/media/backup/documents.zip", "/home/anna/Documents", 100);
    ctx.Save(QStringLiteral("section-start"), &form);
    form.SetZipPosition(45);
    form.StartFile("/home/anna/Documents/letters/2026/invoice-march.odt", 100);
    form.SetFilePosition(60);
    form.Flush();
    ctx.Save(QStringLiteral("running"), &form);
    form.ArchiveComplete();
    form.Flush();
    ctx.Save(QStringLiteral("archive-complete"), &form);

    // A copy section with a deep source folder in a narrow window: the folder is shortened.
    form.SetBatchPosition(2);
    form.StartSection("Pictures", "/media/backup/Pictures",
                      "/home/anna/Pictures/holidays/2026/summer by the sea/camera/originals", 250);
    form.SetZipPosition(120);
    form.StartFile("/home/anna/Pictures/holidays/2026/summer by the sea/camera/originals/IMG_0042.jpg", 100);
    form.SetFilePosition(30);
    form.resize(360, form.height());
    form.Flush();
    ctx.Save(QStringLiteral("narrow"), &form);
    form.Hide();
}

VORLAND_SCREEN(restore)
{
    screens::UseLanguage(ctx);
    // A copy section's target folder: listed without the engine, with folders, sizes and dates.
    testkit::TempDir folder;
    testkit::writeFile(folder.path() / "Documents" / "report.odt", std::string(48213, 'r'));
    testkit::writeFile(folder.path() / "Documents" / "budget.ods", std::string(12044, 'b'));
    testkit::writeFile(folder.path() / "Photos" / "2026" / "beach.jpg", std::string(2301877, 'p'));
    testkit::writeFile(folder.path() / "notes.txt", std::string(913, 'n'));
    for (const char* file : {"Documents/report.odt", "Documents/budget.ods", "Photos/2026/beach.jpg", "notes.txt"})
        testkit::setMTime(folder.path() / file, 1796731200);
    TRestoreWindow window({folder.path().string(), false, "/home/user", {}});
    window.Load();
    window.tvEntries->expandAll();
    window.edFilter->setText(QString());
    window.tvEntries->topLevelItem(0)->setCheckState(0, Qt::Checked);
    window.pbRestore->setValue(40);
    ctx.Save(QStringLiteral("main"), &window);
}
