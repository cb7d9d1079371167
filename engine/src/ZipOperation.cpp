#include "ZipOperation.h"

#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "Compression.h"
#include "EngineError.h"
#include "FileLayer.h"
#include "FileSelection.h"
#include "NameTable.h"
#include "ReadBack.h"
#include "TraditionalCrypto.h"
#include "pathrules/PathRules.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <libdeflate.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace zipengine {

using namespace zipfmt;

namespace {

// A streamed file gets a ZIP64 local header when it may come this close to 4 GiB (the encryption
// header and rounding included).
constexpr std::uint64_t kZip64Margin = 1024;

std::string text(const char* value)
{
    return value == nullptr ? std::string() : std::string(value);
}

std::string lowerAscii(std::string s)
{
    for (auto& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

struct SpecSecurity
{
    bool encrypt = false;
    std::string password; // empty: ask
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
    std::int32_t run();

private:
    void readBlock();
    // Removes stale temporary archives and reads the archive (refused when it is not one).
    void openArchive();
    void reportChoiceProblems();
    // Gives each new file its compression jobs and counts them; false when the plan adds nothing.
    bool makeJobs(std::uint64_t& fileCount, std::uint64_t& totalBytes);
    void writePlan();
    void deleteMovedFiles();
    // True when the entry does not hold the file as it is now: another size, or another time at the
    // best precision the entry keeps (the second of its exact time, else the 2-second MS-DOS slot).
    bool isStale(const SourceFile& file, const ExistingEntry& entry) const;
    void plan();
    void resolvePasswords();
    void addFile(const PlanItem& item);
    void addStreamed(const PlanItem& item, CentralRecord& record, const std::string* password);
    bool restoreStored(const SourceFile& file, CentralRecord& record, const std::string* password);
    void skipFile(const PlanItem& item, const std::string& why);
    void releaseJobs(std::size_t first, std::size_t count);
    bool storedBySuffix(std::string_view name) const;
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
    std::vector<SpecSecurity> m_security;
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

void Operation::readBlock()
{
    if (m_block.Check != ZIP_EXEC_CHECK_VALUE) {
        throw EngineError(ZIP_MSG_BAD_PARAMS,
                          "the parameter block is not valid (check value " + std::to_string(m_block.Check) + ")");
    }
    m_archivePath = text(m_block.ArchivePath);
    if (m_archivePath.empty()) {
        throw EngineError(ZIP_MSG_BAD_PARAMS, "the parameter block names no archive");
    }
    while (m_archivePath.size() > 1 && m_archivePath.back() == '/') {
        m_archivePath.pop_back();
    }
    m_tempDir = text(m_block.TempDir);
    while (m_tempDir.size() > 1 && m_tempDir.back() == '/') {
        m_tempDir.pop_back();
    }
    m_level = std::clamp(m_block.Level, 0, 9);
    m_update = m_block.Update != 0;
    m_freshen = !m_update && m_block.Freshen != 0;
    m_move = m_block.Move != 0;
    m_rebuild = m_block.Rebuild != 0;
    m_verify = m_block.Verify != 0;
    // An archive reached through symbolic links is written where it is: the links stay links.
    m_namedPath = m_archivePath;
    m_archivePath = followLinks(m_archivePath);

    auto& options = m_selectionOptions;
    options.hiddenFiles = m_block.HiddenFiles != 0;
    options.junkDirNames = m_block.JunkDirNames != 0;
    options.dirEntries = m_block.NoDirEntries == 0;
    options.tempPrefix = tempPrefix(m_archivePath);
    const std::string blockPassword = text(m_block.Password);
    for (int i = 0; i < m_block.SpecCount && m_block.Specs != nullptr; ++i) {
        const ZipSpecData& data = m_block.Specs[i];
        SelectionSpec spec;
        spec.pattern = text(data.FileSpec);
        spec.baseDir = text(data.RootDir);
        // The record carries the block's recursion unless its line overrides it.
        spec.recurse = data.Recurse != 0;
        options.specs.push_back(std::move(spec));
        SpecSecurity security;
        security.encrypt = data.Encrypt != 0;
        security.password = data.Password != nullptr ? text(data.Password) : blockPassword;
        m_security.push_back(std::move(security));
    }
    for (int i = 0; i < m_block.ExcludeCount && m_block.Excludes != nullptr; ++i) {
        if (m_block.Excludes[i] != nullptr && *m_block.Excludes[i] != '\0') {
            options.excludes.emplace_back(m_block.Excludes[i]);
        }
    }
    const std::string suffixes = text(m_block.StoreSuffixes);
    for (std::size_t pos = 0; pos < suffixes.size();) {
        auto next = suffixes.find(':', pos);
        if (next == std::string::npos) {
            next = suffixes.size();
        }
        std::string suffix = lowerAscii(suffixes.substr(pos, next - pos));
        if (!suffix.empty() && suffix[0] == '.') {
            suffix.erase(0, 1);
        }
        if (!suffix.empty()) {
            m_storeSuffixes.push_back(suffix);
        }
        pos = next + 1;
    }
}

bool Operation::storedBySuffix(std::string_view name) const
{
    const auto dot = name.rfind('.');
    const auto slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return false;
    }
    const std::string suffix = lowerAscii(std::string(name.substr(dot + 1)));
    return std::find(m_storeSuffixes.begin(), m_storeSuffixes.end(), suffix) != m_storeSuffixes.end();
}

std::uint16_t Operation::methodFlags(bool deflated) const
{
    if (!deflated) {
        return 0;
    }
    // Bits 1 and 2 tell readers how hard the deflater worked.
    return m_level >= 8 ? 0x0002 : m_level == 2 ? 0x0004 : m_level == 1 ? 0x0006 : 0;
}

bool Operation::isStale(const SourceFile& file, const ExistingEntry& entry) const
{
    const zipdir::CentralHeader header = m_archive->header(entry);
    if (header.size != file.size) {
        return true; // also a file set back to an older version, or caught while it was written
    }
    std::int64_t entryUtc = 0;
    if (!entryUtcTime(header, entryUtc)) {
        // Without its exact time an entry holds the MS-DOS date and time, which cannot show a time
        // before 1980 or after 2107: compare the file's time as it would be stored, clamped the same
        // way, so such a file is not taken for changed at every update.
        const CentralRecord stored = makeRecord(std::string(), file.mtime, 0, false);
        return stored.dosDate != header.dosDate || stored.dosTime != header.dosTime;
    }
    return file.mtime != entryUtc;
}

void Operation::plan()
{
    const auto& files = m_selection.files;
    const std::size_t existingCount = m_archive ? m_archive->entries().size() : 0;
    constexpr std::uint32_t kNotReplaced = 0xFFFFFFFFu;
    std::vector<std::uint32_t> replacedBy;
    std::vector<bool> dropped;
    if (m_archive) {
        for (const auto& [first, other] : m_archive->duplicates()) {
            m_duplicates[first].push_back(other);
        }
    }
    std::vector<std::uint32_t> newFiles;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const long entry =
            m_archive ? m_archive->find(m_selection.storedFolder(files[i]), m_selection.name(files[i])) : -1;
        const bool known = entry >= 0;
        if ((m_update || m_freshen) && known &&
            !isStale(files[i], m_archive->entries()[static_cast<std::size_t>(entry)])) {
            continue;
        }
        if (m_freshen && !known) {
            continue;
        }
        if (known) {
            if (replacedBy.empty()) {
                replacedBy.assign(existingCount, kNotReplaced);
                dropped.assign(existingCount, false);
            }
            replacedBy[static_cast<std::size_t>(entry)] = static_cast<std::uint32_t>(i);
            if (const auto more = m_duplicates.find(entry); more != m_duplicates.end()) {
                for (const std::size_t other : more->second) {
                    dropped[other] = true;
                }
            }
        } else {
            newFiles.push_back(static_cast<std::uint32_t>(i));
        }
    }
    const auto inArchive = [this](const std::string& name) { return m_archive && m_archive->find(name) >= 0; };
    // Empty folders the archive lacks. The archive's own folder (empty until the archive is there)
    // is left out, as the archive is.
    const std::string archiveFolder = m_archivePath.substr(0, m_archivePath.rfind('/') + 1);
    struct stat archiveFolderStat = {};
    const bool archiveFolderKnown = stat(archiveFolder.empty() ? "." : archiveFolder.c_str(), &archiveFolderStat) == 0;
    std::vector<std::uint32_t> newFolders;
    for (const std::uint32_t i : m_selection.emptyFolders) {
        const SourceDirectory& folder = m_selection.directories[i];
        struct stat st;
        if (archiveFolderKnown && stat(folder.fullPath.c_str(), &st) == 0 && st.st_dev == archiveFolderStat.st_dev &&
            st.st_ino == archiveFolderStat.st_ino) {
            continue;
        }
        if (!inArchive(folder.storedName)) {
            newFolders.push_back(i);
        }
    }
    if (replacedBy.empty() && newFiles.empty() && newFolders.empty()) {
        return; // nothing to write
    }
    for (std::size_t i = 0; i < existingCount; ++i) {
        if (!replacedBy.empty() && replacedBy[i] != kNotReplaced) {
            m_plan.push_back({ItemKind::AddFile, replacedBy[i], static_cast<std::int32_t>(i)});
        } else if (dropped.empty() || !dropped[i]) {
            if (!m_plan.empty() && m_plan.back().kind == ItemKind::Copy &&
                m_plan.back().index + m_plan.back().count == i) {
                ++m_plan.back().count;
            } else {
                m_plan.push_back({ItemKind::Copy, static_cast<std::uint32_t>(i), -1, 0, 1});
            }
        }
    }
    // Folder entries for the folders on the paths of new files, and for empty folders, that the
    // archive lacks.
    std::unordered_map<std::string, std::size_t> folders;
    for (std::size_t i = 0; i < m_selection.directories.size(); ++i) {
        folders.emplace(m_selection.directories[i].storedName, i);
    }
    std::unordered_set<std::string> present;
    const auto addFoldersOf = [&](const std::string& name) {
        for (auto slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
            const std::string folder = name.substr(0, slash + 1);
            const auto it = folders.find(folder);
            if (it == folders.end() || !present.insert(folder).second || inArchive(folder)) {
                continue;
            }
            m_plan.push_back({ItemKind::AddDirectory, static_cast<std::uint32_t>(it->second)});
        }
    };
    std::uint32_t lastFolder = NameTable::kNone;
    for (const std::uint32_t i : newFiles) {
        // Files of one folder follow one another: its folders are looked at once.
        if (files[i].folder != lastFolder) {
            lastFolder = files[i].folder;
            addFoldersOf(m_selection.storedFolder(files[i]));
        }
        m_plan.push_back({ItemKind::AddFile, i});
    }
    for (const std::uint32_t i : newFolders) {
        addFoldersOf(m_selection.directories[i].storedName);
    }
    m_emptyFoldersAdded = !newFolders.empty();
}

void Operation::resolvePasswords()
{
    std::optional<std::string> asked;
    for (const auto& item : m_plan) {
        if (item.kind != ItemKind::AddFile) {
            continue;
        }
        auto& security = m_security[static_cast<std::size_t>(m_selection.files[item.index].specIndex)];
        if (!security.encrypt || !security.password.empty()) {
            continue;
        }
        if (!asked) {
            asked = m_channel.askPassword(m_archivePath);
            if (asked->empty()) {
                throw EngineError(ZIP_MSG_NO_PASSWORD,
                                  "no password was given to encrypt " + m_archivePath + "; nothing was written");
            }
        }
        security.password = *asked;
    }
}

void Operation::releaseJobs(std::size_t first, std::size_t count)
{
    for (std::size_t i = first; i < first + count; ++i) {
        m_pool->waitFor(i);
        m_pool->release(i);
    }
}

void Operation::skipFile(const PlanItem& item, const std::string& why)
{
    const SourceFile& file = m_selection.files[item.index];
    std::string message = m_selection.fullPath(file) + ": " + why + "; skipped";
    if (item.existing >= 0) {
        message += ", the version already in the archive was kept";
    }
    m_channel.message(ZIP_MSG_FILE_SKIPPED, message);
    if (item.existing >= 0) {
        // Kept as it was: the entry and any others of its name.
        m_writer->copyRun(*m_archive, static_cast<std::size_t>(item.existing), 1);
        if (const auto more = m_duplicates.find(item.existing); more != m_duplicates.end()) {
            for (const std::size_t other : more->second) {
                m_writer->copyRun(*m_archive, other, 1);
            }
        }
    }
}

void Operation::addFile(const PlanItem& item)
{
    const SourceFile& file = m_selection.files[item.index];
    Job& first = m_pool->waitFor(item.firstJob);
    if (first.result.error != 0 || (first.chunked && first.result.shrank)) {
        const std::string why = first.result.error != 0 ? "cannot read it: " + errnoText(first.result.error)
                                                        : "it became shorter while it was read";
        releaseJobs(item.firstJob, item.count);
        skipFile(item, why);
        return;
    }
    const std::string storedName = m_selection.storedName(file);
    m_channel.newFile(storedName, file.size);
    const auto& security = m_security[static_cast<std::size_t>(file.specIndex)];
    const std::string* password = security.encrypt ? &security.password : nullptr;
    CentralRecord record = makeRecord(storedName, file.mtime, file.mode, false);
    if (password != nullptr) {
        record.flags |= kFlagEncrypted;
        record.versionNeeded = kVersionDeflate;
    }
    if (first.chunked) {
        addStreamed(item, record, password);
        return;
    }
    JobResult& result = first.result;
    record.method = result.deflated ? kMethodDeflated : kMethodStored;
    record.flags |= methodFlags(result.deflated);
    if (result.deflated) {
        record.versionNeeded = kVersionDeflate;
    }
    record.crc = result.crc;
    record.size = result.inputSize;
    record.compressedSize = result.data.size() + (password != nullptr ? kTraditionalHeaderSize : 0);
    m_writer->beginEntry(record, false, true);
    if (password != nullptr) {
        TraditionalCipher cipher(*password);
        std::uint8_t header[kTraditionalHeaderSize];
        cipher.makeHeader(static_cast<std::uint8_t>(record.crc >> 24), header);
        m_writer->data(header, sizeof header);
        cipher.encrypt(result.data.data(), result.data.size());
    }
    // The data goes out in steps matching the progress reports (at least one per MiB read).
    const std::uint64_t steps = std::max<std::uint64_t>(1, (result.inputSize + kChunkSize - 1) / kChunkSize);
    std::size_t written = 0;
    for (std::uint64_t step = 1; step <= steps; ++step) {
        const auto upTo = static_cast<std::size_t>(result.data.size() * step / steps);
        m_writer->data(result.data.data() + written, upTo - written);
        written = upTo;
        const std::uint64_t inputDone = result.inputSize * step / steps - result.inputSize * (step - 1) / steps;
        m_channel.progress(inputDone, step == steps);
    }
    const bool changed = result.grew || result.shrank;
    m_pool->release(item.firstJob);
    m_writer->endEntry(record);
    ++m_added;
    m_written.push_back(item.index);
    if (changed) {
        m_channel.message(ZIP_MSG_FILE_CHANGED,
                          m_selection.fullPath(file) + ": changed size while it was read; stored as read");
    }
}

void Operation::addStreamed(const PlanItem& item, CentralRecord& record, const std::string* password)
{
    const SourceFile& file = m_selection.files[item.index];
    const bool store = m_jobs[item.firstJob].store;
    record.method = store ? kMethodStored : kMethodDeflated;
    record.flags |= methodFlags(!store);
    if (!store) {
        record.versionNeeded = kVersionDeflate;
    }
    if (password != nullptr) {
        // The CRC is known only at the end: the check byte comes from the time, sizes follow the data.
        record.flags |= kFlagDataDescriptor;
    }
    const bool zip64Local = file.size + kZip64Margin >= kMax32;
    m_writer->beginEntry(record, zip64Local, false);
    std::optional<TraditionalCipher> cipher;
    if (password != nullptr) {
        cipher.emplace(*password);
        std::uint8_t header[kTraditionalHeaderSize];
        cipher->makeHeader(static_cast<std::uint8_t>(record.dosTime >> 8), header);
        m_writer->data(header, sizeof header);
    }
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::uint64_t compressed = 0;
    bool grew = false;
    for (std::size_t i = 0; i < item.count; ++i) {
        Job& job = m_pool->waitFor(item.firstJob + i);
        JobResult& result = job.result;
        if (result.error != 0 || result.shrank) {
            const std::string why = result.error != 0 ? "cannot read it: " + errnoText(result.error)
                                                      : "it became shorter while it was read";
            releaseJobs(item.firstJob + i, item.count - i);
            m_writer->abandonEntry();
            skipFile(item, why);
            return;
        }
        // Stored chunks arrive without history, so the data is exactly the chunk.
        if (cipher) {
            cipher->encrypt(result.data.data(), result.data.size());
        }
        m_writer->data(result.data.data(), result.data.size());
        crc = combineCrc(crc, result.crc, result.inputSize);
        size += result.inputSize;
        compressed += result.data.size();
        grew = grew || result.grew;
        m_pool->release(item.firstJob + i);
        m_channel.progress(job.length, i + 1 == item.count);
    }
    if (!store && compressed >= size) {
        // Deflate did not shrink it: store it instead, reading it once more.
        m_writer->abandonEntry();
        record.method = kMethodStored;
        record.flags &= static_cast<std::uint16_t>(~0x0006u);
        if (!restoreStored(file, record, password)) {
            skipFile(item, "cannot read it again: " + errnoText(errno));
            return;
        }
    } else {
        record.crc = crc;
        record.size = size;
        record.compressedSize = compressed + (cipher ? kTraditionalHeaderSize : 0);
        m_writer->endEntry(record);
    }
    ++m_added;
    m_written.push_back(item.index);
    if (grew) {
        m_channel.message(ZIP_MSG_FILE_CHANGED,
                          m_selection.fullPath(file) + ": grew while it was read; stored as first seen");
    }
}

bool Operation::restoreStored(const SourceFile& file, CentralRecord& record, const std::string* password)
{
    const int fd = openSourceFile(m_selection.fullPath(file), m_seams);
    if (fd < 0) {
        return false;
    }
    const bool zip64Local = file.size + kZip64Margin >= kMax32;
    m_writer->beginEntry(record, zip64Local, false);
    std::optional<TraditionalCipher> cipher;
    if (password != nullptr) {
        cipher.emplace(*password);
        std::uint8_t header[kTraditionalHeaderSize];
        cipher->makeHeader(static_cast<std::uint8_t>(record.dosTime >> 8), header);
        m_writer->data(header, sizeof header);
    }
    std::vector<std::uint8_t> block(kChunkSize);
    std::uint32_t crc = 0;
    std::uint64_t done = 0;
    while (done < file.size) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), file.size - done));
        const ssize_t n = readFully(fd, block.data(), want, done);
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            close(fd);
            m_writer->abandonEntry();
            errno = error;
            return false;
        }
        crc = libdeflate_crc32(crc, block.data(), static_cast<std::size_t>(n));
        if (cipher) {
            cipher->encrypt(block.data(), static_cast<std::size_t>(n));
        }
        m_writer->data(block.data(), static_cast<std::size_t>(n));
        done += static_cast<std::uint64_t>(n);
    }
    close(fd);
    record.crc = crc;
    record.size = done;
    record.compressedSize = done + (cipher ? kTraditionalHeaderSize : 0);
    m_writer->endEntry(record);
    return true;
}

