#pragma once
// The engine's file layer: opening source files, writing the temporary archive, and replacing the
// old archive atomically.
//
// Test seams, compiled in only with VORLAND_TEST_HOOKS (read once per ZipEngineExec call by
// FaultSeams::fromEnvironment; nothing is checked when they are unset):
//   VORLAND_FAULT_WRITE_AFTER=N    every write to the temporary archive fails with EIO once N bytes
//                                  have been written to it in this call.
//   VORLAND_FAULT_READ_MATCH=text  opening a source file whose path contains `text` fails with
//                                  EACCES.
//
// Temporary archives are named "<archive name>.vorland-tmp-XXXXXX" and are held with an exclusive
// flock for as long as the run that made them lives. A later run removes such files when nobody
// holds that lock (the run that made them crashed or was killed).

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zipengine {

struct FaultSeams
{
    std::optional<std::uint64_t> writeFailAfter;
    std::string readFailMatch;

    static FaultSeams fromEnvironment();
};

// Opens a source file for reading (following links). Returns the descriptor, or -1 with errno set.
int openSourceFile(const std::string& path, const FaultSeams& seams);

// Reads up to `size` bytes at `offset`, retrying short reads; returns the count read (less at end of
// file) or -1 with errno set.
ssize_t readFully(int fd, void* buffer, std::size_t size, std::uint64_t offset);

// The temporary archive being written. Writes go through a buffer; every failure raises an
// EngineError naming the archive. Destroying an archive that was not committed removes the file.
class TempArchive
{
public:
    // Creates the temporary file in `folder` (the archive's own folder when empty). Raises
    // EngineError(ZIP_MSG_CANNOT_CREATE).
    TempArchive(const std::string& archivePath, const std::string& folder, const FaultSeams& seams);
    ~TempArchive();
    TempArchive(const TempArchive&) = delete;
    TempArchive& operator=(const TempArchive&) = delete;

    const std::string& path() const { return m_path; }
    dev_t device() const { return m_dev; }
    ino_t inode() const { return m_ino; }

    std::uint64_t offset() const { return m_offset; }
    void write(const void* data, std::size_t size);
    // Overwrites bytes already written (at an offset below offset()).
    void patch(std::uint64_t at, const void* data, std::size_t size);
    // Appends `length` bytes of another file from `offset` (in the kernel where it can). Raises
    // EngineError(ZIP_MSG_WRITE_FAILED) when writing fails and returns false when reading failed
    // (errno set; nothing usable was appended, the caller drops the entry).
    bool copyFrom(int fd, std::uint64_t offset, std::uint64_t length);
    // Drops everything from `at` on; writing continues there.
    void truncate(std::uint64_t at);

    // Writes out what is buffered and syncs the data to the disk (so it can be read back from there).
    // Raises EngineError(ZIP_MSG_WRITE_FAILED).
    void sync();

    // Flushes, syncs and renames the file over the archive (keeping the old archive's permissions, and
    // its owner and group where permitted; the usual permissions for a new file). Raises
    // EngineError(ZIP_MSG_WRITE_FAILED or _REPLACE_FAILED).
    void commit();

private:
    void flush();
    void startWriteback();
    void rawWrite(const void* data, std::size_t size, std::uint64_t at);
    [[noreturn]] void fail(int error, const char* what);

    std::string m_archivePath;
    std::string m_path;
    int m_fd = -1;
    dev_t m_dev = 0;
    ino_t m_ino = 0;
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_offset = 0;        // logical size of the archive so far
    std::uint64_t m_flushed = 0;       // bytes of it already in the file
    std::uint64_t m_bytesWritten = 0;  // every byte handed to the system, for the write seam
    std::uint64_t m_writebackFrom = 0; // bytes before it were handed to the disk's writeback
    std::optional<std::uint64_t> m_failAfter;
    bool m_committed = false;
};

// Name prefix of the temporary files of `archivePath` (without folder).
std::string tempPrefix(const std::string& archivePath);

// Removes the temporary files of `archivePath` that no live run holds, in the archive's folder and in
// `tempFolder` (when not empty).
void removeStaleTemps(const std::string& archivePath, const std::string& tempFolder);

} // namespace zipengine
