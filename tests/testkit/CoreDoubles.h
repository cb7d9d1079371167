#pragma once
// Test doubles of the core's interfaces, for tests of every layer: a prompter that answers from
// queues, an event pump that counts its calls and can run a hook, and a progress view that shows
// nothing and keeps the problems.

#include "core/UiInterfaces.h"

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

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
    std::vector<int> AskedButtons;      // the buttons of every password question
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

// An event pump that counts its calls and runs `hook` (when set) in each.
class TCountingPump : public IEventPump
{
public:
    void ProcessMessages() override
    {
        ++Calls;
        if (Hook)
            Hook();
    }
    int Calls = 0;
    std::function<void()> Hook;
};

// A progress view that shows nothing and keeps the problems reported to it; tests override what
// they look at.
class TQuietProgressView : public TNullProgressView
{
public:
    void ReportProblem(const std::string& text) override { Problems.push_back(text); }

    std::vector<std::string> Problems;
};
