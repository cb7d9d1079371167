#include "zipcomp/ZipDirReader.h"

#include "zipcomp/OemCharset.h"
#include "zipcomp/ZipComp.h"
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

bool IsRegularFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

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
    m_zipPath = z.m_zipFileName;

    if (!m_zipPath.empty() && IsRegularFile(m_zipPath)) {
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
        } catch (const std::bad_alloc&) {
            z.ReportMessage(zipmsg::kOutOfMemory, " (" + m_zipPath + ")");
            z.m_zipFileName.clear();
            z.m_stubSize = 0;
        } catch (const std::exception& e) {
            z.ReportMessage(zipmsg::kDirReadError, std::string(e.what()) + " (" + m_zipPath + ")");
            z.m_zipFileName.clear();
            z.m_stubSize = 0;
        }
        m_file.Close();
    }
    if (z.OnDirUpdate) {
        z.OnDirUpdate(z);
    }
}

void ZipDirReader::ReadEntries()
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
    if (m_end.thisDisk != m_end.centralDisk) {
        RequestVolume(static_cast<int>(std::min<std::uint32_t>(m_end.centralDisk, 0xFFFF)));
        m_endOfZipData = m_file.Size();
        position = static_cast<std::int64_t>(std::min<std::uint64_t>(m_end.centralOffset, INT64_MAX));
    } else {
        const std::int64_t directoryEnd = m_end.zip64Position >= 0 ? m_end.zip64Position : z.m_endRecordOffset;
        const std::uint64_t size = m_end.centralSize;
        position =
            size > static_cast<std::uint64_t>(directoryEnd) ? -1 : directoryEnd - static_cast<std::int64_t>(size);
    }

    z.m_stubSize = m_endOfZipData == static_cast<std::int64_t>(zipfmt::endrec::kSize) ? 0 : m_endOfZipData;
    const auto statedOffset = static_cast<std::int64_t>(std::min<std::uint64_t>(m_end.centralOffset, INT64_MAX));
    if (position != statedOffset) {
        z.m_dirDisplaced = true;
        z.ReportMessage(zipmsg::kDirDisplaced, " (" + m_zipPath + ")");
    }
    if (!m_file.Seek(position)) {
        throw EZipComponent(zipmsg::kDirSeekFailed, true);
    }

    // Never reserve more than the directory could hold: the count comes from the file.
    const std::uint64_t plausible = m_end.centralSize / zipfmt::central::kSize;
    z.m_entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>({m_end.totalEntries, plausible, 1u << 20})));

    std::uint8_t header[zipfmt::central::kSize];
    for (std::uint64_t seq = 1; seq <= m_end.totalEntries; ++seq) {
        if (!m_file.ReadExact(header, sizeof header)) {
            if (m_currentVolume >= m_lastVolume) {
                throw EZipComponent(zipmsg::kCentralHeaderShort, true);
            }
            RequestVolume(m_currentVolume + 1);
            if (!m_file.ReadExact(header, sizeof header)) {
                throw EZipComponent(zipmsg::kCentralHeaderShort, true);
            }
        }
        const zipfmt::ByteView h(header, sizeof header);
        std::uint32_t signature = 0;
        h.u32(zipfmt::central::kSignature, signature);
        if (signature != zipfmt::kCentralHeaderSig) {
            throw EZipComponent(zipmsg::kCentralHeaderSignature, true);
        }

        ZipDirEntry entry;
        std::uint16_t madeBy = 0;
        std::uint32_t compressed = 0;
        std::uint32_t uncompressed = 0;
        std::uint16_t diskStart = 0;
        std::uint32_t localOffset = 0;
        h.u16(zipfmt::central::kVersionMadeBy, madeBy);
        entry.MadeByVersion = static_cast<std::uint8_t>(madeBy & 0xFF);
        entry.HostSys = static_cast<std::uint8_t>(madeBy >> 8);
        h.u16(zipfmt::central::kVersionNeeded, entry.ExtrVersion);
        h.u16(zipfmt::central::kFlags, entry.Flag);
        h.u16(zipfmt::central::kMethod, entry.ComprMethod);
        h.u32(zipfmt::central::kTime, entry.DateTime); // time, then date: one 32-bit value
        h.u32(zipfmt::central::kCrc32, entry.CRC32);
        h.u32(zipfmt::central::kCompressedSize, compressed);
        h.u32(zipfmt::central::kSize32, uncompressed);
        h.u16(zipfmt::central::kNameLength, entry.FileNameLength);
        h.u16(zipfmt::central::kExtraLength, entry.ExtraFieldLength);
        h.u16(zipfmt::central::kCommentLength, entry.FileCommentLen);
        h.u16(zipfmt::central::kDiskStart, diskStart);
        h.u16(zipfmt::central::kInternalAttrs, entry.IntFileAttrib);
        h.u32(zipfmt::central::kExternalAttrs, entry.ExtFileAttrib);
        h.u32(zipfmt::central::kLocalHeaderOffset, localOffset);
        entry.CompressedSize = compressed;
        entry.UncompressedSize = uncompressed;
        entry.StartOnDisk = diskStart;
        entry.RelOffLocalHdr = localOffset;
        entry.Encrypted = (entry.Flag & zipfmt::kFlagEncrypted) != 0;

        std::string name;
        if (!m_file.ReadString(entry.FileNameLength, name)) {
            throw EZipComponent(zipmsg::kCentralNameShort, true);
        }
        entry.FileName = ConvertNameCharset(name, entry.HostSys, entry.MadeByVersion, entry.Flag);

        if (entry.ExtraFieldLength > 0) {
            entry.ExtraData.resize(entry.ExtraFieldLength);
            if (!m_file.ReadExact(entry.ExtraData.data(), entry.ExtraData.size())) {
                throw EZipComponent(zipmsg::kDirSeekFailed, true);
            }
            // Values too large for their fixed fields are in the ZIP64 extra field, in this order,
            // each present only when its fixed field is full.
            const zipfmt::ByteView zip64 = zipfmt::findExtra(
                zipfmt::ByteView(entry.ExtraData.data(), entry.ExtraData.size()), zipfmt::kExtraZip64);
            std::size_t at = 0;
            auto take64 = [&](std::uint64_t& value) {
                if (value == zipfmt::kMax32 && zip64.u64(at, value)) {
                    at += 8;
                }
            };
            take64(entry.UncompressedSize);
            take64(entry.CompressedSize);
            take64(entry.RelOffLocalHdr);
            if (diskStart == zipfmt::kMax16) {
                zip64.u32(at, entry.StartOnDisk);
            }
        }

        if (entry.FileCommentLen > 0) {
            std::string comment;
            if (!m_file.ReadString(entry.FileCommentLen, comment)) {
                throw EZipComponent(zipmsg::kEntryCommentShort, true);
            }
            entry.FileComment = ConvertNameCharset(comment, entry.HostSys, entry.MadeByVersion, entry.Flag);
        }

        const std::uint64_t offset = entry.RelOffLocalHdr;
        const bool hasFilePart = !entry.FileName.empty() && entry.FileName.back() != '/';
        if (z.m_useDirOnlyEntries || hasFilePart) {
            z.m_entries.push_back(std::move(entry));
            if (z.OnNewName) {
                z.OnNewName(z, static_cast<int>(std::min<std::uint64_t>(seq, INT32_MAX)), z.m_entries.back());
            }
        } else {
            ++z.m_skippedDirCount;
        }
        if (offset < static_cast<std::uint64_t>(z.m_stubSize)) {
            z.m_stubSize = static_cast<std::int64_t>(offset);
        }
    }
    z.m_stubSize += position - statedOffset;
    // Offsets that contradict the file (a damaged archive) can push the sum outside the data in
    // front of the directory: the stub is never less than nothing nor more than what precedes it.
    z.m_stubSize = std::clamp<std::int64_t>(z.m_stubSize, 0, m_multiVolume ? m_fileSize : position);
}

