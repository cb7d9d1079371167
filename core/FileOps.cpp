#include "core/FileOps.h"

#include "core/CoreErrors.h"
#include "pathrules/PathRules.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// Size of one read when copying through a buffer.
constexpr std::size_t kCopyBufferSize = 1 << 20;

// Creates the hidden temporary file of a copy in `dir`, locked for as long as the copy runs, so that
// RemoveOrphanedCopies can tell it from the leftover of a run that was killed. Returns the
// descriptor, or -1 with errno set.
int createLockedCopyTemp(const std::string& dir, std::string& path)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string pattern = (dir == "/" ? std::string("/") : dir + "/") + std::string(kCopyTempPrefix) + "XXXXXX";
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            return -1;
        }
        // A cleaner may have removed the name between creation and locking: then start again.
        struct stat byFd
        {
        };
        struct stat byName
        {
        };
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &byFd) == 0 && ::stat(pattern.c_str(), &byName) == 0 &&
            byFd.st_dev == byName.st_dev && byFd.st_ino == byName.st_ino) {
            path = pattern;
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

struct FaultSeam
{
    bool active = false;
    bool writeLimited = false;
    std::uint64_t writeAfter = 0;
    std::string readMatch;
};

const FaultSeam& faultSeam()
{
    static const FaultSeam seam = [] {
        FaultSeam s;
#ifdef VORLAND_TEST_HOOKS
        if (const char* after = std::getenv("VORLAND_FAULT_COPY_WRITE_AFTER"); after != nullptr && *after != '\0') {
            s.writeLimited = true;
            s.writeAfter = std::strtoull(after, nullptr, 10);
        }
        if (const char* match = std::getenv("VORLAND_FAULT_READ_MATCH"); match != nullptr && *match != '\0') {
            s.readMatch = match;
        }
#endif
        s.active = s.writeLimited || !s.readMatch.empty();
        return s;
    }();
    return seam;
}

std::string systemText(const std::string& what, const std::string& file, int err)
{
    return what + " \"" + file + "\": " + std::strerror(err);
}

bool writeAll(int fd, const char* data, std::size_t size, std::uint64_t& written)
{
    const FaultSeam& seam = faultSeam();
    while (size > 0) {
        std::size_t chunk = size;
        if (seam.writeLimited) {
            if (written >= seam.writeAfter) {
                errno = EIO;
                return false;
            }
            chunk = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, seam.writeAfter - written));
        }
        if (!writeFully(fd, data, chunk)) {
            return false;
        }
        data += chunk;
        size -= chunk;
        written += chunk;
    }
    return true;
}

enum class CopyFailure
{
    None,
    Read,
    Write,
    Either
};

// A 64-bit hash of a stream of bytes, fed in pieces of any size: enough to notice bytes that
// changed on their way to the disk (it is no defence against deliberate tampering).
class ContentHash
{
public:
    void add(const char* data, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i) {
            m_word |= static_cast<std::uint64_t>(static_cast<unsigned char>(data[i])) << (8 * m_fill);
            if (++m_fill == 8) {
                mix();
            }
        }
    }
    std::uint64_t value()
    {
        if (m_fill > 0) {
            mix();
        }
        return m_hash ^ m_length;
    }

private:
    void mix()
    {
        m_hash = (m_hash ^ m_word) * 0x9E3779B97F4A7C15ull;
        m_hash ^= m_hash >> 29;
        m_length += m_fill;
        m_word = 0;
        m_fill = 0;
    }
    std::uint64_t m_hash = 0x84222325CBF29CE4ull;
    std::uint64_t m_word = 0;
    std::uint64_t m_length = 0;
    unsigned m_fill = 0;
};

#ifdef VORLAND_TEST_HOOKS
// The test seam's damage: the byte in the middle of the file inverted.
void flipMiddleByte(int fd)
{
    struct stat st
    {
    };
    char byte = 0;
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &byte, 1, st.st_size / 2) == 1) {
        byte = static_cast<char>(~byte);
        if (::pwrite(fd, &byte, 1, st.st_size / 2) == 1) {
            ::fdatasync(fd);
        }
    }
}
#endif

// Hashes the whole file from its start; false on a read error (errno set).
bool hashFile(int fd, std::uint64_t& out)
{
    ContentHash hash;
    std::string buffer(kCopyBufferSize, '\0');
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
        if (n == 0) {
            out = hash.value();
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        hash.add(buffer.data(), static_cast<std::size_t>(n));
        at += n;
    }
}

