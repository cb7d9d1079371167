#pragma once
// Reading the central directory of an existing archive, so that its entries can be carried over
// into the new archive byte for byte. Archives of other tools are accepted: data descriptors, ZIP64
// records, any extra fields. Anything that does not hold together raises
// EngineError(ZIP_MSG_BAD_ARCHIVE) naming the archive and the fault; the archive is never changed.
// Data in front of the zip part is accepted when the offsets count it (a self-extractor); a prefix
// glued on without adjusting them leaves the directory away from where the end record says, and such
// an archive is refused like any other damage rather than rewritten with guessed offsets.

#include "FileLayer.h"
#include "NameTable.h"
#include "zipdir/ZipDirectory.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zipengine {

// One entry of the existing archive: where its central header lies in the directory the archive
// keeps. Its fields (name, sizes, offset, times, attributes, extra field, comment) are read from the
// header bytes when needed (ExistingArchive::header), so an entry costs 8 bytes beside its header.
struct ExistingEntry
{
    std::uint64_t headerAt = 0; // position of its central header in the directory
};

class ExistingArchive
{
public:
    // Opens and reads the archive. Raises EngineError(ZIP_MSG_BAD_ARCHIVE) when it is damaged or no
    // zip archive, and EngineError(ZIP_MSG_BAD_ARCHIVE) naming the system error when it cannot be read.
    explicit ExistingArchive(const std::string& path);
    ~ExistingArchive();
    ExistingArchive(const ExistingArchive&) = delete;
    ExistingArchive& operator=(const ExistingArchive&) = delete;

    const std::vector<ExistingEntry>& entries() const { return m_entries; }
    const std::string& comment() const { return m_comment; }
    // Bytes in front of the zip part (a self-extractor's program, say): everything before the first
    // local header, or before the central directory when there is no entry. The archive's offsets
    // count from the start of the file, so the new archive keeps these bytes and counts the same way.
    std::uint64_t prefixSize() const { return m_prefixSize; }
    // Index of the first entry of that name, or -1. The name may be given in two parts (a folder and
    // a file name) that are looked up as if joined.
    long find(std::string_view name) const { return find(std::string_view(), name); }
    long find(std::string_view head, std::string_view tail) const;

    // Entries whose name an earlier entry already has (archives of other tools): (first, this one).
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& duplicates() const { return m_duplicates; }

    // The entry's name, a view into the directory kept by this object.
    std::string_view name(const ExistingEntry& entry) const;
    // The entry's central header as stored (checked when the archive was read; views point into the
    // directory kept by this object).
    zipdir::CentralHeader header(const ExistingEntry& entry) const;

    // Where the entry's local header, data and data descriptor lie in the archive (checked against
    // the archive's layout). Raises EngineError(ZIP_MSG_BAD_ARCHIVE).
    void localSpan(const ExistingEntry& entry, std::uint64_t& start, std::uint64_t& length) const;
    // Reads bytes of the archive; raises EngineError(ZIP_MSG_BAD_ARCHIVE) on a read error or short read.
    void read(std::uint64_t offset, void* buffer, std::size_t size) const;
    // Copies bytes of the archive into the new one; raises EngineError(ZIP_MSG_BAD_ARCHIVE) when they
    // cannot be read.
    void copyTo(TempArchive& out, std::uint64_t offset, std::uint64_t length) const;

private:
    void readDirectory();
    // Finds and checks the end records (raising EngineError when the archive is damaged or split).
    zipdir::EndRecord readEndRecord() const;
    [[noreturn]] void bad(const std::string& why) const;
    // A read failed with the system error `error`, or found the file shorter (error 0).
    [[noreturn]] void readFailed(int error) const;

    std::string m_path;
    int m_fd = -1;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_centralOffset = 0;
    std::uint64_t m_prefixSize = 0;
    std::string m_directory; // the central directory as read, each name kept there only
    std::vector<ExistingEntry> m_entries;
    NameTable m_byName;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_duplicates;
    std::string m_comment;
    // Local headers are read through a window of the archive, so that entries lying one after
    // another (many small files) cost one read per window rather than one per entry.
    mutable std::vector<std::uint8_t> m_window;
    mutable std::uint64_t m_windowAt = 0;
    mutable std::size_t m_windowSize = 0;
    bool readWindowed(std::uint64_t offset, void* buffer, std::size_t size) const;
};

// Whether the file at `path` (`size` bytes) shows a zip signature where the format puts one: a local
// header (or the mark of a split archive) at its start, or an end record within the reach of its end.
// An empty file counts as one, so that an archive cut to nothing may be written again. Raises
// EngineError(ZIP_MSG_BAD_ARCHIVE) when the file cannot be read.
bool hasZipSignature(const std::string& path, std::uint64_t size);

// The modification time the entry records, in seconds since the epoch (the UTC extended timestamp
// when present, else the MS-DOS local time).
std::int64_t entryTime(const zipdir::CentralHeader& header);
// The UTC time of the entry's extended timestamp; false when it has none.
bool entryUtcTime(const zipdir::CentralHeader& header, std::int64_t& out);

} // namespace zipengine
