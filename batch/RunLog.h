#pragma once
// The run log of a batch: a text file to which every run appends its lines as they happen, each
// written to the file at once, so that a run killed at any point leaves the lines up to there.
// A run begins with a line starting kRunLogStart; opening the log first drops the oldest runs so
// that at most kKeepRuns runs and about kMaxLogBytes stay (a run that is cut short by the byte
// bound says how many lines it left out). One thread uses an instance.

#include <cstdint>
#include <string>
#include <string_view>

// The first line of each run in the log begins with kRunLogStart, its last with kRunLogEnd.
inline constexpr std::string_view kRunLogStart = "==== Run of ";
inline constexpr std::string_view kRunLogEnd = "==== Run ended";

class TRunLog
{
public:
    // Runs kept in the log (the one starting included).
    static constexpr int kKeepRuns = 20;
    // What the log may hold before a run starts, and what one run may add to it: a log never
    // passes their sum by more than the lines that end a run.
    static constexpr std::int64_t kMaxLogBytes = 768 * 1024;
    static constexpr std::int64_t kMaxRunBytes = 256 * 1024;

    TRunLog() = default;
    ~TRunLog();
    TRunLog(const TRunLog&) = delete;
    TRunLog& operator=(const TRunLog&) = delete;

    // Trims the log to its newest runs, notes a run that did not end (killed), and opens it for
    // appending. False with the reason when the file cannot be written; the log then stays closed
    // and Line does nothing.
    bool Open(const std::string& fileName, std::string& error);
    bool IsOpen() const { return m_fd >= 0; }
    // Appends one line (control characters escaped, so a name cannot break the log's layout).
    // `always` lines (a run's first and last) are written even past the run's byte bound.
    void Line(std::string_view text, bool always = false);
    // Appends the text's lines.
    void Lines(std::string_view text, bool always = false);
    // Notes how many lines the byte bound left out, then writes the run's last line: kRunLogEnd
    // followed by the text.
    void EndRun(std::string_view text);
    void Close();

private:
    int m_fd = -1;
    std::int64_t m_runBytes = 0;
    int m_linesLeftOut = 0;
};
