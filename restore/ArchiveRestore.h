#pragma once
// Testing an archive and restoring its entries, through the engine's read export. Problems (entries
// refused, damaged or not writable) are reported one by one to the progress view, and the rest goes
// on. Runs on the calling thread; the callbacks of the questions and the stop check are called there.

#include "restore/RestoreTarget.h"
#include "zipcomp/ZipEngineLoader.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class IProgressView;

namespace restore {

// One entry as listed.
struct ArchiveItem
{
    std::string name; // as stored
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
    std::uint32_t flags = 0; // ZIP_ENTRY_* bits
    std::uint32_t mode = 0;
};

// Questions a restore may ask (the window asks the user; the command line never asks).
class RestoreQuestions
{
public:
    virtual ~RestoreQuestions() = default;
    // The rule for one file that exists at `path`: Replace, Skip or KeepBoth.
    virtual ExistingRule askExisting(const std::string& path) = 0;
    // A password for the archive; nullopt for none.
    virtual std::optional<std::string> askPassword(const std::string& archive) = 0;
};

struct RestoreRequest
{
    std::string archive;
    std::string destination;
    std::string password;
    // Names or masks chosen (see nameChosen); empty: every entry.
    std::vector<std::string> patterns;
    ExistingRule rule = ExistingRule::Skip;
    RestoreQuestions* questions = nullptr; // needed for ExistingRule::Ask and to ask for a password
    std::function<bool()> stopRequested;   // polled while data arrives; may be empty
};

struct ReadOutcome
{
    int done = 0;     // entries tested or restored
    int skipped = 0;  // existing files kept
    int problems = 0; // entries refused, damaged or not written
    bool unreadable = false;
    bool stopped = false;
    std::string archiveProblem; // when unreadable
    // 0 all good, 1 problems, 2 the archive cannot be read (or no engine), 3 stopped.
    int exitCode() const { return unreadable ? 2 : stopped ? 3 : problems > 0 ? 1 : 0; }
};

// Lists the entries. False with `why` when the archive cannot be read.
bool listArchive(const ZipEngineLibrary& engine, const std::string& archive, std::vector<ArchiveItem>& items,
                 std::string& why);

// Tests every entry (decompressed, CRC and size checked); the bad ones are reported by name.
ReadOutcome testArchive(const ZipEngineLibrary& engine, const RestoreRequest& request, IProgressView& view);

// Restores the chosen entries into request.destination.
ReadOutcome restoreArchive(const ZipEngineLibrary& engine, const RestoreRequest& request, IProgressView& view);

} // namespace restore
