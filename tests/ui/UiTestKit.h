#pragma once
// Helpers of the window tests: one application object for the whole test program, and a prompter
// whose answers a test queues before the action that asks (no test waits on a modal loop).

#include "framework/core/UiInterfaces.h"

#include <deque>
#include <string>
#include <vector>

namespace uitest {

// Creates the process's QApplication on first use (offscreen platform, set by the test
// registration) and keeps it until the program ends.
void ensureApplication();

// Records every question and answers from queues; an empty queue gives the safe answer.
class TScriptedPrompter : public IPrompter
{
public:
    std::vector<std::string> Questions; // texts of Confirm and ConfirmYesNoCancel, in order
    std::vector<std::string> Messages;  // texts of ShowMessage, in order
    std::deque<bool> ConfirmAnswers;
    std::deque<YesNoCancel> YesNoCancelAnswers;

    bool Confirm(const std::string& text) override;
    YesNoCancel ConfirmYesNoCancel(const std::string& text) override;
    void ShowMessage(const std::string& text, bool isError) override;
    PasswordResult AskPassword(const std::string& title, const std::string& prompt, int buttons,
                               std::string& answer) override;
    bool AskVolume(const std::string& prompt) override;
};

// Installs a prompter as the application's for the life of the object, then puts the previous back.
class TPrompterScope
{
public:
    explicit TPrompterScope(IPrompter* prompter);
    ~TPrompterScope();
    TPrompterScope(const TPrompterScope&) = delete;
    TPrompterScope& operator=(const TPrompterScope&) = delete;

private:
    IPrompter* m_previous;
};

} // namespace uitest
