#include "restore/EntryPaths.h"

#include "maskmatch/MaskMatch.h"

#include <vector>

namespace restore {

namespace {

std::vector<std::string_view> components(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

std::optional<std::string> safeRelativePath(std::string_view name)
{
    std::string path(name);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (path.empty() || path.front() == '/' || path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    // "C:" at the start names a drive on the system that wrote it, whatever follows.
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        return std::nullopt;
    }
    std::string out;
    for (const std::string_view part : components(path)) {
        if (part == "..") {
            return std::nullopt;
        }
        if (part.empty() || part == ".") {
            continue;
        }
        if (!out.empty()) {
            out += '/';
        }
        out += part;
    }
    if (out.empty()) {
        return std::nullopt;
    }
    return out;
}

bool linkStaysInside(std::string_view linkPath, std::string_view target)
{
    if (target.empty() || target.front() == '/' || target.find('\0') != std::string_view::npos) {
        return false;
    }
    // Depth of the folder holding the link, then the target's steps from there.
    long depth = 0;
    for (const char c : linkPath) {
        depth += c == '/' ? 1 : 0;
    }
    for (const std::string_view part : components(target)) {
        if (part == "..") {
            if (--depth < 0) {
                return false;
            }
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
    }
    return true;
}

bool nameChosen(std::string_view relativePath, std::string_view pattern)
{
    std::string wanted(pattern);
    for (char& c : wanted) {
        if (c == '\\') {
            c = '/';
        }
    }
    while (wanted.size() > 1 && wanted.back() == '/') {
        wanted.pop_back();
    }
    const bool withFolders = wanted.find('/') != std::string::npos;
    // The entry itself, and each folder it lies in, so that naming a folder restores what it holds.
    for (std::size_t end = relativePath.size();;) {
        const std::string_view prefix = relativePath.substr(0, end);
        const std::size_t slash = prefix.rfind('/');
        const std::string_view last = slash == std::string_view::npos ? prefix : prefix.substr(slash + 1);
        if (prefix == wanted || MatchesMask(wanted, withFolders ? prefix : last)) {
            return true;
        }
        if (slash == std::string_view::npos) {
            return false;
        }
        end = slash;
    }
}

} // namespace restore
