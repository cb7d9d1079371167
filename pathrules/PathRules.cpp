#include "pathrules/PathRules.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the system itself follows in one path.
constexpr int kMaxLinkHops = 40;
// Attempts at a fresh name for the new file of a replacement before giving up.
constexpr int kMaxNameAttempts = 100;

bool statOf(const std::string& path, struct stat& st)
{
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// Six characters for a new file's name: the process, a counter and the clock mixed, from the same
// alphabet mkstemp uses, so that the name is one the work-file rule knows.
std::string uniqueSuffix()
{
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<unsigned long long> counter{0};
    struct timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    unsigned long long value = (static_cast<unsigned long long>(::getpid()) << 32) ^
                               static_cast<unsigned long long>(now.tv_nsec) ^ (counter++ * 0x9E3779B97F4A7C15ull);
    std::string suffix;
    for (std::size_t i = 0; i < kWorkFileUniqueLength; ++i) {
        suffix += kAlphabet[value % kAlphabet.size()];
        value /= kAlphabet.size();
    }
    return suffix;
}

} // namespace

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    std::size_t end = slash;
    while (end > 0 && path[end - 1] == '/') {
        --end;
    }
    return end == 0 ? std::string("/") : path.substr(0, end);
}

bool hasFolderPart(const std::string& path)
{
    return path.find('/') != std::string::npos;
}

bool somethingAt(const std::string& path)
{
    struct stat st = {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool existsFollowingLinks(const std::string& path)
{
    struct stat st = {};
    return statOf(path, st);
}

bool isRegularFile(const std::string& path)
{
    struct stat st = {};
    return statOf(path, st) && S_ISREG(st.st_mode);
}

bool isFolder(const std::string& path)
{
    struct stat st = {};
    return statOf(path, st) && S_ISDIR(st.st_mode);
}

bool isSomethingButFolder(const std::string& path)
{
    struct stat st = {};
    return statOf(path, st) && !S_ISDIR(st.st_mode);
}

std::string followLinks(const std::string& path)
{
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st = {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
            return current;
        }
        target.resize(static_cast<std::size_t>(n));
        if (target[0] != '/' && hasFolderPart(current)) {
            const std::string folder = folderOf(current);
            target = (folder == "/" ? folder : folder + "/") + target;
        }
        current = target;
    }
    return current;
}

bool writeFully(int fd, const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int replaceFileWhole(const std::string& path, std::string_view bytes, std::optional<mode_t> mode)
{
    const std::string target = followLinks(path);
    struct stat old = {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) {
        return EISDIR;
    }
    if (!mode && hadOld) {
        mode = old.st_mode & 07777;
    }
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = target + std::string(kArchiveTempMarker) + uniqueSuffix();
        // 0666 lets the process's umask decide for a file that is new.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt >= kMaxNameAttempts)) {
            return errno;
        }
    }
    int error = 0;
    if (mode && ::fchmod(fd, *mode) != 0) {
        error = errno;
    }
    if (error == 0 && (!writeFully(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0)) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    // Make the rename itself durable; a failure here changes nothing the caller could act on.
    const int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return 0;
}

bool isWorkFileName(std::string_view name)
{
    const std::size_t temp = name.rfind(kArchiveTempMarker);
    if (temp != std::string_view::npos && temp > 0 &&
        name.size() == temp + kArchiveTempMarker.size() + kWorkFileUniqueLength) {
        return true;
    }
    return name.size() == kCopyTempPrefix.size() + kWorkFileUniqueLength && name.starts_with(kCopyTempPrefix);
}