void ZipDirReader::LocateEndRecord()
{
    namespace er = zipfmt::endrec;
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
    bool found = false;
    if (size >= static_cast<std::int64_t>(er::kSize) && m_file.Seek(size - static_cast<std::int64_t>(er::kSize)) &&
        m_file.ReadExact(m_endRecord, er::kSize) && zipfmt::getU32(m_endRecord) == zipfmt::kEndRecordSig) {
        z.m_endRecordOffset = size - static_cast<std::int64_t>(er::kSize);
        found = true;
        // A comment length here runs past the end of the file: there is no comment to read.
    }
    if (!found) {
        const auto n =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(er::kMaxSearch), size));
        std::vector<std::uint8_t> tail(n);
        if (!m_file.Seek(size - static_cast<std::int64_t>(n))) {
            throw EZipComponent(zipmsg::kEndSeekFailed, true);
        }
        if (!m_file.ReadExact(tail.data(), n)) {
            throw EZipComponent(zipmsg::kEndReadFailed, true);
        }
        for (std::int64_t at = static_cast<std::int64_t>(n) - static_cast<std::int64_t>(er::kSize) - 1; at >= 0; --at) {
            const auto i = static_cast<std::size_t>(at);
            if (tail[i] == 0x50 && tail[i + 1] == 0x4B && tail[i + 2] == 0x05 && tail[i + 3] == 0x06) {
                found = true;
                z.m_endRecordOffset = size - static_cast<std::int64_t>(n) + static_cast<std::int64_t>(i);
                std::memcpy(m_endRecord, tail.data() + i, er::kSize);
                const std::size_t commentLength = zipfmt::getU16(m_endRecord + er::kCommentLength);
                const std::size_t recordEnd = i + er::kSize + commentLength;
                if (recordEnd < n) {
                    const std::size_t extra = n - recordEnd;
                    m_endOfZipData = size - static_cast<std::int64_t>(extra);
                    const bool allZero = std::all_of(tail.begin() + static_cast<std::ptrdiff_t>(recordEnd), tail.end(),
                                                     [](std::uint8_t b) { return b == 0; });
                    if (!(static_cast<std::int64_t>(extra) < kPaddingBlock && size % kPaddingBlock == 0 && allZero)) {
                        z.ReportMessage(zipmsg::kTrailingBytes, " (" + m_volumePath + ")");
                    }
                }
                if (commentLength > 0) {
                    const std::size_t from = i + er::kSize;
                    const std::size_t available = std::min(commentLength, n - from);
                    const auto* begin = reinterpret_cast<const char*>(tail.data() + from);
                    const void* nul = std::memchr(begin, 0, available);
                    const std::size_t length =
                        nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - begin) : available;
                    z.m_archiveComment.assign(begin, length);
                }
                break;
            }
        }
    }
    if (!found) {
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

    const zipfmt::ByteView r(m_endRecord, er::kSize);
    std::uint16_t thisDisk = 0, centralDisk = 0, entries = 0;
    std::uint32_t centralSize = 0, centralOffset = 0;
    r.u16(er::kDiskNumber, thisDisk);
    r.u16(er::kCentralDisk, centralDisk);
    r.u16(er::kEntriesTotal, entries);
    r.u32(er::kCentralSize, centralSize);
    r.u32(er::kCentralOffset, centralOffset);
    m_end = EndInfo{thisDisk, centralDisk, entries, centralSize, centralOffset, -1};
    ReadZip64(m_end);
}

