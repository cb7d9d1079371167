#include "zipcomp/VolumeWriter.h"

#include "framework/core/PosixIo.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace volumes {

namespace {

// Message numbers of the component's table used here.
constexpr int kMsgCopyPrefix = 10105;
constexpr int kMsgVolumeOpen = 11001;
constexpr int kMsgSetLabel = 11005;
constexpr int kMsgRefused = 11007;
constexpr int kMsgSeek = 11008;
constexpr int kMsgCreate = 11009;
constexpr int kMsgWrite = 11010;
constexpr int kMsgEndRead = 11011;
constexpr int kMsgLocalShort = 11012;
constexpr int kMsgCentralShort = 11013;
constexpr int kMsgLocalSignature = 11014;
constexpr int kMsgCentralSignature = 11015;
constexpr int kMsgLocalName = 11016;
constexpr int kMsgCentralName = 11017;
constexpr int kMsgLocalExtra = 11018;
constexpr int kMsgCentralExtra = 11019;
constexpr int kMsgDescriptor = 11020;
constexpr int kMsgData = 11021;
constexpr int kMsgEntryComment = 11022;
constexpr int kMsgArchiveComment = 11023;
constexpr int kMsgOther = 11024;
constexpr int kMsgUnattended = 11025;
constexpr int kMsgNoLocalHeader = 11026;
constexpr int kMsgNotEnoughSpace = 11032;
constexpr int kMsgInsertDiskOf = 11034;
constexpr int kMsgInDrive = 11035;
constexpr int kMsgNoEndRecord = 11036;
constexpr int kMsgOverwriteFile = 11039;
constexpr int kMsgOverwriteDisk = 11040;
constexpr int kMsgInsertDisk = 11046;
constexpr int kMsgCentralName11047 = 11047;

constexpr std::size_t kCopyChunk = 8192;
constexpr const char* kLabelPrefix = "PKBACK# ";
// Characters 9 to 11 of a label hold the volume number.
constexpr std::size_t kLabelNumberPos = 8;
constexpr std::size_t kLabelNumberLength = 3;

std::uint8_t* bytesOf(std::string& s)
{
    return reinterpret_cast<std::uint8_t*>(s.data());
}

std::string folderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return "./";
    }
    return path.substr(0, slash + 1);
}

// Where the 64-bit fields of a ZIP64 extra field are: each is present only when its fixed field
// is full, in the order uncompressed size, compressed size, local header offset, disk number.
struct Zip64Fields
{
    std::size_t size = std::string::npos;
    std::size_t compressed = std::string::npos;
    std::size_t offset = std::string::npos;
    std::size_t disk = std::string::npos;
};

// Positions (inside `record`) of the ZIP64 fields of the central header at the start of `record`.
Zip64Fields zip64Fields(const std::string& record)
{
    Zip64Fields f;
    zipfmt::ByteView view(record.data(), record.size());
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    std::uint32_t size32 = 0;
    std::uint32_t compressed32 = 0;
    std::uint32_t offset32 = 0;
    std::uint16_t disk16 = 0;
    view.u16(zipfmt::central::kNameLength, nameLength);
    view.u16(zipfmt::central::kExtraLength, extraLength);
    view.u32(zipfmt::central::kSize32, size32);
    view.u32(zipfmt::central::kCompressedSize, compressed32);
    view.u32(zipfmt::central::kLocalHeaderOffset, offset32);
    view.u16(zipfmt::central::kDiskStart, disk16);
    zipfmt::ByteView extra = view.sub(zipfmt::central::kSize + nameLength, extraLength);
    zipfmt::ByteView field = zipfmt::findExtra(extra, zipfmt::kExtraZip64);
    if (field.data() == nullptr) {
        return f;
    }
    const std::size_t base =
        static_cast<std::size_t>(field.data() - reinterpret_cast<const std::uint8_t*>(record.data()));
    std::size_t at = 0;
    auto take = [&](bool full, std::size_t width, std::size_t& out) {
        if (full && field.has(at, width)) {
            out = base + at;
            at += width;
        }
    };
    take(size32 == zipfmt::kMax32, 8, f.size);
    take(compressed32 == zipfmt::kMax32, 8, f.compressed);
    take(offset32 == zipfmt::kMax32, 8, f.offset);
    take(disk16 == zipfmt::kMax16, 4, f.disk);
    return f;
}

} // namespace

