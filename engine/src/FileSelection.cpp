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
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
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

// Where and what one file argument walks. The folders and bases of all arguments are kept once in the
// Walker's path table (a list of many masks in one folder holds that folder once), and the name
// pattern is a view of the argument's own text where it can be.
struct SpecWalk
{
    std::string_view name; // the name pattern; "*" when the argument names a folder
    std::uint32_t folder = 0;
    std::uint32_t base = 0; // normalised base folder of a relative argument; "" (0) when absolute
    bool namesFolder = false;
    bool recurse = false;
    int group = -1; // its SpecGroup, when it shares its walk
};

// What a walk of several arguments found for one of them, kept until its turn comes.
struct FoundItem
{
    std::uint32_t folder = 0; // the folder record
    std::string name;
    FolderEntry entry;
};

char foldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalFolded(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i])) {
            return false;
        }
    }
    return true;
}

std::uint64_t hashFolded(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(foldCase(c))) * 1099511628211ull;
    }
    return hash;
}

// A pattern "*.ext" whose ext holds no wildcard matches exactly the names ending in ".ext" (a to z in
// any case); returns the ext, or nothing for another pattern.
std::optional<std::string_view> extensionOnly(std::string_view pattern)
{
    if (pattern.size() < 2 || pattern[0] != '*' || pattern[1] != '.' || hasWildcard(pattern.substr(2))) {
        return std::nullopt;
    }
    return pattern.substr(2);
}

// Specs that walk the same folder alike are walked once: each file goes to the first of
// them whose name pattern matches it, and each takes its files when its turn comes, so the files and
// their order are those of one walk per argument. Matching costs the length of the patterns,
// not a walk of the tree per pattern.
struct SpecGroup
{
    // Patterns without wildcards, by their name in lower case (the matcher ignores the case of a to z),
    // with the arguments naming them in order; patterns "*.ext" in a hash table of the first argument of each
    // ext; and the other patterns with wildcards, in order.
    std::unordered_map<std::string, std::vector<int>> literals;
    std::vector<std::uint32_t> extSlots; // open addressing: argument + 1, 0 for a free slot
    std::vector<std::pair<int, std::string_view>> wildcards;
    const std::vector<SpecWalk>* walks = nullptr;
    bool walked = false;

