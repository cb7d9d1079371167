#include "ZipOperation.h"

#include "EngineError.h"
#include "NameTable.h"
#include "Operation.h"
#include "ReadBack.h"
#include "pathrules/PathRules.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace zipengine {

using namespace zipfmt;

namespace {

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

// The mark of an entry no chosen file replaces.
constexpr std::uint32_t kNotReplaced = 0xFFFFFFFFu;

} // namespace

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
    // The file specs are read from the block's records, which stay for the whole call.
    const auto specCount = static_cast<std::size_t>(m_block.Specs != nullptr ? std::max(m_block.SpecCount, 0) : 0);
    options.specRecords = m_block.Specs;
    options.specRecordCount = specCount;
    for (std::size_t i = 0; i < specCount; ++i) {
        const ZipSpecData& data = m_block.Specs[i];
        SpecSecurity security;
        security.encrypt = data.Encrypt != 0;
        security.password = data.Password != nullptr ? text(data.Password) : blockPassword;
        m_security.add(std::move(security));
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

Operation::Changes Operation::findChanges() const
{
    const auto& files = m_selection.files;
    const std::size_t existingCount = m_archive ? m_archive->entries().size() : 0;
    Changes changes;
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
            if (changes.replacedBy.empty()) {
                changes.replacedBy.assign(existingCount, kNotReplaced);
                changes.dropped.assign(existingCount, false);
            }
            changes.replacedBy[static_cast<std::size_t>(entry)] = static_cast<std::uint32_t>(i);
            if (const auto more = m_duplicates.find(entry); more != m_duplicates.end()) {
                for (const std::size_t other : more->second) {
                    changes.dropped[other] = true;
                }
            }
        } else {
            changes.newFiles.push_back(static_cast<std::uint32_t>(i));
        }
    }
    return changes;
}

bool Operation::inArchive(const std::string& name) const
{
    return m_archive && m_archive->find(name) >= 0;
}

std::vector<std::uint32_t> Operation::findNewFolders() const
{
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
    return newFolders;
}

void Operation::planKeptAndReplaced(const Changes& changes)
{
    const std::size_t existingCount = m_archive ? m_archive->entries().size() : 0;
    const auto& replacedBy = changes.replacedBy;
    const auto& dropped = changes.dropped;
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
}

void Operation::planNewEntries(const std::vector<std::uint32_t>& newFiles, const std::vector<std::uint32_t>& newFolders)
{
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
    const auto& files = m_selection.files;
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
}

void Operation::plan()
{
    if (m_archive) {
        for (const auto& [first, other] : m_archive->duplicates()) {
            m_duplicates[first].push_back(other);
        }
    }
    const Changes changes = findChanges();
    const std::vector<std::uint32_t> newFolders = findNewFolders();
    if (changes.replacedBy.empty() && changes.newFiles.empty() && newFolders.empty()) {
        return; // nothing to write
    }
    planKeptAndReplaced(changes);
    planNewEntries(changes.newFiles, newFolders);
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

void Operation::chooseFiles()
{
    // Problems met while choosing are reported after the totals, which open every operation.
    m_selection = selectFiles(m_selectionOptions, [this](int code, const std::string& message) {
        // The callback carries the start of a text: a name as long as a mask of any length is not kept whole.
        m_choiceProblems.emplace_back(code, message.substr(0, ZIP_CALLBACK_TEXT_SIZE));
    });
}

void Operation::reportNothingChosen()
{
    m_channel.totals(0, 0);
    reportChoiceProblems();
    m_channel.message(ZIP_MSG_NOTHING_TO_DO,
                      "nothing to do: no file matches the specifications; " + m_archivePath + " was not changed");
    m_channel.endOfBatch();
}

bool Operation::writeArchive(TempArchive& temp)
{
    ArchiveWriter writer(temp);
    m_writer = &writer;
    if (m_archive && m_archive->prefixSize() > 0) {
        // Whatever precedes the zip part stays as it is; every offset written after it counts from
        // the start of the file, as the old archive's did.
        m_archive->copyTo(temp, 0, m_archive->prefixSize());
    }
    writePlan();
    if (m_added == 0 && !m_emptyFoldersAdded) {
        m_writer = nullptr;
        return false;
    }
    std::string comment = m_block.ArchiveComment != nullptr ? text(m_block.ArchiveComment)
                          : m_archive                       ? m_archive->comment()
                                                            : std::string();
    writer.finish(comment);
    m_writer = nullptr;
    return true;
}

void Operation::readBackWritten(TempArchive& temp)
{
    temp.sync();
    std::vector<ReadBackEntry> written;
    for (const std::uint32_t index : m_written) {
        const SourceFile& file = m_selection.files[index];
        const SpecSecurity& security = m_security[static_cast<std::size_t>(file.specIndex)];
        written.push_back({m_selection.storedName(file), security.encrypt ? security.password : std::string()});
    }
    readBack(temp.path(), written);
}

std::int32_t Operation::run()
{
    readBlock();
    m_seams = FaultSeams::fromEnvironment();
    openArchive();
    chooseFiles();
    if (m_selection.files.empty() && m_selection.emptyFolders.empty()) {
        reportNothingChosen();
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
    if (!writeArchive(temp)) {
        // Every file to add was skipped: the old archive (if any) stays as it is.
        m_channel.endOfBatch();
        return 0;
    }
    m_archive.reset();
    if (m_verify) {
        readBackWritten(temp);
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

std::int32_t runZipOperation(const ZipExecParams& block, CallbackChannel& channel)
{
    Operation operation(block, channel);
    return operation.run();
}

} // namespace zipengine
