#pragma once
// Reading the central directory of an existing archive, so that its entries can be carried over
// into the new archive byte for byte. Archives of other tools are accepted: data descriptors, ZIP64
// records, any extra fields. Anything that does not hold together raises
// EngineError(ZIP_MSG_BAD_ARCHIVE) naming the archive and the fault; the archive is never changed.
// Data in front of the zip part is accepted when the offsets count it (a self-extractor); a prefix
// glued on without adjusting them leaves the directory away from where the end record says, and such
// an archive is refused like any other damage rather than rewritten with guessed offsets.

#include "FileLayer.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zipengine {

struct ExistingEntry
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
    std::string extra; // central extra field, as stored
    std::string comment;
    std::optional<std::int64_t> utcMtime; // from the extended timestamp, when present
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
    // Index of the first entry of that name, or -1.
    long find(const std::string& name) const;

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
    [[noreturn]] void bad(const std::string& why) const;
    // A read failed with the system error `error`, or found the file shorter (error 0).
    [[noreturn]] void readFailed(int error) const;

    std::string m_path;
    int m_fd = -1;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_centralOffset = 0;
    std::uint64_t m_prefixSize = 0;
    std::vector<ExistingEntry> m_entries;
    std::unordered_map<std::string, long> m_byName;
    std::string m_comment;
};

// The modification time the entry records, in seconds since the epoch (the UTC extended timestamp
// when present, else the MS-DOS local time).
std::int64_t entryTime(const ExistingEntry& entry);

} // namespace zipengine
