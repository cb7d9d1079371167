#include "testkit/CoreDoubles.h"

#include "core/Questions.h"

TQueuedPrompter::TQueuedPrompter() : m_previous(AppPrompter())
{
    SetAppPrompter(this);
}

TQueuedPrompter::~TQueuedPrompter()
{
    SetAppPrompter(m_previous);
}

void TQueuedPrompter::QueuePassword(PasswordResult result, const std::string& password)
{
    m_passwords.emplace_back(result, password);
}

bool TQueuedPrompter::Confirm(const std::string& text)
{
    Questions.push_back(text);
    if (m_confirms.empty()) {
        ++Unanswered;
        return false;
    }
    const bool answer = m_confirms.front();
    m_confirms.pop_front();
    return answer;
}

YesNoCancel TQueuedPrompter::ConfirmYesNoCancel(const std::string& text)
{
    Questions.push_back(text);
    if (m_yesNoCancels.empty()) {
        ++Unanswered;
        return YesNoCancel::Cancel;
    }
    const YesNoCancel answer = m_yesNoCancels.front();
    m_yesNoCancels.pop_front();
    return answer;
}

void TQueuedPrompter::ShowMessage(const std::string& text, bool isError)
{
    (isError ? Errors : Messages).push_back(text);
}

PasswordResult TQueuedPrompter::AskPassword(const std::string& /*title*/, const std::string& prompt, int buttons,
                                            std::string& answer)
{
    Questions.push_back(prompt);
    AskedButtons.push_back(buttons);
    if (m_passwords.empty()) {
        ++Unanswered;
        return PasswordResult::Cancel;
    }
    const auto [result, password] = m_passwords.front();
    m_passwords.pop_front();
    if (result == PasswordResult::Ok) {
        answer = password;
    }
    return result;
}

bool TQueuedPrompter::AskVolume(const std::string& prompt)
{
    Questions.push_back(prompt);
    if (m_volumes.empty()) {
        ++Unanswered;
        return false;
    }
    const bool answer = m_volumes.front();
    m_volumes.pop_front();
    return answer;
}
