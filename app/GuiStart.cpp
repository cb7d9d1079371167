#include "app/GuiStart.h"

#include "app/ConsoleEventPump.h"
#include "app/DisplayLoss.h"
#include "batch/BatchRun.h"
#include "batch/p_BatchList.h"
#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "core/Questions.h"
#include "core/vk_tools.h"
#include "framework/FrameworkInit.h"
#include "framework/QtEventPump.h"
#include "framework/VorlandApplication.h"
#include "pathrules/PathRules.h"
#include "ui/p_fmain.h"
#include "ui/p_fprogress.h"
#include "zipcomp/ZipComp.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <utility>

namespace {

// The posted run request of batch mode.
constexpr int kRunBatchMessage = QEvent::User + 100;

QString fromLocal(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

void writeError(const std::string& text)
{
    // Names from the batch file and the disk go to the log without their control characters.
    std::fputs(EscapeControlsByLine(text).c_str(), stderr);
    if (text.empty() || text.back() != '\n') {
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

// Questions of an unattended run with a display. Only what the person asked for is asked (Abort
// and closing ask "Cancel zip ?"); everything else gets the safe answer at once and messages go to
// standard error, so the run never waits for somebody who is not there.
class TBatchModePrompter : public IPrompter
{
public:
    bool Confirm(const std::string& text) override
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmation"), fromLocal(text),
                        QMessageBox::Ok | QMessageBox::Cancel, QApplication::activeWindow());
        box.setDefaultButton(QMessageBox::Cancel);
        // A signal that arrives meanwhile closes the question: the pump then stops the run at once.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &box, [&box] {
            if (TConsoleEventPump::PendingSignal() != 0) {
                box.done(QMessageBox::Cancel);
            }
        });
        watch.start(50);
        return box.exec() == QMessageBox::Ok;
    }
    YesNoCancel ConfirmYesNoCancel(const std::string&) override { return YesNoCancel::Cancel; }
    void ShowMessage(const std::string& text, bool) override { writeError(text); }
    PasswordResult AskPassword(const std::string&, const std::string&, int, std::string&) override
    {
        return PasswordResult::Cancel;
    }
    bool AskVolume(const std::string&) override { return false; }
};

// The windows' event processing plus the console's signals: SIGINT, SIGTERM and SIGHUP stop the run
// at its next check, as they do without a display. A display that went away ends the windows' part:
// `displayLost` is set and the run goes on without them.
class TBatchModePump : public IEventPump
{
public:
    TBatchModePump(TpxBatchList& batchList, bool& displayLost)
        : m_signals([&batchList](int) { batchList.CancelRequested = true; }), m_displayLost(displayLost)
    {
    }
    void ProcessMessages() override
    {
        if (!m_displayLost && DisplayConnectionBroken()) {
            m_displayLost = true;
            writeError("vorland: the display went away; the run goes on without windows");
        }
        if (!m_displayLost) {
            m_windows.ProcessMessages();
        }
        m_signals.ProcessMessages();
    }

private:
    TQtEventPump m_windows;
    TConsoleEventPump m_signals;
    bool& m_displayLost;
};

// A batch-mode run goes on, for an end of the process forced by the window system.
bool g_runGoesOn = false;

// The window system ends the process (exit 1) when it meets a broken display connection the run did
// not see first (it broke while a question was shown, or in the instant between the run's look and
// the window system's). The run cannot go on from there; it ends as a stop by an error instead, as
// any such run ends: temporary files removed, the summary written, the end in the run log and the
// last result, the notification, exit code 2.
void endRunWithoutDisplay()
{
    if (!std::exchange(g_runGoesOn, false)) {
        return;
    }
    RemoveOwnWorkFiles();
    const int exitCode = EndRunInProgress(sDisplayWentAway);
    std::fflush(nullptr);
    ::_exit(exitCode >= 0 ? exitCode : kExitStoppedByError);
}

// The batch-mode run, started from the event loop by its posted request as the editor's Zip it is.
class TBatchModeRun : public QObject
{
public:
    TBatchModeRun(TpxBatchList& batchList, std::string batchFile, const bool& displayLost)
        : m_batchList(batchList), m_batchFile(std::move(batchFile)), m_displayLost(displayLost)
    {
    }
    int ExitCode = kExitOk;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != kRunBatchMessage) {
            return QObject::event(e);
        }
        run();
        QCoreApplication::exit(ExitCode);
        return true;
    }

private:
    void run()
    {
        static const bool exitHandled = std::atexit(endRunWithoutDisplay) == 0;
        (void)exitHandled;
        g_runGoesOn = true;
        TStderrBatchRunReport report;
        ExitCode = RunWholeBatch(m_batchList, m_batchFile, report, true).ExitCode;
        g_runGoesOn = false;
        if (m_displayLost) {
            // Nothing more may reach the window system: its next look at the broken connection would
            // end the process with its own exit code.
            std::fflush(nullptr);
            ::_exit(ExitCode);
        }
    }

    TpxBatchList& m_batchList;
    std::string m_batchFile;
    const bool& m_displayLost;
};