// One archive entry as read from the central directory before copying, and where its local header
// went on the volumes.
struct VolumeWriter::Entry
{
    std::uint64_t sourceOffset = 0; // of its local header in the source
    std::uint64_t compressed = 0;   // its data's size (the central directory's value is always right)
    int volume = -1;                // where its local header went
    std::uint64_t volumeOffset = 0;
    std::string name;
};

struct VolumeWriter::Source
{
    std::uint64_t entries = 0;
    std::uint64_t centralOffset = 0;
    std::uint64_t centralSize = 0;
    std::uint64_t endRecord = 0;
    std::uint16_t commentLength = 0;
    bool zip64 = false;
    std::uint64_t zip64End = 0;
    std::uint64_t zip64Locator = 0;
    std::vector<Entry> table;
    std::map<std::uint64_t, std::size_t> byOffset;
};

std::string NumberedVolumeName(const std::string& name, int number)
{
    std::size_t slash = name.rfind('/');
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        dot = name.size();
    }
    // n + 1000 in decimal without its first character: three digits with leading zeros.
    const std::string digits = std::to_string(number + 1000).substr(1);
    return name.substr(0, dot) + digits + name.substr(dot);
}

std::string VolumeLabel(int number)
{
    return kLabelPrefix + std::to_string(number + 1000).substr(1);
}

VolumeWriter::VolumeWriter(IVolumeService& service, IVolumeWriterHost& host, const VolumeWriterSettings& settings)
    : m_service(service), m_host(host), m_settings(settings)
{
}

VolumeWriter::~VolumeWriter()
{
    if (m_out >= 0) {
        ::close(m_out);
    }
    if (m_sourceFd >= 0) {
        ::close(m_sourceFd);
    }
}

void VolumeWriter::Fail(int id, bool showDialog, const std::string& text)
{
    throw EVolumeWriteError(id, showDialog, text.empty() ? m_host.Text(id) : text);
}

void VolumeWriter::ReadSource(void* buffer, std::size_t size, int shortReadId)
{
    std::size_t got = 0;
    if (!ReadFully(m_sourceFd, buffer, size, got) || got != size) {
        Fail(shortReadId, true);
    }
}

void VolumeWriter::CopyFromSource(std::uint64_t size, int shortReadId)
{
    std::string buffer(kCopyChunk, '\0');
    while (size > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, kCopyChunk));
        ReadSource(buffer.data(), n, shortReadId);
        WriteToVolumes(buffer.data(), n, 0);
        size -= n;
    }
}

void VolumeWriter::CopyToVolumes(const std::string& source, const std::string& target)
{
    m_target = target;
    m_driveRoot = m_service.DriveRoot(target);
    m_spaceRoot = folderOf(target);
    m_driveType = m_service.GetDriveType(m_driveRoot);
    m_volume = 0;
    m_free = 0;
    m_onVolume = 0;
    m_newDisk = true;
    m_reportChunks = false;
    m_lastStatusAnswer = DiskAction::Ok;

    try {
        struct stat st
        {
        };
        m_sourceFd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_sourceFd < 0 || ::fstat(m_sourceFd, &st) != 0 || !S_ISREG(st.st_mode)) {
            Fail(kMsgVolumeOpen, true, m_host.Text(kMsgVolumeOpen) + " " + source);
        }
        m_sourceTime = static_cast<std::int64_t>(st.st_mtime);
        m_sourceTimeNs = static_cast<long>(st.st_mtim.tv_nsec);
        m_sourceSize = static_cast<std::int64_t>(st.st_size);
        m_lastVolumeEstimate = 0;

        Source src;
        ReadCentralDirectory(src);
        if (::lseek(m_sourceFd, 0, SEEK_SET) != 0) {
            Fail(kMsgSeek, true);
        }
        std::uint8_t signature[4];
        zipfmt::putU32(signature, zipfmt::kSpanningSig);
        WriteToVolumes(signature, sizeof signature, 0);
        m_reportChunks = true;
        if (m_host.HasProgressHandler()) {
            m_host.ReportProgress(Progress::TotalFiles, "", static_cast<std::int64_t>(src.entries));
            m_host.ReportProgress(Progress::TotalSize, "", m_sourceSize);
        }
        CopyEntries(src);
        CopyCentralDirectory(src);
    } catch (...) {
        Finish();
        throw;
    }
    Finish();
}

