#pragma once
// The program's application object: the message loop's last line of defence. An error that escapes
// an event handler is shown in the standard error box (through the installed prompter) and the
// program goes on; the silent stop (ESilentStop) ends the work it stopped without any message.

#include <QApplication>

#include <functional>
#include <string>

class TVorlandApplication : public QApplication
{
    Q_OBJECT
public:
    TVorlandApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an error in the standard error box: the installed prompter's error message, or standard
    // error when there is none.
    static void ShowError(const std::string& text);
};
