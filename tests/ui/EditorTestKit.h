#pragma once
// Helpers of the editor's window tests: file pickers that record what was asked and answer from a
// queue, and answers for the program's own modal dialogs.

#include "framework/DialogRunner.h"
#include "ui/UiTestKit.h"
#include "ui/FilePickers.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace uitest {

// Answers folder browsers and file dialogs from queues (an empty queue answers Cancel) and keeps
// what each one was asked.
class TQueuedPickers : public IFilePicker
{
public:
    TQueuedPickers();
    ~TQueuedPickers() override;
    bool BrowseForFolder(QWidget*, const QString& start, QString& picked) override;
    bool OpenFile(QWidget*, const TFileDialogSpec& spec, QString& picked) override;

    std::deque<QString> folders;
    std::deque<QString> files;
    QStringList browseStarts;
    std::vector<TFileDialogSpec> fileSpecs;
};

// Answers the modal dialogs run while it lives: each one goes to the next function of the queue,
// which works the dialog and returns its result; with an empty queue a dialog is cancelled.
class TDialogAnswers
{
public:
    TDialogAnswers();
    ~TDialogAnswers();
    void Then(std::function<int(QDialog&)> answer) { m_queue.push_back(std::move(answer)); }
    int Asked() const { return m_asked; }

private:
    std::deque<std::function<int(QDialog&)>> m_queue;
    int m_asked = 0;
};

} // namespace uitest