void Operation::openArchive()
{
    // Temporary archives of a killed run go whether or not this run writes anything (also those an
    // earlier version made beside a link to the archive).
    removeStaleTemps(m_archivePath, m_tempDir);
    if (m_namedPath != m_archivePath) {
        removeStaleTemps(m_namedPath, m_tempDir);
    }

    struct stat archiveStat;
    if (stat(m_archivePath.c_str(), &archiveStat) == 0) {
        if (!S_ISREG(archiveStat.st_mode)) {
            throw EngineError(ZIP_MSG_BAD_ARCHIVE, m_archivePath + " is not a regular file; it was left as it is");
        }
        if (!m_rebuild) {
            m_archive = std::make_unique<ExistingArchive>(m_archivePath);
        } else if (!hasZipSignature(m_archivePath, static_cast<std::uint64_t>(archiveStat.st_size))) {
            // A damaged archive may be written again, a file of another kind (a text named by
            // mistake) never.
            throw EngineError(ZIP_MSG_BAD_ARCHIVE, m_archivePath +
                                                       " is not a zip archive (no zip signature at its start or end);"
                                                       " it was left as it is");
        }
        m_selectionOptions.never.emplace_back(archiveStat.st_dev, archiveStat.st_ino);
    } else if (errno != ENOENT) {
        const int error = errno;
        throw EngineError(ZIP_MSG_CANNOT_CREATE, "cannot reach the archive " + m_archivePath + ": " + errnoText(error));
    }
}

