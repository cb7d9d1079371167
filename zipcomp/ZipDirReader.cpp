#include "zipcomp/ZipDirReader.h"

#include "pathrules/PathRules.h"
#include "zipcomp/OemCharset.h"
#include "zipcomp/ZipComp.h"
#include "zipdir/ZipDirectory.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Read buffer of the central directory: large enough that a directory of 100,000 entries takes a
// few hundred reads.
constexpr std::int64_t kReadBuffer = 256 * 1024;
// Zero padding up to a multiple of this many bytes after the end record is not worth a warning.
constexpr std::int64_t kPaddingBlock = 512;
// Label of a volume of a multi-volume set on removable media: this prefix and three digits.
constexpr const char* kSpanLabelPrefix = "PKBACK# ";
constexpr std::size_t kSpanLabelPrefixLength = 8;
// Volume requests asked in a row before giving up on an answer that never fits.
constexpr int kMaxVolumeRequests = 100;

std::string ThreeDigits(int number)
{
    return std::to_string(1000 + (number % 1000)).substr(1);
}

// Number in characters 9 to 11 of a spanned-set label; 0 when there is none.
int LabelVolumeNumber(const std::string& label)
{
    if (label.rfind(kSpanLabelPrefix, 0) != 0 || label.size() < kSpanLabelPrefixLength + 3) {
        return 0;
    }
    int number = 0;
    for (std::size_t i = kSpanLabelPrefixLength; i < kSpanLabelPrefixLength + 3; ++i) {
        if (label[i] < '0' || label[i] > '9') {
            return 0;
        }
        number = number * 10 + (label[i] - '0');
    }
    return number;
}

} // namespace

// ---- ZipVolumeFile -------------------------------------------------------------------------------

bool ZipVolumeFile::Open(const std::string& path)
{
    Close();
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        return false;
    }
    struct stat st
    {
    };
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    m_size = st.st_size;
    m_bufferStart = 0;
    m_bufferUsed = 0;
    m_bufferPos = 0;
    return true;
}

void ZipVolumeFile::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_size = 0;
    m_bufferUsed = 0;
    m_bufferPos = 0;
}

bool ZipVolumeFile::Seek(std::int64_t position)
{
    if (m_fd < 0 || position < 0 || position > m_size) {
        return false;
    }
    if (position >= m_bufferStart && position <= m_bufferStart + static_cast<std::int64_t>(m_bufferUsed)) {
        m_bufferPos = static_cast<std::size_t>(position - m_bufferStart);
    } else {
        m_bufferStart = position;
        m_bufferUsed = 0;
        m_bufferPos = 0;
    }
    return true;
}

bool ZipVolumeFile::Fill()
{
    if (m_buffer.empty()) {
        m_buffer.resize(static_cast<std::size_t>(std::clamp<std::int64_t>(m_size, 1, kReadBuffer)));
    }
    m_bufferStart += static_cast<std::int64_t>(m_bufferPos);
    m_bufferUsed = 0;
    m_bufferPos = 0;
    for (;;) {
        const ssize_t n = ::pread(m_fd, m_buffer.data(), m_buffer.size(), m_bufferStart);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        m_bufferUsed = static_cast<std::size_t>(n);
        return true;
    }
}

std::size_t ZipVolumeFile::Read(void* out, std::size_t count)
{
    auto* dest = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < count && m_fd >= 0) {
        if (m_bufferPos == m_bufferUsed && !Fill()) {
            break;
        }
        const std::size_t n = std::min(count - done, m_bufferUsed - m_bufferPos);
        std::memcpy(dest + done, m_buffer.data() + m_bufferPos, n);
        m_bufferPos += n;
        done += n;
    }
    return done;
}

bool ZipVolumeFile::ReadString(std::size_t count, std::string& out)
{
    out.resize(count);
    const std::size_t n = Read(out.data(), count);
    out.resize(n);
    return n == count;
}

