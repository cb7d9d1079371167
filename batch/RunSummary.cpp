#include "batch/RunSummary.h"

#include "core/AppStrings.h"
#include "zipcomp/ZipMessages.h"
#include "zipengine/ZipEngineApi.h"

#include <numeric>

namespace {

std::string number(int value)
{
    return std::to_string(value);
}

} // namespace

void TRunSummary::SetStopError(int number, std::vector<std::string> arguments)
{
    StopError = FillTextFrom(EnglishText(number, {}), arguments);
    StopErrorNumber = number;
    StopErrorArguments = std::move(arguments);
}

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
    // A link to a folder is not followed: said every run, but a tree holding one must not fail.
    case ZIP_MSG_DIR_LINK_SKIPPED:
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
    return TextIn(EnglishText);
}

std::string TRunSummary::LocalText() const
{
    return TextIn(AppText);
}

std::string TRunSummary::TextIn(std::string (*text)(int, std::initializer_list<std::string_view>)) const
{
    std::string out = text(sRunSummaryCounts, {number(SectionsRun), number(SectionsSkipped), number(ArchivesWritten),
                                               number(FilesCopied), number(FilesUnchanged)}) +
                      "\n";
    const bool stopped = StoppedByUser || !StopError.empty();
    if (ProblemCount() == 0) {
        // A stopped run did not finish: that it met no problem before is no good news.
        if (!stopped) {
            out += text(sRunNoProblems, {}) + "\n";
        }
    } else {
        out += text(sRunProblemCount, {number(ProblemCount())});
        const char* separator = " ";
        for (int kind = 0; kind < static_cast<int>(TRunProblem::Count); ++kind) {
            if (Problems[static_cast<std::size_t>(kind)] > 0) {
                out += separator + number(Problems[static_cast<std::size_t>(kind)]) + " " +
                       text(sRunProblemKinds + kind, {});
                separator = ", ";
            }
        }
        out += ".\n";
    }
    if (!NoticeLines.empty()) {
        out += text(sRunNoticeCount, {number(static_cast<int>(NoticeLines.size()))}) + "\n";
    }
    const std::string where =
        CurrentSection.empty() ? text(sRunBeforeFirstSection, {}) : text(sRunInSection, {CurrentSection});
    if (StoppedByUser) {
        out += text(sRunStoppedByUser, {where}) + "\n";
    } else if (!StopError.empty()) {
        const std::string error =
            StopErrorNumber > 0 ? FillTextFrom(text(StopErrorNumber, {}), StopErrorArguments) : StopError;
        out += text(sRunStoppedByError, {where, error}) + "\n";
    }
    return out;
}
