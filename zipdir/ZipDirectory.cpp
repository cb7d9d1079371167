#include "zipdir/ZipDirectory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace zipdir {

using namespace zipfmt;

bool FileSource::read(std::uint64_t offset, void* out, std::size_t count)
{
    m_error = 0;
    if (offset > m_size || count > m_size - offset) {
        return false;
    }
    auto* dest = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(m_fd, dest + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            m_error = errno;
            return false;
        }
        if (n == 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool MemorySource::read(std::uint64_t offset, void* out, std::size_t count)
{
    if (offset > m_view.size() || !m_view.has(static_cast<std::size_t>(offset), count)) {
        return false;
    }
    if (count > 0) {
        std::memcpy(out, m_view.data() + offset, count);
    }
    return true;
}

namespace {

// How well an end record candidate holds together; higher is better.
enum Quality : int
{
    kNothingFits = 0,
    kCommentFits = 1,
    kDirectoryCommentCut = 2,
    kDirectoryDisplaced = 3,
    kDirectoryExact = 4
};

// Reads through the last bytes of the file, already in memory, and goes to the source only for
// bytes before them: a tail full of end record signatures costs no read per candidate.
class TailReader
{
public:
    TailReader(ByteSource& source, ByteView tail, std::uint64_t tailStart)
        : m_source(source), m_tail(tail), m_tailStart(tailStart)
    {
    }
    bool read(std::uint64_t offset, void* out, std::size_t count)
    {
        if (offset >= m_tailStart && m_tail.has(static_cast<std::size_t>(offset - m_tailStart), count)) {
            std::memcpy(out, m_tail.data() + (offset - m_tailStart), count);
            return true;
        }
        return m_source.read(offset, out, count);
    }

private:
    ByteSource& m_source;
    ByteView m_tail;
    std::uint64_t m_tailStart;
};

// The ZIP64 end record that ends where the locator in front of the end record begins, when there is
// one: first where the locator says, then right before the locator.
void readZip64(TailReader& source, EndRecord& r)
{
    if (r.offset < zip64loc::kSize) {
        return;
    }
    std::uint8_t locator[zip64loc::kSize];
    const std::uint64_t locatorPos = r.offset - zip64loc::kSize;
    if (!source.read(locatorPos, locator, sizeof locator) || getU32(locator) != kZip64LocatorSig) {
        return;
    }
    r.zip64 = Zip64State::Broken;
    r.zip64Locator = locatorPos;
    const std::uint64_t stated = getU64(locator + zip64loc::kEndOffset);
    const std::uint64_t before = locatorPos >= zip64end::kSize ? locatorPos - zip64end::kSize : locatorPos;
    for (const std::uint64_t pos : {stated, before}) {
        std::uint8_t record[zip64end::kSize];
        if (pos >= locatorPos || locatorPos - pos < zip64end::kSize || !source.read(pos, record, sizeof record)) {
            continue;
        }
        const std::uint64_t recordSize = getU64(record + zip64end::kRecordSize);
        if (getU32(record) != kZip64EndRecordSig || recordSize < zip64end::kSize - 12 ||
            recordSize != locatorPos - pos - 12) {
            continue;
        }
        r.zip64 = Zip64State::Found;
        r.zip64Offset = pos;
        r.zip64Moved = pos != stated;
        r.thisDisk = getU32(record + zip64end::kDiskNumber);
        r.centralDisk = getU32(record + zip64end::kCentralDisk);
        r.entriesOnDisk = getU64(record + zip64end::kEntriesOnDisk);
        r.entries = getU64(record + zip64end::kEntriesTotal);
        r.centralSize = getU64(record + zip64end::kCentralSize);
        r.centralOffset = getU64(record + zip64end::kCentralOffset);
        return;
    }
}

// Reads the candidate at `pos` of the tail (which starts at `tailStart` and runs to the end of the
// file) into `r` and rates it.
int evaluate(ByteSource& file, ByteView tail, std::uint64_t tailStart, std::size_t pos, EndRecord& r)
{
    TailReader source(file, tail, tailStart);
    r = EndRecord{};
    r.fileSize = file.size();
    r.offset = tailStart + pos;
    std::memcpy(r.raw, tail.data() + pos, endrec::kSize);
    r.thisDisk = getU16(r.raw + endrec::kDiskNumber);
    r.centralDisk = getU16(r.raw + endrec::kCentralDisk);
    r.entriesOnDisk = getU16(r.raw + endrec::kEntriesOnDisk);
    r.entries = getU16(r.raw + endrec::kEntriesTotal);
    r.centralSize = getU32(r.raw + endrec::kCentralSize);
    r.centralOffset = getU32(r.raw + endrec::kCentralOffset);
    r.commentLength = getU16(r.raw + endrec::kCommentLength);
    const std::uint64_t recordEnd = r.offset + endrec::kSize + r.commentLength;
    const bool commentFits = recordEnd <= r.fileSize;
    r.dataEnd = std::min(recordEnd, r.fileSize);
    r.trailing = r.fileSize - r.dataEnd;

    readZip64(source, r);
    r.directoryEnd = r.zip64 == Zip64State::Found ? r.zip64Offset : r.offset;
    r.directoryFits = r.centralSize <= r.directoryEnd;
    r.directoryStart = r.directoryFits ? r.directoryEnd - r.centralSize : 0;

    bool found = false;
    if (r.otherVolume()) {
        found = true;
    } else if (r.directoryFits) {
        if (r.entries == 0 && r.centralSize == 0) {
            found = true;
        } else {
            std::uint8_t signature[4];
            found =
                source.read(r.directoryStart, signature, sizeof signature) && getU32(signature) == kCentralHeaderSig;
        }
    }
    if (found && commentFits) {
        return r.otherVolume() || !r.displaced() ? kDirectoryExact : kDirectoryDisplaced;
    }
    if (found) {
        return kDirectoryCommentCut;
    }
    return commentFits ? kCommentFits : kNothingFits;
}

} // namespace

EndFault findEndRecord(ByteSource& source, EndRecord& out)
{
    const std::uint64_t fileSize = source.size();
    if (fileSize < endrec::kSize) {
        return EndFault::NoEndRecord;
    }
    const std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, endrec::kMaxSearch));
    const std::uint64_t tailStart = fileSize - tailSize;
    std::string tailBytes(tailSize, '\0');
    if (!source.read(tailStart, tailBytes.data(), tailSize)) {
        return EndFault::ReadFailed;
    }
    const ByteView tail(tailBytes.data(), tailBytes.size());

    struct Candidate
    {
        std::size_t pos;
        int quality;
        bool reachesEnd;
    };
    std::vector<Candidate> candidates; // nearest the end first
    EndRecord r;
    for (std::size_t pos = tailSize - endrec::kSize + 1; pos-- > 0;) {
        if (getU32(tail.data() + pos) != kEndRecordSig) {
            continue;
        }
        const int quality = evaluate(source, tail, tailStart, pos, r);
        candidates.push_back({pos, quality, r.offset + endrec::kSize + r.commentLength == fileSize});
    }
    if (candidates.empty()) {
        return EndFault::NoEndRecord;
    }
    const Candidate* chosen = nullptr;
    for (auto it = candidates.rbegin(); it != candidates.rend() && chosen == nullptr; ++it) {
        if (it->reachesEnd && it->quality >= kDirectoryDisplaced) {
            chosen = &*it;
        }
    }
    if (chosen == nullptr) {
        chosen = &candidates.front();
        for (const Candidate& c : candidates) {
            if (c.quality > chosen->quality) {
                chosen = &c;
            }
        }
    }
    evaluate(source, tail, tailStart, chosen->pos, out);
    const std::size_t commentStart = chosen->pos + endrec::kSize;
    out.comment.assign(tailBytes, commentStart, std::min<std::size_t>(out.commentLength, tailSize - commentStart));
    out.trailingAllZero = std::all_of(tailBytes.begin() + static_cast<std::ptrdiff_t>(out.dataEnd - tailStart),
                                      tailBytes.end(), [](char c) { return c == '\0'; });
    return EndFault::None;
}

