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
    // The run is over (completed, stopped or ended by an error): its summary and exit code.
    virtual void RunEnded(const TRunSummary& summary, int exitCode) = 0;
};

// Writes the error ("Error: ...") and the summary on standard error, control characters escaped.
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
};

// Runs the whole batch with the progress view, prompter and event pump wired into the list (RunAll),
// and reports its end. `batchFile` is the file the batch was loaded from (empty for an unsaved one).
// Nothing is raised: a stop gives exit code 3, any other error 2 (after report.RunError). Does
// nothing but report the previous summary when a run already goes on.
TBatchRunResult RunWholeBatch(TpxBatchList& batchList, const std::string& batchFile, IBatchRunReport& report);
