#pragma once
// Start-up with a display: the batch editor, or the unattended run of a batch that shows only the
// progress window. Built into the window module; the program reaches it through the module's one
// export (WindowsEntry.h).
//
// In batch mode no dialog waits for a person: the zip component's messages, the problems of the
// run and its summary go to standard error; only the questions the person asks for (Abort,
// closing) show a box. The exit codes are those of the console run. A batch file that is named but
// missing shows the start-up message, cancels batch mode and opens the editor.

#include "app/WindowsEntry.h"

#include <string>
#include <vector>

// Runs the program with windows and returns the process's exit code. `arguments` are the
// command-line arguments without the program name; `batchMode` is the start-up's BatchMode (it is
// cleared when the batch file cannot be opened). argc and argv are handed to the application
// object. Returns kDisplayLost, before anything ran, when the display refused the connection.
int RunWithWindows(int& argc, char** argv, const std::vector<std::string>& arguments, bool& batchMode);
