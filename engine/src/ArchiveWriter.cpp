#include "ArchiveWriter.h"

#include "EngineError.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <ctime>
#include <sys/stat.h>

namespace zipengine {

using namespace zipfmt;

namespace {

// "Made by" version 3.0 on a Unix host: readers take the upper half of the external attributes as
// Unix permissions.
constexpr std::uint16_t kMadeBy = (std::uint16_t{kHostUnix} << 8) | 30;

bool isPlainAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isValidUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80             ? 1
                                   : (c & 0xE0) == 0xC0 ? 2
                                   : (c & 0xF0) == 0xE0 ? 3
                                   : (c & 0xF8) == 0xF0 ? 4
                                                        : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// The extra field without its ZIP64 part.
std::string withoutZip64(const std::string& extra)
{
    std::string kept;
    const ByteView view(extra.data(), extra.size());
    std::size_t pos = 0;
    while (view.has(pos, kExtraHeaderSize)) {
        std::uint16_t id = 0, size = 0;
        view.u16(pos, id);
        view.u16(pos + 2, size);
        if (!view.has(pos + kExtraHeaderSize, size)) {
            break; // a damaged tail is dropped rather than carried on
        }
        if (id != kExtraZip64) {
            kept.append(extra, pos, kExtraHeaderSize + size);
        }
        pos += kExtraHeaderSize + size;
    }
    return kept;
}

void appendU16(std::string& out, std::uint16_t v)
{
    std::uint8_t b[2];
    putU16(b, v);
    out.append(reinterpret_cast<char*>(b), 2);
}
void appendU32(std::string& out, std::uint32_t v)
{
    std::uint8_t b[4];
    putU32(b, v);
    out.append(reinterpret_cast<char*>(b), 4);
}
void appendU64(std::string& out, std::uint64_t v)
{
    std::uint8_t b[8];
    putU64(b, v);
    out.append(reinterpret_cast<char*>(b), 8);
}

std::uint32_t cap32(std::uint64_t v)
{
    return v >= kMax32 ? kMax32 : static_cast<std::uint32_t>(v);
}

void appendCentral(std::string& out, const CentralRecord& r)
{
    std::string zip64;
    if (r.size >= kMax32) {
        appendU64(zip64, r.size);
    }
    if (r.compressedSize >= kMax32) {
        appendU64(zip64, r.compressedSize);
    }
    if (r.localOffset >= kMax32) {
        appendU64(zip64, r.localOffset);
    }
    std::string extra;
    if (!zip64.empty()) {
        appendU16(extra, kExtraZip64);
        appendU16(extra, static_cast<std::uint16_t>(zip64.size()));
        extra += zip64;
    }
    extra += withoutZip64(r.extra);
    if (extra.size() > kMax16) {
        extra.resize(0); // cannot happen with extra fields read from a central header plus ZIP64
    }
    const std::uint16_t needed = zip64.empty() ? r.versionNeeded : std::max(r.versionNeeded, kVersionZip64);
    std::uint8_t h[central::kSize];
    putU32(h + central::kSignature, kCentralHeaderSig);
    putU16(h + central::kVersionMadeBy, r.versionMadeBy);
    putU16(h + central::kVersionNeeded, needed);
    putU16(h + central::kFlags, r.flags);
    putU16(h + central::kMethod, r.method);
    putU16(h + central::kTime, r.dosTime);
    putU16(h + central::kDate, r.dosDate);
    putU32(h + central::kCrc32, r.crc);
    putU32(h + central::kCompressedSize, cap32(r.compressedSize));
    putU32(h + central::kSize32, cap32(r.size));
    putU16(h + central::kNameLength, static_cast<std::uint16_t>(r.name.size()));
    putU16(h + central::kExtraLength, static_cast<std::uint16_t>(extra.size()));
    putU16(h + central::kCommentLength, static_cast<std::uint16_t>(r.comment.size()));
    putU16(h + central::kDiskStart, 0);
    putU16(h + central::kInternalAttrs, r.internalAttrs);
    putU32(h + central::kExternalAttrs, r.externalAttrs);
    putU32(h + central::kLocalHeaderOffset, cap32(r.localOffset));
    out.append(reinterpret_cast<const char*>(h), sizeof h);
    out += r.name;
    out += extra;
    out += r.comment;
}

// The record of a copied entry, from its central header in the old archive (`r` is reused from
// entry to entry so that its strings keep their memory).
void recordOf(const ExistingArchive& from, const ExistingEntry& entry, CentralRecord& r)
{
    const zipdir::CentralHeader h = from.header(entry);
    r.name.assign(reinterpret_cast<const char*>(h.name.data()), h.name.size());
    r.versionMadeBy = h.versionMadeBy;
    r.versionNeeded = h.versionNeeded;
    r.flags = h.flags;
    r.method = h.method;
    r.dosTime = h.dosTime;
    r.dosDate = h.dosDate;
    r.crc = h.crc;
    r.compressedSize = h.compressedSize;
    r.size = h.size;
    r.localOffset = h.localOffset;
    r.internalAttrs = h.internalAttrs;
    r.externalAttrs = h.externalAttrs;
    r.extra.assign(reinterpret_cast<const char*>(h.extra.data()), h.extra.size());
    r.comment.assign(reinterpret_cast<const char*>(h.comment.data()), h.comment.size());
}

} // namespace

CentralRecord makeRecord(const std::string& storedName, std::int64_t mtime, std::uint32_t mode, bool isDirectory)
{
    CentralRecord r;
    r.name = storedName;
    r.versionMadeBy = kMadeBy;
    r.versionNeeded = isDirectory ? kVersionDeflate : kVersionDefault;
    if (!isPlainAscii(storedName) && isValidUtf8(storedName)) {
        r.flags |= kFlagUtf8;
    }
    const std::time_t t = static_cast<std::time_t>(mtime);
    struct tm local = {};
    if (localtime_r(&t, &local) != nullptr) {
        toDosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                      r.dosDate, r.dosTime);
    } else {
        toDosDateTime(1980, 1, 1, 0, 0, 0, r.dosDate, r.dosTime);
    }
    std::uint32_t dosAttrs = isDirectory ? kDosAttrDirectory : 0;
    if ((mode & S_IWUSR) == 0) {
        dosAttrs |= 0x01; // read-only
    }
    r.externalAttrs = ((mode & 0xFFFFu) << 16) | dosAttrs;
    if (mtime >= 0 && mtime <= INT32_MAX) {
        appendU16(r.extra, kExtraTimestamp);
        appendU16(r.extra, kTimestampMtimeSize);
        r.extra.push_back(static_cast<char>(kTimestampHasMtime));
        appendU32(r.extra, static_cast<std::uint32_t>(mtime));
        r.utcMtime = mtime;
    } else if (mtime >= -kNtfsEpochOffset && mtime <= INT64_MAX / 10000000 - kNtfsEpochOffset) {
        // Times the extended timestamp cannot hold (after 2038, before 1970) go in the NTFS field's
        // 64-bit times, so that the entry keeps the exact time whatever the time zone (its MS-DOS
        // time is clamped and local).
        const auto ticks = static_cast<std::uint64_t>(mtime + kNtfsEpochOffset) * 10000000u;
        appendU16(r.extra, kExtraNtfs);
        appendU16(r.extra, static_cast<std::uint16_t>(kNtfsFieldSize));
        appendU32(r.extra, 0);
        appendU16(r.extra, kNtfsTimesTag);
        appendU16(r.extra, static_cast<std::uint16_t>(kNtfsTimesSize));
        for (int i = 0; i < 3; ++i) { // modification, access and creation time: all the file's time
            appendU64(r.extra, ticks);
        }
        r.utcMtime = mtime;
    }
    return r;
}

