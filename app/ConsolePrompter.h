#pragma once
// Questions in the console. With a terminal on standard input, questions are written to standard
// error and answered on standard input (passwords without echo); without one, every question gets
// the safe answer at once (Confirm false, Cancel, no password, no volume), as an unattended run must.

#include "core/UiInterfaces.h"

#include <cstdio>
#include <functional>
#include <string>

class TConsolePrompter : public IPrompter
{
public:
    // `interactive`: questions may be asked (normally: standard input and error are terminals).
    TConsolePrompter(std::FILE* in, std::FILE* out, bool interactive);

    // Called before every question, so a live progress view can get out of the way.
    void SetBeforeQuestion(std::function<void()> beforeQuestion) { m_beforeQuestion = std::move(beforeQuestion); }
    // Looked at while a question waits for its answer: true gives up the question at once, as if
    // no answer came (a termination signal must not wait for somebody at the keyboard).
    void SetGiveUp(std::function<bool()> giveUp) { m_giveUp = std::move(giveUp); }

    bool Confirm(const std::string& text) override;
    YesNoCancel ConfirmYesNoCancel(const std::string& text) override;
    void ShowMessage(const std::string& text, bool isError) override;
    PasswordResult AskPassword(const std::string& title, const std::string& prompt, int buttons,
                               std::string& answer) override;
    bool AskVolume(const std::string& prompt) override;

private:
    // One answer line without its line end; false at end of input or when the question was given up.
    bool readLine(std::string& line, bool echo);
    // Waits until input can be read; false when the question was given up first.
    bool awaitInput();

    std::FILE* m_in;
    std::FILE* m_out;
    bool m_interactive;
    std::function<void()> m_beforeQuestion;
    std::function<bool()> m_giveUp;
};
