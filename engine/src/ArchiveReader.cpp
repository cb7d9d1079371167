#include "ArchiveReader.h"

#include "EngineError.h"
#include "FileLayer.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zipengine {

using namespace zipfmt;

ExistingArchive::ExistingArchive(const std::string& path) : m_path(path)
{
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        throw EngineError(ZIP_MSG_BAD_ARCHIVE,
                          "cannot read the archive " + path + ": " + errnoText(error) + "; it was left as it is");
    }
    struct stat st;
    if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(m_fd);
        m_fd = -1;
        throw EngineError(ZIP_MSG_BAD_ARCHIVE, path + " is not a regular file; it was left as it is");
    }
    m_fileSize = static_cast<std::uint64_t>(st.st_size);
    try {
        readDirectory();
    } catch (...) {
        close(m_fd);
        m_fd = -1;
        throw;
    }
}

ExistingArchive::~ExistingArchive()
{
    if (m_fd >= 0) {
        close(m_fd);
    }
}

void ExistingArchive::bad(const std::string& why) const
{
    throw EngineError(ZIP_MSG_BAD_ARCHIVE,
                      "the archive " + m_path + " is damaged or not a zip archive (" + why + "); it was left as it is");
}

void ExistingArchive::read(std::uint64_t offset, void* buffer, std::size_t size) const
{
    const ssize_t n = readFully(m_fd, buffer, size, offset);
    if (n < 0) {
        const int error = errno;
        throw EngineError(ZIP_MSG_BAD_ARCHIVE,
                          "cannot read the archive " + m_path + ": " + errnoText(error) + "; it was left as it is");
    }
    if (static_cast<std::size_t>(n) != size) {
        bad("it ends too early");
    }
}

void ExistingArchive::copyTo(TempArchive& out, std::uint64_t offset, std::uint64_t length) const
{
    if (!out.copyFrom(m_fd, offset, length)) {
        const int error = errno;
        throw EngineError(ZIP_MSG_BAD_ARCHIVE,
                          "cannot read the archive " + m_path + ": " + errnoText(error) + "; it was left as it is");
    }
}

long ExistingArchive::find(const std::string& name) const
{
    const auto it = m_byName.find(name);
    return it == m_byName.end() ? -1 : it->second;
}