void ArchiveWriter::beginEntry(CentralRecord& record, bool zip64Local, bool known)
{
    flushCopies();
    m_known = known;
    record.localOffset = m_out.offset();
    m_entryStart = record.localOffset;
    m_zip64Local = zip64Local;
    const bool deferred = (record.flags & kFlagDataDescriptor) != 0;
    if (zip64Local) {
        record.versionNeeded = std::max(record.versionNeeded, kVersionZip64);
    }
    std::string extra;
    if (zip64Local) {
        appendU16(extra, kExtraZip64);
        appendU16(extra, 2 * kZip64FieldSize);
        appendU64(extra, deferred ? 0 : record.size);
        appendU64(extra, deferred ? 0 : record.compressedSize);
    }
    extra += record.extra; // the timestamp field, the same in both headers
    std::uint8_t h[local::kSize];
    putU32(h + local::kSignature, kLocalHeaderSig);
    putU16(h + local::kVersionNeeded, record.versionNeeded);
    putU16(h + local::kFlags, record.flags);
    putU16(h + local::kMethod, record.method);
    putU16(h + local::kTime, record.dosTime);
    putU16(h + local::kDate, record.dosDate);
    putU32(h + local::kCrc32, deferred ? 0 : record.crc);
    putU32(h + local::kCompressedSize, zip64Local ? kMax32 : deferred ? 0 : cap32(record.compressedSize));
    putU32(h + local::kSize32, zip64Local ? kMax32 : deferred ? 0 : cap32(record.size));
    putU16(h + local::kNameLength, static_cast<std::uint16_t>(record.name.size()));
    putU16(h + local::kExtraLength, static_cast<std::uint16_t>(extra.size()));
    m_out.write(h, sizeof h);
    m_out.write(record.name.data(), record.name.size());
    m_out.write(extra.data(), extra.size());
}

