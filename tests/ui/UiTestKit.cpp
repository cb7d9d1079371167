#include "ui/UiTestKit.h"

#include "framework/core/Questions.h"

#include <QApplication>

namespace uitest {

void ensureApplication()
{
    if (QApplication::instance() != nullptr) {
        return;
    }
    static int argc = 1;
    static char name[] = "vorland-ui-test";
    static char* argv[] = {name, nullptr};
    // Lives until the program ends: Qt wants one application object for the whole process.
    new QApplication(argc, argv);
}

bool TScriptedPrompter::Confirm(const std::string& text)
{
    Questions.push_back(text);
    if (ConfirmAnswers.empty()) {
        return false;
    }
    const bool answer = ConfirmAnswers.front();
    ConfirmAnswers.pop_front();
    return answer;
}

YesNoCancel TScriptedPrompter::ConfirmYesNoCancel(const std::string& text)
{
    Questions.push_back(text);
    if (YesNoCancelAnswers.empty()) {
        return YesNoCancel::Cancel;
    }
    const YesNoCancel answer = YesNoCancelAnswers.front();
    YesNoCancelAnswers.pop_front();
    return answer;
}

void TScriptedPrompter::ShowMessage(const std::string& text, bool)
{
    Messages.push_back(text);
}

PasswordResult TScriptedPrompter::AskPassword(const std::string&, const std::string&, int, std::string&)
{
    return PasswordResult::Cancel;
}

bool TScriptedPrompter::AskVolume(const std::string&)
{
    return false;
}

TPrompterScope::TPrompterScope(IPrompter* prompter) : m_previous(AppPrompter())
{
    SetAppPrompter(prompter);
}

TPrompterScope::~TPrompterScope()
{
    SetAppPrompter(m_previous);
}

} // namespace uitest
