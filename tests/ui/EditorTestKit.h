#pragma once
// Helpers of the editor's window tests: answers for the program's own modal dialogs (the standard
// dialogs are answered by TQueuedDialogs of tests/guikit).

#include "framework/DialogRunner.h"
#include "ui/UiTestKit.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace uitest {

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