void VolumeWriter::Finish()
{
    if (m_host.HasProgressHandler()) {
        m_host.ReportProgress(Progress::EndOfBatch, "", 0);
    }
    CloseVolume();
    if (m_sourceFd >= 0) {
        ::close(m_sourceFd);
        m_sourceFd = -1;
    }
}

void VolumeWriter::ReadCentralDirectory(Source& src)
{
    // The end record is within the last 64 KiB + 22 bytes; the one nearest the end counts.
    const std::uint64_t tailSize =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(m_sourceSize), zipfmt::endrec::kMaxSearch);
    std::string tail(tailSize, '\0');
    if (::lseek(m_sourceFd, static_cast<off_t>(m_sourceSize - static_cast<std::int64_t>(tailSize)), SEEK_SET) < 0) {
        Fail(kMsgSeek, true);
    }
    ReadSource(tail.data(), tail.size(), kMsgEndRead);
    zipfmt::ByteView view(tail.data(), tail.size());
    const std::uint64_t tailStart = static_cast<std::uint64_t>(m_sourceSize) - tailSize;
    bool found = false;
    for (std::size_t pos = tail.size() >= zipfmt::endrec::kSize ? tail.size() - zipfmt::endrec::kSize + 1 : 0;
         pos-- > 0;) {
        std::uint32_t sig = 0;
        if (view.u32(pos, sig) && sig == zipfmt::kEndRecordSig) {
            std::uint16_t entries = 0;
            std::uint32_t size = 0;
            std::uint32_t offset = 0;
            view.u16(pos + zipfmt::endrec::kEntriesTotal, entries);
            view.u32(pos + zipfmt::endrec::kCentralSize, size);
            view.u32(pos + zipfmt::endrec::kCentralOffset, offset);
            view.u16(pos + zipfmt::endrec::kCommentLength, src.commentLength);
            src.entries = entries;
            src.centralSize = size;
            src.centralOffset = offset;
            src.endRecord = tailStart + pos;
            std::uint32_t locatorSig = 0;
            if (pos >= zipfmt::zip64loc::kSize && view.u32(pos - zipfmt::zip64loc::kSize, locatorSig) &&
                locatorSig == zipfmt::kZip64LocatorSig) {
                src.zip64 = true;
                src.zip64Locator = src.endRecord - zipfmt::zip64loc::kSize;
                view.u64(pos - zipfmt::zip64loc::kSize + zipfmt::zip64loc::kEndOffset, src.zip64End);
            }
            found = true;
            break;
        }
    }
    if (!found) {
        Fail(kMsgNoEndRecord, true);
    }
    if (src.zip64) {
        std::string record(zipfmt::zip64end::kSize, '\0');
        std::uint32_t sig = 0;
        if (src.zip64End >= src.zip64Locator ||
            ::pread(m_sourceFd, record.data(), record.size(), static_cast<off_t>(src.zip64End)) !=
                static_cast<ssize_t>(record.size())) {
            Fail(kMsgEndRead, true);
        }
        zipfmt::ByteView z(record.data(), record.size());
        z.u32(0, sig);
        if (sig != zipfmt::kZip64EndRecordSig) {
            Fail(kMsgEndRead, true);
        }
        z.u64(zipfmt::zip64end::kEntriesTotal, src.entries);
        z.u64(zipfmt::zip64end::kCentralSize, src.centralSize);
        z.u64(zipfmt::zip64end::kCentralOffset, src.centralOffset);
    }
    const std::uint64_t directoryEnd = src.zip64 ? src.zip64End : src.endRecord;
    if (src.centralOffset > directoryEnd || src.centralSize != directoryEnd - src.centralOffset) {
        Fail(kMsgOther, true, m_host.Text(kMsgOther) + "the central directory is not where the end record says");
    }
    std::string directory(src.centralSize, '\0');
    if (::pread(m_sourceFd, directory.data(), directory.size(), static_cast<off_t>(src.centralOffset)) !=
        static_cast<ssize_t>(directory.size())) {
        Fail(kMsgCentralShort, true);
    }
    zipfmt::ByteView dir(directory.data(), directory.size());
    std::size_t pos = 0;
    src.table.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(src.entries, directory.size() / zipfmt::central::kSize)));
    for (std::uint64_t i = 0; i < src.entries; ++i) {
        std::uint32_t sig = 0;
        if (!dir.u32(pos, sig) || !dir.has(pos, zipfmt::central::kSize)) {
            Fail(kMsgCentralShort, true);
        }
        if (sig != zipfmt::kCentralHeaderSig) {
            Fail(kMsgCentralSignature, true);
        }
        std::uint16_t nameLength = 0;
        std::uint16_t extraLength = 0;
        std::uint16_t commentLength = 0;
        std::uint32_t compressed32 = 0;
        std::uint32_t offset32 = 0;
        dir.u16(pos + zipfmt::central::kNameLength, nameLength);
        dir.u16(pos + zipfmt::central::kExtraLength, extraLength);
        dir.u16(pos + zipfmt::central::kCommentLength, commentLength);
        dir.u32(pos + zipfmt::central::kCompressedSize, compressed32);
        dir.u32(pos + zipfmt::central::kLocalHeaderOffset, offset32);
        const std::size_t total = zipfmt::central::kSize + nameLength + extraLength + commentLength;
        if (!dir.has(pos, total)) {
            Fail(kMsgCentralName, true);
        }
        Entry e;
        dir.bytes(pos + zipfmt::central::kSize, nameLength, e.name);
        e.compressed = compressed32;
        e.sourceOffset = offset32;
        std::string record(directory, pos, total);
        Zip64Fields f = zip64Fields(record);
        zipfmt::ByteView r(record.data(), record.size());
        if (compressed32 == zipfmt::kMax32 &&
            (f.compressed == std::string::npos || !r.u64(f.compressed, e.compressed))) {
            Fail(kMsgCentralExtra, true);
        }
        if (offset32 == zipfmt::kMax32 && (f.offset == std::string::npos || !r.u64(f.offset, e.sourceOffset))) {
            Fail(kMsgCentralExtra, true);
        }
        if (!src.byOffset.emplace(e.sourceOffset, src.table.size()).second) {
            Fail(kMsgOther, true, m_host.Text(kMsgOther) + "two central directory entries share one local header");
        }
        src.table.push_back(std::move(e));
        pos += total;
    }
}

