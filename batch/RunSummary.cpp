#include "batch/RunSummary.h"

#include "zipcomp/ZipMessages.h"
#include "zipengine/ZipEngineApi.h"

#include <numeric>

namespace {

const char* problemName(TRunProblem kind)
{
    switch (kind) {
    case TRunProblem::SectionSkipped:
        return "sections skipped";
    case TRunProblem::CommandFailed:
        return "failed commands";
    case TRunProblem::UnreadableFolder:
        return "unreadable folders or files";
    case TRunProblem::CopyFailed:
        return "files not copied";
    case TRunProblem::TargetUnusable:
        return "unusable target folders";
    case TRunProblem::ZipError:
        return "zip errors";
    case TRunProblem::ArchiveRemoved:
        return "archives removed (nothing to add)";
    case TRunProblem::FileChanged:
        return "files changed while read";
    case TRunProblem::Count:
        break;
    }
    return "problems";
}

} // namespace

TZipMessageWeight ZipMessageWeight(int code)
{
    switch (code) {
    case ZIP_MSG_INFO:
    case ZIP_MSG_NOTHING_TO_DO:
    case ZIP_MSG_STOPPED:
        return TZipMessageWeight::Ignored;
    // The reader found the directory displaced, or bytes after the archive's end; it read the
    // archive anyway and the engine wrote it correctly.
    case zipmsg::kDirDisplaced:
    case zipmsg::kTrailingBytes:
        return TZipMessageWeight::Notice;
    default:
        return TZipMessageWeight::Problem;
    }
}

int TRunSummary::ProblemCount() const
{
    return std::accumulate(Problems.begin(), Problems.end(), 0);
}

int TRunSummary::ExitCode() const
{
    if (StoppedByUser) {
        return kExitStoppedByUser;
    }
    if (!StopError.empty()) {
        return kExitStoppedByError;
    }
    return ProblemCount() > 0 ? kExitWithErrors : kExitOk;
}

std::string TRunSummary::Text() const
{
    std::string text = "Run summary: " + std::to_string(SectionsRun) + " section(s) run, " +
                       std::to_string(SectionsSkipped) + " skipped; " + std::to_string(ArchivesWritten) +
                       " archive(s) written; " + std::to_string(FilesCopied) + " file(s) copied, " +
                       std::to_string(FilesUnchanged) + " unchanged.\n";
    const bool stopped = StoppedByUser || !StopError.empty();
    if (ProblemCount() == 0) {
        // A stopped run did not finish: that it met no problem before is no good news.
        if (!stopped) {
            text += "No problems.\n";
        }
    } else {
        text += std::to_string(ProblemCount()) + " problem(s):";
        const char* separator = " ";
        for (int kind = 0; kind < static_cast<int>(TRunProblem::Count); ++kind) {
            if (Problems[static_cast<std::size_t>(kind)] > 0) {
                text += separator + std::to_string(Problems[static_cast<std::size_t>(kind)]) + " " +
                        problemName(static_cast<TRunProblem>(kind));
                separator = ", ";
            }
        }
        text += ".\n";
    }
    const std::string where =
        CurrentSection.empty() ? "before the first section" : "in section \"" + CurrentSection + "\"";
    if (StoppedByUser) {
        text += "Stopped by the user " + where + "; the rest of the batch was not run.\n";
    } else if (!StopError.empty()) {
        text += "Stopped by an error " + where + ": " + StopError + "\n";
    }
    return text;
}
