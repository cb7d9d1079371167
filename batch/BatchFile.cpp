#include "batch/BatchFile.h"

#include "core/CoreErrors.h"
#include "core/PosixIo.h"
#include "pathrules/PathRules.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// mkostemp's six characters after the marker.
constexpr std::size_t kTempSuffixLength = 6;

const char* const kSaveFailed = "Cannot save the batch file";

std::string baseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool sameFile(int fd, const struct stat& byName)
{
    struct stat byFd = {};
    return ::fstat(fd, &byFd) == 0 && byFd.st_dev == byName.st_dev && byFd.st_ino == byName.st_ino;
}

// Removes the temporary files of earlier saves of `target` that nobody holds locked.
void removeStaleTemporaries(const std::string& target)
{
    const std::string folder = folderOf(target);
    const std::string prefix = baseNameOf(target) + std::string(kBatchTempMarker);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kTempSuffixLength || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string path = folder + "/" + name;
        struct stat byName = {};
        if (::lstat(path.c_str(), &byName) != 0 || !S_ISREG(byName.st_mode)) {
            continue;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        // A save that is still going on holds the lock; only the leftover of a killed one is free.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, byName)) {
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
    ::closedir(dir);
}

// Creates the locked temporary file beside `target`; returns its descriptor.
int createLockedTemporary(const std::string& fileName, const std::string& target, std::string& path)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string pattern = target + std::string(kBatchTempMarker) + "XXXXXX";
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            throw EInOutError(fileName, errno, kSaveFailed);
        }
        // Another editor's cleaning may have removed the name between creation and locking.
        struct stat byName = {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::stat(pattern.c_str(), &byName) == 0 && sameFile(fd, byName)) {
            path = pattern;
            return fd;
        }
        ::close(fd);
    }
    throw EInOutError(fileName, EEXIST, kSaveFailed);
}

} // namespace

bool ReadBatchFile(const std::string& fileName, std::string& text)
{
    const char* const readFailed = "Cannot read the batch file";
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return false;
        }
        throw EInOutError(fileName, errno, readFailed);
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        throw EInOutError(fileName, error, readFailed);
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw EInOutError(fileName, EISDIR, readFailed);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        throw EInOutError(fileName, 0, "Cannot read the batch file (not a plain file)");
    }
    text.clear();
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            throw EInOutError(fileName, error, readFailed);
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}

void WriteBatchFile(const std::string& fileName, std::string_view bytes)
{
    if (fileName.empty()) {
        throw EInOutError(fileName, ENOENT, kSaveFailed);
    }
    // Write through a symbolic link to the file it points to, keeping the link.
    std::string target = fileName;
    struct stat linkInfo = {};
    if (::lstat(fileName.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        if (char* resolved = ::realpath(fileName.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    struct stat oldInfo = {};
    const bool hadOld = ::stat(target.c_str(), &oldInfo) == 0;
    if (hadOld && S_ISDIR(oldInfo.st_mode)) {
        throw EInOutError(fileName, EISDIR, kSaveFailed);
    }
    removeStaleTemporaries(target);

    std::string temporary;
    int fd = createLockedTemporary(fileName, target, temporary);
    auto fail = [&](int error) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        throw EInOutError(fileName, error, kSaveFailed);
    };
    // mkostemp makes the file for its owner alone; a new batch file gets the usual permissions.
    mode_t mode = 0666;
    if (hadOld) {
        mode = oldInfo.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    if (::fchmod(fd, mode) != 0) {
        fail(errno);
    }
    if (!writeFully(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0) {
        fail(errno);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        fail(errno);
    }
    // The lock goes with the descriptor, only once the file has its final name; the data is on disk
    // already, so closing has nothing left to report.
    ::close(fd);
    // Make the rename itself durable; a failure here changes nothing the caller could act on.
    const int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}