// A ZIP64 end record is used when its locator sits right before the end record and the record is
// found where the locator says, or right before the locator (archives with data in front whose
// offsets do not count it). Its values replace the fields of the end record that are full.
void ZipDirReader::ReadZip64(EndInfo& info)
{
    namespace z64 = zipfmt::zip64end;
    namespace loc = zipfmt::zip64loc;
    const std::int64_t locatorPos = m_zip.m_endRecordOffset - static_cast<std::int64_t>(loc::kSize);
    std::uint8_t locator[loc::kSize];
    if (locatorPos < 0 || !m_file.Seek(locatorPos) || !m_file.ReadExact(locator, sizeof locator) ||
        zipfmt::getU32(locator) != zipfmt::kZip64LocatorSig) {
        return;
    }
    const std::uint64_t stated = zipfmt::getU64(locator + loc::kEndOffset);
    const std::int64_t candidates[2] = {
        stated <= static_cast<std::uint64_t>(locatorPos) ? static_cast<std::int64_t>(stated) : -1,
        locatorPos - static_cast<std::int64_t>(z64::kSize)};
    for (std::int64_t pos : candidates) {
        std::uint8_t record[z64::kSize];
        if (pos < 0 || !m_file.Seek(pos) || !m_file.ReadExact(record, sizeof record)) {
            continue;
        }
        const zipfmt::ByteView v(record, sizeof record);
        std::uint32_t signature = 0;
        std::uint64_t recordSize = 0;
        v.u32(z64::kSignature, signature);
        v.u64(z64::kRecordSize, recordSize);
        // The record must end where the locator begins.
        if (signature != zipfmt::kZip64EndRecordSig || recordSize < z64::kSize - 12 ||
            recordSize > static_cast<std::uint64_t>(locatorPos - pos) ||
            static_cast<std::uint64_t>(locatorPos - pos) != recordSize + 12) {
            continue;
        }
        std::uint32_t thisDisk = 0, centralDisk = 0;
        std::uint64_t entries = 0, size = 0, offset = 0;
        v.u32(z64::kDiskNumber, thisDisk);
        v.u32(z64::kCentralDisk, centralDisk);
        v.u64(z64::kEntriesTotal, entries);
        v.u64(z64::kCentralSize, size);
        v.u64(z64::kCentralOffset, offset);
        if (info.thisDisk == zipfmt::kMax16) {
            info.thisDisk = thisDisk;
        }
        if (info.centralDisk == zipfmt::kMax16) {
            info.centralDisk = centralDisk;
        }
        if (info.totalEntries == zipfmt::kMax16) {
            info.totalEntries = entries;
        }
        if (info.centralSize == zipfmt::kMax32) {
            info.centralSize = size;
        }
        if (info.centralOffset == zipfmt::kMax32) {
            info.centralOffset = offset;
        }
        info.zip64Position = pos;
        return;
    }
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
