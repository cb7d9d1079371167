#pragma once
// Running the batch's Before and After commands: a command line is split into words and its first
// word started as a program, without any shell (a user who wants one writes `sh -c "..."`).

#include <functional>
#include <string>
#include <vector>

// Longest command line RunCommand accepts, in characters. Longer lines are refused, never cut:
// a cut command line could run a different command than the one the user wrote.
constexpr std::size_t kMaxCommandLine = 511;

// Splits a command line into words with the usual quoting rules of a POSIX shell, without any
// expansion: blanks (space, tab, line breaks) separate words; '...' keeps everything literally;
// "..." keeps everything except that \" \\ \$ and \` stand for the character; outside quotes a
// backslash takes the next character literally. "" gives an empty word. Returns false (and sets
// `error`) for an unterminated quote or a trailing backslash; `words` is then unspecified.
bool SplitCommandLine(const std::string& line, std::vector<std::string>& words, std::string& error);

// What became of a command.
struct TCommandOutcome
{
    bool Started = false; // the program was started
    int ExitCode = -1;    // its exit code (128 + signal number when a signal ended it); -1 if not started
    std::string Error;    // why it could not be started (empty when Started)
    bool Ended = false;   // it was ended on the caller's request (see TCommandWait)
};

// How a command is waited for when the caller stays responsive meanwhile.
struct TCommandWait
{
    // Called every few hundredths of a second while the command runs; true asks to end it. It may
    // raise (a silent stop): the command is then ended before the error goes on to the caller.
    std::function<bool()> StopWanted;
    // The command runs in a process group of its own, so that ending it ends whatever it started;
    // otherwise it stays in the caller's group (a terminal's foreground group, where it may prompt).
    bool OwnProcessGroup = false;
    // How long a command asked to end with SIGTERM has before SIGKILL, in milliseconds.
    int GraceMilliseconds = 3000;
};

// True when the process belongs to the foreground group of a terminal on its standard input,
// output or error: a command started from here may use that terminal.
bool InTerminalForeground();

// Runs the command line (blanks at both ends removed): its first word is the program, looked up on
// PATH when it has no "/", the other words its arguments; the environment and the current folder
// are the caller's; SIGINT, SIGTERM and SIGPIPE are at their defaults in the program. Waits for its
// end without a time limit. An empty line, a line longer than kMaxCommandLine, a quoting error or a
// program that cannot be started give Started false with the reason in Error.
TCommandOutcome RunCommandLine(const std::string& commandLine);

// RunCommandLine, asking `wait.StopWanted` while the command runs. A command asked to end gets
// SIGTERM (its whole group with OwnProcessGroup), SIGKILL after the grace, and is waited for; the
// outcome then has Ended set.
TCommandOutcome RunCommandLine(const std::string& commandLine, const TCommandWait& wait);

// The framework's form: the command line is `command`, a space and `parameters`, blanks removed at
// both ends. With `wait` the result is the exit code, or -1 when the command could not be started;
// without it, the process id (the caller reaps it), or -1. `showCommand` is the window state a
// windowed system gives the program's first window; it has no meaning here and is ignored.
int RunCommand(const std::string& command, const std::string& parameters, bool wait, int showCommand);

// What a program run by RunProgram printed and how it ended.
struct TProgramOutput
{
    bool Started = false; // the program was started
    int ExitCode = -1;    // its exit code (128 + signal number when a signal ended it); -1 if not started
    std::string Output;   // standard output and standard error together, in the order written
    std::string Error;    // why it could not be started (empty when Started)
};

// Runs argv[0] (looked up on PATH when it has no "/") with the other words as its arguments, no
// shell, standard input from /dev/null, and collects what it prints until it ends. Meant for short
// helper programs; waits without a time limit.
TProgramOutput RunProgram(const std::vector<std::string>& argv);