void ArchiveWriter::endEntry(const CentralRecord& record)
{
    if (!m_zip64Local && (record.size >= kMax32 || record.compressedSize >= kMax32)) {
        throw EngineError(ZIP_MSG_INTERNAL, record.name + ": grew past 4 GiB while it was stored");
    }
    if (record.flags & kFlagDataDescriptor) {
        std::string d;
        appendU32(d, kDataDescriptorSig);
        appendU32(d, record.crc);
        if (m_zip64Local) {
            appendU64(d, record.compressedSize);
            appendU64(d, record.size);
        } else {
            appendU32(d, static_cast<std::uint32_t>(record.compressedSize));
            appendU32(d, static_cast<std::uint32_t>(record.size));
        }
        m_out.write(d.data(), d.size());
    } else if (!m_known) {
        std::uint8_t fields[12];
        putU32(fields, record.crc);
        putU32(fields + 4, m_zip64Local ? kMax32 : static_cast<std::uint32_t>(record.compressedSize));
        putU32(fields + 8, m_zip64Local ? kMax32 : static_cast<std::uint32_t>(record.size));
        m_out.patch(record.localOffset + local::kCrc32, fields, sizeof fields);
        if (m_zip64Local) {
            std::uint8_t sizes[16];
            putU64(sizes, record.size);
            putU64(sizes + 8, record.compressedSize);
            const std::uint64_t at = record.localOffset + local::kSize + record.name.size() + kExtraHeaderSize;
            m_out.patch(at, sizes, sizeof sizes);
        }
    }
    m_written.push_back({record.localOffset, kNewEntry | m_newHeaders.size()});
    ++m_entryCount;
    appendCentral(m_newHeaders, record);
}

void ArchiveWriter::copyRun(const ExistingArchive& from, std::size_t first, std::size_t count)
{
    if (m_from != nullptr && m_from != &from) {
        throw EngineError(ZIP_MSG_INTERNAL, "entries of two archives were to be copied into one");
    }
    const std::size_t entries = from.entries().size();
    if (first > entries || count > entries - first || first + count > std::size_t{UINT32_MAX}) {
        throw EngineError(ZIP_MSG_INTERNAL, "entries the archive does not hold were to be copied");
    }
    m_from = &from;
    for (std::size_t i = first; i < first + count; ++i) {
        copyEntry(static_cast<std::uint32_t>(i));
    }
}

void ArchiveWriter::copyEntry(std::uint32_t index)
{
    std::uint64_t start = 0, length = 0;
    m_from->localSpan(m_from->entries()[index], start, length);
    if (m_copyLength > 0 && start != m_copyStart + m_copyLength) {
        flushCopies();
    }
    if (m_copyLength == 0) {
        m_copyStart = start;
    }
    // Where the entry lands, as a shift of where it was: entries that follow one another in both
    // archives share it, and one record stands for them all.
    const std::uint64_t shift = m_out.offset() + m_copyLength - start;
    if (!m_written.empty()) {
        Written& last = m_written.back();
        const std::uint64_t count = last.ref >> 32;
        if (!(last.ref & kNewEntry) && last.offset == shift && (last.ref & 0xFFFFFFFFu) + count == index &&
            count < kMaxRun) {
            last.ref += std::uint64_t{1} << 32;
            m_copyLength += length;
            ++m_entryCount;
            return;
        }
    }
    m_written.push_back({shift, (std::uint64_t{1} << 32) | index});
    m_copyLength += length;
    ++m_entryCount;
}

