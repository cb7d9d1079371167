// The batch editor's messages about the batch file: a save over a file another program changed, a
// batch the Source page cannot show, a character a Latin-1 file cannot hold, a password the file
// cannot keep, and a last batch that cannot be read.
#include "ScreenRegistry.h"
#include "ScreenSupport.h"

#include "batch/p_BatchList.h"
#include "framework/VorlandApplication.h"
#include "ui/BatchParametersPage.h"
#include "ui/p_fmain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextCursor>

#include <functional>
#include <memory>

namespace {

int accept(QDialog& dialog)
{
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        if (QAbstractButton* button = box->button(QMessageBox::Cancel))
            button->click();
        else if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
    }
    return QDialog::Rejected;
}

} // namespace

VORLAND_SCREEN(document_messages)
{
    screens::UseLanguage(ctx);
    screens::TSampleBatch sample;
    auto window = std::make_unique<TFrmSaveZip>();
    TFrmSaveZip& w = *window;
    w.SetFileName(sample.FileName());
    w.resize(640, 400);
    w.show();
    QApplication::processEvents();
    const auto shoot = [&](const char* name, const std::function<void()>& action) {
        screens::WithDialogs(
            [&](QDialog& dialog) {
                ctx.Save(QString::fromLatin1(name), &dialog);
                return accept(dialog);
            },
            [&] {
                try {
                    action();
                } catch (const std::exception& e) {
                    TVorlandApplication::ShowError(e.what());
                }
            });
    };

    // Another program saved the file since it was opened here.
    QFile file(QString::fromStdString(sample.FileName()));
    if (file.open(QIODevice::Append))
        file.write("; changed elsewhere\r\n");
    file.close();
    w.BatchList().Before = "echo edited";
    shoot("changed-on-disk", [&] { w.sbSaveClick(); });

    // A value the batch file cannot hold: the Source page is not shown.
    w.BatchList().Entries(0).Dir = "/line\nbreak";
    shoot("source-not-shown", [&] { w.PageControl->setCurrentIndex(2); });
    w.BatchList().Entries(0).Dir = "/data";

    // The password field says why a password is not kept.
    w.PageControl->setCurrentIndex(1);
    w.tsBatch->edPassword->setText(QStringLiteral("M\u00E8re"));
    ctx.Save(QStringLiteral("password-not-kept"), &w);
    w.tsBatch->edPassword->setText(QString());

    // A file written on another system in Latin-1: the euro sign typed on its Source page.
    const QString latin = QString::fromStdString(sample.FileName()) + QStringLiteral(".latin1.vrl");
    QFile latinFile(latin);
    if (latinFile.open(QIODevice::WriteOnly))
        latinFile.write("[BatchParameters]\r\nUpdateZip=1\r\n\r\n[\xC9t\xE9]\r\nDir=/photos/\xE9t\xE9\r\n\r\n");
    latinFile.close();
    w.SetFileName(latin.toStdString());
    w.PageControl->setCurrentIndex(2);
    QTextCursor(w.idBatch->document()).insertText(QStringLiteral("; 5 \u20AC\n"));
    shoot("not-latin1", [&] { w.PageControl->setCurrentIndex(0); });

    // The last batch is a folder.
    const QString folder = QString::fromStdString(sample.FileName()) + QStringLiteral(".folder");
    QDir().mkpath(folder);
    shoot("unreadable-batch", [&] { w.SetFileName(folder.toStdString()); });
}
