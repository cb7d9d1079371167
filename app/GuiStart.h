#pragma once
// Start-up with a display: the batch editor, or the unattended run of a batch that shows only the
// progress window.
//
// In batch mode no dialog waits for a person: the zip component's messages, the problems of the
// run and its summary go to standard error; only the questions the person asks for (Abort,
// closing) show a box. The exit codes are those of the console run. A batch file that is named but
// missing shows the start-up message, cancels batch mode and opens the editor.

#include <string>
#include <vector>

// Runs the program with windows and returns the process's exit code. `arguments` are the
// command-line arguments without the program name; `batchMode` is the start-up's BatchMode (it is
// cleared when the batch file cannot be opened). argc and argv are handed to the application
// object. Returns kDisplayLost, before anything ran, when the display refused the connection.
constexpr int kDisplayLost = -1;
int RunWithWindows(int& argc, char** argv, const std::vector<std::string>& arguments, bool& batchMode);

// True when the display named by WAYLAND_DISPLAY or DISPLAY accepts connections (a local display's
// socket answers; a remote one is assumed to). A stale DISPLAY would otherwise end the program in
// the window system's start-up instead of running the batch.
bool DisplayReachable();