void ExistingArchive::readDirectory()
{
    if (m_fileSize < endrec::kSize) {
        bad(m_fileSize == 0 ? "the file is empty" : "the file is too short");
    }
    const std::uint64_t tailSize = std::min<std::uint64_t>(m_fileSize, endrec::kMaxSearch);
    const std::uint64_t tailStart = m_fileSize - tailSize;
    std::string tail(tailSize, '\0');
    read(tailStart, tail.data(), tail.size());
    const ByteView tailView(tail.data(), tail.size());

    // The last end record whose comment reaches exactly or nearly to the end of the file.
    std::optional<std::size_t> endPos;
    for (std::size_t pos = tail.size() - endrec::kSize + 1; pos-- > 0;) {
        std::uint32_t sig = 0;
        std::uint16_t commentLength = 0;
        if (tailView.u32(pos + endrec::kSignature, sig) && sig == kEndRecordSig &&
            tailView.u16(pos + endrec::kCommentLength, commentLength) &&
            pos + endrec::kSize + commentLength <= tail.size()) {
            endPos = pos;
            break;
        }
    }
    if (!endPos) {
        bad("no end of central directory record");
    }
    const ByteView end = tailView.sub(*endPos, tail.size() - *endPos);
    std::uint16_t disk = 0, centralDisk = 0, onDisk = 0, total16 = 0, commentLength = 0;
    std::uint32_t centralSize32 = 0, centralOffset32 = 0;
    end.u16(endrec::kDiskNumber, disk);
    end.u16(endrec::kCentralDisk, centralDisk);
    end.u16(endrec::kEntriesOnDisk, onDisk);
    end.u16(endrec::kEntriesTotal, total16);
    end.u32(endrec::kCentralSize, centralSize32);
    end.u32(endrec::kCentralOffset, centralOffset32);
    end.u16(endrec::kCommentLength, commentLength);
    end.bytes(endrec::kSize, commentLength, m_comment);

    std::uint64_t entryCount = total16;
    std::uint64_t centralSize = centralSize32;
    std::uint64_t centralOffset = centralOffset32;
    std::uint64_t directoryEnd = tailStart + *endPos; // where the central directory must end
    const std::uint64_t endRecordPos = directoryEnd;
    if (endRecordPos >= zip64loc::kSize) {
        std::uint8_t locator[zip64loc::kSize];
        read(endRecordPos - zip64loc::kSize, locator, sizeof locator);
        if (getU32(locator + zip64loc::kSignature) == kZip64LocatorSig) {
            const std::uint64_t recordPos = getU64(locator + zip64loc::kEndOffset);
            if (recordPos > endRecordPos - zip64loc::kSize - zip64end::kSize) {
                bad("ZIP64 end record outside the file");
            }
            std::uint8_t record[zip64end::kSize];
            read(recordPos, record, sizeof record);
            if (getU32(record + zip64end::kSignature) != kZip64EndRecordSig) {
                bad("ZIP64 end record not found");
            }
            if (getU32(record + zip64end::kDiskNumber) != 0 || getU32(record + zip64end::kCentralDisk) != 0) {
                bad("archive split over several volumes");
            }
            entryCount = getU64(record + zip64end::kEntriesTotal);
            centralSize = getU64(record + zip64end::kCentralSize);
            centralOffset = getU64(record + zip64end::kCentralOffset);
            directoryEnd = recordPos;
        }
    }
    if (disk != 0 || centralDisk != 0 || onDisk != total16) {
        bad("archive split over several volumes");
    }
    if (centralOffset > directoryEnd || centralSize != directoryEnd - centralOffset) {
        bad("central directory not where the end record says");
    }
    // Every central header takes at least 46 bytes; a count that cannot fit is damage, not a reason
    // to reserve memory.
    if (entryCount > centralSize / central::kSize) {
        bad("entry count larger than the central directory");
    }
    m_centralOffset = centralOffset;
    m_prefixSize = centralOffset;

    std::string directory(centralSize, '\0');
    read(centralOffset, directory.data(), directory.size());
    const ByteView dir(directory.data(), directory.size());
    m_entries.reserve(entryCount);
    std::size_t pos = 0;
    for (std::uint64_t i = 0; i < entryCount; ++i) {
        std::uint32_t sig = 0;
        if (!dir.u32(pos + central::kSignature, sig) || sig != kCentralHeaderSig || !dir.has(pos, central::kSize)) {
            bad("central directory header " + std::to_string(i + 1) + " is damaged");
        }
        const std::uint8_t* h = dir.data() + pos;
        ExistingEntry e;
        e.versionMadeBy = getU16(h + central::kVersionMadeBy);
        e.versionNeeded = getU16(h + central::kVersionNeeded);
        e.flags = getU16(h + central::kFlags);
        e.method = getU16(h + central::kMethod);
        e.dosTime = getU16(h + central::kTime);
        e.dosDate = getU16(h + central::kDate);
        e.crc = getU32(h + central::kCrc32);
        e.compressedSize = getU32(h + central::kCompressedSize);
        e.size = getU32(h + central::kSize32);
        const std::uint16_t nameLength = getU16(h + central::kNameLength);
        const std::uint16_t extraLength = getU16(h + central::kExtraLength);
        const std::uint16_t commentLen = getU16(h + central::kCommentLength);
        std::uint32_t diskStart = getU16(h + central::kDiskStart);
        e.internalAttrs = getU16(h + central::kInternalAttrs);
        e.externalAttrs = getU32(h + central::kExternalAttrs);
        e.localOffset = getU32(h + central::kLocalHeaderOffset);
        pos += central::kSize;
        if (!dir.bytes(pos, nameLength, e.name) || !dir.bytes(pos + nameLength, extraLength, e.extra) ||
            !dir.bytes(pos + nameLength + extraLength, commentLen, e.comment)) {
            bad("central directory header " + std::to_string(i + 1) + " runs past the directory");
        }
        pos += std::size_t{nameLength} + extraLength + commentLen;

        const ByteView extra(e.extra.data(), e.extra.size());
        const ByteView zip64 = findExtra(extra, kExtraZip64);
        std::size_t at = 0;
        auto wide = [&](std::uint64_t& field) {
            if (field == kMax32) {
                if (!zip64.u64(at, field)) {
                    bad("ZIP64 field missing for " + e.name);
                }
                at += kZip64FieldSize;
            }
        };
        wide(e.size);
        wide(e.compressedSize);
        wide(e.localOffset);
        if (diskStart == kMax16) {
            zip64.u32(at, diskStart);
        }
        if (diskStart != 0) {
            bad("archive split over several volumes");
        }
        const ByteView stamp = findExtra(extra, kExtraTimestamp);
        std::uint8_t stampFlags = 0;
        std::uint32_t mtime = 0;
        if (stamp.size() >= kTimestampMtimeSize && (stampFlags = stamp.data()[0], stampFlags & kTimestampHasMtime) &&
            stamp.u32(1, mtime)) {
            e.utcMtime = static_cast<std::int64_t>(mtime);
        }
        if (e.localOffset >= centralOffset) {
            bad("entry " + e.name + " starts past the central directory");
        }
        m_prefixSize = std::min(m_prefixSize, e.localOffset);
        m_byName.emplace(e.name, static_cast<long>(m_entries.size()));
        m_entries.push_back(std::move(e));
    }
}