bool ZipVolumeFile::ReadAt(std::int64_t position, void* out, std::size_t count) const
{
    if (m_fd < 0 || position < 0 || position > m_size || count > static_cast<std::uint64_t>(m_size - position)) {
        return false;
    }
    auto* dest = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(m_fd, dest + done, count - done, position + static_cast<std::int64_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// ---- ZipDirReader --------------------------------------------------------------------------------

void TZipComponent::ReadDirectory()
{
    ZipDirReader(*this).Run();
}

void ZipDirReader::Run()
{
    TZipComponent& z = m_zip;
    z.m_entries.clear();
    z.m_archiveComment.clear();
    z.m_stubSize = 0;
    z.m_skippedDirCount = 0;
    z.m_endRecordOffset = 0;
    z.m_dirDisplaced = false;
    z.m_directoryUnreadable = false;
    m_zipPath = z.m_zipFileName;

    if (!m_zipPath.empty() && isRegularFile(m_zipPath)) {
        try {
            ReadEntries();
        } catch (const ESilentStop&) {
            // The user stopped the run while the directory was read: no message, the stop goes on.
            z.m_zipFileName.clear();
            z.m_stubSize = 0;
            m_file.Close();
            throw;
        } catch (const EZipComponent& e) {
            const std::string text = e.what();
            z.ReportError(e, text.find(m_zipPath) == std::string::npos ? " (" + m_zipPath + ")" : std::string());
            z.m_zipFileName.clear();
            z.m_stubSize = 0;
            z.m_directoryUnreadable = true;
        } catch (const std::bad_alloc&) {
            z.ReportMessage(zipmsg::kOutOfMemory, " (" + m_zipPath + ")");
            z.m_zipFileName.clear();
            z.m_stubSize = 0;
            z.m_directoryUnreadable = true;
        } catch (const std::exception& e) {
            z.ReportMessage(zipmsg::kDirReadError, std::string(e.what()) + " (" + m_zipPath + ")");
            z.m_zipFileName.clear();
            z.m_stubSize = 0;
            z.m_directoryUnreadable = true;
        }
        m_file.Close();
    }
    if (z.OnDirUpdate) {
        z.OnDirUpdate(z);
    }
}

std::int64_t ZipDirReader::SeekToDirectory()
{
    TZipComponent& z = m_zip;
    m_volumePath = m_zipPath;
    m_driveRoot = z.m_volumes->DriveRoot(m_zipPath);
    if (!ValidateDrive()) {
        throw EZipComponent(zipmsg::kNoSuchDrive, m_driveRoot);
    }
    LocateEndRecord();

    m_multiVolume = m_multiVolume || m_end.thisDisk > 0;
    m_lastVolume = static_cast<int>(std::min<std::uint32_t>(m_end.thisDisk, 0xFFFF));
    m_currentVolume = m_lastVolume;
    std::int64_t position = 0;
    if (m_end.otherVolume()) {
        RequestVolume(static_cast<int>(std::min<std::uint32_t>(m_end.centralDisk, 0xFFFF)));
        m_endOfZipData = m_file.Size();
        position = static_cast<std::int64_t>(std::min<std::uint64_t>(m_end.centralOffset, INT64_MAX));
    } else {
        position = m_end.directoryFits ? static_cast<std::int64_t>(m_end.directoryStart) : -1;
    }

    z.m_stubSize = m_endOfZipData == static_cast<std::int64_t>(zipfmt::endrec::kSize) ? 0 : m_endOfZipData;
    if (position != StatedDirectoryOffset()) {
        z.m_dirDisplaced = true;
        z.ReportMessage(zipmsg::kDirDisplaced, " (" + m_zipPath + ")");
    }
    if (!m_file.Seek(position)) {
        throw EZipComponent(zipmsg::kDirSeekFailed, true);
    }
    return position;
}

std::int64_t ZipDirReader::StatedDirectoryOffset() const
{
    return static_cast<std::int64_t>(std::min<std::uint64_t>(m_end.centralOffset, INT64_MAX));
}

void ZipDirReader::ReadCentralRecord(std::string& record, zipdir::CentralHeader& h)
{
    record.resize(zipfmt::central::kSize);
    if (!m_file.ReadExact(record.data(), record.size())) {
        if (m_currentVolume >= m_lastVolume) {
            throw EZipComponent(zipmsg::kCentralHeaderShort, true);
        }
        RequestVolume(m_currentVolume + 1);
        if (!m_file.ReadExact(record.data(), record.size())) {
            throw EZipComponent(zipmsg::kCentralHeaderShort, true);
        }
    }
    if (zipdir::readFixedHeader(zipfmt::ByteView(record.data(), record.size()), h) != zipdir::HeaderFault::None) {
        throw EZipComponent(zipmsg::kCentralHeaderSignature, true);
    }
    std::string part;
    if (!m_file.ReadString(h.nameLength, part)) {
        throw EZipComponent(zipmsg::kCentralNameShort, true);
    }
    record += part;
    if (!m_file.ReadString(h.extraLength, part)) {
        throw EZipComponent(zipmsg::kDirSeekFailed, true);
    }
    record += part;
    if (!m_file.ReadString(h.commentLength, part)) {
        throw EZipComponent(zipmsg::kEntryCommentShort, true);
    }
    record += part;
    zipdir::readCentralHeader(zipfmt::ByteView(record.data(), record.size()), h);
}

ZipDirEntry ZipDirReader::MakeEntry(const zipdir::CentralHeader& h) const
{
    ZipDirEntry entry;
    entry.MadeByVersion = static_cast<std::uint8_t>(h.versionMadeBy & 0xFF);
    entry.HostSys = static_cast<std::uint8_t>(h.versionMadeBy >> 8);
    entry.ExtrVersion = h.versionNeeded;
    entry.Flag = h.flags;
    entry.ComprMethod = h.method;
    entry.DateTime = static_cast<std::uint32_t>(h.dosTime) | (static_cast<std::uint32_t>(h.dosDate) << 16);
    entry.CRC32 = h.crc;
    entry.CompressedSize = h.compressedSize;
    entry.UncompressedSize = h.size;
    entry.FileNameLength = h.nameLength;
    entry.ExtraFieldLength = h.extraLength;
    entry.FileCommentLen = h.commentLength;
    entry.StartOnDisk = h.diskStart;
    entry.IntFileAttrib = h.internalAttrs;
    entry.ExtFileAttrib = h.externalAttrs;
    entry.RelOffLocalHdr = h.localOffset;
    entry.Encrypted = (entry.Flag & zipfmt::kFlagEncrypted) != 0;
    entry.FileName = ConvertNameCharset(h.nameText(), entry.HostSys, entry.MadeByVersion, entry.Flag);
    entry.ExtraData.assign(h.extra.data(), h.extra.data() + h.extra.size());
    if (h.commentLength > 0) {
        const std::string comment(reinterpret_cast<const char*>(h.comment.data()), h.comment.size());
        entry.FileComment = ConvertNameCharset(comment, entry.HostSys, entry.MadeByVersion, entry.Flag);
    }
    return entry;
}

void ZipDirReader::ReadEntries()
{
    TZipComponent& z = m_zip;
    const std::int64_t position = SeekToDirectory();

    // Never reserve more than the directory could hold: the count comes from the file.
    const std::uint64_t plausible = m_end.centralSize / zipfmt::central::kSize;
    if (z.m_keepEntries) {
        z.m_entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>({m_end.entries, plausible, 1u << 20})));
    }
    // Nobody looks at the entries (no list kept, no OnNewName): the end records and the first header
    // are checked here, the rest is left to the engine, which reads the whole directory and refuses a
    // damaged one. A volume set is always walked: its volumes are asked for here.
    const bool firstOnly = !z.m_checkEntries && !z.m_keepEntries && !z.OnNewName && !m_multiVolume;

    std::string record;
    for (std::uint64_t seq = 1; seq <= m_end.entries; ++seq) {
        zipdir::CentralHeader h;
        ReadCentralRecord(record, h);
        const ZipDirEntry entry = MakeEntry(h);

        const std::uint64_t offset = entry.RelOffLocalHdr;
        const bool hasFilePart = !entry.FileName.empty() && entry.FileName.back() != '/';
        if (z.m_useDirOnlyEntries || hasFilePart) {
            if (z.m_keepEntries) {
                z.m_entries.push_back(entry);
            }
            if (z.OnNewName) {
                z.OnNewName(z, static_cast<int>(std::min<std::uint64_t>(seq, INT32_MAX)), entry);
            }
        } else {
            ++z.m_skippedDirCount;
        }
        if (offset < static_cast<std::uint64_t>(z.m_stubSize)) {
            z.m_stubSize = static_cast<std::int64_t>(offset);
        }
        if (firstOnly) {
            break;
        }
    }
    z.m_stubSize += position - StatedDirectoryOffset();
    // Offsets that contradict the file (a damaged archive) can push the sum outside the data in
    // front of the directory: the stub is never less than nothing nor more than what precedes it.
    z.m_stubSize = std::clamp<std::int64_t>(z.m_stubSize, 0, m_multiVolume ? m_fileSize : position);
}

