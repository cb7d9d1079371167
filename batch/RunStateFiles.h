#pragma once
// Where a batch's runs are kept apart from the batch file, and the small state file of its last
// result. The folder is "$XDG_STATE_HOME/vorland" ("~/.local/state/vorland" when that is not set);
// each batch has three files there, named after the batch file's name and a hash of its full path
// (so two "daily.vrl" in different folders never share them): "<name>-<hash>.log" (the run log),
// ".state" (last result and last success) and ".lock" (one run at a time). Plain functions; any
// thread.

#include "batch/RunSummary.h"

#include <cstdint>
#include <ctime>
#include <string>

// The folder of run logs and states, without trailing separator.
std::string RunStateFolder();

struct TRunFiles
{
    std::string Log;
    std::string State;
    std::string Lock;
};

// The files of a batch (the batch file is taken by its absolute, link-free path when it exists).
TRunFiles RunFilesOf(const std::string& batchFile);

// Makes the state folder (and its parents), private to the user; false with the reason when it
// cannot.
bool MakeRunStateFolder(std::string& error);

// The last whole-batch run of a batch and its last success. Runs of one section do not count.
struct TRunState
{
    std::string BatchFile;        // the batch file the state belongs to
    std::int64_t LastStart = 0;   // when the last run started (seconds since the epoch); 0: never ran
    std::int64_t LastEnd = 0;     // when it ended
    bool Running = false;         // it started and has not ended (or was killed: see the lock)
    int LastExitCode = 0;         // its exit code (0 to 3)
    TRunSummary Summary;          // what it did (counts, how it ended; without its problem lines)
    std::int64_t LastSuccess = 0; // when the last run that ended with exit code 0 ended; 0: never
};

// Reads a state file; a missing or unreadable file gives a state of a batch that never ran.
TRunState ReadRunState(const std::string& fileName);

// Replaces the state file as a whole (a temporary file renamed over it), so that a killed process
// leaves the old state or the new one, never a mix. False with the reason when it cannot.
bool WriteRunState(const std::string& fileName, const TRunState& state, std::string& error);

// A local time as "2026-05-04 13:07:02".
std::string FormatRunTime(std::int64_t seconds);
