#pragma once
// The window side of the core's questions: message boxes titled "Confirmation" (OK/Cancel and
// Yes/No/Cancel, question icon), messages and error boxes, the password prompt and the volume
// question. Every question is modal to the active window; the boxes run through RunModalDialog, so a
// test or the picture program can answer them. GUI thread only.

#include "core/UiInterfaces.h"

class QWidget;

class TQtPrompter : public IPrompter
{
public:
    bool Confirm(const std::string& text) override;
    YesNoCancel ConfirmYesNoCancel(const std::string& text) override;
    // Titled with the application's name; an error gets the critical icon.
    void ShowMessage(const std::string& text, bool isError) override;
    PasswordResult AskPassword(const std::string& title, const std::string& prompt, int buttons,
                               std::string& answer) override;
    // "Confirmation" with OK and Cancel; true for OK.
    bool AskVolume(const std::string& prompt) override;

private:
    static QWidget* owner();
};