namespace {

// The volume file as the shared directory reader sees it: small reads anywhere, past the buffer
// that serves the walk through the directory.
class VolumeFileSource final : public zipdir::ByteSource
{
public:
    explicit VolumeFileSource(const ZipVolumeFile& file) : m_file(file) {}
    std::uint64_t size() const override { return static_cast<std::uint64_t>(m_file.Size()); }
    bool read(std::uint64_t offset, void* out, std::size_t count) override
    {
        return offset <= static_cast<std::uint64_t>(m_file.Size()) &&
               m_file.ReadAt(static_cast<std::int64_t>(offset), out, count);
    }

private:
    const ZipVolumeFile& m_file;
};

} // namespace

void ZipDirReader::LocateEndRecord()
{
    TZipComponent& z = m_zip;
    z.m_archiveComment.clear();
    z.m_endRecordOffset = 0;
    if (!m_file.Open(m_volumePath)) {
        throw EZipComponent(zipmsg::kVolumeOpenFailed, m_volumePath);
    }
    m_labelVolume = LabelVolumeNumber(m_volumeLabel);

    std::uint8_t start[8];
    if (m_file.Seek(0) && m_file.ReadExact(start, sizeof start) && zipfmt::getU32(start) == zipfmt::kSpanningSig &&
        zipfmt::getU32(start + 4) == zipfmt::kLocalHeaderSig) {
        m_firstVolumeOfSet = true;
        m_multiVolume = true;
    }

    const std::int64_t size = m_file.Size();
    m_fileSize = size;
    m_endOfZipData = size;
    VolumeFileSource source(m_file);
    switch (zipdir::findEndRecord(source, m_end)) {
    case zipdir::EndFault::None:
        break;
    case zipdir::EndFault::ReadFailed:
        throw EZipComponent(zipmsg::kEndReadFailed, true);
    case zipdir::EndFault::NoEndRecord:
        if (!m_firstVolumeOfSet && m_labelVolume != 0) {
            throw EZipComponent(zipmsg::kNoEndRecordOtherLabel, static_cast<std::int64_t>(m_labelVolume));
        }
        if (!m_firstVolumeOfSet) {
            throw EZipComponent(zipmsg::kNoEndRecord, true);
        }
        if (m_labelVolume == 1) {
            throw EZipComponent(zipmsg::kNoEndRecordFirstVolume, true);
        }
        throw EZipComponent(zipmsg::kNoEndRecordVolume, true);
    }
    z.m_endRecordOffset = static_cast<std::int64_t>(m_end.offset);
    if (m_end.trailing > 0) {
        m_endOfZipData = static_cast<std::int64_t>(m_end.dataEnd);
        // Zero padding up to a block boundary is what some media and tools add; anything else is
        // worth a warning.
        if (!(m_end.trailing < static_cast<std::uint64_t>(kPaddingBlock) && size % kPaddingBlock == 0 &&
              m_end.trailingAllZero)) {
            z.ReportMessage(zipmsg::kTrailingBytes, " (" + m_volumePath + ")");
        }
    }
    // The comment ends early at a zero byte.
    z.m_archiveComment = m_end.comment.substr(0, m_end.comment.find('\0'));
}

