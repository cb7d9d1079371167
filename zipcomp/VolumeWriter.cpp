// Copying an archive onto a volume set: its central directory read and checked, each entry copied
// with its local header, then the directory and the end records rewritten for the volumes.
#include "zipcomp/VolumeWriter.h"

#include "core/PosixIo.h"
#include "pathrules/PathRules.h"
#include "zipcomp/ZipMessages.h"
#include "zipdir/ZipDirectory.h"
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

constexpr std::size_t kCopyChunk = 8192;

std::uint8_t* bytesOf(std::string& s)
{
    return reinterpret_cast<std::uint8_t*>(s.data());
}

} // namespace

// One archive entry as read from the central directory before copying, and where its local header
// went on the volumes.
struct VolumeWriter::Entry
{
    std::uint64_t sourceOffset = 0; // of its local header in the source
    std::uint64_t compressed = 0;   // its data's size (the central directory's value is always right)
    std::size_t header = 0;         // where its central header starts in the directory
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
    std::string directory; // the central directory as read
    std::vector<Entry> table;
    std::map<std::uint64_t, std::size_t> byOffset;
};

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
            Fail(zipmsg::kVolumeOpenFailed, true, m_host.Text(zipmsg::kVolumeOpenFailed) + " " + source);
        }
        m_sourceTime = static_cast<std::int64_t>(st.st_mtime);
        m_sourceTimeNs = static_cast<long>(st.st_mtim.tv_nsec);
        m_sourceSize = static_cast<std::int64_t>(st.st_size);
        m_lastVolumeEstimate = 0;

        Source src;
        ReadCentralDirectory(src);
        if (::lseek(m_sourceFd, 0, SEEK_SET) != 0) {
            Fail(zipmsg::kEndSeekFailed, true);
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
    zipdir::FileSource source(m_sourceFd, static_cast<std::uint64_t>(m_sourceSize));
    zipdir::EndRecord end;
    switch (zipdir::findEndRecord(source, end)) {
    case zipdir::EndFault::None:
        break;
    case zipdir::EndFault::ReadFailed:
        Fail(zipmsg::kEndReadFailed, true);
    case zipdir::EndFault::NoEndRecord:
        Fail(zipmsg::kNoEndRecord, true);
    }
    if (end.zip64 == zipdir::Zip64State::Broken) {
        Fail(zipmsg::kEndReadFailed, true);
    }
    src.entries = end.entries;
    src.centralSize = end.centralSize;
    src.centralOffset = end.centralOffset;
    src.endRecord = end.offset;
    src.commentLength = end.commentLength;
    src.zip64 = end.zip64 == zipdir::Zip64State::Found;
    src.zip64End = end.zip64Offset;
    src.zip64Locator = end.zip64Locator;
    // The volumes are written from the stated offsets: a directory elsewhere cannot be copied.
    if (end.displaced()) {
        Fail(zipmsg::kVolumeWriteError, true,
             m_host.Text(zipmsg::kVolumeWriteError) + "the central directory is not where the end record says");
    }
    src.directory.assign(src.centralSize, '\0');
    if (!source.read(src.centralOffset, src.directory.data(), src.directory.size())) {
        Fail(zipmsg::kCentralHeaderShort, true);
    }
    zipdir::CentralWalker walker(zipfmt::ByteView(src.directory.data(), src.directory.size()));
    src.table.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(src.entries, src.directory.size() / zipfmt::central::kSize)));
    for (std::uint64_t i = 0; i < src.entries; ++i) {
        Entry e;
        e.header = walker.position();
        zipdir::CentralHeader h;
        switch (walker.next(h)) {
        case zipdir::HeaderFault::None:
            break;
        case zipdir::HeaderFault::Short:
            Fail(zipmsg::kCentralHeaderShort, true);
        case zipdir::HeaderFault::Signature:
            Fail(zipmsg::kCentralHeaderSignature, true);
        case zipdir::HeaderFault::NameShort:
        case zipdir::HeaderFault::ExtraShort:
        case zipdir::HeaderFault::CommentShort:
            Fail(zipmsg::kCentralNameShort, true);
        }
        // The data's size and the local header's place are needed to copy the entry.
        if ((h.zip64Missing & (zipdir::kMissingCompressed | zipdir::kMissingOffset)) != 0) {
            Fail(zipmsg::kCentralExtraShort, true);
        }
        e.name = h.nameText();
        e.compressed = h.compressedSize;
        e.sourceOffset = h.localOffset;
        if (!src.byOffset.emplace(e.sourceOffset, src.table.size()).second) {
            Fail(zipmsg::kVolumeWriteError, true,
                 m_host.Text(zipmsg::kVolumeWriteError) + "two central directory entries share one local header");
        }
        src.table.push_back(std::move(e));
    }
}