void VolumeWriter::CopyEntries(Source& src)
{
    const std::string prefix = m_host.Text(kMsgCopyPrefix);
    std::uint64_t position = 0;
    for (std::uint64_t i = 0; i < src.entries; ++i) {
        std::string header(zipfmt::local::kSize, '\0');
        ReadSource(header.data(), header.size(), kMsgLocalShort);
        zipfmt::ByteView h(header.data(), header.size());
        std::uint32_t sig = 0;
        std::uint16_t flags = 0;
        std::uint16_t nameLength = 0;
        std::uint16_t extraLength = 0;
        h.u32(zipfmt::local::kSignature, sig);
        h.u16(zipfmt::local::kFlags, flags);
        h.u16(zipfmt::local::kNameLength, nameLength);
        h.u16(zipfmt::local::kExtraLength, extraLength);
        if (sig != zipfmt::kLocalHeaderSig) {
            Fail(kMsgLocalSignature, true);
        }
        std::string name(nameLength, '\0');
        ReadSource(name.data(), name.size(), kMsgLocalName);
        std::string extra(extraLength, '\0');
        ReadSource(extra.data(), extra.size(), kMsgLocalExtra);

        // The entry is found by its header's position: names may differ only in case, or repeat.
        auto it = src.byOffset.find(position);
        if (it == src.byOffset.end() || src.table[it->second].name != name) {
            Fail(kMsgNoLocalHeader, true, m_host.Text(kMsgNoLocalHeader) + " " + name);
        }
        Entry& entry = src.table[it->second];
        const bool hasDescriptor = (flags & zipfmt::kFlagDataDescriptor) != 0;
        if (m_host.HasMessageHandler()) {
            m_host.ReportMessage(prefix + name);
        }
        const std::size_t headerSize = zipfmt::local::kSize + nameLength + extraLength;
        if (m_host.HasProgressHandler()) {
            m_host.ReportProgress(Progress::NewFile, name,
                                  static_cast<std::int64_t>(headerSize + entry.compressed + (hasDescriptor ? 16 : 0)));
        }
        std::string whole = header + name + extra;
        WriteToVolumes(whole.data(), whole.size(), whole.size());
        entry.volume = m_volume;
        entry.volumeOffset = static_cast<std::uint64_t>(m_onVolume) - whole.size();
        CopyFromSource(entry.compressed, kMsgData);
        std::uint64_t descriptorSize = 0;
        if (hasDescriptor) {
            // The descriptor's signature is optional; its sizes are 64-bit for ZIP64 entries.
            const bool zip64 =
                zipfmt::findExtra(zipfmt::ByteView(extra.data(), extra.size()), zipfmt::kExtraZip64).data() != nullptr;
            std::uint8_t first[4];
            ReadSource(first, sizeof first, kMsgDescriptor);
            const bool signed_ = zipfmt::getU32(first) == zipfmt::kDataDescriptorSig;
            descriptorSize = (zip64 ? zipfmt::descriptor::kSize64 : zipfmt::descriptor::kSize) - (signed_ ? 0 : 4);
            WriteToVolumes(first, sizeof first, 0);
            CopyFromSource(descriptorSize - 4, kMsgDescriptor);
        }
        position += headerSize + entry.compressed + descriptorSize;
    }
}

