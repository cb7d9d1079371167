#pragma once
// A batch run with windows outlives its display: the window system's connection can break at any
// time (a session ends, the X server crashes), and the window library then ends the process the
// next time it processes events. The run looks before each time and goes on without windows.

#include "core/UiInterfaces.h"

#include <memory>
#include <string>

// True once the connection to the X server broke. Only the X11 connection can be looked at; on other
// window systems this stays false. Call on the windows' thread, with the application object made.
bool DisplayConnectionBroken();

// Removes the temporary files of runs that this process holds open (a temporary archive, a copy in
// progress): for an end of the process that cannot unwind the work that made them.
void RemoveOwnWorkFiles();

// The progress window while the display lasts; once `lost` is set, nothing reaches the window any
// more and problems and notices go to `writeLine` alone.
class TDisplayBoundView : public IProgressView
{
public:
    TDisplayBoundView(std::unique_ptr<IProgressView> window, const bool& lost,
                      void (*writeLine)(const std::string& text));

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
    void ReportNotice(const std::string& text) override;

private:
    std::unique_ptr<IProgressView> m_window;
    const bool& m_lost;
    void (*m_writeLine)(const std::string&);
};