HeaderFault readFixedHeader(ByteView bytes, CentralHeader& h)
{
    h = CentralHeader{};
    if (!bytes.has(0, central::kSize)) {
        return HeaderFault::Short;
    }
    const std::uint8_t* p = bytes.data();
    if (getU32(p + central::kSignature) != kCentralHeaderSig) {
        return HeaderFault::Signature;
    }
    h.versionMadeBy = getU16(p + central::kVersionMadeBy);
    h.versionNeeded = getU16(p + central::kVersionNeeded);
    h.flags = getU16(p + central::kFlags);
    h.method = getU16(p + central::kMethod);
    h.dosTime = getU16(p + central::kTime);
    h.dosDate = getU16(p + central::kDate);
    h.crc = getU32(p + central::kCrc32);
    h.compressed32 = getU32(p + central::kCompressedSize);
    h.size32 = getU32(p + central::kSize32);
    h.nameLength = getU16(p + central::kNameLength);
    h.extraLength = getU16(p + central::kExtraLength);
    h.commentLength = getU16(p + central::kCommentLength);
    h.disk16 = getU16(p + central::kDiskStart);
    h.internalAttrs = getU16(p + central::kInternalAttrs);
    h.externalAttrs = getU32(p + central::kExternalAttrs);
    h.offset32 = getU32(p + central::kLocalHeaderOffset);
    h.compressedSize = h.compressed32;
    h.size = h.size32;
    h.localOffset = h.offset32;
    h.diskStart = h.disk16;
    return HeaderFault::None;
}