void Operation::reportChoiceProblems()
{
    for (const auto& [code, message] : m_choiceProblems) {
        m_channel.message(static_cast<ZipEngineMessageCode>(code), message);
    }
}

bool Operation::makeJobs(std::uint64_t& fileCount, std::uint64_t& totalBytes)
{
    bool anyNew = false;
    for (auto& item : m_plan) {
        if (item.kind != ItemKind::Copy) {
            anyNew = true;
        }
        if (item.kind == ItemKind::AddFile) {
            const SourceFile& file = m_selection.files[item.index];
            ++fileCount;
            totalBytes += file.size;
            item.firstJob = static_cast<std::uint32_t>(m_jobs.size());
            addJobs(m_jobs, m_selection, item.index, m_level == 0 || storedBySuffix(m_selection.name(file)));
            item.count = static_cast<std::uint32_t>(m_jobs.size() - item.firstJob);
        }
    }
    return anyNew;
}

void Operation::writePlan()
{
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    CompressionPool pool(m_jobs, m_level, m_seams, threads);
    m_pool = &pool;
    for (const auto& item : m_plan) {
        switch (item.kind) {
        case ItemKind::Copy:
            m_writer->copyRun(*m_archive, item.index, item.count);
            break;
        case ItemKind::AddDirectory: {
            const SourceDirectory& folder = m_selection.directories[item.index];
            CentralRecord record = makeRecord(folder.storedName, folder.mtime, folder.mode, true);
            m_writer->beginEntry(record, false, true);
            m_writer->endEntry(record);
            break;
        }
        case ItemKind::AddFile:
            addFile(item);
            break;
        }
    }
    m_pool = nullptr;
}

