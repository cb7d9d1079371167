#pragma once
// The batch in memory: the batch parameters and the ordered job sections (entries), loaded from
// and saved to a batch file. The runner adds the run operations in its own unit.
//
// Batch file layout (8-bit text, every line ended by CR LF):
//
//   [BatchParameters]
//   Before=<command>        After=<command>
//   Password=<scrambled>    UpdateZip=1|0
//   Verify=1                only when set: archives and copies are read back after writing
//   <empty line>
//   [<entry name>]          one block per entry, in list order:
//   Zip=  Compress=  Dir=  Suffix=  Ignore=  Recurse=  DirName=  Comments=
//   <empty line>

#include "batch/RunSummary.h"
#include "core/FileSearch.h"
#include "core/UiInterfaces.h"
#include "zipcomp/ZipComp.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One job section of a batch.
class TBatchEntry
{
public:
    TBatchEntry(std::string name, std::string zip, std::string dir, std::string suffix, std::string ignore,
                bool recurse, bool dirName, bool compress);

    std::string Name;     // section name in the batch file
    std::string Zip;      // archive file (Compress) or target directory (copy entry)
    bool Compress = true; // zip into the archive Zip; false: copy into the directory Zip
    std::string Dir;      // source directory
    std::string Suffix;   // include mask list; empty means all files
    std::string Ignore;   // exclude mask list; empty means none
    bool Recurse = false; // also take files from subdirectories of Dir
    bool DirName = false; // zip entries only: store names with their path
    std::string Comments; // written as "Comments=", never set and never read
    // Why the section, as loaded, must not run: a value of its lines that holds a NUL byte, which no
    // path or mask can carry ("line 7: the value of Zip holds a NUL byte"). Empty when none.
    std::string Defect;
};

// Told what a run does as it happens (the run log listens); not owned by the list. Called on the
// run's thread; a listener must not throw.
class IRunObserver
{
public:
    virtual ~IRunObserver() = default;
    // An entry starts or has ended (also when it was skipped or stopped with an error).
    virtual void SectionStarted(const std::string& name) = 0;
    virtual void SectionEnded(const std::string& name) = 0;
    // A problem line or a notice line, as the progress view gets it.
    virtual void Problem(const std::string& line) = 0;
    virtual void Notice(const std::string& line) = 0;
};
// The name of the batch file's parameter section; no entry may have it (in any letter case).
inline constexpr const char* kParameterSectionName = "BatchParameters";

// The fixed key that scrambles the password in batch files.
std::string ScrambleKey();

// Whether SaveToFile can store the password: its scrambled form must not hold a line break (only
// passwords with bytes above 126 can give one).
bool CanStorePassword(std::string_view password);

// The batch list. Loading, saving and editing are meant for the idle state; the fields are read
// and changed directly by the editor. Not thread-safe: one thread (the GUI's) uses it.
class TpxBatchList
{
public:
    TpxBatchList();
    ~TpxBatchList();
    TpxBatchList(const TpxBatchList&) = delete;
    TpxBatchList& operator=(const TpxBatchList&) = delete;

    // Progress of the running work.
    std::int64_t CurrentFileSize = 0; // size of the file the engine works on
    std::int64_t CurrentFileDone = 0; // bytes of that file reported so far
    std::int64_t TotalSize = 0;       // bytes announced for the archive being written
    std::int64_t TotalDone = 0;       // bytes reported so far for that archive

    // Run state.
    bool CancelRequested = false; // the user confirmed that the running work stops
    bool BatchRunning = false;    // the whole batch runs
    bool SectionRunning = false;  // one section is processed

    // The section being processed.
    std::string SourceDir; // its Dir
    std::string TargetDir; // target directory of a copy section

    // Batch parameters (stored in the batch file's BatchParameters section).
    std::string Before;    // command line run before the batch; empty for none
    std::string After;     // command line run after the batch; empty for none
    std::string Password;  // archive password in plain text (scrambled only in the file)
    bool UpdateZip = true; // add to existing archives / skip unchanged copies; false: rebuild
    // A batch-mode run that ends without problems also sends a desktop notification (written to
    // the file only when set, so files that do not use it keep their bytes).
    bool NotifySuccess = false;
    bool Verify = false; // read back each new archive and copy before it replaces the previous one
    // As TBatchEntry::Defect, for the parameter section: no run starts while it is set.
    std::string ParametersDefect;

