#pragma once
// Writing zip records into the temporary archive: local headers of new entries (with their sizes
// known, or patched or followed by a data descriptor once the data is written), raw copies of
// entries of the old archive, the central directory and the end records (ZIP64 where any size,
// offset or the entry count passes the 32-bit limits).

#include "ArchiveReader.h"
#include "FileLayer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zipengine {

// The central directory describes entries with the same fields as the reader returns.
using CentralRecord = ExistingEntry;

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
    void endEntry(CentralRecord record);
    // Drops the entry begun last (nothing of it stays in the archive).
    void abandonEntry() { m_out.truncate(m_entryStart); }

    // Copies an entry of the old archive as it is and adds its central record.
    void copyEntry(const ExistingArchive& from, const ExistingEntry& entry);

    // Writes the central directory and the end records.
    void finish(const std::string& comment);

    std::size_t entryCount() const { return m_records.size(); }

private:
    void writeCentral(const CentralRecord& record);

    TempArchive& m_out;
    std::vector<CentralRecord> m_records;
    std::uint64_t m_entryStart = 0;
    bool m_zip64Local = false;
    bool m_known = false;
};

} // namespace zipengine
