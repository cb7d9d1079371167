#pragma once
// The state and the steps of one add operation, private to the two files that implement it:
// ZipOperation.cpp reads the block, chooses the files, plans the new archive and runs the steps in
// order; EntryWriting.cpp writes the planned entries into the temporary archive.

#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "Callbacks.h"
#include "Compression.h"
#include "FileLayer.h"
#include "FileSelection.h"
#include "zipengine/ZipEngineApi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zipengine {

struct SpecSecurity
{
    bool encrypt = false;
    std::string password; // empty: ask
};

// The security of each file spec, by spec. Neighbouring specs with the same security share one
// record; while all specs share the first (usually: the block's password) no index is kept at all.
class SpecSecurities
{
public:
    void add(SpecSecurity security)
    {
        if (m_shared.empty() || m_shared.back().encrypt != security.encrypt ||
            m_shared.back().password != security.password) {
            if (!m_shared.empty() && m_of.empty()) {
                m_of.assign(m_count, 0); // the first spec with another security: from now on by index
            }
            m_shared.push_back(std::move(security));
        }
        if (m_shared.size() > 1) {
            m_of.push_back(static_cast<std::uint32_t>(m_shared.size() - 1));
        }
        ++m_count;
    }
    // A password set here (one asked for) is set for the specs sharing the record, which all lacked it.
    SpecSecurity& operator[](std::size_t spec) { return m_shared[m_of.empty() ? 0 : m_of[spec]]; }
    const SpecSecurity& operator[](std::size_t spec) const { return m_shared[m_of.empty() ? 0 : m_of[spec]]; }

private:
    std::vector<SpecSecurity> m_shared;
    std::vector<std::uint32_t> m_of; // empty while every spec has the first record
    std::size_t m_count = 0;
};

enum class ItemKind
{
    Copy,
    AddFile,
    AddDirectory
};

// One step of writing the new archive, in order: a run of entries kept (one item for a run, so an
// update that keeps most entries plans a few items), a new file or a folder entry.
struct PlanItem
{
    ItemKind kind;
    std::uint32_t index;        // first entry (Copy), file (AddFile) or folder (AddDirectory)
    std::int32_t existing = -1; // AddFile: the entry it replaces
    std::uint32_t firstJob = 0;
    std::uint32_t count = 0; // Copy: entries in the run; AddFile: its jobs
};

class Operation
{
public:
    Operation(const ZipExecParams& block, CallbackChannel& channel) : m_block(block), m_channel(channel) {}
    // Raises EngineError or StopRequested, leaving the old archive as it was.
    std::int32_t run();

private:
    // What the chosen files do to the old archive's entries.
    struct Changes
    {
        std::vector<std::uint32_t> replacedBy; // per entry: the file replacing it; empty when none is
        std::vector<bool> dropped;             // per entry: a later entry of a replaced name
        std::vector<std::uint32_t> newFiles;   // files the archive lacks
    };

    // Steps of run(), in order (ZipOperation.cpp).
    void readBlock();
    // Removes stale temporary archives and reads the archive (refused when it is not one).
    void openArchive();
    void chooseFiles();
    void reportNothingChosen();
    void plan();
    // Gives each new file its compression jobs and counts them; false when the plan adds nothing.
    bool makeJobs(std::uint64_t& fileCount, std::uint64_t& totalBytes);
    void reportChoiceProblems();
    void resolvePasswords();
    // Writes the plan into `temp` and finishes it; false when every file to add was skipped.
    bool writeArchive(TempArchive& temp);
    // Reads the finished temporary archive back, raising EngineError on a fault.
    void readBackWritten(TempArchive& temp);
    void deleteMovedFiles();

    // Parts of the plan (ZipOperation.cpp).
    Changes findChanges() const;
    std::vector<std::uint32_t> findNewFolders() const;
    void planKeptAndReplaced(const Changes& changes);
    void planNewEntries(const std::vector<std::uint32_t>& newFiles, const std::vector<std::uint32_t>& newFolders);
    // True when the entry does not hold the file as it is now: another size, or another time at the
    // best precision the entry keeps (the second of its exact time, else the 2-second MS-DOS slot).
    bool isStale(const SourceFile& file, const ExistingEntry& entry) const;
    bool inArchive(const std::string& name) const;
    bool storedBySuffix(std::string_view name) const;

    // Writing the planned entries (EntryWriting.cpp).
    void writePlan();
    void addFile(const PlanItem& item);
    void addStreamed(const PlanItem& item, CentralRecord& record, const std::string* password);
    bool restoreStored(const SourceFile& file, CentralRecord& record, const std::string* password);
    void skipFile(const PlanItem& item, const std::string& why);
    void releaseJobs(std::size_t first, std::size_t count);
    std::uint16_t methodFlags(bool deflated) const;

    const ZipExecParams& m_block;
    CallbackChannel& m_channel;
    FaultSeams m_seams;
    std::string m_archivePath; // the archive, links followed
    std::string m_namedPath;   // the archive as the block names it
    std::string m_tempDir;
    int m_level = 9;
    bool m_update = false;
    bool m_freshen = false;
    bool m_move = false;
    bool m_rebuild = false;
    bool m_verify = false;
    SelectionOptions m_selectionOptions;
    SpecSecurities m_security;
    std::vector<std::string> m_storeSuffixes;

    std::unique_ptr<ExistingArchive> m_archive;
    Selection m_selection;
    std::vector<PlanItem> m_plan;
    std::vector<Job> m_jobs;
    CompressionPool* m_pool = nullptr;
    ArchiveWriter* m_writer = nullptr;
    std::vector<std::uint32_t> m_written; // files stored in this run (for the move flag)
    // Entries after the first of the same name (written by other tools), by the index of the first:
    // replacing a name replaces them all, so no reader finds a stale copy.
    std::unordered_map<long, std::vector<std::size_t>> m_duplicates;
    std::vector<std::pair<int, std::string>> m_choiceProblems; // reported after the totals
    std::int32_t m_added = 0;
    bool m_emptyFoldersAdded = false; // the plan adds entries of empty folders
};

} // namespace zipengine
