#include "app/ConsoleProgressView.h"

#include "core/AppStrings.h"
#include "core/vk_tools.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Redraws of the live view are at least this far apart; changes in between are drawn later.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Width of a bar in characters.
constexpr int kBarWidth = 30;

int terminalColumns(std::FILE* out)
{
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

// Cuts the text to `columns` bytes without splitting a UTF-8 character, so no line wraps (a wrapped
// line would break the count of lines to redraw).
std::string fitLine(const std::string& text, int columns)
{
    const std::size_t limit = static_cast<std::size_t>(std::max(columns - 1, 10));
    if (text.size() <= limit) {
        return text;
    }
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return text.substr(0, cut);
}

} // namespace

TConsoleProgressView::TConsoleProgressView(std::FILE* out, bool live) : m_out(out), m_live(live)
{
    m_title = AppString(sProcessingArchive) + " ";
    m_file = AppString(sInitializingFileList);
}

TConsoleProgressView::~TConsoleProgressView() = default;

void TConsoleProgressView::Show()
{
    m_title = AppString(sProcessingArchive) + " ";
}

void TConsoleProgressView::Hide()
{
    if (m_live && m_linesShown > 0 && m_dirty) {
        draw();
    }
    m_linesShown = 0;
    m_frozen = true;
    std::fflush(m_out);
}

void TConsoleProgressView::SetBatchMax(int count)
{
    m_batchMax = count;
    m_batchPosition = 0;
    m_frozen = false;
    StartSection("", "", "", 100);
}

void TConsoleProgressView::SetBatchPosition(int position)
{
    m_batchPosition = position;
    m_lastSectionLine.clear();
    changed();
    if (m_live && !m_frozen && m_batchPosition >= m_batchMax) {
        draw();
        m_linesShown = 0;
        m_frozen = true;
    }
}

void TConsoleProgressView::StartSection(const std::string& name, const std::string& archive,
                                        const std::string& directory, int maximum)
{
    // Names from the batch file and the disk never reach the terminal with their control characters.
    m_title = AppString(sProcessingArchive) + " " + EscapeControls(name);
    m_archive = EscapeControls(archive);
    m_directory = EscapeControls(directory);
    m_zipPosition = 0;
    m_zipMax = maximum;
    if (!m_live && !name.empty()) {
        // A section that reads an archive (a test) has no folder to show.
        const std::string line = "Section \"" + EscapeControls(name) +
                                 "\": " + (m_directory.empty() ? m_archive : m_directory + " -> " + m_archive);
        if (line != m_lastSectionLine) {
            std::fprintf(m_out, "%s\n", line.c_str());
            std::fflush(m_out);
            m_lastSectionLine = line;
        }
    }
    StartFile(AppString(sInitializingFileList), 100);
}

void TConsoleProgressView::SetZipPosition(int position)
{
    m_zipPosition = position;
    changed();
}

void TConsoleProgressView::ArchiveComplete()
{
    m_file = AppString(sArchiveComplete);
    m_zipPosition = m_zipMax;
    FileComplete();
}

void TConsoleProgressView::StartFile(const std::string& text, int maximum)
{
    m_file = EscapeControls(text);
    m_filePosition = 0;
    m_fileMax = maximum;
    changed();
}

void TConsoleProgressView::SetFilePosition(int position)
{
    m_filePosition = position;
    changed();
}

void TConsoleProgressView::FileComplete()
{
    m_filePosition = m_fileMax;
    changed();
}

void TConsoleProgressView::ReportProblem(const std::string& text)
{
    if (m_live) {
        erase();
    }
    std::fprintf(m_out, "%s\n", EscapeControls(text).c_str());
    if (m_live && !m_frozen) {
        draw();
    }
    std::fflush(m_out);
}

void TConsoleProgressView::ReportNotice(const std::string& text)
{
    ReportProblem(text);
}

void TConsoleProgressView::ReleaseScreen()
{
    if (m_live && m_linesShown > 0) {
        draw();
        m_linesShown = 0;
    }
}

void TConsoleProgressView::changed()
{
    m_dirty = true;
    if (!m_live || m_frozen) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_linesShown == 0 || now - m_lastDraw >= kRedrawInterval) {
        draw();
    }
}

std::string TConsoleProgressView::barLine(const char* caption, long long position, long long maximum,
                                          bool percent) const
{
    const long long clamped = maximum > 0 ? std::clamp(position, 0LL, maximum) : 0;
    const int filled = maximum > 0 ? static_cast<int>(clamped * kBarWidth / maximum) : 0;
    std::string line = caption;
    line += " [";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    line += "] ";
    if (percent) {
        line += std::to_string(maximum > 0 ? clamped * 100 / maximum : 0) + "%";
    } else {
        line += std::to_string(position) + "/" + std::to_string(maximum);
    }
    return line;
}

void TConsoleProgressView::erase()
{
    if (m_linesShown > 0) {
        std::fprintf(m_out, "\x1b[%dA\r\x1b[J", m_linesShown);
        m_linesShown = 0;
    }
}

void TConsoleProgressView::draw()
{
    const int columns = terminalColumns(m_out);
    // The Zip bar is a percentage of an archive, or a count of files in a copy section.
    const bool zipInPercent = m_zipMax == 100;
    const std::string lines[] = {
        m_title,
        "Zip       " + m_archive,
        "Directory " + m_directory,
        "File      " + m_file,
        barLine("Batch", m_batchPosition, m_batchMax, false),
        barLine("Zip  ", m_zipPosition, m_zipMax, zipInPercent),
        barLine("File ", m_filePosition, m_fileMax, true),
    };
    std::string text;
    if (m_linesShown > 0) {
        text += "\x1b[" + std::to_string(m_linesShown) + "A";
    }
    for (const auto& line : lines) {
        text += "\r\x1b[2K" + fitLine(line, columns) + "\n";
    }
    std::fputs(text.c_str(), m_out);
    std::fflush(m_out);
    m_linesShown = static_cast<int>(std::size(lines));
    m_dirty = false;
    m_lastDraw = std::chrono::steady_clock::now();
}
