#pragma once
// The run of a whole batch as every face of the program starts it (the console, the unattended run
// with windows, the editor's Zip it): run all sections, work out the exit code, report the summary.
// What surrounds every whole-batch run (a run log, a lock against a second run, a notification)
// belongs here, so that each face gets it alike.

#include "batch/RunSummary.h"

#include <string>

class TpxBatchList;

// Where a whole-batch run says how it ended. Called on the run's thread, after the progress view
// was hidden.
class IBatchRunReport
{
public:
    virtual ~IBatchRunReport() = default;
    // An error other than a stop ended the run; `text` is the error's own text.
    virtual void RunError(const std::string& text) = 0;
    // The run was not started (another run of the batch goes on): `text` in English for the console,
    // `localText` in the user's language for windows.
    virtual void RunRefused(const std::string& text, const std::string& localText)
    {
        (void)localText;
        RunError(text);
    }
    // The run is over (completed, stopped or ended by an error): its summary and exit code.
    virtual void RunEnded(const TRunSummary& summary, int exitCode) = 0;
};

// Writes the error ("Error: ...") and the summary on standard error, control characters escaped, in
// English as scripts read them.
class TStderrBatchRunReport : public IBatchRunReport
{
public:
    void RunError(const std::string& text) override;
    void RunEnded(const TRunSummary& summary, int exitCode) override;
};

struct TBatchRunResult
{
    int ExitCode = kExitOk; // as TRunSummary::ExitCode: 0, 1, 2 or 3
    std::string Summary;    // TRunSummary::Text() of the run
    bool Refused = false;   // another run of the same batch was going on: nothing was run (exit code 2)
};

// Runs the whole batch with the progress view, prompter and event pump wired into the list (RunAll),
// and reports its end. `batchFile` is the file the batch was loaded from (empty for an unsaved one).
// Nothing is raised: a stop gives exit code 3, any other error 2 (after report.RunError). Does
// nothing but report the previous summary when a run already goes on.
//
// A batch with a file is run under its run lock: while another process runs the same batch the run
// is refused (report.RunError with the reason, exit code 2, Refused) and the other run goes on
// undisturbed. The run is appended to the batch's run log and its result kept as the batch's last
// result (batch/RunRecorder.h). `unattended` (batch mode) also sends the desktop notification of a
// run that ends with exit code 1 to 3, or was refused, or (NotifySuccess) of every run.
TBatchRunResult RunWholeBatch(TpxBatchList& batchList, const std::string& batchFile, IBatchRunReport& report,
                              bool unattended = false);

// Ends the run going on in this process as stopped by the error of numbered string
// `stopError`, for a process that must end now and cannot return to the run (the window system ends
// it): the summary reported, the run log's end, the last result kept and, in batch mode, the
// notification sent, as for any run stopped by an error. The caller then ends the process. Returns
// the exit code (kExitStoppedByError), or -1 when no run goes on. Call on the run's
// thread, from within the run (a callback, a handler of the process's end).
int EndRunInProgress(int stopError);

// Runs one entry of the batch (RunSection) as RunWholeBatch runs all of them: under the run lock and
// into the run log, but it never counts as the batch's last result and never notifies.
TBatchRunResult RunOneSection(TpxBatchList& batchList, const std::string& batchFile, int index,
                              IBatchRunReport& report);
