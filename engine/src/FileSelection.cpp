#include "FileSelection.h"

#include "maskmatch/MaskMatch.h"
#include "zipengine/ZipEngineApi.h"

#include "EngineError.h"
#include "FileLayer.h"
#include "NameTable.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace zipengine {

namespace {

bool hasWildcard(const std::string& text)
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

class Walker
{
public:
    Walker(const SelectionOptions& options, const SelectionReport& report) : m_options(options), m_report(report)
    {
        for (const auto& mask : m_options.excludes) {
            m_needsFullPath = m_needsFullPath || (!mask.empty() && mask[0] == '/');
        }
    }

    void runSpec(int index);
    Selection take() { return std::move(m_selection); }

private:
    void walk(const std::string& folder, const std::string& namePattern, bool recurse, int depth);
    void consider(std::uint32_t folder, const std::string& name, const struct stat& st);
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
    // Whether two files may get one stored name: with several specifications, with names stripped of
    // their folders, or when a walk leaves the base folder (its paths outside are stored in full and
    // may meet relative names). Otherwise every path gives its own name and no index is needed.
    bool m_checkNames = true;
    std::unordered_set<std::string> m_seenDirs;
    // State of the file specification being walked.
    int m_spec = 0;
    std::string m_base; // normalised base folder of a relative specification; empty when absolute
    std::string m_namePattern;
    std::size_t m_matched = 0;
};

// Deep trees are walked recursively; this bounds the stack against pathological nesting.
constexpr int kMaxDepth = 256;

} // namespace

