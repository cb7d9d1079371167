#include "ScreenSupport.h"

#include "batch/p_BatchList.h"
#include "core/Questions.h"
#include "framework/FrameworkInit.h"
#include "framework/TvkLanguage.h"
#include "framework/vk_contexte.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <memory>

#ifndef VORLAND_SOURCE_DIR
#error "VORLAND_SOURCE_DIR must name the repository"
#endif

namespace screens {

namespace {

// Pickers and desktop hand-overs of a picture run: every one is cancelled or refused.
class TCancellingDialogs : public IDialogProvider
{
public:
    bool OpenFileName(QWidget*, const QString&, const QString&, QString& fileName) override
    {
        if (NextOpen.isEmpty())
            return false;
        fileName = NextOpen;
        NextOpen.clear();
        return true;
    }
    bool SaveFileName(QWidget*, const QString&, const QString&, QString&) override { return false; }
    bool ExistingFolder(QWidget*, const QString&, QString&) override { return false; }
    bool InputText(QWidget* parent, const QString& title, const QString& label, QString& text) override
    {
        // The prompt itself is the program's (a dialog the answerer sees); only the desktop is kept out.
        return m_qt.InputText(parent, title, label, text);
    }
    bool OpenUrl(const QUrl&) override { return false; }

    QString NextOpen;

private:
    TQtDialogProvider m_qt;
};

TCancellingDialogs& cancellingDialogs()
{
    static TCancellingDialogs dialogs;
    return dialogs;
}

std::function<int(QDialog&)> g_answer;

int answerDialog(QDialog& dialog)
{
    if (g_answer)
        return g_answer(dialog);
    return QDialog::Rejected;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

QString SourceLanguagesFolder()
{
    return QStringLiteral(VORLAND_SOURCE_DIR "/Languages");
}

void InitScreens()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    InitFramework();
    AppContexte().SetApplicationName(QStringLiteral("Vorland"));
    SetAppDialogs(&cancellingDialogs());
    SetModalAnswerer(answerDialog);
}

void UseHelpPage()
{
    AppLanguage().SetHelpAddress(QUrl::fromLocalFile(QStringLiteral(VORLAND_SOURCE_DIR "/docs/help.html")).toString());
}

void UseLanguage(const TScreenContext& ctx)
{
    TvkLanguage& language = AppLanguage();
    const QString user =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/vorland/Languages");
    language.SetSearchFolders({user, SourceLanguagesFolder()});
    language.LoadLanguageList();
    UseHelpPage();
    const int index = ctx.French() ? static_cast<int>(language.Languages().indexOf(QStringLiteral("French"))) : 0;
    language.RequestReload();
    language.SetLanguageIndex(index);
}

void AnswerNextOpen(const QString& fileName)
{
    cancellingDialogs().NextOpen = fileName;
}

void WithDialogs(const std::function<int(QDialog&)>& answer, const std::function<void()>& action)
{
    std::function<int(QDialog&)> previous = std::move(g_answer);
    g_answer = answer;
    struct TRestore
    {
        std::function<int(QDialog&)>& slot;
        std::function<int(QDialog&)> previous;
        ~TRestore() { slot = std::move(previous); }
    } restore{g_answer, std::move(previous)};
    action();
}

TSampleBatch::TSampleBatch()
{
    writeFile(Path(QStringLiteral("Documents/letters/invoice-march.odt")), "letter");
    writeFile(Path(QStringLiteral("Documents/letters/notes.txt")), "notes");
    writeFile(Path(QStringLiteral("Documents/budget.ods")), "budget");
    writeFile(Path(QStringLiteral("Documents/scan.pdf")), "scan");
    writeFile(Path(QStringLiteral("Documents/draft.tmp")), "draft");

    TpxBatchList batch;
    batch.Before = "/usr/local/bin/mount-backup-disk";
    batch.After = "/usr/local/bin/unmount-backup-disk";
    batch.Password = "secret";
    batch.AddEntry(std::make_unique<TBatchEntry>("Documents", "/media/backup/documents.zip", "/home/anna/Documents",
                                                 "*.odt;*.ods;*.pdf", "*.tmp;*.~*", true, false, true));
    batch.AddEntry(std::make_unique<TBatchEntry>("Pictures", "/media/backup/Pictures", "/home/anna/Pictures",
                                                 "*.jpg;*.png", "", true, false, false));
    batch.AddEntry(std::make_unique<TBatchEntry>("Mail", "/media/backup/mail.zip", "/home/anna/.local/share/mail",
                                                 "*.*", "*.lock", true, true, true));
    batch.AddEntry(std::make_unique<TBatchEntry>("Settings", "/media/backup/settings.zip", "/home/anna/.config",
                                                 "*.conf;*.ini", "", false, false, true));
    batch.SaveToFile(FileName());
}

std::string TSampleBatch::FileName() const
{
    return Path(QStringLiteral("Daily.vrl")).toStdString();
}

QString TSampleBatch::SourceFolder() const
{
    return Path(QStringLiteral("Documents"));
}

QString TSampleBatch::Path(const QString& relative) const
{
    return m_folder.filePath(relative);
}

} // namespace screens