    static std::string lowerAscii(std::string_view name)
    {
        std::string lower(name);
        for (char& c : lower) {
            c = foldCase(c);
        }
        return lower;
    }
    std::string_view extOf(std::uint32_t slot) const { return (*walks)[slot - 1].name.substr(2); }
    // Adds the arguments' patterns in the order of the arguments; `exts` is how many are "*.ext" patterns.
    void build(const int* specs, const int* end, std::size_t exts)
    {
        std::size_t slots = 16;
        while (slots < exts + exts / 3) { // at most three quarters full
            slots *= 2;
        }
        extSlots.assign(exts > 0 ? slots : 0, 0);
        for (; specs != end; ++specs) {
            const int spec = *specs;
            const std::string_view pattern = (*walks)[static_cast<std::size_t>(spec)].name;
            if (const auto ext = extensionOnly(pattern)) {
                std::size_t at = hashFolded(*ext) & (extSlots.size() - 1);
                while (extSlots[at] != 0 && !equalFolded(extOf(extSlots[at]), *ext)) {
                    at = (at + 1) & (extSlots.size() - 1);
                }
                if (extSlots[at] == 0) {
                    extSlots[at] = static_cast<std::uint32_t>(spec) + 1;
                }
            } else if (hasWildcard(pattern)) {
                wildcards.emplace_back(spec, pattern);
            } else {
                literals[lowerAscii(pattern)].push_back(spec);
            }
        }
    }
    const std::vector<int>* literalSpecs(std::string_view name) const
    {
        const auto it = literals.find(lowerAscii(name));
        return it == literals.end() ? nullptr : &it->second;
    }
    // The first argument of a "*.ext" pattern matching the name; INT32_MAX for none.
    int firstExtMatch(std::string_view name) const
    {
        int first = INT32_MAX;
        if (extSlots.empty()) {
            return first;
        }
        for (std::size_t dot = name.find('.'); dot != std::string_view::npos; dot = name.find('.', dot + 1)) {
            const std::string_view ext = name.substr(dot + 1);
            for (std::size_t at = hashFolded(ext) & (extSlots.size() - 1); extSlots[at] != 0;
                 at = (at + 1) & (extSlots.size() - 1)) {
                if (equalFolded(extOf(extSlots[at]), ext)) {
                    first = std::min(first, static_cast<int>(extSlots[at] - 1));
                    break;
                }
            }
        }
        return first;
    }
    // The first argument whose pattern matches the name; -1 for none.
    int firstMatch(std::string_view name) const
    {
        const std::vector<int>* named = literalSpecs(name);
        const int first = std::min(named != nullptr ? named->front() : INT32_MAX, firstExtMatch(name));
        for (const auto& [spec, pattern] : wildcards) {
            if (spec > first) {
                break;
            }
            if (matchesName(pattern, name)) {
                return spec;
            }
        }
        return first != INT32_MAX ? first : -1;
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
    SpecWalk resolve(const SelectionSpec& spec);
    // The index of the path in m_paths, added when new.
    std::uint32_t pathIndex(std::string_view path);
    const std::string& pathOf(std::uint32_t index) const { return m_paths[index]; }
    // The argument's normalised path pattern, for its messages.
    std::string fullOf(const SpecWalk& how) const;
    void runSpec(int index, const SpecWalk& how, SpecGroup* group);
    // Walks the group once, at the turn of its first argument, which takes its files as they
    // come; what the others take is kept in m_found until their turn.
    void walkGroup(SpecGroup& group, const SpecWalk& how);
    // Whether the file passes what every argument asks of a file besides its name.
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
    // Whether two files may get one stored name: with several arguments, with names stripped of
    // their folders, or when a walk leaves the base folder (its paths outside are stored in full and
    // may meet relative names). Otherwise every path gives its own name and no index is needed.
    bool m_checkNames = true;
    std::unordered_set<std::string> m_seenDirs;
    // State of the file argument being walked.
    int m_spec = 0;
    std::string m_base; // normalised base folder of a relative argument; empty when absolute
    std::size_t m_matched = 0;
    FolderReader* m_reader = nullptr;
    // The group being walked, and what its walk found, by argument.
    const SpecGroup* m_group = nullptr;
    std::unordered_map<int, std::vector<FoundItem>> m_found;
    std::vector<bool> m_namedFileSeen; // a pattern without wildcards met a file it names
    // The arguments' folders and bases, each once; and name patterns that are not the tail of their argument.
    std::deque<std::string> m_paths;
    std::unordered_map<std::string_view, std::uint32_t> m_pathIndex;
    std::deque<std::string> m_names;
    // The last base folder given and its index, as one base is usually given to every argument.
    std::string_view m_lastBaseDir;
    std::uint32_t m_lastBase = 0;
    bool m_haveLastBase = false;
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
    // One argument reaches each path once; only several may reach one twice.
    const bool severalSpecs = m_options.specCount() > 1;
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
    // The listings from the argument's folder down to the one gone through, with where each
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
                addEmptyFolder(listing.path); // the walk is that of the first argument that sees it
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
            m_found[first].push_back({records.back(), name, entry});
        }
    }
}

std::uint32_t Walker::pathIndex(std::string_view path)
{
    if (const auto it = m_pathIndex.find(path); it != m_pathIndex.end()) {
        return it->second;
    }
    const auto index = static_cast<std::uint32_t>(m_paths.size());
    m_pathIndex.emplace(m_paths.emplace_back(path), index);
    return index;
}

std::string Walker::fullOf(const SpecWalk& how) const
{
    const std::string& folder = pathOf(how.folder);
    if (how.namesFolder) {
        return folder;
    }
    return (folder == "/" ? std::string() : folder) + "/" + std::string(how.name);
}

SpecWalk Walker::resolve(const SelectionSpec& spec)
{
    SpecWalk how;
    how.recurse = spec.recurse;
    std::string full;
    if (spec.pattern[0] == '/') {
        full = spec.pattern;
        how.base = pathIndex("");
    } else {
        if (!m_haveLastBase || spec.baseDir != m_lastBaseDir) {
            const std::string base = spec.baseDir.empty() ? currentFolder() : std::string(spec.baseDir);
            m_lastBase = pathIndex(normalisePath(base[0] == '/' ? base : currentFolder() + "/" + base));
            m_lastBaseDir = spec.baseDir;
            m_haveLastBase = true;
        }
        how.base = m_lastBase;
        full = pathOf(how.base) + "/";
        full += spec.pattern;
    }
    const bool namesFolder = full.back() == '/';
    full = normalisePath(full);
    const auto slash = full.rfind('/');
    struct stat st;
    if (namesFolder || (!hasWildcard(std::string_view(full).substr(slash + 1)) && stat(full.c_str(), &st) == 0 &&
                        S_ISDIR(st.st_mode))) {
        how.folder = pathIndex(full);
        how.namesFolder = true;
        how.name = "*";
        return how;
    }
    how.folder = pathIndex(slash == 0 ? std::string_view("/") : std::string_view(full).substr(0, slash));
    const std::string_view name = std::string_view(full).substr(slash + 1);
    const std::string_view tail = spec.pattern.substr(spec.pattern.rfind('/') + 1);
    how.name = name == tail ? tail : std::string_view(m_names.emplace_back(name));
    return how;
}

