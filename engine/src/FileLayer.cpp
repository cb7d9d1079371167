#include "FileLayer.h"

#include "EngineError.h"
#include "pathrules/PathRules.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zipengine {

namespace {

// Writes are gathered into blocks of this size: large enough for few system calls, small against
// the memory budget.
constexpr std::size_t kWriteBuffer = 1 << 20;
// Bytes written between two requests to start writing them to the disk.
constexpr std::uint64_t kWritebackStep = 8u << 20;
std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(int fd, const void* data, std::size_t size, std::uint64_t at)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = pwrite(fd, bytes, size, static_cast<off_t>(at));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
        at += static_cast<std::uint64_t>(n);
    }
    return true;
}

// Creates "<folder>/<prefix>XXXXXX" with an exclusive lock held; returns the descriptor or -1.
int createLockedTemp(const std::string& folder, const std::string& prefix, std::string& path)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string pattern = folder + "/" + prefix + "XXXXXX";
        const int fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            return -1;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // A cleaner of another run may have removed the name between creation and locking.
            struct stat byFd, byName;
            if (fstat(fd, &byFd) == 0 && stat(pattern.c_str(), &byName) == 0 && byFd.st_dev == byName.st_dev &&
                byFd.st_ino == byName.st_ino) {
                path = pattern;
                return fd;
            }
        }
        close(fd);
    }
    errno = EEXIST;
    return -1;
}

} // namespace

FaultSeams FaultSeams::fromEnvironment()
{
    FaultSeams seams;
#ifdef VORLAND_TEST_HOOKS
    if (const char* after = std::getenv("VORLAND_FAULT_WRITE_AFTER"); after != nullptr && *after != '\0') {
        seams.writeFailAfter = std::strtoull(after, nullptr, 10);
    }
    if (const char* match = std::getenv("VORLAND_FAULT_READ_MATCH"); match != nullptr) {
        seams.readFailMatch = match;
    }
#endif
    return seams;
}

int openSourceFile(const std::string& path, const FaultSeams& seams)
{
    if (!seams.readFailMatch.empty() && path.find(seams.readFailMatch) != std::string::npos) {
        errno = EACCES;
        return -1;
    }
    int fd;
    do {
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

ssize_t readFully(int fd, void* buffer, std::size_t size, std::uint64_t offset)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

std::string tempPrefix(const std::string& archivePath)
{
    return baseName(archivePath) + std::string(kArchiveTempMarker);
}

namespace {

void removeStaleTempsIn(const std::string& archivePath, const std::string& folder)
{
    const std::string prefix = tempPrefix(archivePath);
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string path = folder + "/" + name;
        struct stat st;
        // No age limit is needed to spare a run that has just created its file and not locked it
        // yet: createLockedTemp checks after locking that its name still leads to its file, and
        // starts again when a cleaner took it.
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            continue;
        }
        // A run that is alive holds the lock; only an orphan can be locked here.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            struct stat byFd;
            if (fstat(fd, &byFd) == 0 && byFd.st_ino == st.st_ino && byFd.st_dev == st.st_dev) {
                unlink(path.c_str());
            }
        }
        close(fd);
    }
    closedir(dir);
}

} // namespace

void removeStaleTemps(const std::string& archivePath, const std::string& tempFolder)
{
    const std::string archiveFolder = folderOf(archivePath);
    removeStaleTempsIn(archivePath, archiveFolder);
    if (!tempFolder.empty() && tempFolder != archiveFolder) {
        removeStaleTempsIn(archivePath, tempFolder);
    }
}

TempArchive::TempArchive(const std::string& archivePath, const std::string& folder, const FaultSeams& seams)
    : m_archivePath(archivePath), m_failAfter(seams.writeFailAfter)
{
    const std::string where = folder.empty() ? folderOf(archivePath) : folder;
    m_fd = createLockedTemp(where, tempPrefix(archivePath), m_path);
    if (m_fd < 0) {
        const int error = errno;
        throw EngineError(ZIP_MSG_CANNOT_CREATE, "cannot create a temporary archive in " + where + " for " +
                                                     archivePath + ": " + errnoText(error));
    }
    struct stat st;
    if (fstat(m_fd, &st) == 0) {
        m_dev = st.st_dev;
        m_ino = st.st_ino;
    }
    m_buffer.reserve(kWriteBuffer);
}

TempArchive::~TempArchive()
{
    if (m_fd >= 0) {
        close(m_fd);
    }
    if (!m_committed && !m_path.empty()) {
        unlink(m_path.c_str());
    }
}

void TempArchive::fail(int error, const char* what)
{
    throw EngineError(ZIP_MSG_WRITE_FAILED, std::string("cannot ") + what + " the new archive " + m_path + " for " +
                                                m_archivePath + ": " + errnoText(error) +
                                                "; the previous archive is unchanged");
}

void TempArchive::rawWrite(const void* data, std::size_t size, std::uint64_t at)
{
    if (m_failAfter && m_bytesWritten + size > *m_failAfter) {
        fail(EIO, "write");
    }
    if (!writeAll(m_fd, data, size, at)) {
        fail(errno, "write");
    }
    m_bytesWritten += size;
}

void TempArchive::flush()
{
    if (!m_buffer.empty()) {
        rawWrite(m_buffer.data(), m_buffer.size(), m_flushed);
        m_flushed += m_buffer.size();
        m_buffer.clear();
        startWriteback();
    }
}