std::string normalisePath(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        auto next = path.find('/', pos);
        if (next == std::string::npos) {
            next = path.size();
        }
        const std::string part = path.substr(pos, next - pos);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::string out;
    for (const auto& part : parts) {
        out += "/" + part;
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

bool matchesName(const std::string& pattern, const std::string& name)
{
    if (MatchesMask(pattern, name)) {
        return true;
    }
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string::npos) {
        return MatchesMask(std::string_view(pattern).substr(0, pattern.size() - 2), name);
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

void Walker::consider(std::uint32_t folderIndex, const std::string& name, const struct stat& st)
{
    if (!matchesName(m_namePattern, name)) {
        return;
    }
    for (const auto& never : m_options.never) {
        if (never.first == st.st_dev && never.second == st.st_ino) {
            return;
        }
    }
    if (!m_options.tempPrefix.empty() && name.compare(0, m_options.tempPrefix.size(), m_options.tempPrefix) == 0) {
        return;
    }
    if (isWorkFileName(name)) {
        return;
    }
    const SourceFolder& folder = m_selection.folders[folderIndex];
    // Exclusions with a folder part see the path with its folders, also when names are stripped.
    if (!m_options.excludes.empty()) {
        const std::string fullPath = m_needsFullPath ? folder.path + name : std::string();
        if (excluded(fullPath, relativeNameOf(folder.path) + name, name)) {
            return;
        }
    }
    ++m_matched;
    const auto& files = m_selection.files;
    const auto nameOf = [this](std::uint32_t item) { return m_selection.name(m_selection.files[item]); };
    // One specification reaches each path once; only several may reach one twice.
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
    file.size = static_cast<std::uint64_t>(st.st_size);
    file.mtime = st.st_mtime;
    file.mode = st.st_mode;
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

void Walker::walk(const std::string& folder, const std::string& namePattern, bool recurse, int depth)
{
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = dirFd >= 0 ? fdopendir(dirFd) : nullptr;
    if (dir == nullptr) {
        const int error = errno;
        if (dirFd >= 0) {
            close(dirFd);
        }
        m_report(ZIP_MSG_DIR_UNREADABLE,
                 "cannot list the folder " + folder + ": " + errnoText(error) + "; its files were skipped");
        return;
    }
    struct Item
    {
        std::string name;
        unsigned char type;
        int statError = 0; // of following the name (files and links only)
        struct stat st;
    };
    std::vector<Item> items;
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        if (name[0] == '.' && !m_options.hiddenFiles) {
            continue;
        }
        items.push_back(Item{name, entry->d_type, 0, {}});
    }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.name < b.name; });
    // Each name is looked up once, relative to the open folder, while it is open; the folders below are
    // walked after it is closed, so deep trees hold one descriptor at a time.
    for (auto& item : items) {
        if (item.type == DT_DIR) {
            continue;
        }
        if (item.type != DT_REG && item.type != DT_LNK && item.type != DT_UNKNOWN) {
            continue; // sockets, FIFOs, devices
        }
        if (item.type == DT_UNKNOWN) {
            if (fstatat(dirFd, item.name.c_str(), &item.st, AT_SYMLINK_NOFOLLOW) != 0) {
                item.type = DT_WHT; // gone: nothing to take
                continue;
            }
            item.type = S_ISLNK(item.st.st_mode) ? DT_LNK : S_ISDIR(item.st.st_mode) ? DT_DIR : DT_REG;
            if (item.type == DT_DIR) {
                continue;
            }
        }
        if (fstatat(dirFd, item.name.c_str(), &item.st, 0) != 0) {
            item.statError = errno;
        }
    }
    closedir(dir);

    const std::string prefix = folder == "/" ? "/" : folder + "/";
    std::uint32_t folderIndex = NameTable::kNone;
    for (const auto& item : items) {
        if (item.type == DT_DIR) {
            if (recurse && depth < kMaxDepth) {
                walk(prefix + item.name, namePattern, recurse, depth + 1);
            }
            continue;
        }
        if (item.type != DT_REG && item.type != DT_LNK) {
            continue;
        }
        if (item.statError != 0) {
            if (item.type == DT_LNK && matchesName(namePattern, item.name)) {
                m_report(ZIP_MSG_FILE_SKIPPED,
                         prefix + item.name + ": cannot follow the link: " + errnoText(item.statError) + "; skipped");
            }
            continue;
        }
        if (!S_ISREG(item.st.st_mode)) {
            continue; // a link to a folder is never entered, anything else is no file to store
        }
        if (folderIndex == NameTable::kNone) {
            SourceFolder record;
            record.path = prefix;
            record.stored = m_options.junkDirNames ? std::string() : relativeNameOf(prefix);
            record.pathHash = hashName(record.path);
            record.storedHash = hashName(record.stored);
            folderIndex = static_cast<std::uint32_t>(m_selection.folders.size());
            m_selection.folders.push_back(std::move(record));
        }
        consider(folderIndex, item.name, item.st);
    }
}

void Walker::runSpec(int index)
{
    const SelectionSpec& spec = m_options.specs[static_cast<std::size_t>(index)];
    if (spec.pattern.empty()) {
        return;
    }
    m_spec = index;
    m_matched = 0;
    std::string full;
    if (spec.pattern[0] == '/') {
        full = spec.pattern;
        m_base.clear();
    } else {
        const std::string base = spec.baseDir.empty() ? currentFolder() : spec.baseDir;
        m_base = normalisePath(base[0] == '/' ? base : currentFolder() + "/" + base);
        full = m_base + "/" + spec.pattern;
    }
    const bool namesFolder = full.back() == '/';
    full = normalisePath(full);
    std::string folder;
    struct stat st;
    if (namesFolder ||
        (!hasWildcard(full.substr(full.rfind('/') + 1)) && stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        folder = full;
        m_namePattern = "*";
    } else {
        const auto slash = full.rfind('/');
        folder = slash == 0 ? "/" : full.substr(0, slash);
        m_namePattern = full.substr(slash + 1);
    }
    const bool insideBase =
        m_base.empty() || folder == m_base || folder.compare(0, m_base.size() + 1, m_base + "/") == 0 || m_base == "/";
    m_checkNames = m_options.specs.size() > 1 || m_options.junkDirNames || !insideBase;
    walk(folder, m_namePattern, spec.recurse, 0);
    if (m_matched == 0 && !hasWildcard(m_namePattern)) {
        m_report(ZIP_MSG_FILE_SKIPPED, full + ": no such file; skipped");
    }
}

} // namespace

Selection selectFiles(const SelectionOptions& options, const SelectionReport& report)
{
    Walker walker(options, report);
    for (std::size_t i = 0; i < options.specs.size(); ++i) {
        walker.runSpec(static_cast<int>(i));
    }
    return walker.take();
}

} // namespace zipengine
