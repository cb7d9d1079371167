#pragma once
// Reading the directory of a zip archive: finding the end record, the ZIP64 locator and end record,
// and the fields of every central directory header, each value checked before it is used. One
// reader for the engine (before it updates an archive), the zip component (its Entries), the volume
// writer and the self-extractor builder; each of them decides on its own what to refuse and which
// message to give. Plain C++ and POSIX, no other part of the program: the engine library links it.
//
// Nothing here throws but std::bad_alloc. Values that do not hold together come back as faults.

#include "zipformat/ZipRecords.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zipdir {

// The bytes of an archive, read at any position.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly `count` bytes at `offset`. False when they are not all there or the read fails.
    virtual bool read(std::uint64_t offset, void* out, std::size_t count) = 0;
};

// An open file (not owned). error() is the errno of the last failed read, 0 when the bytes were
// simply not there.
class FileSource final : public ByteSource
{
public:
    FileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    std::uint64_t size() const override { return m_size; }
    bool read(std::uint64_t offset, void* out, std::size_t count) override;
    int error() const { return m_error; }

private:
    int m_fd;
    std::uint64_t m_size;
    int m_error = 0;
};

// Bytes in memory (not owned).
class MemorySource final : public ByteSource
{
public:
    MemorySource(const void* data, std::size_t size) : m_view(data, size) {}
    std::uint64_t size() const override { return m_view.size(); }
    bool read(std::uint64_t offset, void* out, std::size_t count) override;

private:
    zipfmt::ByteView m_view;
};

enum class Zip64State
{
    Absent, // no locator in front of the end record
    Found,  // the ZIP64 end record was found and its values are used
    Broken  // a locator, but no ZIP64 end record ending where the locator begins
};

// The end of an archive: the end record and, when there is one, the ZIP64 end record.
struct EndRecord
{
    std::uint64_t fileSize = 0;
    std::uint64_t offset = 0; // of the end record
    std::uint8_t raw[zipfmt::endrec::kSize] = {};
    std::uint16_t commentLength = 0; // as stated
    std::string comment;             // the comment bytes the file holds (fewer when it ends sooner)
    std::uint64_t dataEnd = 0;       // end of the record and its comment, at most the file size
    std::uint64_t trailing = 0;      // bytes after that
    bool trailingAllZero = true;

    // The end record's fields; with a ZIP64 end record found, its values.
    std::uint32_t thisDisk = 0;
    std::uint32_t centralDisk = 0;
    std::uint64_t entriesOnDisk = 0;
    std::uint64_t entries = 0;
    std::uint64_t centralSize = 0;
    std::uint64_t centralOffset = 0; // as stated

    Zip64State zip64 = Zip64State::Absent;
    std::uint64_t zip64Locator = 0; // position of the locator (when not Absent)
    std::uint64_t zip64Offset = 0;  // position of the ZIP64 end record (when Found)
    bool zip64Moved = false;        // found right before the locator, not where the locator says

    // Where the central directory ends: at the ZIP64 end record when found, else at the end record.
    std::uint64_t directoryEnd = 0;
    // Where it really starts (directoryEnd - centralSize) when it fits in front of its end; data in
    // front of the zip part whose offsets do not count it puts this past centralOffset.
    bool directoryFits = false;
    std::uint64_t directoryStart = 0;
    // The central directory lies on another volume of a split set.
    bool otherVolume() const { return thisDisk != centralDisk; }
    // The directory is not where the end record says.
    bool displaced() const { return !directoryFits || directoryStart != centralOffset; }
};

enum class EndFault
{
    None,
    NoEndRecord, // no end record signature within the last 64 KiB + 22 bytes
    ReadFailed   // the end of the file could not be read
};

// Finds the end record. The one rule for comments, padding, trailing bytes and data in front:
//   Every end record signature in the last 65,557 bytes is a candidate. A candidate "checks out"
//   when its comment ends within the file and a central directory header starts where its
//   directory must start (an empty directory needs none; a directory on another volume is not
//   looked at). The earliest candidate that checks out and whose comment reaches exactly to the end
//   of the file is the end record: anything after it, end record signatures too, is its comment.
//   Otherwise the candidate that holds together best, nearest the end on a tie: directory at the
//   stated offset, then directory found displaced (data in front), then a directory found with its
//   comment cut by the end of the file, then a comment that fits; the bytes after it are trailing.
// A ZIP64 end record is taken where the locator says or, for data in front whose offsets do not
// count it, right before the locator; it must end where the locator begins.
EndFault findEndRecord(ByteSource& source, EndRecord& out);

// Which ZIP64 values a central header lacks although its fixed field is full.
enum Zip64Missing : unsigned
{
    kMissingSize = 1,
    kMissingCompressed = 2,
    kMissingOffset = 4,
    kMissingDisk = 8
};

// One central directory header, its 64-bit values taken from the ZIP64 extra field where the fixed
// field is full. The views point into the bytes it was read from.
struct CentralHeader
{
    std::uint16_t versionMadeBy = 0; // low byte version, high byte host system
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint32_t diskStart = 0;
    std::uint16_t internalAttrs = 0;
    std::uint32_t externalAttrs = 0;
    std::uint64_t localOffset = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    std::uint16_t commentLength = 0;
    // The fixed fields as stored.
    std::uint32_t compressed32 = 0;
    std::uint32_t size32 = 0;
    std::uint32_t offset32 = 0;
    std::uint16_t disk16 = 0;

    zipfmt::ByteView name;
    zipfmt::ByteView extra;
    zipfmt::ByteView comment;
    // Positions, from the start of the header, of the values in its ZIP64 extra field; npos when
    // absent.
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t zip64SizeAt = npos;
    std::size_t zip64CompressedAt = npos;
    std::size_t zip64OffsetAt = npos;
    std::size_t zip64DiskAt = npos;
    unsigned zip64Missing = 0; // Zip64Missing bits

    std::size_t recordSize() const
    {
        return zipfmt::central::kSize + std::size_t{nameLength} + extraLength + commentLength;
    }
    std::string nameText() const { return std::string(reinterpret_cast<const char*>(name.data()), name.size()); }
};

enum class HeaderFault
{
    None,
    Short,       // fewer than 46 bytes
    Signature,   // no central header signature
    NameShort,   // the name runs past the bytes
    ExtraShort,  // the extra field does
    CommentShort // the comment does
};

// Reads the fixed 46 bytes of a central header (signature, fields, lengths); name, extra field and
// comment stay empty.
HeaderFault readFixedHeader(zipfmt::ByteView bytes, CentralHeader& out);
// Reads a whole central header at the start of `bytes`: the fixed part, name, extra field,
// comment and the ZIP64 values.
HeaderFault readCentralHeader(zipfmt::ByteView bytes, CentralHeader& out);

// Walks the central headers of a directory held in memory, one after another.
class CentralWalker
{
public:
    explicit CentralWalker(zipfmt::ByteView directory) : m_directory(directory) {}
    // Reads the next header and moves past it; on a fault the position stays.
    HeaderFault next(CentralHeader& out);
    // Where the next header starts, from the start of the directory.
    std::size_t position() const { return m_position; }

private:
    zipfmt::ByteView m_directory;
    std::size_t m_position = 0;
};

} // namespace zipdir
