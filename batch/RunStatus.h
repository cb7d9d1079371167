#pragma once
// The last result of a batch as the editor and "--status" show it: when it last ran, how that run
// ended, its summary, the last run without problems, and whether that is older than the user's
// limit. Plain functions; any thread.

#include "batch/RunStateFiles.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Exit codes of "--status".
enum TStatusCode : int
{
    kStatusGood = 0,       // the last run ended without problems, recently enough
    kStatusProblems = 1,   // the last run had problems, was stopped, or did not end
    kStatusUnreadable = 2, // the batch file cannot be read
    kStatusNeverRan = 3,   // no whole run of the batch is known
    kStatusStale = 4,      // the last run without problems is older than the limit
};

struct TRunStatus
{
    TStatusCode Code = kStatusNeverRan;
    TRunState State;
    bool RunningNow = false; // a run of the batch holds its lock
    bool Unfinished = false; // the last run started and never ended (killed)
    bool Stale = false;      // no run without problems within the limit
    int StaleDays = 0;
    std::string LogFile;
    std::string Error; // why the batch file cannot be read (kStatusUnreadable)
};

// The status of a batch at the time `now` (seconds since the epoch) with a limit of `staleDays`.
// `checkFile`: also read the batch file (a missing or unreadable one gives kStatusUnreadable).
TRunStatus RunStatusOf(const std::string& batchFile, int staleDays, std::int64_t now, bool checkFile);

using TTextSource = std::string (*)(int, std::initializer_list<std::string_view>);

// "Last run: <time>, <how it ended>." (or that it never ran).
std::string LastRunLine(const TRunStatus& status, TTextSource text);
// "Last run without problems: <time>." (or never).
std::string LastSuccessLine(const TRunStatus& status, TTextSource text);
// The warning of a stale batch; empty when it is not stale.
std::string StaleLine(const TRunStatus& status, TTextSource text);
// Every line above, the last summary between them, and the log's place, ended by "\n".
std::string StatusReport(const TRunStatus& status, TTextSource text);
