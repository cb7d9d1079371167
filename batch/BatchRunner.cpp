// The run of a batch: TpxBatchList's RunSection, RunAll and the work of one section (zip through the
// zip component, or copy new and changed files). Problems are reported on the progress view as they
// happen, counted in RunSummary, and the run goes on; only a stop by the user (ESilentStop) or an
// error of the run itself ends it early.

#include "batch/p_BatchList.h"

#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "core/FileOps.h"
#include "core/FileSearch.h"
#include "core/FileTime.h"
#include "core/ProcessUtils.h"
#include "core/Questions.h"
#include "pathrules/PathRules.h"
#include "restore/RestoreMessages.h"
#include "zipcomp/ZipComp.h"
#include "zipcomp/ZipMessages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <system_error>

namespace {

// Options of the runner's component: store path names, update, hidden files, separate folder entries.
const AddOpts kRunnerAddOptions{AddOpt::AddDirNames, AddOpt::AddUpdate, AddOpt::AddHiddenFiles,
                                AddOpt::AddSeparateDirs};

// Percentage of done in total, rounded to the nearest whole number, within 0 to 100; 64-bit, so
// archives and files of any size give the right figure.
int percentOf(std::int64_t done, std::int64_t total)
{
    if (total <= 0) {
        return 0;
    }
    const std::int64_t clamped = std::clamp<std::int64_t>(done, 0, total);
    // clamped * 100 cannot overflow for sizes below 2^56 bytes; beyond that, divide first.
    if (clamped < (std::int64_t{1} << 56)) {
        return static_cast<int>((clamped * 100 + total / 2) / total);
    }
    return static_cast<int>(clamped / (total / 100 + 1));
}

// The text with its "%s" replaced by the argument.
std::string replacedArgument(std::string text, const std::string& argument)
{
    const std::size_t at = text.find("%s");
    return at == std::string::npos ? text : text.replace(at, 2, argument);
}

// Clears a flag of the batch list when the scope ends, also by an error or a silent stop.
class TFlagGuard
{
public:
    explicit TFlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~TFlagGuard() { m_flag = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& m_flag;
};

// Hides the progress view when the scope ends.
class THideGuard
{
public:
    explicit THideGuard(IProgressView& view) : m_view(view) {}
    ~THideGuard() { m_view.Hide(); }
    THideGuard(const THideGuard&) = delete;
    THideGuard& operator=(const THideGuard&) = delete;

private:
    IProgressView& m_view;
};

} // namespace

// ---- construction of the run's members ----

// Hands every question to the list's prompter, or to the application's when the list has none,
// looked up when the question is asked. Without either, the unattended answers.
class TPrompterLink : public IPrompter
{
public:
    explicit TPrompterLink(const TpxBatchList& owner) : m_owner(owner) {}

    bool Confirm(const std::string& text) override
    {
        IPrompter* target = current();
        return target != nullptr && target->Confirm(text);
    }
    YesNoCancel ConfirmYesNoCancel(const std::string& text) override
    {
        IPrompter* target = current();
        return target != nullptr ? target->ConfirmYesNoCancel(text) : YesNoCancel::Cancel;
    }
    void ShowMessage(const std::string& text, bool isError) override
    {
        if (IPrompter* target = current()) {
            target->ShowMessage(text, isError);
        }
    }
    PasswordResult AskPassword(const std::string& title, const std::string& prompt, int buttons,
                               std::string& answer) override
    {
        IPrompter* target = current();
        return target != nullptr ? target->AskPassword(title, prompt, buttons, answer) : PasswordResult::Cancel;
    }
    bool AskVolume(const std::string& prompt) override
    {
        IPrompter* target = current();
        return target != nullptr && target->AskVolume(prompt);
    }

private:
    IPrompter* current() const { return m_owner.Prompter() != nullptr ? m_owner.Prompter() : AppPrompter(); }