void ArchiveWriter::flushCopies()
{
    if (m_copyLength > 0) {
        const std::uint64_t length = m_copyLength;
        m_copyLength = 0;
        m_from->copyTo(m_out, m_copyStart, length);
    }
}

void ArchiveWriter::finish(const std::string& comment)
{
    flushCopies();
    const std::uint64_t centralStart = m_out.offset();
    CentralRecord copied;
    std::string header;
    for (const Written& written : m_written) {
        if (written.ref & kNewEntry) {
            const std::size_t at = static_cast<std::size_t>(written.ref & ~kNewEntry);
            const auto* h = reinterpret_cast<const std::uint8_t*>(m_newHeaders.data()) + at;
            const std::size_t length = central::kSize + std::size_t{getU16(h + central::kNameLength)} +
                                       getU16(h + central::kExtraLength) + getU16(h + central::kCommentLength);
            m_out.write(h, length);
            continue;
        }
        const std::uint64_t first = written.ref & 0xFFFFFFFFu;
        for (std::uint64_t i = first; i < first + (written.ref >> 32); ++i) {
            recordOf(*m_from, m_from->entries()[static_cast<std::size_t>(i)], copied);
            copied.localOffset += written.offset; // modulo 2^64, as the shift was taken
            header.clear();
            appendCentral(header, copied);
            m_out.write(header.data(), header.size());
        }
    }
    const std::uint64_t centralSize = m_out.offset() - centralStart;
    const std::uint64_t count = m_entryCount;
    if (count >= kMax16 || centralSize >= kMax32 || centralStart >= kMax32) {
        const std::uint64_t recordStart = m_out.offset();
        std::uint8_t z[zip64end::kSize];
        putU32(z + zip64end::kSignature, kZip64EndRecordSig);
        putU64(z + zip64end::kRecordSize, zip64end::kSize - 12);
        putU16(z + zip64end::kVersionMadeBy, kMadeBy);
        putU16(z + zip64end::kVersionNeeded, kVersionZip64);
        putU32(z + zip64end::kDiskNumber, 0);
        putU32(z + zip64end::kCentralDisk, 0);
        putU64(z + zip64end::kEntriesOnDisk, count);
        putU64(z + zip64end::kEntriesTotal, count);
        putU64(z + zip64end::kCentralSize, centralSize);
        putU64(z + zip64end::kCentralOffset, centralStart);
        m_out.write(z, sizeof z);
        std::uint8_t l[zip64loc::kSize];
        putU32(l + zip64loc::kSignature, kZip64LocatorSig);
        putU32(l + zip64loc::kEndDisk, 0);
        putU64(l + zip64loc::kEndOffset, recordStart);
        putU32(l + zip64loc::kTotalDisks, 1);
        m_out.write(l, sizeof l);
    }
    const std::string kept = comment.substr(0, endrec::kMaxComment);
    const auto count16 = static_cast<std::uint16_t>(std::min<std::uint64_t>(count, kMax16));
    std::uint8_t e[endrec::kSize];
    putU32(e + endrec::kSignature, kEndRecordSig);
    putU16(e + endrec::kDiskNumber, 0);
    putU16(e + endrec::kCentralDisk, 0);
    putU16(e + endrec::kEntriesOnDisk, count16);
    putU16(e + endrec::kEntriesTotal, count16);
    putU32(e + endrec::kCentralSize, cap32(centralSize));
    putU32(e + endrec::kCentralOffset, cap32(centralStart));
    putU16(e + endrec::kCommentLength, static_cast<std::uint16_t>(kept.size()));
    m_out.write(e, sizeof e);
    m_out.write(kept.data(), kept.size());
}

} // namespace zipengine
