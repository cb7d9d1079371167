#include "ArchiveReader.h"

#include "EngineError.h"
#include "FileLayer.h"
#include "zipdir/ZipDirectory.h"
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

void ExistingArchive::readFailed(int error) const
{
    if (error == 0) {
        bad("it ends too early");
    }
    throw EngineError(ZIP_MSG_BAD_ARCHIVE,
                      "cannot read the archive " + m_path + ": " + errnoText(error) + "; it was left as it is");
}

void ExistingArchive::read(std::uint64_t offset, void* buffer, std::size_t size) const
{
    const ssize_t n = readFully(m_fd, buffer, size, offset);
    if (n < 0) {
        readFailed(errno);
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
    zipdir::FileSource source(m_fd, m_fileSize);
    zipdir::EndRecord end;
    switch (zipdir::findEndRecord(source, end)) {
    case zipdir::EndFault::None:
        break;
    case zipdir::EndFault::ReadFailed:
        readFailed(source.error());
    case zipdir::EndFault::NoEndRecord:
        bad("no end of central directory record");
    }
    if (end.comment.size() != end.commentLength) {
        bad("the archive comment runs past the end of the file");
    }
    if (end.zip64 == zipdir::Zip64State::Broken) {
        bad("ZIP64 end record not found");
    }
    if (end.thisDisk != 0 || end.centralDisk != 0 || end.entriesOnDisk != end.entries) {
        bad("archive split over several volumes");
    }
    // A prefix glued on without adjusting the offsets: refused rather than rewritten with guesses.
    if (end.displaced()) {
        bad("central directory not where the end record says");
    }
    // Every central header takes at least 46 bytes; a count that cannot fit is damage, not a reason
    // to reserve memory.
    if (end.entries > end.centralSize / central::kSize) {
        bad("entry count larger than the central directory");
    }
    m_comment = end.comment;
    m_centralOffset = end.centralOffset;
    m_prefixSize = end.centralOffset;

    std::string directory(end.centralSize, '\0');
    read(end.centralOffset, directory.data(), directory.size());
    zipdir::CentralWalker walker(ByteView(directory.data(), directory.size()));
    m_entries.reserve(end.entries);
    for (std::uint64_t i = 0; i < end.entries; ++i) {
        zipdir::CentralHeader h;
        switch (walker.next(h)) {
        case zipdir::HeaderFault::None:
            break;
        case zipdir::HeaderFault::Short:
        case zipdir::HeaderFault::Signature:
            bad("central directory header " + std::to_string(i + 1) + " is damaged");
        case zipdir::HeaderFault::NameShort:
        case zipdir::HeaderFault::ExtraShort:
        case zipdir::HeaderFault::CommentShort:
            bad("central directory header " + std::to_string(i + 1) + " runs past the directory");
        }
        ExistingEntry e;
        e.name = h.nameText();
        e.versionMadeBy = h.versionMadeBy;
        e.versionNeeded = h.versionNeeded;
        e.flags = h.flags;
        e.method = h.method;
        e.dosTime = h.dosTime;
        e.dosDate = h.dosDate;
        e.crc = h.crc;
        e.compressedSize = h.compressedSize;
        e.size = h.size;
        e.localOffset = h.localOffset;
        e.internalAttrs = h.internalAttrs;
        e.externalAttrs = h.externalAttrs;
        e.extra.assign(reinterpret_cast<const char*>(h.extra.data()), h.extra.size());
        e.comment.assign(reinterpret_cast<const char*>(h.comment.data()), h.comment.size());
        if ((h.zip64Missing & (zipdir::kMissingSize | zipdir::kMissingCompressed | zipdir::kMissingOffset)) != 0) {
            bad("ZIP64 field missing for " + e.name);
        }
        if (h.diskStart != 0) {
            bad("archive split over several volumes");
        }
        const ByteView stamp = findExtra(h.extra, kExtraTimestamp);
        std::uint8_t stampFlags = 0;
        std::uint32_t mtime = 0;
        if (stamp.size() >= kTimestampMtimeSize && (stampFlags = stamp.data()[0], stampFlags & kTimestampHasMtime) &&
            stamp.u32(1, mtime)) {
            e.utcMtime = static_cast<std::int64_t>(mtime);
        }
        if (e.localOffset >= end.centralOffset) {
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