void Walker::runSpec(int index, const SpecWalk& how, SpecGroup* group)
{
    m_spec = index;
    m_matched = 0;
    m_base = pathOf(how.base);
    const bool namedFile = !hasWildcard(how.name);
    const std::string& folder = pathOf(how.folder);
    const bool insideBase =
        m_base.empty() || folder == m_base || folder.compare(0, m_base.size() + 1, m_base + "/") == 0 || m_base == "/";
    m_checkNames = m_options.specCount() > 1 || m_options.junkDirNames || !insideBase;
    if (group != nullptr) {
        if (!group->walked) {
            walkGroup(*group, how);
        }
        // The files the walk of its group found for it.
        if (const auto found = m_found.find(index); found != m_found.end()) {
            for (const FoundItem& item : found->second) {
                consider(item.folder, item.name, item.entry);
            }
            m_found.erase(found);
        }
        if (namedFile && !m_namedFileSeen[static_cast<std::size_t>(index)]) {
            m_report(ZIP_MSG_FILE_SKIPPED, fullOf(how) + ": no such file; skipped");
        }
        return;
    }
    FolderWalkRules rules;
    rules.namePattern = how.name;
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
        m_report(ZIP_MSG_FILE_SKIPPED, fullOf(how) + ": no such file; skipped");
    }
}

void Walker::walkGroup(SpecGroup& group, const SpecWalk& how)
{
    group.walked = true;
    m_base = pathOf(how.base);
    FolderWalkRules rules;
    rules.nameFilter = [&group](std::string_view name) { return group.firstMatch(name) >= 0; };
    rules.recurse = how.recurse;
    rules.hiddenFiles = m_options.hiddenFiles;
    rules.never = m_options.never;
    const unsigned threads = how.recurse ? walkThreadCount(m_options.walkThreads) : 1;
    FolderReader reader(pathOf(how.folder), std::move(rules), threads - 1);
    m_reader = &reader;
    m_group = &group;
    walk();
    m_group = nullptr;
    m_reader = nullptr;
}

void Walker::run()
{
    const std::size_t count = m_options.specCount();
    std::vector<SpecWalk> walks(count);
    std::vector<SpecGroup> groups;
    // Folder, base and recursion -> the first argument walking them so.
    std::unordered_map<std::uint64_t, std::size_t> firstOfKey;
    for (std::size_t i = 0; i < count; ++i) {
        const SelectionSpec spec = m_options.spec(i);
        if (spec.pattern.empty()) {
            continue;
        }
        walks[i] = resolve(spec);
        const SpecWalk& how = walks[i];
        const std::uint64_t key = (std::uint64_t{how.folder} << 32 | how.base) * 2 + (how.recurse ? 1 : 0);
        const auto [it, added] = firstOfKey.emplace(key, i);
        if (added) {
            continue;
        }
        SpecWalk& first = walks[it->second];
        if (first.group < 0) {
            first.group = static_cast<int>(groups.size());
            groups.emplace_back();
        }
        walks[i].group = first.group;
    }
    m_pathIndex = {};
    if (!groups.empty()) {
        m_namedFileSeen.assign(count, false);
        // Each group's arguments in order, one group after another, to build their tables.
        std::vector<std::uint32_t> starts(groups.size() + 1, 0);
        std::vector<std::size_t> exts(groups.size(), 0);
        for (const SpecWalk& how : walks) {
            if (how.group >= 0) {
                ++starts[static_cast<std::size_t>(how.group) + 1];
                exts[static_cast<std::size_t>(how.group)] += extensionOnly(how.name) ? 1 : 0;
            }
        }
        for (std::size_t g = 0; g < groups.size(); ++g) {
            starts[g + 1] += starts[g];
        }
        std::vector<int> specs(starts.back());
        std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
        for (std::size_t i = 0; i < count; ++i) {
            if (walks[i].group >= 0) {
                specs[next[static_cast<std::size_t>(walks[i].group)]++] = static_cast<int>(i);
            }
        }
        for (std::size_t g = 0; g < groups.size(); ++g) {
            groups[g].walks = &walks;
            groups[g].build(specs.data() + starts[g], specs.data() + starts[g + 1], exts[g]);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (m_options.spec(i).pattern.empty()) {
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