// Copies the whole content; on failure errno is set and the result says which side failed. With
// `hash`, the bytes read are hashed on their way (no in-kernel copy then).
CopyFailure copyContent(int in, int out, ContentHash* hash = nullptr)
{
    if (!faultSeam().writeLimited && hash == nullptr) {
        // In-kernel copy first (reflinks or server-side copies where the file system has them).
        for (;;) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, SSIZE_MAX, 0);
            if (n == 0) {
                return CopyFailure::None;
            }
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF) {
                    break; // not possible between these two files: fall back to read and write
                }
                return CopyFailure::Either;
            }
        }
    }
    std::string buffer(kCopyBufferSize, '\0');
    std::uint64_t written = static_cast<std::uint64_t>(::lseek(out, 0, SEEK_CUR));
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0) {
            return CopyFailure::None;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return CopyFailure::Read;
        }
        if (hash != nullptr) {
            hash->add(buffer.data(), static_cast<std::size_t>(n));
        }
        if (!writeAll(out, buffer.data(), static_cast<std::size_t>(n), written)) {
            return CopyFailure::Write;
        }
    }
}

// Opens the source of a copy and reads its metadata into `st`; -1 with `error` set on failure.
int openCopySource(const std::string& source, struct stat& st, std::string& error)
{
    const FaultSeam& seam = faultSeam();
    if (seam.active && !seam.readMatch.empty() && source.find(seam.readMatch) != std::string::npos) {
        error = systemText("Cannot open", source, EACCES);
        return -1;
    }
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = systemText("Cannot open", source, errno);
        return -1;
    }
    if (::fstat(in, &st) != 0) {
        error = systemText("Cannot read", source, errno);
        ::close(in);
        return -1;
    }
    return in;
}

// The text of a failed copyContent, whose errno is `cause`.
std::string copyFailureText(CopyFailure failure, const std::string& source, const std::string& target, int cause)
{
    switch (failure) {
    case CopyFailure::Read:
        return systemText("Cannot read", source, cause);
    case CopyFailure::Write:
        return systemText("Cannot write", target, cause);
    case CopyFailure::Either:
        return "Cannot copy \"" + source + "\" to" + systemText("", target, cause);
    case CopyFailure::None:
        break;
    }
    return std::string();
}

// Gives the copy the source's permission bits and times.
bool keepModeAndTime(int out, const struct stat& st, const std::string& target, std::string& error)
{
    if (::fchmod(out, st.st_mode & 07777) != 0) {
        error = systemText("Cannot set the permissions of", target, errno);
        return false;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out, times) != 0) {
        error = systemText("Cannot set the time of", target, errno);
        return false;
    }
    return true;
}

// Syncs the copy, drops its cached pages and reads it back: true when it hashes as `expected`. A
// mismatch sets `verifyFailed`, a failure to read back sets `error`.
bool verifyCopy(int out, std::uint64_t expected, const std::string& target, std::string& error, bool* verifyFailed)
{
    std::uint64_t copied = 0;
    bool ok = ::fdatasync(out) == 0;
    if (ok) {
        ::posix_fadvise(out, 0, 0, POSIX_FADV_DONTNEED);
#ifdef VORLAND_TEST_HOOKS
        const char* damage = std::getenv("VORLAND_FAULT_VERIFY");
        if (damage != nullptr && std::strcmp(damage, "flip-copy") == 0) {
            flipMiddleByte(out);
        }
#endif
        ok = hashFile(out, copied);
    }
    if (!ok) {
        error = systemText("Cannot read back", target, errno);
        return false;
    }
    if (copied != expected) {
        if (verifyFailed != nullptr) {
            *verifyFailed = true;
        }
        return false;
    }
    return true;
}

} // namespace

bool CopyFileKeepTime(const std::string& source, const std::string& target, std::string& error, bool verify,
                      bool* verifyFailed)
{
    if (verifyFailed != nullptr) {
        *verifyFailed = false;
    }
    struct stat st
    {
    };
    const int in = openCopySource(source, st, error);
    if (in < 0) {
        return false;
    }
    std::string dir = ExtractFileDir(target);
    if (dir.empty()) {
        dir = ".";
    }
    RemoveOrphanedCopies(dir);
    std::string temp;
    const int out = createLockedCopyTemp(dir, temp);
    if (out < 0) {
        error = systemText("Cannot create a file in", dir, errno);
        ::close(in);
        return false;
    }

    ContentHash hash;
    const CopyFailure failure = copyContent(in, out, verify ? &hash : nullptr);
    bool ok = failure == CopyFailure::None;
    if (!ok) {
        error = copyFailureText(failure, source, target, errno);
    }
    ok = ok && keepModeAndTime(out, st, target, error);
    ok = ok && (!verify || verifyCopy(out, hash.value(), target, error, verifyFailed));
    if (::close(out) != 0 && ok) {
        error = systemText("Cannot write", target, errno);
        ok = false;
    }
    ::close(in);
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        error = systemText("Cannot replace", target, errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

void RemoveOrphanedCopies(const std::string& dir)
{
    static std::mutex mutex;
    static std::set<std::string> cleaned;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!cleaned.insert(dir).second) {
            return;
        }
    }
    DIR* folder = ::opendir(dir.c_str());
    if (folder == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.size() != kCopyTempPrefix.size() + kWorkFileUniqueLength || !name.starts_with(kCopyTempPrefix)) {
            continue;
        }
        const std::string path = (dir == "/" ? std::string("/") : dir + "/") + name;
        struct stat byName
        {
        };
        if (::lstat(path.c_str(), &byName) != 0 || !S_ISREG(byName.st_mode)) {
            continue;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        // A copy that is still running holds the lock; only the leftover of a killed run is free.
        struct stat byFd
        {
        };
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &byFd) == 0 && byFd.st_dev == byName.st_dev &&
            byFd.st_ino == byName.st_ino) {
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
    ::closedir(folder);
}

