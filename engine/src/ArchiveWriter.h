#pragma once
// Writing zip records into the temporary archive: local headers of new entries (with their sizes
// known, or patched or followed by a data descriptor once the data is written), raw copies of
// entries of the old archive, the central directory and the end records (ZIP64 where any size,
// offset or the entry count passes the 32-bit limits).

#include "ArchiveReader.h"
#include "FileLayer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zipengine {

// The fields of a new entry's headers.
struct CentralRecord
{
    std::string name;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localOffset = 0;
    std::uint16_t internalAttrs = 0;
    std::uint32_t externalAttrs = 0;
    std::string extra; // central extra field
    std::string comment;
    std::optional<std::int64_t> utcMtime; // the time of the extended timestamp, when written
};

// Fills the record of a new entry from a file's metadata (name flags, times, attributes, timestamp
// extra field). Sizes, CRC and method are set by the caller.
CentralRecord makeRecord(const std::string& storedName, std::int64_t mtime, std::uint32_t mode, bool isDirectory);

class ArchiveWriter
{
public:
    explicit ArchiveWriter(TempArchive& out) : m_out(out) {}

    // Writes the local header of `record` at the current offset and sets record.localOffset. With
    // `zip64Local` the header carries a ZIP64 field for the sizes (needed when they may pass 4 GiB).
    // With `known` the record's CRC and sizes are final; otherwise endEntry fills them in (or, with
    // the data-descriptor flag set in the record, writes them after the data).
    void beginEntry(CentralRecord& record, bool zip64Local, bool known);
    // Appends entry data.
    void data(const void* bytes, std::size_t size) { m_out.write(bytes, size); }
    // Completes the entry whose header beginEntry wrote, once CRC and sizes are known: patches the
    // header, or appends the data descriptor when the record has the descriptor flag. Adds the
    // record to the central directory.
    void endEntry(const CentralRecord& record);
    // Drops the entry begun last (nothing of it stays in the archive).
    void abandonEntry() { m_out.truncate(m_entryStart); }

    // Copies the entries first .. first + count - 1 of the old archive as they are and adds their
    // central records. Every copy of one writer comes from one archive, which must live until finish
    // (its central headers are read there again); a second archive, or entries it does not hold, raise
    // EngineError(ZIP_MSG_INTERNAL). Entries that lie one after another in the old archive and are
    // copied one after another go in one copy, made by the next call of another kind (or finish); a
    // read failure is raised there.
    void copyRun(const ExistingArchive& from, std::size_t first, std::size_t count);

    // Writes the central directory and the end records.
    void finish(const std::string& comment);

    std::uint64_t entryCount() const { return m_entryCount; }

private:
    // Entries of the new central directory, in order: a new one (its local header's offset and its
    // central header, already made, in m_newHeaders) or a run of copied entries of the old archive
    // that lie one after another there and here (the shift from old to new offsets, the first old
    // index in the low 32 bits of ref and the run's length above them: copyRun takes indexes below
    // 2^32 only). An update that keeps most
    // entries so needs a few records, not one per entry.
    struct Written
    {
        std::uint64_t offset = 0; // new entry: its local offset; run: new minus old offset, modulo 2^64
        std::uint64_t ref = 0;    // new entry: kNewEntry | position in m_newHeaders; run: see above
    };
    static constexpr std::uint64_t kNewEntry = std::uint64_t{1} << 63;
    static constexpr std::uint64_t kMaxRun = (std::uint64_t{1} << 31) - 1;

    void copyEntry(std::uint32_t index);
    void flushCopies();

    TempArchive& m_out;
    const ExistingArchive* m_from = nullptr; // the archive every copy comes from, once one was made
    std::vector<Written> m_written;
    std::string m_newHeaders;
    std::uint64_t m_copyStart = 0;  // copies waiting: where they start in the old archive
    std::uint64_t m_copyLength = 0; // and how many bytes they take
    std::uint64_t m_entryStart = 0;
    bool m_zip64Local = false;
    bool m_known = false;
    std::uint64_t m_entryCount = 0;
};

} // namespace zipengine