void VolumeWriter::CopyCentralDirectory(Source& src)
{
    const std::string directoryName = m_host.Text(kMsgCentralName11047);
    if (m_host.HasMessageHandler()) {
        m_host.ReportMessage(m_host.Text(kMsgCopyPrefix) + directoryName);
    }
    if (m_host.HasProgressHandler()) {
        m_host.ReportProgress(Progress::NewFile, directoryName,
                              static_cast<std::int64_t>(src.centralSize + src.commentLength + zipfmt::endrec::kSize));
    }
    if (::lseek(m_sourceFd, static_cast<off_t>(src.centralOffset), SEEK_SET) < 0) {
        Fail(kMsgSeek, true);
    }
    int centralDisk = -1;
    std::uint64_t centralOffset = 0;
    for (std::uint64_t i = 0; i < src.entries; ++i) {
        std::string record(zipfmt::central::kSize, '\0');
        ReadSource(record.data(), record.size(), kMsgCentralShort);
        zipfmt::ByteView h(record.data(), record.size());
        std::uint32_t sig = 0;
        std::uint16_t nameLength = 0;
        std::uint16_t extraLength = 0;
        std::uint16_t commentLength = 0;
        std::uint32_t offset32 = 0;
        h.u32(zipfmt::central::kSignature, sig);
        h.u16(zipfmt::central::kNameLength, nameLength);
        h.u16(zipfmt::central::kExtraLength, extraLength);
        h.u16(zipfmt::central::kCommentLength, commentLength);
        h.u32(zipfmt::central::kLocalHeaderOffset, offset32);
        if (sig != zipfmt::kCentralHeaderSig) {
            Fail(kMsgCentralSignature, true);
        }
        record.resize(zipfmt::central::kSize + nameLength + extraLength + commentLength);
        ReadSource(record.data() + zipfmt::central::kSize, nameLength, kMsgCentralName);
        ReadSource(record.data() + zipfmt::central::kSize + nameLength, extraLength, kMsgCentralExtra);
        ReadSource(record.data() + zipfmt::central::kSize + nameLength + extraLength, commentLength, kMsgEntryComment);

        const Entry& entry = src.table[static_cast<std::size_t>(i)];
        if (entry.volume < 0) {
            Fail(kMsgNoLocalHeader, true, m_host.Text(kMsgNoLocalHeader) + " " + entry.name);
        }
        const Zip64Fields f = zip64Fields(record);
        std::uint8_t* p = bytesOf(record);
        if (f.disk != std::string::npos) {
            zipfmt::putU32(p + f.disk, static_cast<std::uint32_t>(entry.volume));
        } else if (entry.volume >= zipfmt::kMax16) {
            Fail(kMsgOther, true, m_host.Text(kMsgOther) + "too many volumes for the archive's records");
        } else {
            zipfmt::putU16(p + zipfmt::central::kDiskStart, static_cast<std::uint16_t>(entry.volume));
        }
        if (offset32 == zipfmt::kMax32 && f.offset != std::string::npos) {
            zipfmt::putU64(p + f.offset, entry.volumeOffset);
        } else if (entry.volumeOffset >= zipfmt::kMax32) {
            Fail(kMsgOther, true, m_host.Text(kMsgOther) + "a volume offset passes 4 GiB");
        } else {
            zipfmt::putU32(p + zipfmt::central::kLocalHeaderOffset, static_cast<std::uint32_t>(entry.volumeOffset));
        }
        WriteToVolumes(record.data(), record.size(), record.size());
        if (centralDisk < 0) {
            centralDisk = m_volume;
            centralOffset = static_cast<std::uint64_t>(m_onVolume) - record.size();
        }
    }
    WriteEndRecords(src, centralDisk, centralOffset);
}