bool DeleteFiles(const std::string& path, bool /*confirm*/, bool /*progress*/)
{
    if (path.empty()) {
        return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string ExtractFileDir(const std::string& path)
{
    return hasFolderPart(path) ? folderOf(path) : std::string();
}

std::string AbsolutePath(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::path(path), ec);
    if (ec) {
        absolute = fs::path(path);
    }
    const std::string text = absolute.string();
    if (text.empty() || text[0] != '/') {
        return absolute.lexically_normal().string();
    }
    std::string result = "/";
    for (std::size_t pos = 1; pos <= text.size();) {
        std::size_t end = text.find('/', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string part = text.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            // ".." leaves the folder the system reached, which a link leads elsewhere: the parent of
            // where the path so far really is, not the name before "..".
            if (result != "/") {
                if (char* real = ::realpath(result.c_str(), nullptr)) {
                    result = real;
                    std::free(real);
                }
                const std::size_t slash = result.rfind('/');
                result = slash == 0 ? std::string("/") : result.substr(0, slash);
            }
            continue;
        }
        result += (result == "/" ? "" : "/") + part;
    }
    return result;
}

bool ForceDirectories(const std::string& dir, std::string& error, int& cause)
{
    if (dir.empty()) {
        throw EVorlandError("Unable to create directory");
    }
    // The folders are found missing from the end of the path upwards and made from the top down:
    // one call each, at any depth the path length allows (no count of levels is imposed).
    const auto isDirectory = [](const std::string& path, int& why) {
        struct stat info = {};
        if (::stat(path.c_str(), &info) != 0) {
            why = errno;
            return false;
        }
        why = S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
        return why == 0;
    };
    std::string path = dir;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    std::vector<std::size_t> missing; // lengths of the missing folders' paths, deepest first
    cause = 0;
    for (std::string upper = path; !isDirectory(upper, cause);) {
        if (cause != ENOENT) {
            break;
        }
        missing.push_back(upper.size());
        const std::size_t slash = upper.find_last_not_of('/', upper.rfind('/'));
        if (upper.rfind('/') == std::string::npos || slash == std::string::npos) {
            cause = 0; // the first name of a relative path, or a name below "/"
            break;
        }
        upper.resize(slash + 1);
    }
    for (auto it = missing.rbegin(); cause == 0 && it != missing.rend(); ++it) {
        const std::string folder = path.substr(0, *it);
        if (::mkdir(folder.c_str(), 0777) != 0 && (errno != EEXIST || !isDirectory(folder, cause))) {
            cause = cause != 0 ? cause : errno;
        }
    }
    if (cause != 0) {
        error = "Unable to create directory \"" + dir + "\": " + std::generic_category().message(cause);
        return false;
    }
    return true;
}

bool ForceDirectories(const std::string& dir, std::string& error)
{
    int cause = 0;
    return ForceDirectories(dir, error, cause);
}

bool ForceDirectories(const std::string& dir)
{
    std::string error;
    return ForceDirectories(dir, error);
}

std::string WorkDirectory()
{
    std::string exe(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size() - 1);
    if (n > 0) {
        exe.resize(static_cast<std::size_t>(n));
        const std::string dir = ExtractFileDir(exe);
        if (!dir.empty() && ::access(dir.c_str(), W_OK | X_OK) == 0) {
            return dir == "/" ? dir : dir + "/";
        }
    }
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0' && ::access(tmp, W_OK | X_OK) == 0) {
        std::string dir = tmp;
        if (dir.back() != '/') {
            dir += '/';
        }
        return dir;
    }
    return "/tmp/";
}

TWorkFile::TWorkFile(const std::string& prefix)
{
    std::string pattern = WorkDirectory() + prefix + "-XXXXXX.tmp";
    const int fd = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
    if (fd < 0) {
        throw EInOutError(pattern, errno, "Cannot create the work file");
    }
    ::close(fd);
    m_path = pattern;
}

TWorkFile::~TWorkFile()
{
    ::unlink(m_path.c_str());
}
