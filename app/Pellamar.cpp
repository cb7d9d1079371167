// The program's entry point: the command line, the choice between the batch editor and the
// unattended run of a batch, and the end of the process.
//
// Usage: vorland BATCHFILE /B    runs every section of the batch unattended and ends
//        vorland /?              shows the usage text
// Switches are recognised anywhere, by prefix and in any letter case (/b, /Batch); the batch file
// is always the first argument. An argument that names an existing file or folder is never a switch
// (a batch file such as /backup/daily.vrl is no "/B"), except "/B" and "/?" standing alone.
// Options that begin with "--" are read first, by one reader (app/LongOptions.h), and no argument
// from the first of them on is taken as a "/" switch; an unknown one or a missing value is refused
// with the usage text (exit code 2). --batch is another name of /B; --help and -h of /?.
// "vorland --status BATCHFILE" prints the batch's last result (exit code 0 recent run without
// problems, 1 last run had problems or was stopped, 2 unreadable batch file, 3 never run, 4 last run
// without problems older than the user's limit); "vorland --version" the version.
//
//        vorland --test ARCHIVE                             tests every entry of the archive
//        vorland --restore ARCHIVE --to FOLDER [--replace|--skip|--keep-both] [--password P]
//                [NAME-OR-MASK...]                          restores entries without windows
// Their exit codes: 0 all good, 1 bad entries or files not restored (each named), 2 the archive
// cannot be read or is no archive, 3 stopped by a signal.
//
// Without a display (neither DISPLAY nor WAYLAND_DISPLAY set), or with VORLAND_CONSOLE=1, the run
// shows its progress and problems on standard error. Exit codes of a run: 0 every section completed
// without an error, 1 the run finished but problems were reported, 2 an error stopped the run or the
// batch file could not be opened, 3 the user stopped it (Ctrl-C answered with "y", SIGINT or SIGTERM
// without a terminal, SIGHUP).

#include "app/ConsoleEventPump.h"
#include "app/ConsoleProgressView.h"
#include "app/ConsolePrompter.h"
#include "app/LongOptions.h"
#include "app/RestoreCommand.h"
#ifdef VORLAND_HAVE_WINDOWS
#include "app/DisplayProbe.h"
#include "app/ModuleLoading.h"
#include "app/WindowsEntry.h"
#include "app/WindowsModule.h"
#endif
#include "batch/BatchRun.h"
#include "batch/RunSettings.h"
#include "batch/RunStatus.h"
#include "batch/p_BatchList.h"
#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "core/Questions.h"
#include "core/vk_tools.h"
#include "pathrules/PathRules.h"
#include "zipcomp/ZipComp.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// An unattended run of the batch named on the command line was asked for and is still possible.
bool BatchMode = false;

