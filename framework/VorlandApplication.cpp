#include "framework/VorlandApplication.h"

#include "core/CoreErrors.h"
#include "core/Questions.h"

#include <cstdio>
#include <exception>

TVorlandApplication::TVorlandApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TVorlandApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const ESilentStop&) {
        return false;
    } catch (const std::exception& error) {
        ShowError(error.what());
    } catch (...) {
        ShowError("Unknown error");
    }
    return false;
}

void TVorlandApplication::ShowError(const std::string& text)
{
    // Nothing may leave the message loop from here, not even a failure to show the error.
    try {
        if (IPrompter* prompter = AppPrompter()) {
            prompter->ShowMessage(text, true);
            return;
        }
    } catch (...) {
    }
    std::fprintf(stderr, "Error: %s\n", text.c_str());
}
