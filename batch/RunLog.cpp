#include "batch/RunLog.h"

#include "core/PosixIo.h"
#include "core/vk_tools.h"
#include "pathrules/PathRules.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::string_view kUnfinishedLine =
    "==== (this run did not end: the process was killed or the computer stopped)\n";

// The log's text cut into runs; lines before the first run stay with it.
std::deque<std::string> splitRuns(const std::string& text)
{
    std::deque<std::string> runs;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t next = start;
        do {
            next = text.find('\n', next);
            next = next == std::string::npos ? text.size() : next + 1;
        } while (next < text.size() && text.compare(next, kRunLogStart.size(), kRunLogStart) != 0);
        runs.push_back(text.substr(start, next - start));
        start = next;
    }
    return runs;
}

bool endsRun(const std::string& run)
{
    // The run's last line is its end line, or the note left for a run that did not end.
    std::size_t last = run.size() > 1 ? run.rfind('\n', run.size() - 2) : std::string::npos;
    last = last == std::string::npos ? 0 : last + 1;
    return run.compare(last, kRunLogEnd.size(), kRunLogEnd) == 0 ||
           run.compare(last, kUnfinishedLine.size(), kUnfinishedLine) == 0;
}

} // namespace

TRunLog::~TRunLog()
{
    Close();
}

bool TRunLog::Open(const std::string& fileName, std::string& error)
{
    Close();
    std::string text;
    ReadWholeFile(fileName, text);
    std::deque<std::string> runs = splitRuns(text);
    bool changed = false;
    if (!runs.empty() && !runs.back().empty() && !endsRun(runs.back())) {
        if (runs.back().back() != '\n') {
            runs.back() += '\n';
        }
        runs.back() += kUnfinishedLine;
        changed = true;
    }
    std::int64_t bytes = 0;
    for (const std::string& run : runs) {
        bytes += static_cast<std::int64_t>(run.size());
    }
    while (!runs.empty() && (static_cast<int>(runs.size()) >= kKeepRuns || bytes > kMaxLogBytes)) {
        bytes -= static_cast<std::int64_t>(runs.front().size());
        runs.pop_front();
        changed = true;
    }
    if (changed) {
        std::string kept;
        for (const std::string& run : runs) {
            kept += run;
        }
        const int result = replaceFileWhole(fileName, kept, 0600);
        if (result != 0) {
            error = fileName + ": cannot write the run log: " + std::strerror(result);
            return false;
        }
    }
    m_fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        error = fileName + ": cannot write the run log: " + std::strerror(errno);
        return false;
    }
    m_runBytes = 0;
    m_linesLeftOut = 0;
    return true;
}

void TRunLog::Line(std::string_view text, bool always)
{
    if (m_fd < 0) {
        return;
    }
    const std::string line = EscapeControls(text) + "\n";
    if (!always && m_runBytes + static_cast<std::int64_t>(line.size()) > kMaxRunBytes) {
        ++m_linesLeftOut;
        return;
    }
    m_runBytes += static_cast<std::int64_t>(line.size());
    // One write per line: a kill between two writes leaves whole lines. A failing write (a full
    // disk) loses the line and never the run.
    (void)writeFully(m_fd, line.data(), line.size());
}

void TRunLog::Lines(std::string_view text, bool always)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end;
        Line(text.substr(start, end - start), always);
        start = end + 1;
    }
}

void TRunLog::EndRun(std::string_view text)
{
    if (m_linesLeftOut > 0) {
        Line("(" + std::to_string(m_linesLeftOut) + " more lines of this run were left out of the log)", true);
        m_linesLeftOut = 0;
    }
    Line(std::string(kRunLogEnd) + std::string(text), true);
}

void TRunLog::Close()
{
    if (m_fd < 0) {
        return;
    }
    ::close(m_fd);
    m_fd = -1;
}