    const TpxBatchList& m_owner;
};

std::unique_ptr<IPrompter> TpxBatchList::CreatePrompterLink(TpxBatchList& owner)
{
    return std::make_unique<TPrompterLink>(owner);
}

std::unique_ptr<TZipComponent> TpxBatchList::CreateZipComponent(TpxBatchList& owner)
{
    auto component = std::make_unique<TZipComponent>(owner.PrompterLink.get(), nullptr);
    component->OnProgress = [&owner](TZipComponent& sender, ProgressType type, const std::string& fileName,
                                     std::int64_t size) { owner.ZipProgress(sender, type, fileName, size); };
    component->OnMessage = [&owner](TZipComponent& sender, std::int32_t errCode, const std::string& text) {
        owner.ZipMessage(sender, errCode, text);
    };
    component->SetAddOptions(kRunnerAddOptions);
    // A run never looks at an archive's entries: the component checks the archive's end records, the
    // engine reads the directory (once) when it updates the archive.
    component->SetKeepEntries(false);
    component->SetCheckEntries(false);
    return component;
}

std::unique_ptr<IProgressView> TpxBatchList::CreateNullProgressView()
{
    return std::make_unique<TNullProgressView>();
}

void TpxBatchList::SetProgressForm(std::unique_ptr<IProgressView> view)
{
    ProgressForm = view ? std::move(view) : CreateNullProgressView();
}

void TpxBatchList::SetPrompter(IPrompter* prompter)
{
    m_prompter = prompter;
}

void TpxBatchList::SetEventPump(IEventPump* pump)
{
    m_pump = pump;
}

// ---- the run ----

void TpxBatchList::ProcessMessages()
{
    if (m_pump != nullptr) {
        m_pump->ProcessMessages();
    }
}

void TpxBatchList::ReportRunProblem(TRunProblem kind, const std::string& text)
{
    ReportProblemLine(kind, text, text);
}

void TpxBatchList::ReportRunProblem(TRunProblem kind, int number, std::initializer_list<std::string_view> arguments)
{
    ReportProblemLine(kind, EnglishText(number, arguments), AppText(number, arguments));
}

void TpxBatchList::ReportRunProblem(TRunProblem kind, int number, const std::string& name, int systemError)
{
    // The system's text follows the line: English in the English line (standard error and the log,
    // whatever face runs), the environment's language in a translated one.
    const bool translated = AppString(number) != TvkStringList::DefaultText(number);
    ReportProblemLine(
        kind, EnglishText(number, {name, SystemErrorText(systemError)}),
        AppText(number, {name, translated ? LocalSystemErrorText(systemError) : SystemErrorText(systemError)}));
}

void TpxBatchList::ReportProblemLine(TRunProblem kind, const std::string& text, const std::string& localText)
{
    ++RunSummary.Problems[static_cast<std::size_t>(kind)];
    RunSummary.ProblemLines.push_back(text);
    RunSummary.LocalProblemLines.push_back(localText);
    ++m_sectionProblems;
    ProgressForm->ReportProblem(text);
    if (m_observer != nullptr) {
        m_observer->Problem(text);
    }
}

bool TpxBatchList::MakeFolder(const std::string& folder, TRunProblem kind)
{
    std::string error;
    int cause = 0;
    if (ForceDirectories(folder, error, cause)) {
        return true;
    }
    ReportRunProblem(kind, sCannotCreateFolder, folder, cause);
    return false;
}

void TpxBatchList::RunBatchCommand(bool before, const std::string& commandLine)
{
    // The windows stay alive and a stop ends the command; without a terminal to share, the command
    // gets a process group of its own so that ending it ends what it started too.
    TCommandWait wait;
    wait.OwnProcessGroup = !InTerminalForeground();
    wait.StopWanted = [this] {
        ProcessMessages();
        return CancelRequested;
    };
    const TCommandOutcome outcome = RunCommandLine(commandLine, wait);
    if (outcome.Ended) {
        throw ESilentStop();
    }
    if (!outcome.Started) {
        ReportRunProblem(TRunProblem::CommandFailed, before ? sBeforeNotStarted : sAfterNotStarted,
                         {outcome.Error, commandLine});
    } else if (outcome.ExitCode != 0) {
        ReportRunProblem(TRunProblem::CommandFailed, before ? sBeforeFailed : sAfterFailed,
                         {std::to_string(outcome.ExitCode), commandLine});
    }
}

void TpxBatchList::RunSection(int index)
{
    if (index < 0 || index >= Count() || Running()) {
        return;
    }
    CancelRequested = false;
    RunSummary.Clear();
    ProgressForm->Show();
    THideGuard hide(*ProgressForm);
    const TBatchEntry& entry = Entries(index);
    RunSummary.CurrentSection = entry.Name;
    try {
        CheckParameters();
        RunEntry(entry);
    } catch (const ESilentStop&) {
        RunSummary.StoppedByUser = true;
        throw;
    } catch (const ENumberedError& e) {
        RunSummary.SetStopError(e.Number(), e.Arguments());
        throw;
    } catch (const std::exception& e) {
        RunSummary.StopError = e.what();
        throw;
    }
}

void TpxBatchList::RunAll()
{
    if (Running()) {
        return;
    }
    CancelRequested = false;
    RunSummary.Clear();
    TFlagGuard running(BatchRunning);
    ProgressForm->Show();
    THideGuard hide(*ProgressForm);
    try {
        CheckParameters();
        if (!Before.empty()) {
            RunBatchCommand(true, Before);
        }
        ProgressForm->SetBatchMax(Count());
        for (int i = 0; i < Count(); ++i) {
            if (CancelRequested) {
                throw ESilentStop();
            }
            const TBatchEntry& entry = Entries(i);
            RunSummary.CurrentSection = entry.Name;
            RunEntry(entry);
            ProgressForm->SetBatchPosition(i + 1);
        }
        // A stop asked for during the last section also keeps the After command from running.
        if (CancelRequested) {
            throw ESilentStop();
        }
        if (!After.empty()) {
            RunBatchCommand(false, After);
        }
    } catch (const ESilentStop&) {
        RunSummary.StoppedByUser = true;
        throw;
    } catch (const ENumberedError& e) {
        RunSummary.SetStopError(e.Number(), e.Arguments());
        throw;
    } catch (const std::exception& e) {
        RunSummary.StopError = e.what();
        throw;
    }
}

void TpxBatchList::CheckParameters() const
{
    // A command or password cut at a NUL byte would run or encrypt with something nobody wrote.
    if (!ParametersDefect.empty()) {
        throw ENumberedError(sParametersDefect, {ParametersDefect});
    }
}

void TpxBatchList::RunEntry(const TBatchEntry& entry)
{
    // The end is told also when the entry ends by an error or a stop.
    struct TSectionEnd
    {
        IRunObserver* observer;
        const std::string& name;
        ~TSectionEnd()
        {
            if (observer != nullptr) {
                observer->SectionEnded(name);
            }
        }
    };
    if (m_observer != nullptr) {
        m_observer->SectionStarted(entry.Name);
    }
    const TSectionEnd end{m_observer, entry.Name};
    if (!entry.Defect.empty()) {
        ++RunSummary.SectionsSkipped;
        ReportRunProblem(TRunProblem::SectionSkipped, sSectionNotRun, {entry.Name, entry.Defect});
        return;
    }
    ProcessSection(entry.Name, entry.Zip, entry.Dir, entry.Suffix, entry.Ignore, entry.Recurse, entry.DirName,
                   entry.Compress);
}

bool TpxBatchList::QueryStop()
{
    if (!Running()) {
        return true;
    }
    if (PrompterLink->Confirm(AppString(sCancelZip))) {
        CancelRequested = true;
        return true;
    }
    return false;
}

void TpxBatchList::ProcessSection(const std::string& Name, const std::string& Zip, const std::string& Dir,
                                  const std::string& Suffix, const std::string& Ignore, bool Recurse, bool DirName,
                                  bool Compress)
{
    if (Zip.empty() || Dir.empty()) {
        ++RunSummary.SectionsSkipped;
        ReportRunProblem(TRunProblem::SectionSkipped,
                         Dir.empty() ? sSectionNoSource
                         : Compress  ? sSectionNoArchive
                                     : sSectionNoTarget,
                         {Name});
        return;
    }
    TFlagGuard running(SectionRunning);
    m_sectionProblems = 0;
    // The source folder as the walk and the engine see it: absolute, without "." or "..", so that the
    // relative part of each file is cut correctly and path-name masks name the right folder.
    const std::string sourceDir = AbsolutePath(Dir);
    ProgressForm->StartSection(Name, Zip, sourceDir, 100);
    SourceDir = sourceDir;
    if (Compress) {
        ZipSection(TBatchEntry(Name, Zip, sourceDir, {}, {}, Recurse, DirName, true), Suffix, Ignore);
    } else {
        CopySection(TBatchEntry(Name, Zip, sourceDir, {}, {}, Recurse, false, false), Suffix, Ignore);
    }
    if (!CancelRequested) {
        ++RunSummary.SectionsRun;
    }
}

void TpxBatchList::ZipSection(const TBatchEntry& entry, std::string_view suffix, std::string_view ignore)
{
    const std::string& archive = entry.Zip;
    // A rebuild writes the new archive beside the previous one, which stays at its name until the new
    // one replaces it (in the engine, as an update does).
    const bool rebuild = !UpdateZip;
    ZipComponent->SetRebuildArchive(rebuild);
    ZipComponent->SetVerifyArchive(Verify);
    ZipComponent->SetZipFileName("");
    ZipComponent->SetZipFileName(archive);
    ZipComponent->SetPassword(Password);
    AddOpts options = ZipComponent->AddOptions();
    options.Set(AddOpt::AddEncrypt, !Password.empty());
    options.Set(AddOpt::AddRecurseDirs, entry.Recurse);
    options.Set(AddOpt::AddUpdate, UpdateZip);
    ZipComponent->SetAddOptions(options);
    ZipComponent->SetRootDir(entry.Dir);
    ZipComponent->FSpecArgs().clear();
    ZipComponent->FSpecArgsExcl().clear();
    BuildMaskList(entry, suffix, ZipComponent->FSpecArgs(), false);
    BuildMaskList(entry, ignore, ZipComponent->FSpecArgsExcl(), true);
    if (ZipComponent->FSpecArgs().empty()) {
        ZipComponent->FSpecArgs().push_back(DefaultZipMask(entry));
    }

    ProcessMessages();
    if (CancelRequested) {
        throw ESilentStop();
    }
    // A bare archive name has no folder part: this raises "Unable to create directory" and ends the
    // run before the engine is called.
    if (!MakeFolder(ExtractFileDir(archive), TRunProblem::ZipError)) {
        return;
    }
    const int problemsBefore = m_sectionProblems;
    ZipComponent->Add();
    const bool failed = m_sectionProblems > problemsBefore || CancelRequested;
    if (ZipComponent->ProcessedCount() > 0 || ZipComponent->ArchiveReplaced()) {
        ++RunSummary.ArchivesWritten;
    } else if (rebuild && !failed) {
        // Nothing was added: a rebuild ends without an archive. An empty or missing source folder
        // would so remove the last backup, so that is reported.
        const std::string real = followLinks(archive);
        if (isRegularFile(real) && ::unlink(real.c_str()) == 0) {
            ReportRunProblem(TRunProblem::ArchiveRemoved, sArchiveRemoved, {entry.Name, archive});
        }
    }
}

void TpxBatchList::CopySection(const TBatchEntry& entry, std::string_view suffix, std::string_view ignore)
{
    IncludeMasks.clear();
    ExcludeMasks.clear();
    BuildMaskList(entry, suffix, IncludeMasks, false);
    BuildMaskList(entry, ignore, ExcludeMasks, true);

    const std::string target = AbsolutePath(entry.Zip);
    if (!MakeFolder(target, TRunProblem::TargetUnusable)) {
        return;
    }
    TargetDir = target;
    m_lastTargetFolder = target;

    // Both passes walk "<Dir>/*.*", into subfolders with Recurse. A target inside the source stays
    // out of the walk, or every run would copy the previous copy one level deeper.
    const std::string pathMask = (SourceDir == "/" ? SourceDir : SourceDir + "/") + "*.*";
    const auto walk = [&](const TFoundFileProc& onFile, const TSearchErrorProc& onError) {
        if (entry.Recurse) {
            FindFilesRecursiveLeavingOut(pathMask, target, onFile, onError);
        } else {
            FindFiles(pathMask, onFile, onError);
        }
    };

    // Counting pass: every file found, before any mask. Unreadable folders are reported by the
    // copying pass, once.
    FileTotal = 0;
    walk([this](const std::string& path, const TSearchRec& file) { CountFoundFile(path, file); },
         [](const std::string&, int) {});

    ProgressForm->StartSection(entry.Name, entry.Zip, SourceDir, FileTotal);

    FileDone = 0;
    walk([this](const std::string& path, const TSearchRec& file) { CopyFoundFile(path, file); },
         [this](const std::string& path, int systemError) {
             struct stat st
             {
             };
             const bool link = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
             if (link && systemError == EISDIR) {
                 // As in a zip section: a link to a folder is not followed, which is said, but it is no
                 // problem of the run (a tree holding one must not fail every night).
                 const std::string line = replacedArgument(AppString(sLinkToFolderNotFollowed), path);
                 RunSummary.NoticeLines.push_back(line);
                 ProgressForm->ReportNotice(line);
                 if (m_observer != nullptr) {
                     m_observer->Notice(line);
                 }
                 return;
             }
             if (link) {
                 // A link that leads nowhere or into a loop, said as the engine says it in a zip
                 // section, when its name is one to copy.
                 const std::string name = path.substr(path.rfind('/') + 1);
                 if (!isWorkFileName(name) && MatchesMaskList(IncludeMasks, name, true) &&
                     !MatchesMaskList(ExcludeMasks, name, false)) {
                     ReportRunProblem(TRunProblem::UnreadableFolder, sLinkNotFollowed, path, systemError);
                 }
                 return;
             }
             ReportRunProblem(TRunProblem::UnreadableFolder, sCannotReadFolder, path, systemError);
         });
}

void TpxBatchList::CountFoundFile(const std::string& /*fullPath*/, const TSearchRec& /*file*/)
{
    ++FileTotal;
}

void TpxBatchList::CopyFoundFile(const std::string& fullPath, const TSearchRec& file)
{
    if (CancelRequested) {
        throw ESilentStop();
    }
    ++FileDone;
    ProgressForm->StartFile(fullPath, 100);
    ProgressForm->SetZipPosition(FileDone);
    ProcessMessages();
    // A stop confirmed just now takes effect before this file is copied.
    if (CancelRequested) {
        throw ESilentStop();
    }
    // Temporary files of runs (also of a killed one) are never backed up.
    if (isWorkFileName(file.Name) || !MatchesMaskList(IncludeMasks, file.Name, true) ||
        MatchesMaskList(ExcludeMasks, file.Name, false)) {
        return;
    }
    // The walk reports "<SourceDir>/<relative part>".
    const std::string target = TargetDir + fullPath.substr(SourceDir == "/" ? 0 : SourceDir.size());
    const std::string folder = ExtractFileDir(target);
    if (folder != m_lastTargetFolder) {
        if (!MakeFolder(folder, TRunProblem::CopyFailed)) {
            return;
        }
        m_lastTargetFolder = folder;
        // Also where no file is copied this time: a killed run may have left a temporary copy here.
        RemoveOrphanedCopies(folder);
    }
    if (UpdateZip) {
        struct stat st
        {
        };
        if (::stat(target.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) &&
            static_cast<std::int64_t>(st.st_size) == file.Size && SameFileMTime(file.MTime, st.st_mtim.tv_sec)) {
            ++RunSummary.FilesUnchanged;
            return;
        }
    }
    std::string error;
    bool verifyFailed = false;
    if (CopyFileKeepTime(fullPath, target, error, Verify, &verifyFailed)) {
        ++RunSummary.FilesCopied;
        ProgressForm->FileComplete();
        // The file grew or shrank after it was found: the copy holds what was read, and the run says
        // so as a zip section does.
        struct stat copied
        {
        };
        if (::stat(target.c_str(), &copied) == 0 && static_cast<std::int64_t>(copied.st_size) != file.Size) {
            ReportRunProblem(TRunProblem::FileChanged, sFileChangedWhileCopied, {fullPath});
        }
    } else if (verifyFailed) {
        ReportRunProblem(TRunProblem::CopyFailed, restore::restoreText(sVerifyCopyFailed, {target, fullPath}));
    } else {
        ReportRunProblem(TRunProblem::CopyFailed, error);
    }
}

void TpxBatchList::ZipProgress(TZipComponent& sender, ProgressType type, const std::string& fileName, std::int64_t size)
{
    sender.SetCancel(CancelRequested);
    switch (type) {
    case ProgressType::NewFile:
        ProgressForm->StartFile(fileName, 100);
        CurrentFileSize = size;
        CurrentFileDone = 0;
        break;
    case ProgressType::ProgressUpdate:
        CurrentFileDone += size;
        TotalDone += size;
        if (CurrentFileSize == 0) {
            ProgressForm->FileComplete();
        } else {
            ProgressForm->SetFilePosition(percentOf(CurrentFileDone, CurrentFileSize));
        }
        if (TotalSize != 0) {
            ProgressForm->SetZipPosition(percentOf(TotalDone, TotalSize));
        }
        break;
    case ProgressType::EndOfBatch:
        ProgressForm->ArchiveComplete();
        break;
    case ProgressType::TotalFiles2Process:
        break;
    case ProgressType::TotalSize2Process:
        ProgressForm->SetZipPosition(0);
        TotalSize = size;
        TotalDone = 0;
        break;
    }
    ProcessMessages();
}

void TpxBatchList::ZipMessage(TZipComponent& sender, std::int32_t errCode, const std::string& text)
{
    // Engine messages carry their code; the component's own messages come with 0 and leave their
    // identifier in ErrCode.
    std::int32_t code = errCode;
    if (code == 0 && sender.ErrCode() >= zipmsg::kFirstComponentMessage && sender.Message() == text) {
        code = sender.ErrCode();
    }
    std::string line = "[" + std::to_string(code) + "] " + text;
    if (code == ZIP_MSG_VERIFY_FAILED) {
        // The engine gives the entry and the cause on two lines; the text is the program's own.
        const auto lineFeed = text.find('\n');
        const std::string entryName = lineFeed == 0 ? std::string("(directory)") : text.substr(0, lineFeed);
        const std::string cause = lineFeed == std::string::npos ? std::string() : text.substr(lineFeed + 1);
        line = "[" + std::to_string(code) + "] " +
               restore::restoreText(sVerifyEntryFailed, {sender.ZipFileName(), entryName, cause});
    }
    // The reader refused the archive (a problem counted then) and so left no archive name: the
    // component's "no archive name" that follows only says why nothing was added.
    if (code == zipmsg::kNoArchiveName && m_sectionProblems > 0) {
        RunSummary.ProblemLines.push_back(line);
        RunSummary.LocalProblemLines.push_back(line);
        ProgressForm->ReportProblem(line);
        if (m_observer != nullptr) {
            m_observer->Problem(line);
        }
        return;
    }
    if (code == ZIP_MSG_FILE_CHANGED) {
        ReportRunProblem(TRunProblem::FileChanged, line);
        return;
    }
    switch (ZipMessageWeight(code)) {
    case TZipMessageWeight::Ignored:
        break;
    case TZipMessageWeight::Notice:
        RunSummary.NoticeLines.push_back(line);
        ProgressForm->ReportNotice(line);
        if (m_observer != nullptr) {
            m_observer->Notice(line);
        }
        break;
    case TZipMessageWeight::Problem:
        ReportRunProblem(TRunProblem::ZipError, line);
        break;
    }
}
