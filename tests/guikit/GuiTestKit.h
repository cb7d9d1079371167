#pragma once
// Helpers for window tests: the application object every test program needs, a prompter and a
// dialog provider that answer from queues (so no test waits on a modal loop or starts an outside
// program), and a fresh settings and languages folder per test.

#include "framework/DialogProvider.h"
#include "framework/core/UiInterfaces.h"

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

// The prompter of tests. Answers are taken in order; a question with no answer queued gets the safe
// answer (Confirm false, Cancel, no password, no volume) and is counted in Unanswered.
class TQueuedPrompter : public IPrompter
{
public:
    // Installs itself as the core's prompter; the destructor puts the previous one back.
    TQueuedPrompter();
    ~TQueuedPrompter() override;

    void QueueConfirm(bool answer) { m_confirms.push_back(answer); }
    void QueueYesNoCancel(YesNoCancel answer) { m_yesNoCancels.push_back(answer); }
    void QueuePassword(PasswordResult result, const std::string& password = {});
    void QueueVolume(bool answer) { m_volumes.push_back(answer); }

    bool Confirm(const std::string& text) override;
    YesNoCancel ConfirmYesNoCancel(const std::string& text) override;
    void ShowMessage(const std::string& text, bool isError) override;
    PasswordResult AskPassword(const std::string& title, const std::string& prompt, int buttons,
                               std::string& answer) override;
    bool AskVolume(const std::string& prompt) override;

    std::vector<std::string> Questions; // every question's text, in order
    std::vector<std::string> Messages;  // every message's text
    std::vector<std::string> Errors;    // every error message's text
    int Unanswered = 0;

private:
    IPrompter* m_previous;
    std::deque<bool> m_confirms;
    std::deque<YesNoCancel> m_yesNoCancels;
    std::deque<std::pair<PasswordResult, std::string>> m_passwords;
    std::deque<bool> m_volumes;
};

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
