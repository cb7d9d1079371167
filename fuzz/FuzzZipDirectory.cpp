// Fuzz target of the archive directory reader: the input is written to a file as an archive and
// the zip component reads its directory, as it does whenever a section names its archive. Nothing
// may crash, hang or over-read; what is read must stay within the file.

#include "zipcomp/ZipComp.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// A broken property aborts with the line of the check, so the fuzzer keeps the input.
void checkAt(bool condition, int line)
{
    if (!condition) {
        std::fprintf(stderr, "property broken at %s:%d\n", __FILE__, line);
        std::abort();
    }
}
#define check(condition) checkAt((condition), __LINE__)

// One archive file for the whole fuzzing process, rewritten for every input: in memory-backed
// /dev/shm when there is one.
class ArchiveFile
{
public:
    ArchiveFile()
    {
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", ec)
                                                 ? std::filesystem::path("/dev/shm")
                                                 : std::filesystem::temp_directory_path();
        m_path = (folder / ("vorland-fuzz-" + std::to_string(::getpid()) + ".zip")).string();
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        check(m_fd >= 0);
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
        check(::ftruncate(m_fd, 0) == 0);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
            check(n > 0);
            done += static_cast<std::size_t>(n);
        }
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    int m_fd = -1;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ArchiveFile file;
    file.Fill(data, size);

    // No prompter and unattended: every message is only recorded, nothing waits for an answer.
    TZipComponent zip;
    zip.SetUnattended(true);
    int newNames = 0;
    int dirUpdates = 0;
    zip.OnNewName = [&](TZipComponent&, int seqNo, const ZipDirEntry&) {
        check(seqNo > newNames);
        ++newNames;
    };
    zip.OnDirUpdate = [&](TZipComponent&) { ++dirUpdates; };
    zip.SetZipFileName(file.Path());

    check(dirUpdates == 1);
    check(static_cast<std::size_t>(newNames) == zip.Entries().size());
    // Every central directory entry takes at least 46 bytes of the file.
    check(zip.Entries().size() * 46 <= size);
    check(zip.StubSize() >= 0 && static_cast<std::uint64_t>(zip.StubSize()) <= size);
    check(zip.EndRecordOffset() >= 0 && static_cast<std::uint64_t>(zip.EndRecordOffset()) <= size);
    check(zip.ArchiveComment().size() <= size);
    for (const ZipDirEntry& entry : zip.Entries()) {
        check(entry.ExtraData.size() <= size);
    }
    return 0;
}
