#pragma once
// What one run of a batch leaves behind apart from its archives: it holds the batch's run lock
// while it runs (a second run of the same batch is refused), appends the run to the batch's run log
// as it happens, keeps the last result and the last success of whole-batch runs in the batch's
// state file, and, for runs in batch mode, tells the user through a desktop notification.
//
// Usage, around TpxBatchList::RunAll or RunSection:
//     TRunRecorder record(list, batchFile, true);
//     if (!record.Begin()) { show record.RefusalText(); exit code 2 }
//     ... run ...
//     record.Finish(exitCode);
//     if (batch mode) record.Notify();
// A batch without a file (a new batch in the editor) is run without any of this. Problems of the
// state folder (a read-only home) never stop a run: Warning() says what could not be kept. One
// thread uses an instance; it must outlive the run it listens to.

#include "batch/RunLock.h"
#include "batch/RunLog.h"
#include "batch/RunStateFiles.h"
#include "batch/p_BatchList.h"

#include <string>

class TRunRecorder final : public IRunObserver
{
public:
    // `wholeBatch`: a run of every section, which counts for the last result; else a run of one.
    TRunRecorder(TpxBatchList& list, std::string batchFile, bool wholeBatch);
    ~TRunRecorder() override;
    TRunRecorder(const TRunRecorder&) = delete;
    TRunRecorder& operator=(const TRunRecorder&) = delete;

    // Takes the batch's run lock, opens the log and notes the start. False when another run of the
    // batch holds the lock: nothing was written and RefusalText() says why (LocalRefusalText() in
    // the user's language).
    bool Begin();
    const std::string& RefusalText() const { return m_refusal; }
    const std::string& LocalRefusalText() const { return m_localRefusal; }
    // Notes the end: summary, problems and exit code in the log; for a whole-batch run the last
    // result (and the last success for exit code 0) in the state file. Releases the lock.
    void Finish(int exitCode);
    // Sends the desktop notification of the finished run: for exit codes 1 to 3 always, for 0 only
    // when the batch asks for it (NotifySuccess); the first problem line and the error that stopped
    // the run are in it. False when none was sent.
    bool Notify();
    // What could not be kept (log or state file), empty when everything was.
    const std::string& Warning() const { return m_warning; }
    const TRunFiles& Files() const { return m_files; }

    void SectionStarted(const std::string& name) override;
    void SectionEnded(const std::string& name) override;
    void Problem(const std::string& line) override;
    void Notice(const std::string& line) override;

private:
    void warn(const std::string& text);

    TpxBatchList& m_list;
    std::string m_batchFile;
    bool m_wholeBatch;
    TRunFiles m_files;
    TRunLock m_lock;
    TRunLog m_log;
    bool m_begun = false;
    int m_exitCode = -1;
    TRunSummary m_atSectionStart; // the counts when the current section started
    std::string m_refusal;
    std::string m_localRefusal;
    std::string m_warning;
};

// The desktop notification of a batch-mode run that did not start or ended with exit code 1 to 3
// (or 0 when `always`): the batch's name, the first line of the summary, the problem count and
// where the log is. False when nothing was sent (no bus, no service, or exit code 0).
// Loads the language the user chose in the editor's settings for the texts of a run without
// windows; nothing changes when none was chosen or it cannot be read.
void UseUsersRunLanguage();

bool NotifyRunEnd(const std::string& batchFile, int exitCode, const std::string& summaryLine, int problems,
                  const std::string& logFile, bool always);
