#include "restore/RestoreTarget.h"

#include "pathrules/PathRules.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace restore {

namespace {

// Zero runs at least this long are left as holes (a sparse file stays sparse when restored).
constexpr std::size_t kHoleMinimum = 64u << 10;
constexpr mode_t kPermissionBits = 0777;

std::string errorText(int error)
{
    return std::strerror(error);
}

bool allZero(const std::uint8_t* data, std::size_t size)
{
    return size > 0 && data[0] == 0 && std::memcmp(data, data + 1, size - 1) == 0;
}

std::string parentOf(const std::string& relative)
{
    const auto slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

std::string leafOf(const std::string& relative)
{
    const auto slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

} // namespace

RestoreTarget::RestoreTarget(std::string destination) : m_destination(std::move(destination))
{
    while (m_destination.size() > 1 && m_destination.back() == '/') {
        m_destination.pop_back();
    }
    m_umask = ::umask(0);
    ::umask(m_umask);
}

RestoreTarget::~RestoreTarget()
{
    abortFile();
    if (m_dirFd >= 0) {
        ::close(m_dirFd);
    }
}

bool RestoreTarget::exists(const std::string& relative) const
{
    struct stat st;
    if (m_dirFd >= 0 && parentOf(relative) == m_dirName) {
        return ::fstatat(m_dirFd, leafOf(relative).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    }
    return ::lstat(fullPath(relative).c_str(), &st) == 0;
}

bool RestoreTarget::makeParents(const std::string& relative, std::string& why)
{
    if (m_destinationMade && (relative.empty() || m_knownFolders.count(relative) != 0)) {
        return true;
    }
    // The destination itself may be reached through links (the user chose it); below it, nothing.
    std::string path;
    for (std::size_t i = 0; !m_destinationMade && i < m_destination.size();) {
        const std::size_t slash = m_destination.find('/', i + 1);
        path = m_destination.substr(0, slash);
        if (!path.empty() && ::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
            why = path + ": " + errorText(errno);
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
        i = slash;
    }
    m_destinationMade = true;
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t slash = relative.find('/', start);
        if (slash == std::string::npos) {
            slash = relative.size();
        }
        std::string prefix = relative.substr(0, slash);
        start = slash + 1;
        if (m_knownFolders.count(prefix) != 0) {
            continue;
        }
        const std::string folder = fullPath(prefix);
        struct stat st;
        if (::lstat(folder.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                why = folder + (S_ISLNK(st.st_mode) ? ": a link is in the way" : ": a file is in the way");
                return false;
            }
        } else if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            why = folder + ": " + errorText(errno);
            return false;
        }
        m_knownFolders.insert(std::move(prefix));
    }
    return true;
}

bool RestoreTarget::openFolder(const std::string& folder, std::string& why)
{
    if (m_dirFd >= 0 && m_dirName == folder) {
        return true;
    }
    if (m_dirFd >= 0) {
        ::close(m_dirFd);
    }
    // The way to it was checked for links; the folder itself must not be one either.
    m_dirFd = ::open(folder.empty() ? m_destination.c_str() : fullPath(folder).c_str(),
                     O_RDONLY | O_DIRECTORY | O_CLOEXEC | (folder.empty() ? 0 : O_NOFOLLOW));
    if (m_dirFd < 0) {
        why = fullPath(folder) + ": " + errorText(errno);
        return false;
    }
    m_dirName = folder;
    return true;
}

bool RestoreTarget::makeFolder(const std::string& relative, std::uint32_t mode, std::int64_t mtime, std::string& why)
{
    if (!makeParents(relative, why)) {
        return false;
    }
    m_folders.push_back({relative, mode, mtime});
    return true;
}

bool RestoreTarget::beginFile(const std::string& relative, std::string& why)
{
    abortFile();
    const std::string folder = parentOf(relative);
    if (!makeParents(folder, why) || !openFolder(folder, why)) {
        return false;
    }
    // A hidden name that marks the file as unfinished, short enough for any leaf name.
    const std::string prefix = ".vorland-part-" + std::to_string(::getpid()) + "-";
    while (m_fd < 0) {
        std::string temp = prefix + std::to_string(++m_tempCounter);
        m_fd = ::openat(m_dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            m_tempName = std::move(temp);
        } else if (errno != EEXIST) {
            why = fullPath(relative) + ": " + errorText(errno);
            return false;
        }
    }
    m_relative = relative;
    m_written = 0;
    m_hole = 0;
    return true;
}

bool RestoreTarget::flushHole(std::string& why)
{
    if (m_hole == 0) {
        return true;
    }
    if (::lseek(m_fd, static_cast<off_t>(m_hole), SEEK_CUR) < 0) {
        why = fullPath(m_relative) + ": " + errorText(errno);
        return false;
    }
    m_hole = 0;
    return true;
}

bool RestoreTarget::write(const void* data, std::size_t size, std::string& why)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_written += size;
    if (size >= kHoleMinimum && allZero(bytes, size)) {
        m_hole += size;
        return true;
    }
    if (!flushHole(why)) {
        return false;
    }
    if (!writeFully(m_fd, bytes, size)) {
        why = fullPath(m_relative) + ": " + errorText(errno);
        return false;
    }
    return true;
}

bool RestoreTarget::commitFile(std::uint32_t mode, std::int64_t mtime, ExistingRule rule, std::string& finalName,
                               std::string& why)
{
    const mode_t permissions = mode != 0 ? (static_cast<mode_t>(mode) & kPermissionBits) : (0666 & ~m_umask);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(mtime), 0}};
    bool ok = (m_hole == 0 || ::ftruncate(m_fd, static_cast<off_t>(m_written)) == 0) &&
              ::fchmod(m_fd, permissions) == 0 && ::futimens(m_fd, times) == 0;
    const int error = errno;
    ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    if (!ok) {
        why = fullPath(m_relative) + ": " + errorText(error);
        abortFile();
        return false;
    }
    finalName = m_relative;
    if (rule == ExistingRule::KeepBoth && exists(finalName)) {
        finalName = freeName(m_relative);
    }
    // Skip: the rename refuses an existing name (or, where the file system cannot, a hard link does).
    const std::string leaf = leafOf(finalName);
    const char* temp = m_tempName.c_str();
    if (rule == ExistingRule::Replace) {
        ok = ::renameat(m_dirFd, temp, m_dirFd, leaf.c_str()) == 0;
    } else {
        ok = ::renameat2(m_dirFd, temp, m_dirFd, leaf.c_str(), RENAME_NOREPLACE) == 0;
        if (!ok && (errno == EINVAL || errno == ENOSYS)) {
            ok = ::linkat(m_dirFd, temp, m_dirFd, leaf.c_str(), 0) == 0;
            if (ok || errno == EEXIST) {
                ::unlinkat(m_dirFd, temp, 0);
            } else if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP) {
                // A file system without hard links: renamed when the name is still free.
                ok = !exists(finalName) && ::renameat(m_dirFd, temp, m_dirFd, leaf.c_str()) == 0;
            }
        }
    }
    if (!ok) {
        why = fullPath(finalName) + ": " + errorText(errno);
        abortFile();
        return false;
    }
    m_tempName.clear();
    return true;
}

