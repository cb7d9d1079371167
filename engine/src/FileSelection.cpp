#include "FileSelection.h"

#include "maskmatch/MaskMatch.h"
#include "pathrules/PathRules.h"
#include "zipengine/ZipEngineApi.h"

#include "EngineError.h"
#include "FileLayer.h"
#include "FolderReader.h"
#include "NameTable.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace zipengine {

namespace {

bool hasWildcard(std::string_view text)
{
    return text.find_first_of("*?[") != std::string::npos;
}

std::string currentFolder()
{
    std::string buffer(4096, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return "/";
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.c_str();
}

// Where and what one file spec walks.
struct SpecWalk
{
    std::string full; // the normalised path pattern
    std::string folder;
    std::size_t nameAt = 0; // where its name pattern begins in `full`; "*" when it names a folder
    bool namesFolder = false;
    std::string base; // normalised base folder of a relative spec; empty when absolute
    bool recurse = false;
    int group = -1; // its SpecGroup, when it shares its walk

    // A view of `full`, which holds the only copy of a mask of any length.
    std::string_view namePattern() const
    {
        return namesFolder ? std::string_view("*") : std::string_view(full).substr(nameAt);
    }
};

// What a walk of several specs found for one of them, kept until its turn comes.
struct FoundItem
{
    std::uint32_t folder = 0; // the folder record
    std::string name;
    FolderEntry entry;
};

// Specs that walk the same folder alike are walked once: each file goes to the first of
// them whose name pattern matches it, and each takes its files when its turn comes, so the files and
// their order are those of one walk per spec. Matching costs the length of the patterns,
// not a walk of the tree per pattern.
struct SpecGroup
{
    std::vector<int> specs; // in their order
    // Patterns without wildcards, by their name in lower case (the matcher ignores the case of a to z),
    // with the specs naming them in order; and the patterns with wildcards, in order.
    std::unordered_map<std::string, std::vector<int>> literals;
    std::vector<std::pair<int, std::string_view>> wildcards;
    bool walked = false;

    static std::string lowerAscii(std::string_view name)
    {
        std::string lower(name);
        for (char& c : lower) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return lower;
    }
    const std::vector<int>* literalSpecs(std::string_view name) const
    {
        const auto it = literals.find(lowerAscii(name));
        return it == literals.end() ? nullptr : &it->second;
    }
    // The first spec whose pattern matches the name; -1 for none.
    int firstMatch(std::string_view name) const
    {
        const std::vector<int>* named = literalSpecs(name);
        const int literal = named != nullptr ? named->front() : INT32_MAX;
        for (const auto& [spec, pattern] : wildcards) {
            if (spec > literal) {
                break;
            }
            if (matchesName(pattern, name)) {
                return spec;
            }
        }
        return named != nullptr ? literal : -1;
    }
};

class Walker
{
public:
    Walker(const SelectionOptions& options, const SelectionReport& report) : m_options(options), m_report(report)
    {
        for (const auto& mask : m_options.excludes) {
            m_needsFullPath = m_needsFullPath || (!mask.empty() && mask[0] == '/');
        }
    }

    void run();
    Selection take() { return std::move(m_selection); }

private:
    SpecWalk resolve(const SelectionSpec& spec) const;
    void runSpec(int index, const SpecWalk& how, SpecGroup* group);
    // Walks the group once, at the turn of its first spec, which takes its files as they
    // come; what the others take is kept in m_found until their turn.
    void walkGroup(SpecGroup& group, const SpecWalk& how);
    // Whether the file passes what every spec asks of a file besides its name.
    bool mayTake(const SourceFolder& folder, const std::string& name, const FolderEntry& entry) const;
    // Goes through the folders of the walk, into each folder as it comes in its listing, to any
    // depth (the listings above are kept, no folder stays open).
    void walk();
    // Takes the next folder of the walk; false (reported) when it cannot be listed.
    bool take(std::vector<FolderListing>& levels);
    // Records the folder the listing stands for (once, when it first takes a file or entry).
    std::uint32_t folderRecord(const std::string& prefix);
    void addEmptyFolder(const std::string& path);
    void consider(std::uint32_t folder, const std::string& name, const FolderEntry& entry);
    bool excluded(const std::string& fullPath, const std::string& storedName, const std::string& name) const;
    // The name with its folders (relative to the base, or the full path without its leading "/").
    std::string relativeNameOf(const std::string& fullPath) const;
    void addDirectories(std::uint32_t folder);

    const SelectionOptions& m_options;
    const SelectionReport& m_report;
    Selection m_selection;
    bool m_needsFullPath = false;
    // Files taken, by full path and by stored name (item numbers into m_selection.files).
    NameTable m_seenPaths;
    NameTable m_seenNames;
    // Whether two files may get one stored name: with several specs, with names stripped of
    // their folders, or when a walk leaves the base folder (its paths outside are stored in full and
    // may meet relative names). Otherwise every path gives its own name and no index is needed.
    bool m_checkNames = true;
    std::unordered_set<std::string> m_seenDirs;
    // State of the file spec being walked.
    int m_spec = 0;
    std::string m_base; // normalised base folder of a relative spec; empty when absolute
    std::size_t m_matched = 0;
    FolderReader* m_reader = nullptr;
    // The group being walked, and what its walk found, by spec.
    const SpecGroup* m_group = nullptr;
    std::vector<std::vector<FoundItem>> m_found;
    std::vector<bool> m_namedFileSeen; // a pattern without wildcards met a file it names
};

// More readers than this gain nothing: the kernel's lookups of one tree contend with each other.
constexpr unsigned kMaxWalkThreads = 8;

unsigned walkThreadCount(unsigned asked)
{
    const unsigned count = asked != 0 ? asked : std::thread::hardware_concurrency();
    return std::clamp(count, 1u, kMaxWalkThreads);
}

} // namespace

std::string normalisePath(const std::string& path)
{
    // Built in place, without a copy of the parts: a path may be as long as a mask of any length.
    std::string out;
    out.reserve(path.size() + 1);
    std::size_t pos = 0;
    while (pos <= path.size()) {
        auto next = path.find('/', pos);
        if (next == std::string::npos) {
            next = path.size();
        }
        const std::string_view part(path.data() + pos, next - pos);
        if (part == "..") {
            out.resize(out.empty() ? 0 : out.rfind('/'));
        } else if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        pos = next + 1;
    }
    return out.empty() ? "/" : out;
}

bool NameStore::add(std::string_view name, std::uint32_t& at)
{
    if (m_blocks.empty() || name.size() > kBlockSize - m_used) {
        if (m_blocks.size() >= (std::size_t{1} << (32 - kBlockBits))) {
            return false;
        }
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        m_used = 0;
    }
    at = static_cast<std::uint32_t>(((m_blocks.size() - 1) << kBlockBits) | m_used);
    std::memcpy(m_blocks.back().get() + m_used, name.data(), name.size());
    m_used += name.size();
    return true;
}

bool matchesName(std::string_view pattern, std::string_view name)
{
    if (MatchesMask(pattern, name)) {
        return true;
    }
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string_view::npos) {
        return MatchesMask(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

namespace {

std::string Walker::relativeNameOf(const std::string& fullPath) const
{
    if (!m_base.empty()) {
        const std::string prefix = m_base == "/" ? "/" : m_base + "/";
        if (fullPath.compare(0, prefix.size(), prefix) == 0) {
            return fullPath.substr(prefix.size());
        }
    }
    return fullPath.substr(1);
}

bool Walker::excluded(const std::string& fullPath, const std::string& storedName, const std::string& name) const
{
    for (const auto& mask : m_options.excludes) {
        if (mask.empty()) {
            continue;
        }
        const std::string& subject = mask.find('/') == std::string::npos ? name
                                     : mask[0] == '/'                    ? fullPath
                                                                         : storedName;
        if (matchesName(mask, subject)) {
            return true;
        }
    }
    return false;
}

void Walker::addDirectories(std::uint32_t folderIndex)
{
    SourceFolder& folder = m_selection.folders[folderIndex];
    if (!m_options.dirEntries || m_options.junkDirNames || folder.directoriesAdded) {
        return;
    }
    folder.directoriesAdded = true;
    const std::string stored = folder.stored;
    const std::string path = folder.path;
    for (std::size_t slash = stored.find('/'); slash != std::string::npos; slash = stored.find('/', slash + 1)) {
        std::string dirName = stored.substr(0, slash + 1);
        if (!m_seenDirs.insert(dirName).second) {
            continue;
        }
        // The stored folders are the tail of the full path, so each one is the full path cut by the rest.
        const std::string realDir = path.substr(0, path.size() - (stored.size() - slash));
        struct stat st;
        if (stat(realDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            continue;
        }
        SourceDirectory dir;
        dir.fullPath = realDir;
        dir.storedName = std::move(dirName);
        dir.mtime = st.st_mtime;
        dir.mode = st.st_mode;
        m_selection.directories.push_back(std::move(dir));
    }
}

// The listing holds only files whose name matches the name pattern being walked.
bool Walker::mayTake(const SourceFolder& folder, const std::string& name, const FolderEntry& entry) const
{
    if (entry.never) {
        return false;
    }
    if (!m_options.tempPrefix.empty() && name.compare(0, m_options.tempPrefix.size(), m_options.tempPrefix) == 0) {
        return false;
    }
    if (isWorkFileName(name)) {
        return false;
    }
    // Exclusions with a folder part see the path with its folders, also when names are stripped.
    if (!m_options.excludes.empty()) {
        const std::string fullPath = m_needsFullPath ? folder.path + name : std::string();
        if (excluded(fullPath, relativeNameOf(folder.path) + name, name)) {
            return false;
        }
    }
    return true;
}

void Walker::consider(std::uint32_t folderIndex, const std::string& name, const FolderEntry& entry)
{
    const SourceFolder& folder = m_selection.folders[folderIndex];
    if (!mayTake(folder, name, entry)) {
        return;
    }
    ++m_matched;
    const auto& files = m_selection.files;
    const auto nameOf = [this](std::uint32_t item) { return m_selection.name(m_selection.files[item]); };
    // One spec reaches each path once; only several may reach one twice.
    const bool severalSpecs = m_options.specs.size() > 1;
    const std::uint64_t pathHash = hashName(name, folder.pathHash);
    if (severalSpecs && m_seenPaths.find(pathHash, [&](std::uint32_t item) {
            return m_selection.folders[files[item].folder].path == folder.path && nameOf(item) == name;
        }) != NameTable::kNone) {
        return;
    }
    const std::uint64_t storedHash = hashName(name, folder.storedHash);
    if (m_checkNames && m_seenNames.find(storedHash, [&](std::uint32_t item) {
            return m_selection.folders[files[item].folder].stored == folder.stored && nameOf(item) == name;
        }) != NameTable::kNone) {
        m_report(ZIP_MSG_FILE_SKIPPED, folder.path + name +
                                           ": skipped, another file is already stored under the name " + folder.stored +
                                           name);
        return;
    }
    SourceFile file;
    if (files.size() >= NameTable::kNone - 1 || name.size() > UINT16_MAX || !m_selection.names.add(name, file.nameAt)) {
        m_report(ZIP_MSG_FILE_SKIPPED, folder.path + name + ": skipped, too many files for one archive");
        return;
    }
    file.folder = folderIndex;
    file.nameLength = static_cast<std::uint16_t>(name.size());
    file.size = entry.size;
    file.mtime = entry.mtime;
    file.mode = entry.mode;
    file.specIndex = static_cast<std::uint32_t>(m_spec);
    const auto item = static_cast<std::uint32_t>(files.size());
    if (severalSpecs) {
        m_seenPaths.insert(pathHash, item);
    }
    if (m_checkNames) {
        m_seenNames.insert(storedHash, item);
    }
    addDirectories(folderIndex);
    m_selection.files.push_back(file);
}

bool Walker::take(std::vector<FolderListing>& levels)
{
    FolderListing listing = m_reader->next();
    if (listing.openError != 0) {
        m_report(ZIP_MSG_DIR_UNREADABLE, "cannot list the folder " + listing.path + ": " +
                                             errnoText(listing.openError) + "; its files were skipped");
        return false;
    }
    levels.push_back(std::move(listing));
    return true;
}

std::uint32_t Walker::folderRecord(const std::string& prefix)
{
    SourceFolder record;
    record.path = prefix;
    record.stored = m_options.junkDirNames ? std::string() : relativeNameOf(prefix);
    record.pathHash = hashName(record.path);
    record.storedHash = hashName(record.stored);
    m_selection.folders.push_back(std::move(record));
    return static_cast<std::uint32_t>(m_selection.folders.size() - 1);
}

// A folder with nothing in it gets an entry of its own when folders are stored, so that it comes
// back when the archive is extracted.
void Walker::addEmptyFolder(const std::string& path)
{
    if (!m_options.dirEntries || m_options.junkDirNames) {
        return;
    }
    const std::string stored = relativeNameOf(path);
    const std::string name = path.substr(path.rfind('/') + 1);
    if (!m_options.excludes.empty() && excluded(path, stored, name)) {
        return;
    }
    const std::size_t before = m_selection.directories.size();
    addDirectories(folderRecord(path + "/"));
    if (m_selection.directories.size() > before && m_selection.directories.back().storedName == stored + "/") {
        m_selection.emptyFolders.push_back(static_cast<std::uint32_t>(m_selection.directories.size() - 1));
    }
}

void Walker::walk()
{
    // The listings from the spec's folder down to the one gone through, with where each
    // one is and the record of its folder.
    std::vector<FolderListing> levels;
    std::vector<std::size_t> next;
    std::vector<std::uint32_t> records;
    if (!take(levels)) {
        return;
    }
    next.push_back(0);
    records.push_back(NameTable::kNone);
    while (!levels.empty()) {
        const FolderListing& listing = levels.back();
        if (next.back() == listing.entries.size()) {
            if (listing.empty && levels.size() > 1) {
                addEmptyFolder(listing.path); // the walk is that of the first spec that sees it
            }
            levels.pop_back();
            next.pop_back();
            records.pop_back();
            continue;
        }
        const FolderEntry& entry = listing.entries[next.back()++];
        if (entry.kind == FolderEntry::Folder) {
            if (take(levels)) {
                next.push_back(0);
                records.push_back(NameTable::kNone);
            }
            continue;
        }
        const std::string prefix = listing.path == "/" ? "/" : listing.path + "/";
        const std::string name(listing.name(entry));
        if (entry.kind == FolderEntry::FolderLink) {
            if (m_options.excludes.empty() || !excluded(prefix + name, relativeNameOf(prefix) + name, name)) {
                m_report(ZIP_MSG_DIR_LINK_SKIPPED, prefix + name + ": a link to a folder; not followed");
            }
            continue;
        }
        if (entry.error != 0) {
            m_report(ZIP_MSG_FILE_SKIPPED,
                     prefix + name + ": cannot follow the link: " + errnoText(entry.error) + "; skipped");
            continue;
        }
        if (records.back() == NameTable::kNone) {
            records.back() = folderRecord(prefix);
        }
        if (m_group == nullptr) {
            consider(records.back(), name, entry);
            continue;
        }
        const int first = m_group->firstMatch(name);
        if (first < 0) {
            continue;
        }
        if (const std::vector<int>* named = m_group->literalSpecs(name);
            named != nullptr && mayTake(m_selection.folders[records.back()], name, entry)) {
            for (const int spec : *named) {
                m_namedFileSeen[static_cast<std::size_t>(spec)] = true;
            }
        }
        if (first == m_spec) {
            consider(records.back(), name, entry);
        } else {
            m_found[static_cast<std::size_t>(first)].push_back({records.back(), name, entry});
        }
    }
}

SpecWalk Walker::resolve(const SelectionSpec& spec) const
{
    SpecWalk how;
    how.recurse = spec.recurse;
    if (spec.pattern[0] == '/') {
        how.full = spec.pattern;
    } else {
        const std::string base = spec.baseDir.empty() ? currentFolder() : spec.baseDir;
        how.base = normalisePath(base[0] == '/' ? base : currentFolder() + "/" + base);
        how.full = how.base + "/" + spec.pattern;
    }
    const bool namesFolder = how.full.back() == '/';
    how.full = normalisePath(how.full);
    struct stat st;
    if (namesFolder || (!hasWildcard(std::string_view(how.full).substr(how.full.rfind('/') + 1)) &&
                        stat(how.full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        how.folder = how.full;
        how.namesFolder = true;
    } else {
        const auto slash = how.full.rfind('/');
        how.folder = slash == 0 ? "/" : how.full.substr(0, slash);
        how.nameAt = slash + 1;
    }
    return how;
}

void Walker::runSpec(int index, const SpecWalk& how, SpecGroup* group)
{
    m_spec = index;
    m_matched = 0;
    m_base = how.base;
    const bool namedFile = !hasWildcard(how.namePattern());
    const std::string& folder = how.folder;
    const bool insideBase =
        m_base.empty() || folder == m_base || folder.compare(0, m_base.size() + 1, m_base + "/") == 0 || m_base == "/";
    m_checkNames = m_options.specs.size() > 1 || m_options.junkDirNames || !insideBase;
    if (group != nullptr) {
        if (!group->walked) {
            walkGroup(*group, how);
        }
        // The files the walk of its group found for it.
        auto& found = m_found[static_cast<std::size_t>(index)];
        for (const FoundItem& item : found) {
            consider(item.folder, item.name, item.entry);
        }
        std::vector<FoundItem>().swap(found);
        if (namedFile && !m_namedFileSeen[static_cast<std::size_t>(index)]) {
            m_report(ZIP_MSG_FILE_SKIPPED, how.full + ": no such file; skipped");
        }
        return;
    }
    FolderWalkRules rules;
    rules.namePattern = how.namePattern();
    rules.recurse = how.recurse;
    rules.hiddenFiles = m_options.hiddenFiles;
    rules.never = m_options.never;
    // The calling thread is one of the readers: with one, it reads each folder as the walk gets to
    // it and no thread is started.
    const unsigned threads = how.recurse ? walkThreadCount(m_options.walkThreads) : 1;
    FolderReader reader(folder, std::move(rules), threads - 1);
    m_reader = &reader;
    walk();
    m_reader = nullptr;
    if (m_matched == 0 && namedFile) {
        m_report(ZIP_MSG_FILE_SKIPPED, how.full + ": no such file; skipped");
    }
}

void Walker::walkGroup(SpecGroup& group, const SpecWalk& how)
{
    group.walked = true;
    m_base = how.base;
    FolderWalkRules rules;
    rules.nameFilter = [&group](std::string_view name) { return group.firstMatch(name) >= 0; };
    rules.recurse = how.recurse;
    rules.hiddenFiles = m_options.hiddenFiles;
    rules.never = m_options.never;
    const unsigned threads = how.recurse ? walkThreadCount(m_options.walkThreads) : 1;
    FolderReader reader(how.folder, std::move(rules), threads - 1);
    m_reader = &reader;
    m_group = &group;
    walk();
    m_group = nullptr;
    m_reader = nullptr;
}

void Walker::run()
{
    const std::size_t count = m_options.specs.size();
    std::vector<SpecWalk> walks(count);
    std::vector<SpecGroup> groups;
    std::unordered_map<std::string, std::size_t> firstOfKey; // folder, base and recursion -> spec
    for (std::size_t i = 0; i < count; ++i) {
        if (m_options.specs[i].pattern.empty()) {
            continue;
        }
        walks[i] = resolve(m_options.specs[i]);
        const SpecWalk& how = walks[i];
        std::string key = how.folder + '\0' + how.base + '\0' + (how.recurse ? "r" : "");
        const auto [it, added] = firstOfKey.emplace(std::move(key), i);
        if (added) {
            continue;
        }
        SpecWalk& first = walks[it->second];
        if (first.group < 0) {
            first.group = static_cast<int>(groups.size());
            groups.emplace_back().specs.push_back(static_cast<int>(it->second));
        }
        walks[i].group = first.group;
        groups[static_cast<std::size_t>(first.group)].specs.push_back(static_cast<int>(i));
    }
    if (!groups.empty()) {
        m_found.resize(count);
        m_namedFileSeen.assign(count, false);
    }
    for (SpecGroup& group : groups) {
        for (const int spec : group.specs) {
            const std::string_view pattern = walks[static_cast<std::size_t>(spec)].namePattern();
            if (hasWildcard(pattern)) {
                group.wildcards.emplace_back(spec, pattern);
            } else {
                group.literals[SpecGroup::lowerAscii(pattern)].push_back(spec);
            }
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (m_options.specs[i].pattern.empty()) {
            continue;
        }
        const SpecWalk& how = walks[i];
        runSpec(static_cast<int>(i), how, how.group >= 0 ? &groups[static_cast<std::size_t>(how.group)] : nullptr);
    }
}

} // namespace

Selection selectFiles(const SelectionOptions& options, const SelectionReport& report)
{
    Walker walker(options, report);
    walker.run();
    return walker.take();
}

} // namespace zipengine