    // Masks of the copy section being processed.
    std::vector<std::string> IncludeMasks;
    std::vector<std::string> ExcludeMasks;
    int FileTotal = 0; // files found by the counting pass of a copy section
    int FileDone = 0;  // files visited by the copying pass

    // The entries, in batch file order; the list owns them.
    std::vector<std::unique_ptr<TBatchEntry>> EntryList;

    int Count() const { return static_cast<int>(EntryList.size()); }
    // The entry at a 0-based index; raises std::out_of_range for an index outside the list.
    TBatchEntry& Entries(int index) const;
    // Removes and frees every entry; the parameters are not touched.
    void Clear();
    // Appends the entry (the list takes ownership) and returns its index.
    int AddEntry(std::unique_ptr<TBatchEntry> entry);
    // Removes and frees the entry at the index; later entries move up by one. Raises
    // std::out_of_range for an index outside the list.
    void DeleteEntry(int index);
    // True while a batch or a section runs.
    bool Running() const { return BatchRunning || SectionRunning; }

    // Replaces the entries with the sections of a batch file. An empty name, or a name of no
    // existing file, leaves the list empty and the parameters as they were. A file that cannot be
    // read raises EInOutError naming it, and then the list and the parameters stay as they were.
    // A stop request left over from a cancelled run does not affect loading.
    void LoadFromFile(const std::string& fileName);
    // Replaces the entries with the sections of a batch file's text; the parameters follow its
    // parameter section and stay as they were when it has none.
    void LoadFromText(std::string_view text);
    // The parameters of a batch file without a parameter section.
    void ResetParameters();

    // Writes the batch file. The previous file is replaced only once the new one is complete and
    // on disk: a failure raises EInOutError naming the file and the system's reason, and leaves
    // the previous file as it was. Raises EVorlandError, writing nothing, when a value cannot be
    // stored so that it reads back unchanged: a line break inside a value or name, an entry named
    // like the parameter section, or a password whose scrambled form holds a line break (only
    // passwords with bytes above 126 can). Values are trimmed; a scrambled password that begins
    // or ends with a blank or a quote is written inside double quotes so that it reads back whole.
    void SaveToFile(const std::string& fileName) const;

    // The batch file text SaveToFile writes (same checks, same errors).
    std::string BatchFileText() const;

    // ---- the run (BatchRunner.cpp) ----
    //
    // A run reports each problem on the progress view as it happens (a failed copy, an unreadable
    // folder, a failed Before or After command, a zip error), counts it in RunSummary and goes on.
    // A stop asked for by the user unwinds with ESilentStop; any other error ends the run and
    // reaches the caller. Either way the progress view is hidden and the running flags cleared.

    // The user interface of a run is wired here, once, for the list and its zip component:
    // - the progress view (owned): SetProgressForm; a view that shows nothing until one is set;
    // - the prompter (not owned): SetPrompter; until one is set, and after SetPrompter(nullptr),
    //   every question goes to the application's prompter (SetAppPrompter) at the moment it is
    //   asked, so the order in which the program creates the list and its prompter does not matter;
    // - the event pump (not owned): SetEventPump; called at the run's fixed points and at every
    //   callback of the engine (the component's progress events reach ZipProgress, which calls it,
    //   so the component itself gets no pump and each callback processes messages once). It may
    //   stop the run with ESilentStop (see IEventPump).
    // Set them while no run goes on; what is set must outlive the list or be replaced first.

    // The forwarding prompter the list and its component ask (declared before the component, which
    // keeps a pointer to it).
    std::unique_ptr<IPrompter> PrompterLink = CreatePrompterLink(*this);
    // The zip component of every zip section (created with the list, freed with it).
    std::unique_ptr<TZipComponent> ZipComponent = CreateZipComponent(*this);
    // The progress view of every run.
    std::unique_ptr<IProgressView> ProgressForm = CreateNullProgressView();
    // What the last run did and what went wrong.
    TRunSummary RunSummary;