void RestoreTarget::abortFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempName.empty()) {
        ::unlinkat(m_dirFd, m_tempName.c_str(), 0);
        m_tempName.clear();
    }
}

bool RestoreTarget::makeLink(const std::string& relative, const std::string& target, ExistingRule rule,
                             std::string& why)
{
    if (!makeParents(parentOf(relative), why)) {
        return false;
    }
    std::string name = relative;
    if (exists(name)) {
        if (rule == ExistingRule::KeepBoth) {
            name = freeName(relative);
        } else if (rule == ExistingRule::Replace) {
            ::unlink(fullPath(name).c_str());
        }
    }
    if (::symlink(target.c_str(), fullPath(name).c_str()) != 0) {
        why = fullPath(name) + ": " + errorText(errno);
        return false;
    }
    return true;
}

void RestoreTarget::finishFolders()
{
    std::stable_sort(m_folders.begin(), m_folders.end(), [](const Folder& a, const Folder& b) {
        return std::count(a.path.begin(), a.path.end(), '/') > std::count(b.path.begin(), b.path.end(), '/');
    });
    for (const Folder& folder : m_folders) {
        const std::string path = fullPath(folder.path);
        const mode_t permissions =
            folder.mode != 0 ? (static_cast<mode_t>(folder.mode) & kPermissionBits) : (0777 & ~m_umask);
        const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(folder.mtime), 0}};
        ::chmod(path.c_str(), permissions);
        ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    m_folders.clear();
}

std::string RestoreTarget::freeName(const std::string& relative) const
{
    const auto slash = relative.rfind('/');
    const auto dot = relative.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1);
    const std::string stem = hasExtension ? relative.substr(0, dot) : relative;
    const std::string extension = hasExtension ? relative.substr(dot) : std::string();
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + extension;
        if (!exists(candidate)) {
            return candidate;
        }
    }
}

} // namespace restore
