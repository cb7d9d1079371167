#include "framework/core/FileOps.h"

#include "framework/core/CoreErrors.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Size of one read when copying through a buffer.
constexpr std::size_t kCopyBufferSize = 1 << 20;

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
        if (const char* after = std::getenv("VORLAND_FAULT_COPY_WRITE_AFTER"); after != nullptr && *after != '\0') {
            s.writeLimited = true;
            s.writeAfter = std::strtoull(after, nullptr, 10);
        }
        if (const char* match = std::getenv("VORLAND_FAULT_READ_MATCH"); match != nullptr && *match != '\0') {
            s.readMatch = match;
        }
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
        const ssize_t n = ::write(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        written += static_cast<std::uint64_t>(n);
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

// Copies the whole content; on failure errno is set and the result says which side failed.
CopyFailure copyContent(int in, int out)
{
    if (!faultSeam().writeLimited) {
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
        if (!writeAll(out, buffer.data(), static_cast<std::size_t>(n), written)) {
            return CopyFailure::Write;
        }
    }
}

} // namespace

bool CopyFileKeepTime(const std::string& source, const std::string& target, std::string& error)
{
    const FaultSeam& seam = faultSeam();
    if (seam.active && !seam.readMatch.empty() && source.find(seam.readMatch) != std::string::npos) {
        error = systemText("Cannot open", source, EACCES);
        return false;
    }
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = systemText("Cannot open", source, errno);
        return false;
    }
    struct stat st
    {
    };
    if (::fstat(in, &st) != 0) {
        error = systemText("Cannot read", source, errno);
        ::close(in);
        return false;
    }
    std::string dir = ExtractFileDir(target);
    if (dir.empty()) {
        dir = ".";
    }
    std::string temp = (dir == "/" ? std::string("/") : dir + "/") + ".vorland-copy-XXXXXX";
    const int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        error = systemText("Cannot create a file in", dir, errno);
        ::close(in);
        return false;
    }

    bool ok = true;
    switch (copyContent(in, out)) {
    case CopyFailure::None:
        break;
    case CopyFailure::Read:
        error = systemText("Cannot read", source, errno);
        ok = false;
        break;
    case CopyFailure::Write:
        error = systemText("Cannot write", target, errno);
        ok = false;
        break;
    case CopyFailure::Either:
        error = "Cannot copy \"" + source + "\" to" + systemText("", target, errno);
        ok = false;
        break;
    }
    if (ok && ::fchmod(out, st.st_mode & 07777) != 0) {
        error = systemText("Cannot set the permissions of", target, errno);
        ok = false;
    }
    if (ok) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        if (::futimens(out, times) != 0) {
            error = systemText("Cannot set the time of", target, errno);
            ok = false;
        }
    }
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

bool DeleteFiles(const std::string& path, bool /*confirm*/, bool /*progress*/)
{
    if (path.empty()) {
        return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string ExtractFileDir(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    std::size_t end = slash;
    while (end > 0 && path[end - 1] == '/') {
        --end;
    }
    return end == 0 ? std::string("/") : path.substr(0, end);
}

std::string AbsolutePath(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::path(path), ec);
    if (ec) {
        absolute = fs::path(path);
    }
    std::string text = absolute.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

bool ForceDirectories(const std::string& dir, std::string& error)
{
    if (dir.empty()) {
        throw EVorlandError("Unable to create directory");
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(dir), ec);
    if (ec) {
        error = "Unable to create directory \"" + dir + "\": " + ec.message();
        return false;
    }
    return true;
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
