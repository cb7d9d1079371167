#pragma once
// Zip record layouts shared by the engine, the archive directory reader, the volume writer and the
// self-extractor builder: signatures, field positions, little-endian put/get, ZIP64 records.
// Header-only and free of any other part of the program, so the engine library can use it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace zipfmt {

// ---- little-endian access -------------------------------------------------------------------

inline std::uint16_t getU16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t getU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t getU64(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(getU32(p)) | (static_cast<std::uint64_t>(getU32(p + 4)) << 32);
}
inline void putU16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}
inline void putU64(std::uint8_t* p, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// A read-only view of bytes with checked reads: every read names its offset and width, and fails
// (returns false) instead of reading past the end. Values from a file go through it before use.
class ByteView
{
public:
    ByteView() = default;
    ByteView(const void* data, std::size_t size) : m_data(static_cast<const std::uint8_t*>(data)), m_size(size) {}

    std::size_t size() const { return m_size; }
    const std::uint8_t* data() const { return m_data; }
    bool has(std::size_t offset, std::size_t width) const { return offset <= m_size && width <= m_size - offset; }

    bool u16(std::size_t offset, std::uint16_t& out) const
    {
        if (!has(offset, 2)) {
            return false;
        }
        out = getU16(m_data + offset);
        return true;
    }
    bool u32(std::size_t offset, std::uint32_t& out) const
    {
        if (!has(offset, 4)) {
            return false;
        }
        out = getU32(m_data + offset);
        return true;
    }
    bool u64(std::size_t offset, std::uint64_t& out) const
    {
        if (!has(offset, 8)) {
            return false;
        }
        out = getU64(m_data + offset);
        return true;
    }
    bool bytes(std::size_t offset, std::size_t width, std::string& out) const
    {
        if (!has(offset, width)) {
            return false;
        }
        out.assign(reinterpret_cast<const char*>(m_data + offset), width);
        return true;
    }
    ByteView sub(std::size_t offset, std::size_t width) const
    {
        return has(offset, width) ? ByteView(m_data + offset, width) : ByteView();
    }

private:
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

// ---- signatures -------------------------------------------------------------------------------

constexpr std::uint32_t kLocalHeaderSig = 0x04034B50;
constexpr std::uint32_t kCentralHeaderSig = 0x02014B50;
constexpr std::uint32_t kEndRecordSig = 0x06054B50;
constexpr std::uint32_t kZip64EndRecordSig = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSig = 0x07064B50;
constexpr std::uint32_t kDataDescriptorSig = 0x08074B50;
// The first four bytes of the first volume of a split set (the same value as the descriptor's).
constexpr std::uint32_t kSpanningSig = 0x08074B50;

// ---- general purpose flags, methods, versions, hosts ------------------------------------------

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kFlagUtf8 = 0x0800; // names and comments are UTF-8

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;

constexpr std::uint16_t kVersionDefault = 10; // 1.0: stored
constexpr std::uint16_t kVersionDeflate = 20; // 2.0: deflate, folders, traditional encryption
constexpr std::uint16_t kVersionZip64 = 45;   // 4.5: ZIP64 records

constexpr std::uint8_t kHostMsDos = 0;
constexpr std::uint8_t kHostUnix = 3;
constexpr std::uint8_t kHostNtfs = 11;

constexpr std::uint32_t kDosAttrDirectory = 0x10;
constexpr std::uint32_t kDosAttrArchive = 0x20;

// ---- local file header (30 bytes, then name and extra field) ----------------------------------

namespace local {
constexpr std::size_t kSize = 30;
constexpr std::size_t kSignature = 0;       // u32
constexpr std::size_t kVersionNeeded = 4;   // u16
constexpr std::size_t kFlags = 6;           // u16
constexpr std::size_t kMethod = 8;          // u16
constexpr std::size_t kTime = 10;           // u16, MS-DOS time
constexpr std::size_t kDate = 12;           // u16, MS-DOS date
constexpr std::size_t kCrc32 = 14;          // u32
constexpr std::size_t kCompressedSize = 18; // u32 (0xFFFFFFFF: in the ZIP64 extra field)
constexpr std::size_t kSize32 = 22;         // u32, uncompressed (0xFFFFFFFF: ZIP64)
constexpr std::size_t kNameLength = 26;     // u16
constexpr std::size_t kExtraLength = 28;    // u16
} // namespace local

// ---- data descriptor (after the data when flag bit 3 is set) ---------------------------------

namespace descriptor {
constexpr std::size_t kSize = 16;   // signature, crc, compressed, uncompressed (32-bit sizes)
constexpr std::size_t kSize64 = 24; // signature, crc, compressed, uncompressed (64-bit sizes)
} // namespace descriptor

// ---- central directory header (46 bytes, then name, extra field and comment) ------------------

namespace central {
constexpr std::size_t kSize = 46;
constexpr std::size_t kSignature = 0;          // u32
constexpr std::size_t kVersionMadeBy = 4;      // u16: low byte version, high byte host system
constexpr std::size_t kVersionNeeded = 6;      // u16
constexpr std::size_t kFlags = 8;              // u16
constexpr std::size_t kMethod = 10;            // u16
constexpr std::size_t kTime = 12;              // u16
constexpr std::size_t kDate = 14;              // u16
constexpr std::size_t kCrc32 = 16;             // u32
constexpr std::size_t kCompressedSize = 20;    // u32 (0xFFFFFFFF: ZIP64)
constexpr std::size_t kSize32 = 24;            // u32, uncompressed (0xFFFFFFFF: ZIP64)
constexpr std::size_t kNameLength = 28;        // u16
constexpr std::size_t kExtraLength = 30;       // u16
constexpr std::size_t kCommentLength = 32;     // u16
constexpr std::size_t kDiskStart = 34;         // u16 (0xFFFF: ZIP64)
constexpr std::size_t kInternalAttrs = 36;     // u16
constexpr std::size_t kExternalAttrs = 38;     // u32: MS-DOS attributes low, Unix mode << 16
constexpr std::size_t kLocalHeaderOffset = 42; // u32 (0xFFFFFFFF: ZIP64)
} // namespace central

// ---- end of central directory record (22 bytes, then the archive comment) ---------------------

namespace endrec {
constexpr std::size_t kSize = 22;
constexpr std::size_t kSignature = 0;      // u32
constexpr std::size_t kDiskNumber = 4;     // u16: number of this disk
constexpr std::size_t kCentralDisk = 6;    // u16: disk where the central directory starts
constexpr std::size_t kEntriesOnDisk = 8;  // u16 (0xFFFF: ZIP64)
constexpr std::size_t kEntriesTotal = 10;  // u16 (0xFFFF: ZIP64)
constexpr std::size_t kCentralSize = 12;   // u32 (0xFFFFFFFF: ZIP64)
constexpr std::size_t kCentralOffset = 16; // u32 (0xFFFFFFFF: ZIP64)
constexpr std::size_t kCommentLength = 20; // u16
constexpr std::size_t kMaxComment = 0xFFFF;
// The end record must start within this many bytes of the end of the file.
constexpr std::size_t kMaxSearch = kSize + kMaxComment;
} // namespace endrec

// ---- ZIP64 end of central directory record (56 bytes without extensible data) -----------------

namespace zip64end {
constexpr std::size_t kSize = 56;
constexpr std::size_t kSignature = 0;      // u32
constexpr std::size_t kRecordSize = 4;     // u64: size of the rest of the record (kSize - 12 at least)
constexpr std::size_t kVersionMadeBy = 12; // u16
constexpr std::size_t kVersionNeeded = 14; // u16
constexpr std::size_t kDiskNumber = 16;    // u32
constexpr std::size_t kCentralDisk = 20;   // u32
constexpr std::size_t kEntriesOnDisk = 24; // u64
constexpr std::size_t kEntriesTotal = 32;  // u64
constexpr std::size_t kCentralSize = 40;   // u64
constexpr std::size_t kCentralOffset = 48; // u64
} // namespace zip64end

// ---- ZIP64 end of central directory locator (20 bytes, right before the end record) -----------

namespace zip64loc {
constexpr std::size_t kSize = 20;
constexpr std::size_t kSignature = 0;   // u32
constexpr std::size_t kEndDisk = 4;     // u32: disk holding the ZIP64 end record
constexpr std::size_t kEndOffset = 8;   // u64: offset of the ZIP64 end record
constexpr std::size_t kTotalDisks = 16; // u32
} // namespace zip64loc

// ---- extra fields: 2-byte id, 2-byte data size, data ------------------------------------------

constexpr std::size_t kExtraHeaderSize = 4;
constexpr std::uint16_t kExtraZip64 = 0x0001;     // uncompressed, compressed, offset (u64), disk (u32),
                                                  // each present only where the fixed field is full
constexpr std::uint16_t kExtraTimestamp = 0x5455; // flags byte (bit 0: mtime), then u32 UTC seconds
constexpr std::uint16_t kExtraUnixIds = 0x7875;   // version 1, uid and gid with their sizes
constexpr std::uint16_t kExtraNtfs = 0x000A;      // 4 reserved bytes, then tagged attributes (tag 1:
                                                  // mtime, atime, ctime as u64 100 ns since 1601 UTC)

constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
constexpr std::uint16_t kMax16 = 0xFFFFu;

// Finds the data of the extra field `id` in an extra block; returns an empty view when absent or
// when the block is malformed.
inline ByteView findExtra(ByteView extra, std::uint16_t id)
{
    std::size_t pos = 0;
    while (extra.has(pos, kExtraHeaderSize)) {
        std::uint16_t fieldId = 0;
        std::uint16_t fieldSize = 0;
        extra.u16(pos, fieldId);
        extra.u16(pos + 2, fieldSize);
        if (!extra.has(pos + kExtraHeaderSize, fieldSize)) {
            return {};
        }
        if (fieldId == id) {
            return extra.sub(pos + kExtraHeaderSize, fieldSize);
        }
        pos += kExtraHeaderSize + fieldSize;
    }
    return {};
}

// ---- MS-DOS date and time ---------------------------------------------------------------------

// Packs a broken-down local time into MS-DOS date and time (2-second resolution; years 1980-2107,
// earlier times are stored as 1980-01-01 00:00:00, later ones as 2107-12-31 23:59:58).
inline void toDosDateTime(int year, int month, int day, int hour, int minute, int second, std::uint16_t& dosDate,
                          std::uint16_t& dosTime)
{
    if (year < 1980) {
        year = 1980;
        month = 1;
        day = 1;
        hour = minute = second = 0;
    } else if (year > 2107) {
        year = 2107;
        month = 12;
        day = 31;
        hour = 23;
        minute = 59;
        second = 58;
    }
    dosDate = static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
    dosTime = static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

// ---- further layout details used by the engine's writer and its reader of existing archives ---

// Data descriptor fields, relative to the descriptor's start when it carries its signature (readers
// must also accept descriptors written without it).
namespace descriptor {
constexpr std::size_t kSignature = 0;      // u32, optional
constexpr std::size_t kCrc32 = 4;          // u32
constexpr std::size_t kCompressedSize = 8; // u32, or u64 in the 64-bit form
constexpr std::size_t kSize32 = 12;        // u32 (32-bit form)
constexpr std::size_t kSize64Field = 16;   // u64 (64-bit form): uncompressed
} // namespace descriptor

// Extended timestamp (0x5455): one flags byte, then the times the flags announce, each a u32 of UTC
// seconds. The central directory copy carries the modification time only.
constexpr std::uint8_t kTimestampHasMtime = 0x01;
constexpr std::size_t kTimestampMtimeSize = 5; // flags byte + mtime

// NTFS times (0x000A): the one attribute written, its tag and size, and the seconds from 1601 to 1970.
constexpr std::uint16_t kNtfsTimesTag = 0x0001;
constexpr std::size_t kNtfsTimesSize = 24;
constexpr std::size_t kNtfsFieldSize = 4 + kExtraHeaderSize + kNtfsTimesSize;
constexpr std::int64_t kNtfsEpochOffset = 11644473600;

// ZIP64 extra field (0x0001): each u64 present only when its fixed field holds kMax32 (the disk
// number only when its field holds kMax16), in this order.
constexpr std::size_t kZip64FieldSize = 8;

// Traditional (weak) encryption header in front of the data of an encrypted entry.
constexpr std::size_t kTraditionalHeaderSize = 12;

// Inverse of toDosDateTime: the broken-down local time of an MS-DOS date and time.
inline void fromDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime, int& year, int& month, int& day, int& hour,
                            int& minute, int& second)
{
    year = 1980 + (dosDate >> 9);
    month = (dosDate >> 5) & 0x0F;
    day = dosDate & 0x1F;
    hour = dosTime >> 11;
    minute = (dosTime >> 5) & 0x3F;
    second = (dosTime & 0x1F) * 2;
}

} // namespace zipfmt
