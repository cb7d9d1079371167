#include "batch/BatchRun.h"

#include "batch/p_BatchList.h"
#include "framework/core/CoreErrors.h"
#include "framework/core/vk_tools.h"

#include <cstdio>
#include <exception>

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

TBatchRunResult RunWholeBatch(TpxBatchList& batchList, const std::string& /*batchFile*/, IBatchRunReport& report)
{
    TBatchRunResult result;
    try {
        batchList.RunAll();
        result.ExitCode = batchList.RunSummary.ExitCode();
    } catch (const ESilentStop&) {
        result.ExitCode = kExitStoppedByUser;
    } catch (const std::exception& e) {
        report.RunError(e.what());
        result.ExitCode = kExitStoppedByError;
    }
    result.Summary = batchList.RunSummary.Text();
    report.RunEnded(batchList.RunSummary, result.ExitCode);
    return result;
}
