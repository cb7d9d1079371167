#include "batch/RunLock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace {

long readHolder(int fd)
{
    char text[32] = {};
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    return got > 0 ? std::strtol(text, nullptr, 10) : 0;
}

} // namespace

TRunLock::~TRunLock()
{
    Release();
}

TRunLock::TResult TRunLock::Acquire(const std::string& fileName, long& holder, std::string& error)
{
    Release();
    holder = 0;
    const int fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = fileName + ": cannot use the run lock: " + std::strerror(errno);
        return TResult::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int lockError = errno;
        if (lockError == EWOULDBLOCK) {
            holder = readHolder(fd);
            ::close(fd);
            return TResult::Busy;
        }
        ::close(fd);
        error = fileName + ": cannot use the run lock: " + std::strerror(lockError);
        return TResult::Failed;
    }
    const std::string pid = std::to_string(static_cast<long>(::getpid())) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        // Only for the message of a refused run: a failed write loses nothing else.
        const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
        (void)written;
    }
    m_fd = fd;
    return TResult::Acquired;
}

bool TRunLock::IsHeld(const std::string& fileName)
{
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // A shared lock is refused only while an exclusive one is held.
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

void TRunLock::Release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
