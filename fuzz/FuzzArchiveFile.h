#pragma once
// Shared by the fuzz targets that hand their input to code reading an archive from disk: the check
// that aborts with its line (so the fuzzer keeps the input) and the one archive file of a process.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fuzzkit {

inline void checkAt(bool condition, const char* file, int line)
{
    if (!condition) {
        std::fprintf(stderr, "property broken at %s:%d\n", file, line);
        std::abort();
    }
}

// One archive file for the whole fuzzing process, rewritten for every input: in memory-backed
// /dev/shm when there is one.
class ArchiveFile
{
public:
    explicit ArchiveFile(const std::string& prefix)
    {
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", ec)
                                                 ? std::filesystem::path("/dev/shm")
                                                 : std::filesystem::temp_directory_path();
        m_path = (folder / (prefix + std::to_string(::getpid()) + ".zip")).string();
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        checkAt(m_fd >= 0, __FILE__, __LINE__);
    }
    ~ArchiveFile()
    {
        ::close(m_fd);
        ::unlink(m_path.c_str());
    }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    void Fill(const std::uint8_t* data, std::size_t size)
    {
        checkAt(::ftruncate(m_fd, 0) == 0, __FILE__, __LINE__);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
            checkAt(n > 0, __FILE__, __LINE__);
            done += static_cast<std::size_t>(n);
        }
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    int m_fd = -1;
};

} // namespace fuzzkit

#define check(condition) fuzzkit::checkAt((condition), __FILE__, __LINE__)