    // Replaces the progress view (nullptr: back to one that shows nothing).
    void SetProgressForm(std::unique_ptr<IProgressView> view);
    // Sets the prompter of the list and its component (nullptr: the application's prompter).
    void SetPrompter(IPrompter* prompter);
    IPrompter* Prompter() const { return m_prompter; }
    // Sets the listener of the run (nullptr: none).
    void SetRunObserver(IRunObserver* observer) { m_observer = observer; }
    // Sets the event pump of the run (nullptr: nothing is processed).
    void SetEventPump(IEventPump* pump);
    IEventPump* EventPump() const { return m_pump; }
    // Runs one entry with the progress view; nothing for an index outside the list. Does nothing
    // while a run goes on (a second click while the event pump runs must not nest a run).
    void RunSection(int index);
    // Runs the Before command, every entry in order, then the After command. Does nothing while a
    // run goes on.
    void RunAll();
    // While running, asks "Cancel zip ?"; on OK the run stops at its next check. True when the
    // caller may go on (not running, or the stop was confirmed).
    bool QueryStop();

    // Runs one section from its values (an entry without Zip or Dir is skipped and reported).
    void ProcessSection(const std::string& Name, const std::string& Zip, const std::string& Dir,
                        const std::string& Suffix, const std::string& Ignore, bool Recurse, bool DirName,
                        bool Compress);
    // Counting and copying passes of a copy section.
    void CountFoundFile(const std::string& fullPath, const TSearchRec& file);
    void CopyFoundFile(const std::string& fullPath, const TSearchRec& file);
    // The zip component's progress and message events.
    void ZipProgress(TZipComponent& sender, ProgressType type, const std::string& fileName, std::int64_t size);
    void ZipMessage(TZipComponent& sender, std::int32_t errCode, const std::string& text);

private:
    static std::unique_ptr<IPrompter> CreatePrompterLink(TpxBatchList& owner);
    static std::unique_ptr<TZipComponent> CreateZipComponent(TpxBatchList& owner);
    static std::unique_ptr<IProgressView> CreateNullProgressView();
    void ProcessMessages();
    // A problem line of the engine or the system, the same in every language.
    void ReportRunProblem(TRunProblem kind, const std::string& text);
    // A problem line of the run itself: numbered string `number` with `arguments`. The progress view
    // (standard error) and the run log get it in English, as scripts read them; LocalProblemLines
    // (the editor's problems dialog) in the user's language.
    void ReportRunProblem(TRunProblem kind, int number, std::initializer_list<std::string_view> arguments);
    // The same for a numbered string of a name ("%1") and the system's text of errno value
    // `systemError` ("%2").
    void ReportRunProblem(TRunProblem kind, int number, const std::string& name, int systemError);
    void ReportProblemLine(TRunProblem kind, const std::string& text, const std::string& localText);
    // Makes the folder with its missing parents; false, with the problem line reported as `kind`,
    // when it cannot be made.
    bool MakeFolder(const std::string& folder, TRunProblem kind);
    void RunBatchCommand(bool before, const std::string& commandLine);
    // Raises an error when the parameter section was loaded with a defect.
    void CheckParameters() const;
    // ProcessSection with the entry's values, unless the entry was loaded with a defect (reported).
    void RunEntry(const TBatchEntry& entry);
    // The section's masks come apart from the entry, so that a long list is not copied.
    void ZipSection(const TBatchEntry& entry, std::string_view suffix, std::string_view ignore);
    void CopySection(const TBatchEntry& entry, std::string_view suffix, std::string_view ignore);

    IPrompter* m_prompter = nullptr;    // set by SetPrompter; nullptr: the application's
    IEventPump* m_pump = nullptr;       // set by SetEventPump
    IRunObserver* m_observer = nullptr; // set by SetRunObserver
    int m_sectionProblems = 0;          // problems reported since the section started
    std::string m_lastTargetFolder;     // last folder of a copied file known to exist
};

// The runner's mask lists: BuildMaskList of the text, each mask prefixed by the entry's Dir (with a
// trailing separator) when the entry is a zip entry with DirName set. Copy entries never get the
// prefix: their masks are matched against bare file names.
void BuildMaskList(const TBatchEntry& entry, std::string_view text, std::vector<std::string>& masks, bool complete);

// The single mask a zip entry uses when its include list is empty: "*.*", with the Dir prefix when
// DirName is set.
std::string DefaultZipMask(const TBatchEntry& entry);

// True when some mask of the list matches the name; `whenEmpty` when the list is empty.
bool MatchesMaskList(const std::vector<std::string>& masks, std::string_view name, bool whenEmpty);