void ExistingArchive::localSpan(const ExistingEntry& entry, std::uint64_t& start, std::uint64_t& length) const
{
    if (entry.localOffset + local::kSize > m_centralOffset) {
        bad("local header of " + entry.name + " is outside the archive");
    }
    std::uint8_t header[local::kSize];
    read(entry.localOffset, header, sizeof header);
    if (getU32(header + local::kSignature) != kLocalHeaderSig) {
        bad("local header of " + entry.name + " is missing");
    }
    const std::uint64_t nameLength = getU16(header + local::kNameLength);
    const std::uint64_t extraLength = getU16(header + local::kExtraLength);
    std::uint64_t end = entry.localOffset + local::kSize + nameLength + extraLength;
    if (end > m_centralOffset || entry.compressedSize > m_centralOffset - end) {
        bad("data of " + entry.name + " runs past the central directory");
    }
    end += entry.compressedSize;
    if (entry.flags & kFlagDataDescriptor) {
        // Signature optional; sizes are 64-bit when the local header announces ZIP64.
        std::string extra(extraLength, '\0');
        read(entry.localOffset + local::kSize + nameLength, extra.data(), extra.size());
        const bool wide = findExtra(ByteView(extra.data(), extra.size()), kExtraZip64).size() > 0;
        std::uint8_t desc[descriptor::kSize64] = {};
        const std::size_t avail = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof desc, m_centralOffset - end));
        read(end, desc, avail);
        std::uint64_t descLength = wide ? descriptor::kSize64 : descriptor::kSize;
        if (avail < 4 || getU32(desc) != kDataDescriptorSig || (avail >= 8 && getU32(desc + 4) != entry.crc)) {
            descLength -= 4;
        }
        if (descLength > avail) {
            bad("data descriptor of " + entry.name + " runs past the central directory");
        }
        end += descLength;
    }
    start = entry.localOffset;
    length = end - start;
}

std::int64_t entryTime(const ExistingEntry& entry)
{
    if (entry.utcMtime) {
        return *entry.utcMtime;
    }
    struct tm t = {};
    int year, month, day, hour, minute, second;
    fromDosDateTime(entry.dosDate, entry.dosTime, year, month, day, hour, minute, second);
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(mktime(&t));
}

} // namespace zipengine