int runBatch(const std::string& batchFile)
{
    TBatchModePrompter prompter;
    SetAppPrompter(&prompter);
    int exitCode = kExitStoppedByError;
    {
        bool displayLost = false;
        TpxBatchList batchList;
        TBatchModeRun runner(batchList, batchFile, displayLost);
        auto window = std::make_unique<TFrmSaveProgress>();
        window->BatchList = &batchList;
        window->SetProblemSink([](const std::string& text) { writeError(text); });
        batchList.SetProgressForm(std::make_unique<TDisplayBoundView>(std::move(window), displayLost, writeError));
        // The component's messages reach standard error through the runner, never as a box.
        batchList.ZipComponent->SetUnattended(true);
        TBatchModePump pump(batchList, displayLost);
        batchList.SetEventPump(&pump);
        try {
            batchList.LoadFromFile(batchFile);
        } catch (const std::exception& e) {
            // A batch file that exists but cannot be read.
            writeError(std::string("Pellamar - Vorland\n") + e.what() + "\nBatch mode cancelled.");
            SetAppPrompter(nullptr);
            return kExitStoppedByError;
        }
        QCoreApplication::postEvent(&runner, new QEvent(static_cast<QEvent::Type>(kRunBatchMessage)));
        exitCode = QApplication::exec();
        batchList.SetEventPump(nullptr);
    }
    SetAppPrompter(nullptr);
    return exitCode;
}

// The batch editor. `batchModeCancelled`: a batch-mode start whose batch file could not be opened; the
// window was made for batch mode (no settings read, the run queued) and becomes the editor.
int runEditor(const std::vector<std::string>& arguments, bool batchModeCancelled)
{
    InitFramework();
    QApplication::setQuitOnLastWindowClosed(true);
    {
        TFrmSaveZip window;
        window.FormCreate(batchModeCancelled);
        if (batchModeCancelled) {
            window.CancelBatchMode();
        }
        const std::string first = arguments.empty() ? std::string() : arguments.front();
        if (isSomethingButFolder(first)) {
            try {
                window.SetFileName(QFileInfo(fromLocal(first)).absoluteFilePath().toStdString());
            } catch (const std::exception& e) {
                // A batch file that exists but cannot be read: said, and the editor opens anyway.
                TVorlandApplication::ShowError(e.what());
            }
        }
        window.show();
        QApplication::exec();
    }
    ShutdownFramework();
    // The editor ends with 0 whatever happened in it.
    return 0;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void allowWindowlessFallback()
{
    // The display may still go away between the program's check and the window system's connection
    // (a server resetting, a session ending). With the offscreen platform last in the list the
    // application object is then made without windows instead of ending the process.
    std::string platforms = environment("QT_QPA_PLATFORM");
    if (platforms.empty()) {
        platforms = environment("WAYLAND_DISPLAY").empty() ? "xcb" : "wayland;xcb";
    }
    if (platforms.find("offscreen") == std::string::npos) {
        platforms += ";offscreen";
        ::setenv("QT_QPA_PLATFORM", platforms.c_str(), 1);
    }
}

} // namespace

int RunWithWindows(int& argc, char** argv, const std::vector<std::string>& arguments, bool& batchMode)
{
    const bool offscreenAsked = environment("QT_QPA_PLATFORM").rfind("offscreen", 0) == 0;
    allowWindowlessFallback();
    TVorlandApplication application(argc, argv);
    if (!offscreenAsked && QGuiApplication::platformName() == QLatin1String("offscreen")) {
        return kDisplayLost;
    }
    QApplication::setApplicationName(QStringLiteral("Vorland"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    // The progress window may be closed (hidden) during a run; the run, not the last window, ends
    // the program.
    QApplication::setQuitOnLastWindowClosed(false);

    if (batchMode) {
        const std::string first = arguments.empty() ? std::string() : arguments.front();
        if (isSomethingButFolder(first)) {
            return runBatch(first);
        }
        const std::string text =
            "Pellamar - Vorland\n" + first + " : unable to open Batch filename\nBatch mode cancelled.";
        // Said on standard error too: whoever started the run (a launcher, a script) learns it from
        // there and from the exit code, whatever the editor then does.
        writeError(text);
        QMessageBox::information(nullptr, QStringLiteral("Vorland"), fromLocal(text));
        batchMode = false;
        runEditor(arguments, true);
        return kExitStoppedByError;
    }
    return runEditor(arguments, false);
}

extern "C" VORLAND_WINDOWS_EXPORT int VorlandShowUsage(int* argc, char** argv, const char* text)
{
    static_assert(std::is_same_v<decltype(&VorlandShowUsage), VorlandShowUsageFn>);
    try {
        const bool offscreenAsked = environment("QT_QPA_PLATFORM").rfind("offscreen", 0) == 0;
        allowWindowlessFallback();
        QApplication application(*argc, argv);
        if (!offscreenAsked && QGuiApplication::platformName() == QLatin1String("offscreen")) {
            return kDisplayLost;
        }
        QString lines = fromLocal(text);
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QMessageBox::information(nullptr, QStringLiteral("Vorland"), lines);
        return 0;
    } catch (const std::exception& e) {
        writeError(std::string("Error: ") + e.what());
        return kDisplayLost;
    }
}

extern "C" VORLAND_WINDOWS_EXPORT int VorlandRunWithWindows(int* argc, char** argv, int argumentCount,
                                                            const char* const* arguments, int* batchMode)
{
    static_assert(std::is_same_v<decltype(&VorlandRunWithWindows), VorlandRunWithWindowsFn>);
    try {
        const std::vector<std::string> texts(arguments, arguments + argumentCount);
        bool batch = *batchMode != 0;
        const int code = RunWithWindows(*argc, argv, texts, batch);
        *batchMode = batch ? 1 : 0;
        return code;
    } catch (const std::exception& e) {
        // Nothing is thrown across to the program.
        writeError(std::string("Error: ") + e.what());
        return kExitStoppedByError;
    }
}