void Operation::deleteMovedFiles()
{
    // The new archive is in place: a stop asked for now ends the deletions, not the operation.
    for (const std::uint32_t index : m_written) {
        const std::string path = m_selection.fullPath(m_selection.files[index]);
        if (unlink(path.c_str()) != 0) {
            const int error = errno;
            m_channel.message(ZIP_MSG_MOVE_FAILED, path + ": stored, but cannot be deleted: " + errnoText(error));
        }
    }
}

std::int32_t Operation::run()
{
    readBlock();
    m_seams = FaultSeams::fromEnvironment();
    openArchive();

    // Problems met while choosing are reported after the totals, which open every operation.
    m_selection = selectFiles(m_selectionOptions, [this](int code, const std::string& message) {
        // The callback carries the start of a text: a name as long as a mask of any length is not kept whole.
        m_choiceProblems.emplace_back(code, message.substr(0, ZIP_CALLBACK_TEXT_SIZE));
    });
    if (m_selection.files.empty() && m_selection.emptyFolders.empty()) {
        m_channel.totals(0, 0);
        reportChoiceProblems();
        m_channel.message(ZIP_MSG_NOTHING_TO_DO,
                          "nothing to do: no file matches the specifications; " + m_archivePath + " was not changed");
        m_channel.endOfBatch();
        return 0;
    }
    plan();
    std::uint64_t fileCount = 0;
    std::uint64_t totalBytes = 0;
    if (!makeJobs(fileCount, totalBytes)) {
        m_channel.totals(0, 0);
        reportChoiceProblems();
        m_channel.endOfBatch();
        return 0;
    }
    m_channel.totals(fileCount, totalBytes);
    reportChoiceProblems();
    resolvePasswords();

    TempArchive temp(m_archivePath, m_tempDir, m_seams);
    ArchiveWriter writer(temp);
    m_writer = &writer;
    if (m_archive && m_archive->prefixSize() > 0) {
        // Whatever precedes the zip part stays as it is; every offset written after it counts from
        // the start of the file, as the old archive's did.
        m_archive->copyTo(temp, 0, m_archive->prefixSize());
    }
    writePlan();
    if (m_added == 0 && !m_emptyFoldersAdded) {
        // Every file to add was skipped: the old archive (if any) stays as it is.
        m_channel.endOfBatch();
        return 0;
    }
    std::string comment = m_block.ArchiveComment != nullptr ? text(m_block.ArchiveComment)
                          : m_archive                       ? m_archive->comment()
                                                            : std::string();
    writer.finish(comment);
    m_archive.reset();
    if (m_verify) {
        temp.sync();
        std::vector<ReadBackEntry> written;
        for (const std::uint32_t index : m_written) {
            const SourceFile& file = m_selection.files[index];
            const SpecSecurity& security = m_security[static_cast<std::size_t>(file.specIndex)];
            written.push_back({m_selection.storedName(file), security.encrypt ? security.password : std::string()});
        }
        readBack(temp.path(), written);
    }
    temp.commit();

    if (m_move) {
        try {
            deleteMovedFiles();
        } catch (const StopRequested&) {
            return m_added;
        }
    }
    m_channel.endOfBatch();
    return m_added;
}

} // namespace

std::int32_t runZipOperation(const ZipExecParams& block, CallbackChannel& channel)
{
    Operation operation(block, channel);
    return operation.run();
}

} // namespace zipengine
