#pragma once
// What a run did and what went wrong, for the summary at its end and the program's exit code.

#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Kinds of problems a run reports and goes on after.
enum class TRunProblem
{
    SectionSkipped,   // an entry without source folder or target was not run
    CommandFailed,    // the Before or After command could not start or ended non-zero
    UnreadableFolder, // a source folder could not be listed (or a file in it looked at)
    CopyFailed,       // a file could not be copied (unreadable source, write error, ...)
    TargetUnusable,   // a copy target folder could not be created
    ZipError,         // the zip component or its engine reported an error
    ArchiveRemoved,   // a rebuild found nothing to add and removed the previous archive
    FileChanged,      // a file changed size while it was zipped or copied (kept as read)
    Count
};

// Exit codes of an unattended run.
enum TRunExitCode : int
{
    kExitOk = 0,             // every section completed without an error
    kExitWithErrors = 1,     // the run finished, but problems were reported
    kExitStoppedByError = 2, // an error stopped the run (or the batch file could not be opened)
    kExitStoppedByUser = 3,  // the user (or a termination signal) stopped the run
};

// How a run weighs a message of the zip component or its engine (by its number).
enum class TZipMessageWeight
{
    Ignored, // information, "nothing to do", the engine's confirmation of a stop
    Notice,  // shown, but the archive was written correctly: no problem of the run
    Problem, // counted as a problem (exit code 1 at least)
};
TZipMessageWeight ZipMessageWeight(int code);

struct TRunSummary
{
    int SectionsRun = 0;     // sections processed to their end
    int SectionsSkipped = 0; // sections not run (empty source folder or target)
    int ArchivesWritten = 0; // zip sections that added or replaced files in their archive
    int FilesCopied = 0;     // files copied by copy sections
    int FilesUnchanged = 0;  // files left alone because the target was the same
    std::array<int, static_cast<int>(TRunProblem::Count)> Problems{};
    std::vector<std::string> ProblemLines;      // every problem, in order, as reported (English)
    std::vector<std::string> LocalProblemLines; // the same lines in the user's language
    std::vector<std::string> NoticeLines;       // messages shown that were no problems
    std::string CurrentSection;                 // name of the section being run (or last run)
    bool StoppedByUser = false;
    std::string StopError; // the error that ended the run, in English; empty when none
    // The numbered string of StopError and its arguments, so that it can be shown in the user's
    // language; 0 for an error that has only its English text.
    int StopErrorNumber = 0;
    std::vector<std::string> StopErrorArguments;

    void Clear() { *this = TRunSummary(); }
    // Sets the stop error from the numbered string `number` filled with `arguments`.
    void SetStopError(int number, std::vector<std::string> arguments);
    int ProblemCount() const;
    int ExitCode() const;
    // A few lines for the end of the run: counts, problems by kind, how the run ended. Text is
    // English (the console and the run log, which scripts read); LocalText is in the user's
    // language (windows and notifications).
    std::string Text() const;
    std::string LocalText() const;
    // The text with the texts of `text` (EnglishText or AppText).
    std::string TextIn(std::string (*text)(int, std::initializer_list<std::string_view>)) const;
};
