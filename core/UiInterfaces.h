#pragma once
// What the core needs from a user interface. The GUI and the console each implement these once;
// the core only ever talks to these interfaces and never includes a window toolkit.

#include <string>

// The progress window's operations, driven by the runner on the calling thread.
class IProgressView
{
public:
    virtual ~IProgressView() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    // Batch bar maximum := count, position := 0; then StartSection("", "", "", 100).
    virtual void SetBatchMax(int count) = 0;
    virtual void SetBatchPosition(int position) = 0;
    // Title "Processing archive ..." + " " + name; archive and directory lines; Zip bar 0 of
    // maximum; then StartFile("Initializing file list ...", 100).
    virtual void StartSection(const std::string& name, const std::string& archive, const std::string& directory,
                              int maximum) = 0;
    virtual void SetZipPosition(int position) = 0;
    // File line "Archive complete"; Zip bar full; FileComplete().
    virtual void ArchiveComplete() = 0;
    virtual void StartFile(const std::string& text, int maximum) = 0;
    virtual void SetFilePosition(int position) = 0;
    virtual void FileComplete() = 0;
    // A problem of the run (a failed copy, an unreadable file, a command that failed), shown to the
    // user as it happens. The run goes on.
    virtual void ReportProblem(const std::string& text) = 0;
    // A message of the run that is worth showing but is no problem: the work it concerns was done
    // correctly (an archive whose directory was displaced, or had bytes after its end, and was
    // written anyway). Views that show no such lines may leave this as it is.
    virtual void ReportNotice(const std::string& text) { (void)text; }
};

// A progress view that shows nothing: for runs without a display, and for work that reports no
// progress of its own.
class TNullProgressView : public IProgressView
{
public:
    void Show() override {}
    void Hide() override {}
    void SetBatchMax(int) override {}
    void SetBatchPosition(int) override {}
    void StartSection(const std::string&, const std::string&, const std::string&, int) override {}
    void SetZipPosition(int) override {}
    void ArchiveComplete() override {}
    void StartFile(const std::string&, int) override {}
    void SetFilePosition(int) override {}
    void FileComplete() override {}
    void ReportProblem(const std::string&) override {}
};

// Answers of ConfirmYesNoCancel, with the platform's codes.
enum class YesNoCancel
{
    Yes = 6,
    No = 7,
    Cancel = 2
};

// Buttons of a password request, as bits.
enum PasswordButtons : int
{
    kPwButtonOk = 1,
    kPwButtonCancel = 2,
    kPwButtonCancelAll = 4,
    kPwButtonAbort = 8,
};

// Results of a password request: OK 1, Cancel 2, Cancel-all 9, Abort 3.
enum class PasswordResult
{
    Ok = 1,
    Cancel = 2,
    CancelAll = 9,
    Abort = 3
};

// Questions to the user. Every call blocks until answered; an implementation without a user (an
// unattended run) answers with the safe choice: Confirm false, ConfirmYesNoCancel Cancel, empty
// passwords, refused volumes.
class IPrompter
{
public:
    virtual ~IPrompter() = default;
    // Question titled "Confirmation" with OK and Cancel; true for OK.
    virtual bool Confirm(const std::string& text) = 0;
    // Question titled "Confirmation" with Yes, No and Cancel.
    virtual YesNoCancel ConfirmYesNoCancel(const std::string& text) = 0;
    // A message with an OK button (an error when isError).
    virtual void ShowMessage(const std::string& text, bool isError) = 0;
    // Asks for a password; `buttons` is a set of PasswordButtons. `answer` is filled on Ok.
    virtual PasswordResult AskPassword(const std::string& title, const std::string& prompt, int buttons,
                                       std::string& answer) = 0;
    // Asks the user to put in a volume (a disk of a multi-volume set); true when the user did.
    virtual bool AskVolume(const std::string& prompt) = 0;
};

// "Process pending window messages": lets the user interface react during long work (repaint,
// an Abort button, Ctrl-C in the console). Called on the working thread at fixed points.
//
// What it may throw: ESilentStop (core/CoreErrors.h) when the user's reaction stops the
// work at once; the run then ends as stopped by the user, wherever the pump was called (also from
// inside the zip engine's callbacks, which end the engine call first). Any other exception from the
// pump or from a handler it runs is an error: inside the zip component's Add it is reported as
// message 10101 and the section goes on to its end; elsewhere it ends the run as an error.
class IEventPump
{
public:
    virtual ~IEventPump() = default;
    virtual void ProcessMessages() = 0;
};
