#include "FileSelection.h"

#include "maskmatch/MaskMatch.h"
#include "zipengine/ZipEngineApi.h"

#include "EngineError.h"
#include "FileLayer.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
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
    Walker(const SelectionOptions& options, const SelectionReport& report) : m_options(options), m_report(report) {}

    void runSpec(int index);
    Selection take() { return std::move(m_selection); }

private:
    void walk(const std::string& folder, const std::string& namePattern, bool recurse, int depth);
    void consider(const std::string& fullPath, const std::string& name, const struct stat& st);
    bool excluded(const std::string& fullPath, const std::string& storedName, const std::string& name) const;
    // The name with its folders (relative to the base, or the full path without its leading "/").
    std::string relativeNameOf(const std::string& fullPath) const;
    void addDirectories(const SourceFile& file);

    const SelectionOptions& m_options;
    const SelectionReport& m_report;
    Selection m_selection;
    std::unordered_set<std::string> m_seenPaths;
    std::unordered_set<std::string> m_seenNames;
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

void Walker::addDirectories(const SourceFile& file)
{
    if (!m_options.dirEntries || m_options.junkDirNames) {
        return;
    }
    const std::string& stored = file.storedName;
    for (std::size_t slash = stored.find('/'); slash != std::string::npos; slash = stored.find('/', slash + 1)) {
        std::string dirName = stored.substr(0, slash + 1);
        if (!m_seenDirs.insert(dirName).second) {
            continue;
        }
        // The stored name is the tail of the full path, so the folder is the full path cut by the rest.
        const std::string realDir = file.fullPath.substr(0, file.fullPath.size() - (stored.size() - slash));
        struct stat st;
        if (stat(realDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            continue;
        }
        SourceFile dir;
        dir.fullPath = realDir;
        dir.storedName = std::move(dirName);
        dir.mtime = st.st_mtime;
        dir.mode = st.st_mode;
        dir.isDirectory = true;
        dir.specIndex = file.specIndex;
        m_selection.directories.push_back(std::move(dir));
    }
}

void Walker::consider(const std::string& fullPath, const std::string& name, const struct stat& st)
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
    // Exclusions with a folder part see the path with its folders, also when names are stripped.
    const std::string relative = relativeNameOf(fullPath);
    if (excluded(fullPath, relative, name)) {
        return;
    }
    std::string stored = m_options.junkDirNames ? name : relative;
    ++m_matched;
    if (!m_seenPaths.insert(fullPath).second) {
        return;
    }
    if (!m_seenNames.insert(stored).second) {
        m_report(ZIP_MSG_FILE_SKIPPED, fullPath + ": skipped, another file is already stored under the name " + stored);
        return;
    }
    SourceFile file;
    file.fullPath = fullPath;
    file.storedName = std::move(stored);
    file.size = static_cast<std::uint64_t>(st.st_size);
    file.mtime = st.st_mtime;
    file.mode = st.st_mode;
    file.specIndex = m_spec;
    addDirectories(file);
    m_selection.files.push_back(std::move(file));
}

void Walker::walk(const std::string& folder, const std::string& namePattern, bool recurse, int depth)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        const int error = errno;
        m_report(ZIP_MSG_DIR_UNREADABLE,
                 "cannot list the folder " + folder + ": " + errnoText(error) + "; its files were skipped");
        return;
    }
    std::vector<std::pair<std::string, unsigned char>> names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (name[0] == '.' && !m_options.hiddenFiles) {
            continue;
        }
        names.emplace_back(name, entry->d_type);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());

    const std::string prefix = folder == "/" ? "/" : folder + "/";
    for (const auto& [name, type] : names) {
        const std::string path = prefix + name;
        struct stat st;
        if (type == DT_DIR) {
            if (recurse && depth < kMaxDepth) {
                walk(path, namePattern, recurse, depth + 1);
            }
            continue;
        }
        if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) {
            continue; // sockets, FIFOs, devices
        }
        bool isLink = type == DT_LNK;
        if (type == DT_UNKNOWN) {
            if (lstat(path.c_str(), &st) != 0) {
                continue;
            }
            isLink = S_ISLNK(st.st_mode);
            if (S_ISDIR(st.st_mode)) {
                if (recurse && depth < kMaxDepth) {
                    walk(path, namePattern, recurse, depth + 1);
                }
                continue;
            }
        }
        if (stat(path.c_str(), &st) != 0) {
            const int error = errno;
            if (isLink && matchesName(namePattern, name)) {
                m_report(ZIP_MSG_FILE_SKIPPED, path + ": cannot follow the link: " + errnoText(error) + "; skipped");
            }
            continue;
        }
        if (S_ISREG(st.st_mode)) {
            consider(path, name, st);
        }
        // A link to a folder is never entered, anything else is no file to store.
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