void VolumeWriter::WriteEndRecords(Source& src, int centralDisk, std::uint64_t centralOffset)
{
    // ZIP64 end record and locator (when the archive has them), end record and comment, kept
    // together on the last volume.
    std::string records;
    std::size_t zip64Size = 0;
    if (src.zip64) {
        zip64Size = static_cast<std::size_t>(src.endRecord - src.zip64End);
        records.resize(zip64Size);
        if (::pread(m_sourceFd, records.data(), zip64Size, static_cast<off_t>(src.zip64End)) !=
            static_cast<ssize_t>(zip64Size)) {
            Fail(kMsgEndRead, true);
        }
    }
    std::string end(zipfmt::endrec::kSize, '\0');
    if (::lseek(m_sourceFd, static_cast<off_t>(src.endRecord), SEEK_SET) < 0) {
        Fail(kMsgSeek, true);
    }
    ReadSource(end.data(), end.size(), kMsgSeek);
    std::string comment(src.commentLength, '\0');
    ReadSource(comment.data(), comment.size(), kMsgArchiveComment);
    records += end + comment;

    EnsureRoom(records.size());
    if (centralDisk < 0) {
        centralDisk = m_volume;
        centralOffset = static_cast<std::uint64_t>(m_onVolume);
    }
    std::uint8_t* p = bytesOf(records);
    if (src.zip64) {
        const std::uint64_t zip64Offset = static_cast<std::uint64_t>(m_onVolume);
        zipfmt::putU32(p + zipfmt::zip64end::kDiskNumber, static_cast<std::uint32_t>(m_volume));
        zipfmt::putU32(p + zipfmt::zip64end::kCentralDisk, static_cast<std::uint32_t>(centralDisk));
        zipfmt::putU64(p + zipfmt::zip64end::kCentralOffset, centralOffset);
        std::uint8_t* locator = p + zip64Size - zipfmt::zip64loc::kSize;
        zipfmt::putU32(locator + zipfmt::zip64loc::kEndDisk, static_cast<std::uint32_t>(m_volume));
        zipfmt::putU64(locator + zipfmt::zip64loc::kEndOffset, zip64Offset);
        zipfmt::putU32(locator + zipfmt::zip64loc::kTotalDisks, static_cast<std::uint32_t>(m_volume + 1));
    }
    std::uint8_t* e = p + zip64Size;
    if (m_volume >= zipfmt::kMax16 || centralDisk >= zipfmt::kMax16) {
        Fail(kMsgOther, true, m_host.Text(kMsgOther) + "too many volumes for the archive's records");
    }
    zipfmt::putU16(e + zipfmt::endrec::kDiskNumber, static_cast<std::uint16_t>(m_volume));
    zipfmt::putU16(e + zipfmt::endrec::kCentralDisk, static_cast<std::uint16_t>(centralDisk));
    if (zipfmt::getU32(e + zipfmt::endrec::kCentralOffset) != zipfmt::kMax32) {
        if (centralOffset >= zipfmt::kMax32) {
            Fail(kMsgOther, true, m_host.Text(kMsgOther) + "a volume offset passes 4 GiB");
        }
        zipfmt::putU32(e + zipfmt::endrec::kCentralOffset, static_cast<std::uint32_t>(centralOffset));
    }
    WriteToVolumes(records.data(), records.size(), records.size());
}