namespace {

std::vector<std::string> g_arguments;
// Arguments from this index on are never "/" switches.
std::size_t g_switchEnd = 0;

const char* const kUsageText = "Pellamar - Vorland\r\nOptions :\r\nFileName : Batch filename\r\n/B : Batch mode\r\n"
                               "--batch : Batch mode (as /B)\r\n--status FileName : Last result of the batch\r\n"
                               "--version : Version\r\n--test Archive : Test every entry of an archive\r\n"
                               "--restore Archive --to Folder [--replace|--skip|--keep-both] [--password P] "
                               "[Names] : Restore from an archive\r\n/?, --help, -h : This text";

std::string upperCased(std::string text)
{
    for (auto& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

[[maybe_unused]] bool environmentSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Texts of plain message boxes: on standard error in the console, lines ended by the platform.
std::string consoleLines(std::string text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace

namespace {

// Whether the argument may be a switch: not when it names something that exists (a path beginning
// with "/b" is a batch file, not batch mode), but "/B" and "/?" alone always are.
bool MayBeSwitch(const std::string& argument)
{
    const std::string upper = upperCased(argument);
    if (upper == "/B" || upper == "/?") {
        return true;
    }
    return !somethingAt(argument);
}

} // namespace

// True when some argument that may be a switch, upper-cased, begins with the upper-cased switch.
bool HasSwitch(const std::string& switchText)
{
    const std::string wanted = upperCased(switchText);
    const auto end = g_arguments.begin() + static_cast<std::ptrdiff_t>(std::min(g_switchEnd, g_arguments.size()));
    return std::any_of(g_arguments.begin(), end, [&](const std::string& argument) {
        return upperCased(argument).rfind(wanted, 0) == 0 && MayBeSwitch(argument);
    });
}

// Whether the program goes on: false after the usage text was shown.
bool ParseCommandLine(const TLongOptions& longOptions)
{
    if (g_arguments.empty()) {
        return true;
    }
    if (HasSwitch("/?") || longOptions.command == TLongOptions::Command::Help) {
        // Without windows the usage text goes to standard output.
        std::printf("%s\n", consoleLines(kUsageText).c_str());
        std::fflush(stdout);
        return false;
    }
    BatchMode = HasSwitch("/B") || longOptions.batch;
    return true;
}

// Opens the batch file named by the first argument. In batch mode a missing file cancels batch
// mode with the message of start-up; false then.
bool OpenCommandLineFile(TpxBatchList& batchList)
{
    if (g_arguments.empty()) {
        return true;
    }
    const std::string& fileName = g_arguments.front();
    if (isSomethingButFolder(fileName)) {
        batchList.LoadFromFile(fileName);
        return true;
    }
    if (BatchMode) {
        const std::string text = "Pellamar - Vorland\r\n" + EscapeControls(fileName) +
                                 " : unable to open Batch filename\r\nBatch mode cancelled.";
        std::fprintf(stderr, "%s\n", consoleLines(text).c_str());
        BatchMode = false;
        return false;
    }
    return true;
}

namespace {

int runInConsole()
{
    const bool terminalOut = ::isatty(STDERR_FILENO) == 1;
    const bool terminalIn = terminalOut && ::isatty(STDIN_FILENO) == 1;

    auto view = std::make_unique<TConsoleProgressView>(stderr, terminalOut);
    TConsoleProgressView* viewPtr = view.get();
    TConsolePrompter prompter(stdin, stderr, terminalIn);
    prompter.SetBeforeQuestion([viewPtr] { viewPtr->ReleaseScreen(); });
    // SIGTERM or SIGHUP while "Cancel zip ?" waits for an answer stops the run at once.
    prompter.SetGiveUp([] {
        const int signal = TConsoleEventPump::PendingSignal();
        return signal == SIGTERM || signal == SIGHUP;
    });
    SetAppPrompter(&prompter);

    TpxBatchList batchList;
    batchList.SetProgressForm(std::move(view));
    // No message boxes: the component's messages reach the progress view through the runner.
    batchList.ZipComponent->SetUnattended(true);

    // Ctrl-C at a terminal asks whether to stop; otherwise (SIGTERM, or no terminal to ask on) the
    // run stops at the next check.
    TConsoleEventPump pump([&batchList, terminalIn](int signal) {
        if (signal == SIGINT && terminalIn) {
            batchList.QueryStop();
        } else {
            batchList.CancelRequested = true;
        }
    });
    batchList.SetEventPump(&pump);

    try {
        if (!OpenCommandLineFile(batchList)) {
            SetAppPrompter(nullptr);
            return kExitStoppedByError;
        }
    } catch (const std::exception& e) {
        // A batch file that exists but cannot be read.
        std::fprintf(stderr, "Pellamar - Vorland\n%s\nBatch mode cancelled.\n", EscapeControlsByLine(e.what()).c_str());
        SetAppPrompter(nullptr);
        return kExitStoppedByError;
    }

    TStderrBatchRunReport report;
    const int exitCode = RunWholeBatch(batchList, g_arguments.front(), report, true).ExitCode;
    SetAppPrompter(nullptr);
    return exitCode;
}

} // namespace

namespace {

// "--status FILE": the batch's last result for scripts, in English; the exit code says it (see
// TStatusCode).
int runStatus(const std::string& batchFile)
{
    const TRunStatus status =
        RunStatusOf(batchFile, ReadRunSettings().StaleDays, static_cast<std::int64_t>(std::time(nullptr)), true);
    if (status.Code == kStatusUnreadable) {
        std::fprintf(stderr, "vorland: %s\n",
                     EscapeControls(EnglishText(sBatchUnreadable, {batchFile, status.Error})).c_str());
    } else {
        std::fputs(EscapeControlsByLine(StatusReport(status, EnglishText)).c_str(), stdout);
    }
    std::fflush(stdout);
    return status.Code;
}

} // namespace

int main(int argc, char** argv)
{
    // A write that fails is reported through its error: a closed pipe on standard error or a
    // file-size limit must not kill a backup half-way (commands started get these signals back).
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    BatchMode = false;
    g_arguments.assign(argv + 1, argv + argc);
    const TLongOptions longOptions = ReadLongOptions(g_arguments);
    g_switchEnd = longOptions.firstLongOption;
    using Command = TLongOptions::Command;
    const bool restoring = longOptions.command == Command::Test || longOptions.command == Command::Restore;
    if (!longOptions.error.empty() && longOptions.command != Command::Help) {
        std::fprintf(stderr, "vorland: %s\n%s\n", EscapeControls(longOptions.error).c_str(),
                     restoring ? AppString(sRestoreUsage).c_str() : consoleLines(kUsageText).c_str());
        return kExitStoppedByError;
    }
    if (restoring) {
        return RunRestoreCommand(longOptions);
    }
    if (longOptions.command == Command::Status) {
        return runStatus(longOptions.batchFile);
    }
    if (longOptions.command == Command::Version) {
        std::printf("vorland %s\n", VORLAND_VERSION);
        return 0;
    }
    const bool goOn = ParseCommandLine(longOptions);
#ifdef VORLAND_HAVE_WINDOWS
    const bool display = environmentSet("DISPLAY") || environmentSet("WAYLAND_DISPLAY");
    const char* forced = std::getenv("VORLAND_CONSOLE");
    const bool forceConsole = forced != nullptr && std::string(forced) == "1";
    if (display && !forceConsole) {
        // The windows live in a module of their own, loaded only here: a run in the console never
        // maps the window libraries.
        TWindowsModule windows;
        if (!goOn) {
            // The usage text, already printed, is shown in a box too where one can be.
            if (DisplayReachable() && windows.Load(TWindowsModule::ChoosePath(ProgramFolder()))) {
                windows.ShowUsage(argc, argv, kUsageText);
            }
            return 0;
        }
        if (!DisplayReachable()) {
            std::fprintf(stderr, "vorland: cannot open the display; running without windows\n");
        } else if (!windows.Load(TWindowsModule::ChoosePath(ProgramFolder()))) {
            // A broken install: a batch still runs, the editor cannot.
            std::fprintf(stderr, "vorland: %s; %s\n", EscapeControls(windows.Error()).c_str(),
                         BatchMode ? "running without windows" : "the batch editor cannot open its windows");
            if (!BatchMode) {
                return kExitStoppedByError;
            }
        } else {
            const int code = windows.Run(argc, argv, g_arguments, BatchMode);
            if (code != kDisplayLost) {
                return code;
            }
            std::fprintf(stderr, "vorland: cannot open the display; running without windows\n");
        }
    }
#endif
    if (!goOn) {
        return 0;
    }
    if (!BatchMode) {
        std::fprintf(stderr, "vorland: the batch editor needs a display; run a batch with: vorland "
                             "BATCHFILE /B (vorland /? shows the usage)\n");
        // A first argument that names no batch file is reported the same way as in batch mode.
        return kExitStoppedByError;
    }
    return runInConsole();
}
