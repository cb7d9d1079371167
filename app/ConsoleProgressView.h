#pragma once
// The progress view of a run in the console, on standard error.
//
// On a terminal it keeps a live view of the run: the section, archive, directory and current file,
// and the three bars (batch, archive, file), redrawn in place at most about ten times a second.
// Problems are printed above it as they happen. When the batch bar is full the view stays on screen
// as it is and is no longer redrawn, so what runs afterwards (the After command) prints below it.
//
// Without a terminal it writes plain lines: one per section and one per problem.

#include "core/UiInterfaces.h"

#include <chrono>
#include <cstdio>
#include <string>

class TConsoleProgressView : public IProgressView
{
public:
    // `live` selects the live view (normally: standard error is a terminal). Writes to `out`.
    TConsoleProgressView(std::FILE* out, bool live);
    ~TConsoleProgressView() override;

    void Show() override;
    void Hide() override;
    void SetBatchMax(int count) override;
    void SetBatchPosition(int position) override;
    void StartSection(const std::string& name, const std::string& archive, const std::string& directory,
                      int maximum) override;
    void SetZipPosition(int position) override;
    void ArchiveComplete() override;
    void StartFile(const std::string& text, int maximum) override;
    void SetFilePosition(int position) override;
    void FileComplete() override;
    void ReportProblem(const std::string& text) override;
    // Printed like a problem, on its own line; the summary does not count it.
    void ReportNotice(const std::string& text) override;

    // Leaves the live view on screen as it is and starts a new one below it at the next change
    // (before a question is asked on the terminal, for instance).
    void ReleaseScreen();

private:
    void changed();
    void draw();
    void erase();
    std::string barLine(const char* caption, long long position, long long maximum, bool percent) const;

    std::FILE* m_out;
    bool m_live;
    bool m_frozen = true; // no live drawing until the batch starts, none after it ended
    int m_linesShown = 0;
    bool m_dirty = false;
    std::chrono::steady_clock::time_point m_lastDraw{};

    std::string m_title;
    std::string m_archive;
    std::string m_directory;
    std::string m_file;
    int m_batchMax = 100;
    int m_batchPosition = 0;
    int m_zipMax = 100;
    int m_zipPosition = 0;
    int m_fileMax = 100;
    int m_filePosition = 0;
    std::string m_lastSectionLine;
};