void VolumeWriter::WriteToVolumes(const void* buffer, std::size_t length, std::size_t minRoom)
{
    m_host.ProcessMessages();
    if (m_host.CancelRequested()) {
        Fail(kMsgRefused, false);
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (;;) {
        EnsureRoom(minRoom);
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(length), m_free));
        if (n > 0 && !WriteFully(m_out, bytes, n)) {
            Fail(kMsgWrite, true, m_host.Text(kMsgWrite) + " " + m_outName + ": " + std::strerror(errno));
        }
        m_onVolume += static_cast<std::int64_t>(n);
        m_free -= static_cast<std::int64_t>(n);
        if (m_reportChunks && n > 0 && m_host.HasProgressHandler()) {
            m_host.ReportProgress(Progress::ProgressUpdate, "", static_cast<std::int64_t>(n));
        }
        if (n == length) {
            return;
        }
        // The volume is full: the rest goes to the next one.
        CloseVolume();
        m_free = 0;
        m_onVolume = 0;
        ++m_volume;
        m_newDisk = true;
        bytes += n;
        length -= n;
        minRoom = 0;
    }
}

void VolumeWriter::EnsureRoom(std::size_t minRoom)
{
    for (;;) {
        if (m_out < 0) {
            OpenVolume();
        }
        if (minRoom == 0 || m_free >= static_cast<std::int64_t>(minRoom)) {
            return;
        }
        // A volume that could never hold these bytes, even empty, would make every following
        // volume the same: stop instead of writing empty volumes without end.
        if (m_capacity < static_cast<std::int64_t>(minRoom)) {
            Fail(kMsgOther, true,
                 m_host.Text(kMsgOther) + "a volume of " + std::to_string(m_capacity) +
                     " bytes cannot hold a header of " + std::to_string(minRoom) + " bytes");
        }
        CloseVolume();
        m_free = 0;
        m_onVolume = 0;
        ++m_volume;
        m_newDisk = true;
    }
}

bool VolumeWriter::IsFixed() const
{
    return m_driveType == DriveType::Fixed || m_driveType == DriveType::Network;
}

void VolumeWriter::OpenVolume()
{
    for (;;) {
        AskForVolume();
        const std::string label = VolumeLabel(m_volume + 1);
        if (IsFixed()) {
            m_outName = NumberedVolumeName(m_target, m_volume + 1);
        } else {
            m_outName = m_target;
            if (m_settings.eraseDisks && (!m_host.HasStatusHandler() || m_lastStatusAnswer == DiskAction::Erase)) {
                const int result = m_service.FormatVolume(m_driveRoot, label, m_settings.confirmErase);
                if (result == kFormatCancelled) {
                    Fail(kMsgRefused, false);
                }
                if (result == kFormatFailed) {
                    Fail(kMsgRefused, true);
                }
            }
        }
        struct stat st
        {
        };
        if (::stat(m_outName.c_str(), &st) == 0) {
            if (m_settings.unattended) {
                Fail(kMsgUnattended, true);
            }
            if (!AskOverwrite(static_cast<std::int64_t>(st.st_mtime))) {
                // On a fixed drive no other disk can come: the refusal ends the copy.
                if (IsFixed()) {
                    Fail(kMsgRefused, false);
                }
                m_newDisk = true;
                continue;
            }
        }
        m_out = ::open(m_outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (m_out < 0) {
            Fail(kMsgCreate, true, m_host.Text(kMsgCreate) + " " + m_outName + ": " + std::strerror(errno));
        }
        const DiskSpace space = m_service.QueryDiskSpace(m_spaceRoot);
        m_free = std::max<std::int64_t>(space.freeBytes, 0);
        if (m_settings.maxVolumeSize > 0) {
            m_free = std::min(m_free, m_settings.maxVolumeSize);
        }
        if (m_volume == 0) {
            m_free -= m_settings.keepFreeOnDisk1;
        }
        if (m_free < m_settings.minFreeVolumeSize) {
            ::close(m_out);
            m_out = -1;
            ::unlink(m_outName.c_str());
            if (m_settings.unattended) {
                Fail(kMsgUnattended, true);
            }
            DiskAction action = DiskAction::Ok;
            if (m_host.StatusDisk(m_volume + 1, m_outName, kDiskNotEnoughSpace, action)) {
                m_lastStatusAnswer = action;
                if (action == DiskAction::Cancel) {
                    Fail(kMsgRefused, false);
                }
            } else if (!m_host.AskRetry(m_host.Text(kMsgNotEnoughSpace))) {
                Fail(kMsgRefused, false);
            }
            m_newDisk = true;
            continue;
        }
        if (!IsFixed() && !m_service.SetVolumeLabel(m_driveRoot, label)) {
            Fail(kMsgSetLabel, true);
        }
        m_capacity = m_free;
        m_onVolume = 0;
        return;
    }
}

bool VolumeWriter::AskOverwrite(std::int64_t fileTime)
{
    VolumeInfo info;
    m_service.GetVolumeInfo(m_driveRoot, info);
    int labelNumber = 1;
    if (info.label.size() >= kLabelNumberPos + kLabelNumberLength) {
        const std::string digits = info.label.substr(kLabelNumberPos, kLabelNumberLength);
        if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            labelNumber = std::stoi(digits);
        }
    }
    int status = 0;
    std::string question;
    if (fileTime == m_sourceTime && labelNumber - 1 < m_volume) {
        question = m_host.Text(kMsgOverwriteDisk, static_cast<std::int64_t>(labelNumber));
        status = kDiskPreviousDisk;
    } else {
        question = m_host.Text(kMsgOverwriteFile, m_outName);
        status = kDiskSameFileName;
    }
    const DiskSpace space = m_service.QueryDiskSpace(m_spaceRoot);
    status |= space.totalBytes != space.freeBytes ? kDiskHasFiles : kDiskEmpty;
    DiskAction action = DiskAction::Ok;
    if (m_host.StatusDisk(labelNumber, m_outName, status, action)) {
        m_lastStatusAnswer = action;
        switch (action) {
        case DiskAction::Ok:
        case DiskAction::Erase:
            return true;
        case DiskAction::Reject:
            return false;
        case DiskAction::Cancel:
            break;
        }
        Fail(kMsgRefused, false);
    }
    switch (m_host.AskYesNoCancel(question)) {
    case Answer::Yes:
        return true;
    case Answer::No:
        return false;
    case Answer::Cancel:
        break;
    }
    Fail(kMsgRefused, false);
}