HeaderFault readCentralHeader(ByteView bytes, CentralHeader& h)
{
    const HeaderFault fault = readFixedHeader(bytes, h);
    if (fault != HeaderFault::None) {
        return fault;
    }
    std::size_t pos = central::kSize;
    if (!bytes.has(pos, h.nameLength)) {
        return HeaderFault::NameShort;
    }
    h.name = bytes.sub(pos, h.nameLength);
    pos += h.nameLength;
    if (!bytes.has(pos, h.extraLength)) {
        return HeaderFault::ExtraShort;
    }
    h.extra = bytes.sub(pos, h.extraLength);
    pos += h.extraLength;
    if (!bytes.has(pos, h.commentLength)) {
        return HeaderFault::CommentShort;
    }
    h.comment = bytes.sub(pos, h.commentLength);

    // Values too large for their fixed fields are in the ZIP64 extra field, in this order, each
    // present only when its fixed field is full.
    const ByteView field = findExtra(h.extra, kExtraZip64);
    const std::size_t base = field.data() != nullptr ? static_cast<std::size_t>(field.data() - bytes.data()) : 0;
    std::size_t at = 0;
    auto take = [&](bool full, std::size_t width, std::size_t& where, unsigned missing) {
        if (!full) {
            return false;
        }
        if (!field.has(at, width)) {
            h.zip64Missing |= missing;
            return false;
        }
        where = base + at;
        at += width;
        return true;
    };
    if (take(h.size32 == kMax32, kZip64FieldSize, h.zip64SizeAt, kMissingSize)) {
        h.size = getU64(bytes.data() + h.zip64SizeAt);
    }
    if (take(h.compressed32 == kMax32, kZip64FieldSize, h.zip64CompressedAt, kMissingCompressed)) {
        h.compressedSize = getU64(bytes.data() + h.zip64CompressedAt);
    }
    if (take(h.offset32 == kMax32, kZip64FieldSize, h.zip64OffsetAt, kMissingOffset)) {
        h.localOffset = getU64(bytes.data() + h.zip64OffsetAt);
    }
    if (take(h.disk16 == kMax16, 4, h.zip64DiskAt, kMissingDisk)) {
        h.diskStart = getU32(bytes.data() + h.zip64DiskAt);
    }
    return HeaderFault::None;
}

HeaderFault CentralWalker::next(CentralHeader& out)
{
    const HeaderFault fault = readCentralHeader(m_directory.sub(m_position, m_directory.size() - m_position), out);
    if (fault == HeaderFault::None) {
        m_position += out.recordSize();
    }
    return fault;
}

} // namespace zipdir
