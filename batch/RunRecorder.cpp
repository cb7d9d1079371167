#include "batch/RunRecorder.h"

#include "batch/DesktopNotice.h"
#include "batch/RunSettings.h"
#include "core/AppStrings.h"

#include <ctime>
#include <unistd.h>

namespace {

std::int64_t now()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

std::string batchName(const std::string& batchFile)
{
    std::string name = batchFile.substr(batchFile.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot != std::string::npos && dot > 0 ? name.erase(dot) : name;
}

const char* endingWord(int exitCode)
{
    switch (exitCode) {
    case kExitOk:
        return "without problems";
    case kExitWithErrors:
        return "with problems";
    case kExitStoppedByError:
        return "stopped by an error";
    default:
        return "stopped by the user";
    }
}

// A run without windows has the English texts: the notification speaks the user's language.
} // namespace

void UseUsersRunLanguage()
{
    const TRunSettings settings = ReadRunSettings();
    if (!settings.LanguageName.empty()) {
        LoadRunLanguage(settings.LanguageName, LanguageFolders(RunningProgramFolder()));
    }
}

TRunRecorder::TRunRecorder(TpxBatchList& list, std::string batchFile, bool wholeBatch)
    : m_list(list), m_batchFile(std::move(batchFile)), m_wholeBatch(wholeBatch)
{
    if (!m_batchFile.empty()) {
        m_files = RunFilesOf(m_batchFile);
    }
}

TRunRecorder::~TRunRecorder()
{
    m_list.SetRunObserver(nullptr);
}

void TRunRecorder::warn(const std::string& text)
{
    if (m_warning.empty()) {
        m_warning = text;
    }
}

bool TRunRecorder::Begin()
{
    if (m_batchFile.empty()) {
        return true;
    }
    std::string error;
    if (!MakeRunStateFolder(error)) {
        warn(error);
        return true;
    }
    long holder = 0;
    switch (m_lock.Acquire(m_files.Lock, holder, error)) {
    case TRunLock::TResult::Acquired:
        break;
    case TRunLock::TResult::Busy: {
        const std::string process = holder > 0 ? std::to_string(holder) : "?";
        m_refusal = EnglishText(sRunAlreadyRunning, {m_batchFile, process});
        m_localRefusal = AppText(sRunAlreadyRunning, {m_batchFile, process});
        return false;
    }
    case TRunLock::TResult::Failed:
        warn(error);
        break;
    }
    m_begun = true;
    if (!m_log.Open(m_files.Log, error)) {
        warn(error);
    }
    const std::int64_t start = now();
    m_log.Line(std::string(kRunLogStart) + (m_wholeBatch ? "" : "one section of ") + m_batchFile + " started " +
                   FormatRunTime(start) + " (process " + std::to_string(static_cast<long>(::getpid())) + ")",
               true);
    if (m_wholeBatch) {
        TRunState state = ReadRunState(m_files.State);
        state.BatchFile = m_batchFile;
        state.LastStart = start;
        state.Running = true;
        if (!WriteRunState(m_files.State, state, error)) {
            warn(error);
        }
    }
    m_list.SetRunObserver(this);
    return true;
}

void TRunRecorder::SectionStarted(const std::string& name)
{
    m_atSectionStart = m_list.RunSummary;
    m_log.Line(FormatRunTime(now()) + " section \"" + name + "\" started");
}

void TRunRecorder::SectionEnded(const std::string& name)
{
    const TRunSummary& s = m_list.RunSummary;
    const TRunSummary& before = m_atSectionStart;
    std::string what;
    if (s.SectionsSkipped > before.SectionsSkipped) {
        what = "skipped";
    } else if (s.ArchivesWritten > before.ArchivesWritten) {
        what = "archive written";
    } else if (s.FilesCopied > before.FilesCopied || s.FilesUnchanged > before.FilesUnchanged) {
        what = std::to_string(s.FilesCopied - before.FilesCopied) + " file(s) copied, " +
               std::to_string(s.FilesUnchanged - before.FilesUnchanged) + " unchanged";
    } else {
        what = "nothing added";
    }
    const int problems = s.ProblemCount() - before.ProblemCount();
    if (problems > 0) {
        what += ", " + std::to_string(problems) + " problem(s)";
    }
    m_log.Line(FormatRunTime(now()) + " section \"" + name + "\" ended: " + what);
}

void TRunRecorder::Problem(const std::string& line)
{
    m_log.Line("  problem: " + line);
}

void TRunRecorder::Notice(const std::string& line)
{
    m_log.Line("  notice: " + line);
}

void TRunRecorder::Finish(int exitCode)
{
    m_list.SetRunObserver(nullptr);
    m_exitCode = exitCode;
    if (!m_begun) {
        return;
    }
    const TRunSummary& summary = m_list.RunSummary;
    const std::int64_t end = now();
    m_log.Lines(summary.Text(), true);
    m_log.EndRun(" " + FormatRunTime(end) + ": exit code " + std::to_string(exitCode) + " (" + endingWord(exitCode) +
                 ")");
    m_log.Close();
    if (m_wholeBatch) {
        TRunState state = ReadRunState(m_files.State);
        state.BatchFile = m_batchFile;
        state.LastEnd = end;
        state.Running = false;
        state.LastExitCode = exitCode;
        state.Summary = summary;
        state.Summary.ProblemLines.clear();
        state.Summary.NoticeLines.clear();
        if (exitCode == kExitOk) {
            state.LastSuccess = end;
        }
        std::string error;
        if (!WriteRunState(m_files.State, state, error)) {
            warn(error);
        }
    }
    m_lock.Release();
    m_begun = false;
}

bool TRunRecorder::Notify()
{
    if (m_exitCode < 0) {
        return false;
    }
    if (m_exitCode == kExitOk && !m_list.NotifySuccess) {
        return false;
    }
    UseUsersRunLanguage();
    const TRunSummary& summary = m_list.RunSummary;
    // The counts, the first problem as a hint of what went wrong (the log has the others), and the
    // error that stopped the run (the summary's last line).
    const std::string local = summary.LocalText();
    std::string text = firstLine(local);
    if (!summary.LocalProblemLines.empty()) {
        text += "\n" + summary.LocalProblemLines.front();
    }
    if (!summary.StopError.empty()) {
        const std::size_t end = local.find_last_not_of('\n');
        text += "\n" + local.substr(local.find_last_of('\n', end) + 1, end - local.find_last_of('\n', end));
    }
    return NotifyRunEnd(m_batchFile, m_exitCode, text, summary.ProblemCount(), m_files.Log, m_list.NotifySuccess);
}

bool NotifyRunEnd(const std::string& batchFile, int exitCode, const std::string& summaryLine, int problems,
                  const std::string& logFile, bool always)
{
    if (exitCode == kExitOk && !always) {
        return false;
    }
    UseUsersRunLanguage();
    const std::string name = batchFile.empty() ? std::string("?") : batchName(batchFile);
    TDesktopNotice notice;
    switch (exitCode) {
    case kExitOk:
        notice.Title = AppText(sNoticeCompleted, {name});
        break;
    case kExitWithErrors:
        notice.Title = AppText(sNoticeProblems, {name});
        break;
    case kExitStoppedByError:
        notice.Title = AppText(sNoticeStoppedByError, {name});
        break;
    default:
        notice.Title = AppText(sNoticeStoppedByUser, {name});
        break;
    }
    notice.Urgent = exitCode != kExitOk;
    notice.Body = summaryLine;
    if (exitCode != kExitOk || problems > 0) {
        notice.Body += "\n" + AppText(sNoticeBody, {std::to_string(problems), logFile.empty() ? "-" : logFile});
    }
    std::string error;
    return SendDesktopNotice(notice, error);
}