bool ZipDirReader::ValidateDrive()
{
    IVolumeService& volumes = *m_zip.m_volumes;
    m_volumeLabel.clear();
    m_totalBytes = -1;
    if (m_driveRoot.empty() || !volumes.DriveExists(m_driveRoot)) {
        throw EZipComponent(zipmsg::kNoSuchDrive, m_driveRoot);
    }
    VolumeInfo info;
    switch (volumes.GetVolumeInfo(m_driveRoot, info)) {
    case VolumeInfoResult::Ok:
        m_volumeLabel = info.label;
        m_serial = info.serial;
        QueryDiskSpace(3);
        return true;
    case VolumeInfoResult::Unformatted:
        return m_zip.m_addOptions.Has(AddOpt::AddDiskSpanErase);
    case VolumeInfoResult::Failed:
        break;
    }
    return false;
}

void ZipDirReader::QueryDiskSpace(int mode)
{
    const DiskSpace space = m_zip.m_volumes->QueryDiskSpace(m_driveRoot);
    if ((mode & 1) != 0) {
        m_freeBytes = space.freeBytes;
    }
    if ((mode & 2) != 0) {
        m_totalBytes = space.totalBytes;
    }
}

std::string ZipDirReader::VolumeFileName(int number) const
{
    // The three characters before the extension carry the volume number.
    const std::string& path = m_zipPath;
    const auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot < nameStart) {
        dot = path.size();
    }
    const std::size_t digitsStart = dot >= nameStart + 3 ? dot - 3 : nameStart;
    return path.substr(0, digitsStart) + ThreeDigits(number + 1) + path.substr(dot);
}

