#include "batch/BatchRun.h"

#include "batch/RunRecorder.h"
#include "batch/p_BatchList.h"
#include "core/CoreErrors.h"
#include "core/vk_tools.h"

#include <cstdio>
#include <exception>
#include <functional>
#include <utility>

void TStderrBatchRunReport::RunError(const std::string& text)
{
    std::fprintf(stderr, "Error: %s\n", EscapeControlsByLine(text).c_str());
    std::fflush(stderr);
}

void TStderrBatchRunReport::RunEnded(const TRunSummary& summary, int /*exitCode*/)
{
    std::fputs(EscapeControlsByLine(summary.Text()).c_str(), stderr);
    std::fflush(stderr);
}

namespace {

// The whole-batch run going on in this process, for an end of the process that cannot return to it.
struct TRunInProgress
{
    TpxBatchList& List;
    TRunRecorder& Record;
    IBatchRunReport& Report;
    bool Unattended;
};
TRunInProgress* g_runInProgress = nullptr;

class TRunInProgressGuard
{
public:
    explicit TRunInProgressGuard(TRunInProgress* run) { g_runInProgress = run; }
    ~TRunInProgressGuard() { g_runInProgress = nullptr; }
    TRunInProgressGuard(const TRunInProgressGuard&) = delete;
    TRunInProgressGuard& operator=(const TRunInProgressGuard&) = delete;
};

TBatchRunResult runRecorded(TpxBatchList& batchList, const std::string& batchFile, IBatchRunReport& report,
                            bool wholeBatch, bool unattended, const std::function<void()>& run)
{
    TBatchRunResult result;
    if (unattended) {
        // The notification's texts (the refusal, the first problem) are made as the run goes.
        UseUsersRunLanguage();
    }
    TRunRecorder record(batchList, batchFile, wholeBatch);
    if (!record.Begin()) {
        report.RunRefused(record.RefusalText(), record.LocalRefusalText());
        result.ExitCode = kExitStoppedByError;
        result.Refused = true;
        if (unattended) {
            NotifyRunEnd(batchFile, result.ExitCode, record.LocalRefusalText(), 0, record.Files().Log, false);
        }
        return result;
    }
    if (!record.Warning().empty()) {
        // The run goes on without what could not be kept; the user should know it is missing.
        batchList.ProgressForm->ReportNotice(record.Warning());
    }
    try {
        TRunInProgress inProgress{batchList, record, report, unattended};
        const TRunInProgressGuard guard(&inProgress);
        run();
        result.ExitCode = batchList.RunSummary.ExitCode();
    } catch (const ESilentStop&) {
        result.ExitCode = kExitStoppedByUser;
    } catch (const std::exception& e) {
        report.RunError(e.what());
        result.ExitCode = kExitStoppedByError;
    }
    record.Finish(result.ExitCode);
    result.Summary = batchList.RunSummary.Text();
    report.RunEnded(batchList.RunSummary, result.ExitCode);
    if (unattended) {
        record.Notify();
    }
    return result;
}

} // namespace

TBatchRunResult RunWholeBatch(TpxBatchList& batchList, const std::string& batchFile, IBatchRunReport& report,
                              bool unattended)
{
    if (batchList.Running()) {
        // A second request while the batch runs (a click while the event pump runs): no run of its own.
        TBatchRunResult result;
        result.ExitCode = batchList.RunSummary.ExitCode();
        result.Summary = batchList.RunSummary.Text();
        report.RunEnded(batchList.RunSummary, result.ExitCode);
        return result;
    }
    return runRecorded(batchList, batchFile, report, true, unattended, [&batchList] { batchList.RunAll(); });
}

int EndRunInProgress(int stopError)
{
    TRunInProgress* run = std::exchange(g_runInProgress, nullptr);
    if (run == nullptr) {
        return -1;
    }
    TRunSummary& summary = run->List.RunSummary;
    summary.SetStopError(stopError, {});
    run->Record.Finish(kExitStoppedByError);
    run->Report.RunEnded(summary, kExitStoppedByError);
    if (run->Unattended) {
        run->Record.Notify();
    }
    return kExitStoppedByError;
}

TBatchRunResult RunOneSection(TpxBatchList& batchList, const std::string& batchFile, int index, IBatchRunReport& report)
{
    if (batchList.Running()) {
        return {batchList.RunSummary.ExitCode(), batchList.RunSummary.Text(), false};
    }
    return runRecorded(batchList, batchFile, report, false, false,
                       [&batchList, index] { batchList.RunSection(index); });
}