void TempArchive::startWriteback()
{
#ifdef __linux__
    // The disk starts on what is written while the rest is still being made, so the sync before the
    // rename finds little left to do. Only a hint: errors show at that sync.
    if (m_flushed - m_writebackFrom >= kWritebackStep) {
        sync_file_range(m_fd, static_cast<off64_t>(m_writebackFrom), static_cast<off64_t>(m_flushed - m_writebackFrom),
                        SYNC_FILE_RANGE_WRITE);
        m_writebackFrom = m_flushed;
    }
#endif
}

void TempArchive::write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    m_offset += size;
    if (m_buffer.size() + size > kWriteBuffer) {
        flush();
        if (size >= kWriteBuffer) {
            rawWrite(bytes, size, m_flushed);
            m_flushed += size;
            return;
        }
    }
    m_buffer.insert(m_buffer.end(), bytes, bytes + size);
}

void TempArchive::patch(std::uint64_t at, const void* data, std::size_t size)
{
    flush();
    rawWrite(data, size, at);
}

bool TempArchive::copyFrom(int fd, std::uint64_t offset, std::uint64_t length)
{
    flush();
    std::uint64_t done = 0;
    // The kernel copies (or shares extents) without passing the bytes through this process; the
    // write seam needs every byte counted, so it takes the plain path.
    while (!m_failAfter && done < length) {
        loff_t in = static_cast<loff_t>(offset + done);
        loff_t out = static_cast<loff_t>(m_flushed);
        const ssize_t n = copy_file_range(fd, &in, m_fd, &out, static_cast<std::size_t>(length - done), 0);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == ENOSPC || errno == EIO || errno == EDQUOT || errno == EFBIG)) {
                fail(errno, "write");
            }
            break; // not supported here, or the source ended early: the plain path decides
        }
        done += static_cast<std::uint64_t>(n);
        m_flushed += static_cast<std::uint64_t>(n);
        m_offset += static_cast<std::uint64_t>(n);
        m_bytesWritten += static_cast<std::uint64_t>(n);
        startWriteback();
    }
    std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min<std::uint64_t>(length - done, kWriteBuffer)));
    while (done < length) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), length - done));
        const ssize_t n = readFully(fd, block.data(), want, offset + done);
        if (n < 0 || static_cast<std::size_t>(n) != want) {
            if (n >= 0) {
                errno = EIO;
            }
            return false;
        }
        write(block.data(), want);
        done += want;
    }
    return true;
}

void TempArchive::truncate(std::uint64_t at)
{
    flush();
    if (ftruncate(m_fd, static_cast<off_t>(at)) != 0) {
        fail(errno, "truncate");
    }
    m_offset = m_flushed = at;
}

void TempArchive::sync()
{
    flush();
    if (fdatasync(m_fd) != 0) {
        fail(errno, "sync");
    }
}

void TempArchive::commit()
{
    flush();
    struct stat old;
    mode_t mode;
    if (stat(m_archivePath.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
        // The owner and group too, as far as this process may give them (before the mode, which a
        // change of owner may narrow).
        if (fchown(m_fd, old.st_uid, old.st_gid) != 0) {
            [[maybe_unused]] const int ignored = fchown(m_fd, static_cast<uid_t>(-1), old.st_gid);
        }
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (fchmod(m_fd, mode) != 0 || fsync(m_fd) != 0) {
        fail(errno, "finish");
    }
    std::string ready = m_path;
    const std::string archiveFolder = folderOf(m_archivePath);
    if (rename(m_path.c_str(), m_archivePath.c_str()) != 0) {
        if (errno != EXDEV) {
            const int error = errno;
            throw EngineError(ZIP_MSG_REPLACE_FAILED, "cannot replace " + m_archivePath + " by the new archive: " +
                                                          errnoText(error) + "; the previous archive is unchanged");
        }
        // The temporary folder is on another file system: copy into the archive's folder first.
        std::string copyPath;
        const int copyFd = createLockedTemp(archiveFolder, tempPrefix(m_archivePath), copyPath);
        if (copyFd < 0) {
            const int error = errno;
            throw EngineError(ZIP_MSG_CANNOT_CREATE,
                              "cannot create a temporary archive in " + archiveFolder + ": " + errnoText(error));
        }
        std::vector<std::uint8_t> block(kWriteBuffer);
        std::uint64_t at = 0;
        bool ok = true;
        for (;;) {
            const ssize_t n = readFully(m_fd, block.data(), block.size(), at);
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            if (!writeAll(copyFd, block.data(), static_cast<std::size_t>(n), at)) {
                ok = false;
                break;
            }
            at += static_cast<std::uint64_t>(n);
        }
        const int error = errno;
        ok = ok && fchmod(copyFd, mode) == 0 && fsync(copyFd) == 0 &&
             rename(copyPath.c_str(), m_archivePath.c_str()) == 0;
        close(copyFd);
        if (!ok) {
            unlink(copyPath.c_str());
            throw EngineError(ZIP_MSG_REPLACE_FAILED, "cannot replace " + m_archivePath + " by the new archive: " +
                                                          errnoText(error) + "; the previous archive is unchanged");
        }
        unlink(m_path.c_str());
    }
    m_committed = true;
    // Make the rename itself durable.
    const int dirFd = open(archiveFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
}

} // namespace zipengine