void ZipDirReader::AskForVolume(int number, bool newDisk)
{
    TZipComponent& z = m_zip;
    IVolumeService& volumes = *z.m_volumes;
    z.ProcessMessages();
    const DriveType type = volumes.GetDriveType(m_driveRoot);
    if (type == DriveType::Fixed || type == DriveType::Network) {
        return;
    }
    int asked = 0;
    while (newDisk || !ValidateDrive()) {
        newDisk = false;
        if (z.m_unattended) {
            throw EZipComponent(zipmsg::kUnattendedQuestion, true);
        }
        if (++asked > kMaxVolumeRequests) {
            throw EZipComponent(zipmsg::kNoVolumeAnswer, true);
        }
        std::string prompt = m_currentVolume < 0 ? z.MessageText(zipmsg::kInsertLastDisk)
                                                 : zipmsg::FormatText(z.MessageText(zipmsg::kInsertDiskOf), number + 1,
                                                                      m_lastVolume + 1);
        prompt += zipmsg::FormatText(z.MessageText(zipmsg::kInDrive), m_driveRoot);
        bool refused = false;
        if (z.OnGetNextDisk) {
            bool abort = false;
            z.OnGetNextDisk(z, number + 1, m_lastVolume + 1, m_driveRoot, abort);
            refused = abort;
        } else {
            refused = !volumes.RequestVolume(m_driveRoot, prompt);
        }
        if (refused) {
            throw EZipComponent(zipmsg::kVolumeRefused, false);
        }
    }
}

void ZipDirReader::RequestVolume(int number)
{
    TZipComponent& z = m_zip;
    m_file.Close();
    m_currentVolume = number;
    const DriveType type = z.m_volumes->GetDriveType(m_driveRoot);
    const bool fixed = type == DriveType::Fixed || type == DriveType::Network;
    const std::string wantedLabel = kSpanLabelPrefix + ThreeDigits(number + 1);
    bool newDisk = !fixed;
    for (int attempt = 0; attempt < kMaxVolumeRequests; ++attempt) {
        AskForVolume(number, newDisk);
        newDisk = true;
        if (!fixed && m_volumeLabel != wantedLabel) {
            continue;
        }
        m_volumePath = fixed ? VolumeFileName(number) : m_zipPath;
        if (m_file.Open(m_volumePath)) {
            return;
        }
        if (fixed) {
            throw EZipComponent(zipmsg::kVolumeOpenFailed, m_volumePath);
        }
        z.ReportError(EZipComponent(zipmsg::kVolumeOpenFailed, m_volumePath));
    }
    throw EZipComponent(zipmsg::kNoVolumeAnswer, true);
}

std::string ZipDirReader::ConvertNameCharset(const std::string& text, std::uint8_t host, std::uint8_t version,
                                             std::uint16_t flags) const
{
    return oem::IsOemText(m_zip.m_codePage, host, version, flags) ? oem::Cp437ToUtf8(text) : text;
}
