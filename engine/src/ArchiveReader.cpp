#include "ArchiveReader.h"

#include "EngineError.h"
#include "FileLayer.h"
#include "zipdir/ZipDirectory.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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

namespace {

// Window for reading local headers: large enough that thousands of small entries lying one after
// another cost one read, small beside the memory budget.
constexpr std::size_t kLocalWindow = 64u << 10;

std::string_view nameOf(const std::string& directory, std::uint64_t headerAt)
{
    const auto* header = reinterpret_cast<const std::uint8_t*>(directory.data()) + headerAt;
    return std::string_view(directory.data() + headerAt + central::kSize, getU16(header + central::kNameLength));
}

} // namespace

long ExistingArchive::find(std::string_view head, std::string_view tail) const
{
    const std::uint32_t found = m_byName.find(hashName(tail, hashName(head)), [&](std::uint32_t item) {
        const std::string_view name = nameOf(m_directory, m_entries[item].headerAt);
        return name.size() == head.size() + tail.size() && name.substr(0, head.size()) == head &&
               name.substr(head.size()) == tail;
    });
    return found == NameTable::kNone ? -1 : static_cast<long>(found);
}

std::string_view ExistingArchive::name(const ExistingEntry& entry) const
{
    return nameOf(m_directory, entry.headerAt);
}

zipdir::CentralHeader ExistingArchive::header(const ExistingEntry& entry) const
{
    zipdir::CentralHeader h;
    const ByteView bytes(m_directory.data() + entry.headerAt, m_directory.size() - entry.headerAt);
    // Read once in full when the archive was opened: cannot fail now.
    zipdir::readCentralHeader(bytes, h);
    return h;
}

bool ExistingArchive::readWindowed(std::uint64_t offset, void* buffer, std::size_t size) const
{
    if (offset < m_windowAt || offset + size > m_windowAt + m_windowSize) {
        if (size > kLocalWindow || offset >= m_fileSize) {
            return false;
        }
        m_window.resize(kLocalWindow);
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kLocalWindow, m_fileSize - offset));
        const ssize_t n = readFully(m_fd, m_window.data(), want, offset);
        if (n < 0) {
            readFailed(errno);
        }
        m_windowAt = offset;
        m_windowSize = static_cast<std::size_t>(n);
        if (size > m_windowSize) {
            return false;
        }
    }
    std::memcpy(buffer, m_window.data() + (offset - m_windowAt), size);
    return true;
}

zipdir::EndRecord ExistingArchive::readEndRecord() const
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
    if (end.entries >= NameTable::kNone) {
        bad("more entries than this engine can carry over");
    }
    return end;
}

void ExistingArchive::readDirectory()
{
    const zipdir::EndRecord end = readEndRecord();
    m_comment = end.comment;
    m_centralOffset = end.centralOffset;
    m_prefixSize = end.centralOffset;

    m_directory.assign(end.centralSize, '\0');
    read(end.centralOffset, m_directory.data(), m_directory.size());
    zipdir::CentralWalker walker(ByteView(m_directory.data(), m_directory.size()));
    m_entries.reserve(end.entries);
    m_byName.reserve(end.entries);
    for (std::uint64_t i = 0; i < end.entries; ++i) {
        const std::size_t headerAt = walker.position();
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
        e.headerAt = headerAt;
        if ((h.zip64Missing & (zipdir::kMissingSize | zipdir::kMissingCompressed | zipdir::kMissingOffset)) != 0) {
            bad("ZIP64 field missing for " + h.nameText());
        }
        if (h.diskStart != 0) {
            bad("archive split over several volumes");
        }
        if (h.localOffset >= end.centralOffset) {
            bad("entry " + h.nameText() + " starts past the central directory");
        }
        m_prefixSize = std::min(m_prefixSize, h.localOffset);
        const std::string_view entryName = nameOf(m_directory, headerAt);
        // The first entry of a name is the one found; later ones of the same name stay unindexed.
        const auto index = static_cast<std::uint32_t>(m_entries.size());
        if (const long first = find(entryName); first >= 0) {
            m_duplicates.emplace_back(static_cast<std::uint32_t>(first), index);
        } else {
            m_byName.insert(hashName(entryName), index);
        }
        m_entries.push_back(e);
    }
}