bool VolumeWriter::DriveValid()
{
    VolumeInfo info;
    switch (m_service.GetVolumeInfo(m_driveRoot, info)) {
    case VolumeInfoResult::Ok:
        return m_service.QueryDiskSpace(m_spaceRoot).totalBytes >= 0;
    case VolumeInfoResult::Unformatted:
        return m_settings.eraseDisks;
    case VolumeInfoResult::Failed:
        break;
    }
    return false;
}

void VolumeWriter::AskForVolume()
{
    m_host.ProcessMessages();
    if (IsFixed()) {
        m_newDisk = false;
        return;
    }
    while (m_newDisk || !DriveValid()) {
        if (m_settings.unattended) {
            Fail(kMsgUnattended, true);
        }
        std::int64_t volumeSize = m_service.QueryDiskSpace(m_spaceRoot).totalBytes;
        if (m_settings.maxVolumeSize != 0 && (volumeSize <= 0 || volumeSize > m_settings.maxVolumeSize)) {
            volumeSize = m_settings.maxVolumeSize;
        }
        std::string prompt;
        if (volumeSize > 0) {
            const std::int64_t estimate = (m_sourceSize + m_settings.keepFreeOnDisk1 + 4) / volumeSize;
            m_lastVolumeEstimate = static_cast<int>(std::max<std::int64_t>(m_volume, estimate));
            prompt = m_host.Text(kMsgInsertDiskOf, m_volume + 1, m_lastVolumeEstimate + 1);
        } else {
            prompt = m_host.Text(kMsgInsertDisk, static_cast<std::int64_t>(m_volume + 1));
        }
        prompt += m_host.Text(kMsgInDrive, m_driveRoot);
        bool abort = false;
        if (m_host.GetNextDisk(m_volume + 1, m_lastVolumeEstimate + 1, m_driveRoot, abort)) {
            if (abort) {
                Fail(kMsgRefused, false);
            }
        } else if (!m_service.RequestVolume(m_driveRoot, prompt)) {
            Fail(kMsgRefused, false);
        }
        m_newDisk = false;
    }
}

void VolumeWriter::CloseVolume()
{
    if (m_out < 0) {
        return;
    }
    const struct timespec times[2] = {{static_cast<time_t>(m_sourceTime), m_sourceTimeNs},
                                      {static_cast<time_t>(m_sourceTime), m_sourceTimeNs}};
    ::futimens(m_out, times);
    const int fd = m_out;
    m_out = -1;
    if (::close(fd) != 0) {
        Fail(kMsgWrite, true, m_host.Text(kMsgWrite) + " " + m_outName + ": " + std::strerror(errno));
    }
}

} // namespace volumes
