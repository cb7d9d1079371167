#pragma once
// The framework's question boxes, answered by the prompter the program installs (the GUI's message
// boxes or the console). Without an installed prompter every question gets the safe answer.

#include "core/UiInterfaces.h"

#include <string>

// Installs the process-wide prompter (not owned; nullptr removes it). Call from the main thread.
void SetAppPrompter(IPrompter* prompter);
IPrompter* AppPrompter();

// Question titled "Confirmation" with OK and Cancel; true only for OK (false without a prompter).
bool Confirm(const std::string& text);
// Question titled "Confirmation" with Yes, No and Cancel (Cancel without a prompter).
YesNoCancel ConfirmYesNoCancel(const std::string& text);