void ExistingArchive::localSpan(const ExistingEntry& entry, std::uint64_t& start, std::uint64_t& length) const
{
    const auto entryName = [&] { return std::string(name(entry)); };
    const zipdir::CentralHeader central = header(entry);
    if (central.localOffset + local::kSize > m_centralOffset) {
        bad("local header of " + entryName() + " is outside the archive");
    }
    std::uint8_t fixed[local::kSize];
    if (!readWindowed(central.localOffset, fixed, sizeof fixed)) {
        read(central.localOffset, fixed, sizeof fixed);
    }
    if (getU32(fixed + local::kSignature) != kLocalHeaderSig) {
        bad("local header of " + entryName() + " is missing");
    }
    const std::uint64_t nameLength = getU16(fixed + local::kNameLength);
    const std::uint64_t extraLength = getU16(fixed + local::kExtraLength);
    std::uint64_t end = central.localOffset + local::kSize + nameLength + extraLength;
    if (end > m_centralOffset || central.compressedSize > m_centralOffset - end) {
        bad("data of " + entryName() + " runs past the central directory");
    }
    end += central.compressedSize;
    if (central.flags & kFlagDataDescriptor) {
        // Signature optional; sizes are 64-bit when the local header announces ZIP64.
        std::string extra(extraLength, '\0');
        read(central.localOffset + local::kSize + nameLength, extra.data(), extra.size());
        const bool wide = findExtra(ByteView(extra.data(), extra.size()), kExtraZip64).size() > 0;
        std::uint8_t desc[descriptor::kSize64] = {};
        const std::size_t avail = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof desc, m_centralOffset - end));
        read(end, desc, avail);
        std::uint64_t descLength = wide ? descriptor::kSize64 : descriptor::kSize;
        if (avail < 4 || getU32(desc) != kDataDescriptorSig || (avail >= 8 && getU32(desc + 4) != central.crc)) {
            descLength -= 4;
        }
        if (descLength > avail) {
            bad("data descriptor of " + entryName() + " runs past the central directory");
        }
        end += descLength;
    }
    start = central.localOffset;
    length = end - start;
}

bool hasZipSignature(const std::string& path, std::uint64_t size)
{
    if (size == 0) {
        return true;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::uint8_t head[4] = {};
    const std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(size, endrec::kMaxSearch));
    std::vector<std::uint8_t> tail(tailSize);
    const bool read = fd >= 0 && readFully(fd, head, sizeof head, 0) >= 0 &&
                      readFully(fd, tail.data(), tail.size(), size - tailSize) == static_cast<ssize_t>(tail.size());
    const int error = errno;
    if (fd >= 0) {
        close(fd);
    }
    if (!read) {
        throw EngineError(ZIP_MSG_BAD_ARCHIVE,
                          "cannot read the archive " + path + ": " + errnoText(error) + "; it was left as it is");
    }
    if (size >= 4 && (getU32(head) == kLocalHeaderSig || getU32(head) == kSpanningSig)) {
        return true;
    }
    for (std::size_t at = tail.size(); at >= 4; --at) {
        if (getU32(tail.data() + at - 4) == kEndRecordSig) {
            return true;
        }
    }
    return false;
}

bool entryUtcTime(const zipdir::CentralHeader& header, std::int64_t& out)
{
    const ByteView stamp = findExtra(header.extra, kExtraTimestamp);
    std::uint32_t mtime = 0;
    if (stamp.size() >= kTimestampMtimeSize && (stamp.data()[0] & kTimestampHasMtime) != 0 && stamp.u32(1, mtime)) {
        out = static_cast<std::int64_t>(mtime);
        return true;
    }
    // The NTFS field: its attributes after 4 reserved bytes, the times under tag 1.
    const ByteView ntfs = findExtra(header.extra, kExtraNtfs);
    std::size_t pos = 4;
    std::uint16_t tag = 0;
    std::uint16_t size = 0;
    while (ntfs.u16(pos, tag) && ntfs.u16(pos + 2, size)) {
        std::uint64_t ticks = 0;
        if (tag == kNtfsTimesTag && size >= kNtfsTimesSize && ntfs.u64(pos + kExtraHeaderSize, ticks)) {
            out = static_cast<std::int64_t>(ticks / 10000000u) - kNtfsEpochOffset;
            return true;
        }
        pos += kExtraHeaderSize + size;
    }
    return false;
}

std::int64_t entryTime(const zipdir::CentralHeader& header)
{
    std::int64_t utc = 0;
    if (entryUtcTime(header, utc)) {
        return utc;
    }
    struct tm t = {};
    int year, month, day, hour, minute, second;
    fromDosDateTime(header.dosDate, header.dosTime, year, month, day, hour, minute, second);
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
