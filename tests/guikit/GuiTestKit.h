#pragma once
// Helpers for window tests: the application object every test program needs, a dialog provider that
// answers from a queue (so no test waits on a modal loop or starts an outside program; the prompter
// is the core's, in testkit/CoreDoubles.h), and a fresh settings and languages folder per test.

#include "core/UiInterfaces.h"
#include "framework/DialogProvider.h"
#include "testkit/CoreDoubles.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <ostream>
#include <string>
#include <vector>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// The dialog provider of tests. A queued answer of std::nullopt-like kind "cancel" is an empty
// optional; OpenUrl records the address and answers OpenUrlResult.
class TQueuedDialogs : public IDialogProvider
{
public:
    // Installs itself; the destructor goes back to the Qt provider.
    TQueuedDialogs();
    ~TQueuedDialogs() override;

    // The next file, folder or text answer; Cancel() queues a cancelled dialog.
    void Queue(const QString& answer) { m_answers.push_back({true, answer}); }
    void Cancel() { m_answers.push_back({false, QString()}); }

    bool OpenFileName(QWidget* parent, const QString& title, const QString& filter, QString& fileName) override;
    bool SaveFileName(QWidget* parent, const QString& title, const QString& filter, QString& fileName) override;
    bool ExistingFolder(QWidget* parent, const QString& title, QString& folder) override;
    bool InputText(QWidget* parent, const QString& title, const QString& label, QString& text) override;
    bool OpenUrl(const QUrl& url) override;

    QStringList Titles;    // the title of every dialog asked for
    QStringList Labels;    // the label of every text prompt
    QStringList Proposals; // what each dialog started with (file, folder or text)
    QList<QUrl> OpenedUrls;
    bool OpenUrlResult = true;
    int Unanswered = 0;

private:
    bool answer(const QString& title, QString& value);
    std::deque<std::pair<bool, QString>> m_answers;
};

// A temporary folder for one test; removed with its contents at the end.
class TTempFolder
{
public:
    TTempFolder();
    ~TTempFolder();
    QString Path() const { return m_path; }
    QString FilePath(const QString& name) const { return m_path + QLatin1Char('/') + name; }
    // Writes a file (folders made as needed) and returns its path.
    QString Write(const QString& name, const QByteArray& bytes) const;

private:
    QString m_path;
};

// Removes every stored setting of the test program (its settings file), so each test starts as a
// first run.
void ClearSettings();