void VolumeWriter::CopyEntries(Source& src)
{
    const std::string prefix = m_host.Text(zipmsg::kCopyPrefix);
    std::uint64_t position = 0;
    for (std::uint64_t i = 0; i < src.entries; ++i) {
        std::string header(zipfmt::local::kSize, '\0');
        ReadSource(header.data(), header.size(), zipmsg::kLocalHeaderShort);
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
            Fail(zipmsg::kLocalHeaderSignature, true);
        }
        std::string name(nameLength, '\0');
        ReadSource(name.data(), name.size(), zipmsg::kLocalNameShort);
        std::string extra(extraLength, '\0');
        ReadSource(extra.data(), extra.size(), zipmsg::kLocalExtraShort);

        // The entry is found by its header's position: names may differ only in case, or repeat.
        auto it = src.byOffset.find(position);
        if (it == src.byOffset.end() || src.table[it->second].name != name) {
            Fail(zipmsg::kNoLocalHeader, true, m_host.Text(zipmsg::kNoLocalHeader) + " " + name);
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
        CopyFromSource(entry.compressed, zipmsg::kDataShort);
        std::uint64_t descriptorSize = 0;
        if (hasDescriptor) {
            // The descriptor's signature is optional; its sizes are 64-bit for ZIP64 entries.
            const bool zip64 =
                zipfmt::findExtra(zipfmt::ByteView(extra.data(), extra.size()), zipfmt::kExtraZip64).data() != nullptr;
            std::uint8_t first[4];
            ReadSource(first, sizeof first, zipmsg::kDescriptorShort);
            const bool signed_ = zipfmt::getU32(first) == zipfmt::kDataDescriptorSig;
            descriptorSize = (zip64 ? zipfmt::descriptor::kSize64 : zipfmt::descriptor::kSize) - (signed_ ? 0 : 4);
            WriteToVolumes(first, sizeof first, 0);
            CopyFromSource(descriptorSize - 4, zipmsg::kDescriptorShort);
        }
        position += headerSize + entry.compressed + descriptorSize;
    }
}

void VolumeWriter::CopyCentralDirectory(Source& src)
{
    const std::string directoryName = m_host.Text(zipmsg::kCentralDirectoryName);
    if (m_host.HasMessageHandler()) {
        m_host.ReportMessage(m_host.Text(zipmsg::kCopyPrefix) + directoryName);
    }
    if (m_host.HasProgressHandler()) {
        m_host.ReportProgress(Progress::NewFile, directoryName,
                              static_cast<std::int64_t>(src.centralSize + src.commentLength + zipfmt::endrec::kSize));
    }
    const zipfmt::ByteView directory(src.directory.data(), src.directory.size());
    int centralDisk = -1;
    std::uint64_t centralOffset = 0;
    for (std::uint64_t i = 0; i < src.entries; ++i) {
        const Entry& entry = src.table[static_cast<std::size_t>(i)];
        // Read and checked with the whole directory before anything was written.
        zipdir::CentralHeader h;
        zipdir::readCentralHeader(directory.sub(entry.header, directory.size() - entry.header), h);
        std::string record(src.directory, entry.header, h.recordSize());
        if (entry.volume < 0) {
            Fail(zipmsg::kNoLocalHeader, true, m_host.Text(zipmsg::kNoLocalHeader) + " " + entry.name);
        }
        std::uint8_t* p = bytesOf(record);
        if (h.zip64DiskAt != zipdir::CentralHeader::npos) {
            zipfmt::putU32(p + h.zip64DiskAt, static_cast<std::uint32_t>(entry.volume));
        } else if (entry.volume >= zipfmt::kMax16) {
            Fail(zipmsg::kVolumeWriteError, true,
                 m_host.Text(zipmsg::kVolumeWriteError) + "too many volumes for the archive's records");
        } else {
            zipfmt::putU16(p + zipfmt::central::kDiskStart, static_cast<std::uint16_t>(entry.volume));
        }
        if (h.zip64OffsetAt != zipdir::CentralHeader::npos) {
            zipfmt::putU64(p + h.zip64OffsetAt, entry.volumeOffset);
        } else if (entry.volumeOffset >= zipfmt::kMax32) {
            Fail(zipmsg::kVolumeWriteError, true,
                 m_host.Text(zipmsg::kVolumeWriteError) + "a volume offset passes 4 GiB");
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
            Fail(zipmsg::kEndReadFailed, true);
        }
    }
    std::string end(zipfmt::endrec::kSize, '\0');
    if (::lseek(m_sourceFd, static_cast<off_t>(src.endRecord), SEEK_SET) < 0) {
        Fail(zipmsg::kEndSeekFailed, true);
    }
    ReadSource(end.data(), end.size(), zipmsg::kEndSeekFailed);
    std::string comment(src.commentLength, '\0');
    ReadSource(comment.data(), comment.size(), zipmsg::kArchiveCommentShort);
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
        Fail(zipmsg::kVolumeWriteError, true,
             m_host.Text(zipmsg::kVolumeWriteError) + "too many volumes for the archive's records");
    }
    zipfmt::putU16(e + zipfmt::endrec::kDiskNumber, static_cast<std::uint16_t>(m_volume));
    zipfmt::putU16(e + zipfmt::endrec::kCentralDisk, static_cast<std::uint16_t>(centralDisk));
    if (zipfmt::getU32(e + zipfmt::endrec::kCentralOffset) != zipfmt::kMax32) {
        if (centralOffset >= zipfmt::kMax32) {
            Fail(zipmsg::kVolumeWriteError, true,
                 m_host.Text(zipmsg::kVolumeWriteError) + "a volume offset passes 4 GiB");
        }
        zipfmt::putU32(e + zipfmt::endrec::kCentralOffset, static_cast<std::uint32_t>(centralOffset));
    }
    WriteToVolumes(records.data(), records.size(), records.size());
}

} // namespace volumes
