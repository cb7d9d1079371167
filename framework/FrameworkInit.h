#pragma once
// The window framework's start: call InitFramework() once, right after creating the application
// object (a TVorlandApplication, so errors escaping an event reach the error box). It creates the
// settings store AppContexte() and the language object AppLanguage() (the numbered strings table
// AppStrings() exists from the start), installs the message-box prompter as the core's prompter,
// and gives the event pump the runner uses while it works. Everything stays until ShutdownFramework(),
// which runs by itself when the application object is destroyed.

#include <QString>

class TvkContexte;
class TvkLanguage;
class TQtEventPump;
class TQtPrompter;

// Idempotent; needs a QApplication.
void InitFramework();
// Uninstalls the prompter and frees the language object, then the settings store. Idempotent.
void ShutdownFramework();

// The framework's event pump (QCoreApplication::processEvents) for TpxBatchList::EventPump.
TQtEventPump& AppEventPump();
// The message-box prompter installed by InitFramework.
TQtPrompter& AppQtPrompter();

// The address of the help page bundled with the program (a file: URL), or empty when it is missing:
// "doc/help.html" beside the executable (the build tree), else "../share/vorland/help.html" from
// the executable's folder (an installed program). For TvkLanguage::SetHelpAddress.
QString BundledHelpAddress();
