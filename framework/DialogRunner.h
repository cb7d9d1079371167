#pragma once
// One place where the program's own modal dialogs are run, so that tests can answer them without a
// modal loop: a test installs an answerer that works the dialog's controls and returns the result
// the dialog would have ended with. GUI thread only.

#include <functional>

class QDialog;

// Answers a dialog in place of its modal loop; returns QDialog::Accepted or QDialog::Rejected.
using TModalAnswerer = std::function<int(QDialog&)>;

// Shows the dialog modally (QDialog::exec) and returns its result, or hands it to the installed
// answerer.
int RunModalDialog(QDialog& dialog);

// Installs the answerer for the dialogs run from now on; an empty one restores the modal loop.
void SetModalAnswerer(TModalAnswerer answerer);
