#include "batch/RunStatus.h"

#include "batch/RunLock.h"
#include "batch/RunSummary.h"
#include "batch/p_BatchList.h"
#include "core/AppStrings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

// Whether the batch file can be read, with the reason when not.
bool readable(const std::string& batchFile, std::string& error)
{
    struct stat st
    {
    };
    if (::stat(batchFile.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }
    const int fd = ::open(batchFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    ::close(fd);
    try {
        TpxBatchList list;
        list.LoadFromFile(batchFile);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

} // namespace

TRunStatus RunStatusOf(const std::string& batchFile, int staleDays, std::int64_t now, bool checkFile)
{
    TRunStatus status;
    status.StaleDays = staleDays;
    if (checkFile && !readable(batchFile, status.Error)) {
        status.Code = kStatusUnreadable;
        return status;
    }
    const TRunFiles files = RunFilesOf(batchFile);
    status.LogFile = files.Log;
    status.State = ReadRunState(files.State);
    const TRunState& state = status.State;
    status.RunningNow = state.Running && TRunLock::IsHeld(files.Lock);
    status.Unfinished = state.Running && !status.RunningNow;
    const bool ended = state.LastEnd > 0;
    status.Stale =
        state.LastStart > 0 && (state.LastSuccess == 0 || now - state.LastSuccess > staleDays * kSecondsPerDay);
    if (state.LastStart == 0) {
        status.Code = kStatusNeverRan;
    } else if (status.Unfinished || (ended && state.LastExitCode != kExitOk) || (!ended && !status.RunningNow)) {
        status.Code = kStatusProblems;
    } else if (status.Stale) {
        status.Code = kStatusStale;
    } else {
        status.Code = ended ? kStatusGood : kStatusNeverRan;
    }
    return status;
}

std::string LastRunLine(const TRunStatus& status, TTextSource text)
{
    const TRunState& state = status.State;
    if (state.LastStart == 0) {
        return text(sNeverRun, {});
    }
    if (status.RunningNow || status.Unfinished) {
        return text(sLastRun,
                    {FormatRunTime(state.LastStart), text(status.RunningNow ? sRunningNow : sEndedUnfinished, {})});
    }
    int how = sEndedWithoutProblems;
    switch (state.LastExitCode) {
    case kExitOk:
        break;
    case kExitWithErrors:
        how = sEndedWithProblems;
        break;
    case kExitStoppedByError:
        how = sEndedByError;
        break;
    default:
        how = sEndedByUser;
        break;
    }
    return text(sLastRun, {FormatRunTime(state.LastEnd), text(how, {})});
}

std::string LastSuccessLine(const TRunStatus& status, TTextSource text)
{
    return status.State.LastSuccess == 0 ? text(sLastSuccessNever, {})
                                         : text(sLastSuccess, {FormatRunTime(status.State.LastSuccess)});
}

std::string StaleLine(const TRunStatus& status, TTextSource text)
{
    return status.Stale ? text(sStaleWarning, {std::to_string(status.StaleDays)}) : std::string();
}

std::string StatusReport(const TRunStatus& status, TTextSource text)
{
    std::string out = LastRunLine(status, text) + "\n";
    // While a run goes on, or after one was killed, the summary kept is the one of the run before.
    if (status.State.LastEnd > 0 && !status.RunningNow && !status.Unfinished) {
        out += status.State.Summary.TextIn(text);
    }
    if (status.State.LastStart > 0) {
        out += LastSuccessLine(status, text) + "\n";
        const std::string stale = StaleLine(status, text);
        if (!stale.empty()) {
            out += stale + "\n";
        }
        out += text(sRunLogPlace, {status.LogFile}) + "\n";
    }
    return out;
}
