#include "EntryReader.h"

#include "ArchiveReader.h"
#include "EngineError.h"
#include "FileLayer.h"
#include "TraditionalCrypto.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace zipengine {

using namespace zipfmt;

namespace {

// Input and output steps of streamed entries: large enough that the system calls and callbacks
// cost little beside inflating, small beside the engine's memory budget.
constexpr std::size_t kStreamIn = 256u << 10;
constexpr std::size_t kStreamOut = 1u << 20;
// Bounds of the read-ahead window; reads larger than half the largest go to the file directly.
constexpr std::size_t kWindowMin = 64u << 10;
constexpr std::size_t kWindowMax = 4u << 20;

// NTFS times extra field (written by some archivers instead of the extended timestamp): 4 reserved
// bytes, then tagged attributes; tag 1 holds modification, access and creation times as 100 ns
// ticks since 1601.
constexpr std::uint16_t kExtraNtfs = 0x000A;
constexpr std::uint16_t kNtfsTimesTag = 1;
constexpr std::size_t kNtfsTimesSize = 24;
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;

constexpr std::uint32_t kUnixTypeMask = 0170000;
constexpr std::uint32_t kUnixLink = 0120000;
constexpr std::uint32_t kUnixDirectory = 0040000;
constexpr std::uint16_t kMethodAes = 99;

bool ntfsTime(const zipdir::CentralHeader& header, std::int64_t& out)
{
    const ByteView field = findExtra(header.extra, kExtraNtfs);
    std::size_t at = 4;
    std::uint16_t tag = 0;
    std::uint16_t size = 0;
    while (field.u16(at, tag) && field.u16(at + 2, size) && field.has(at + 4, size)) {
        std::uint64_t ticks = 0;
        if (tag == kNtfsTimesTag && size >= kNtfsTimesSize && field.u64(at + 4, ticks)) {
            out = static_cast<std::int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
            return true;
        }
        at += 4u + size;
    }
    return false;
}

std::string sizeText(std::uint64_t value)
{
    return std::to_string(value) + " bytes";
}

} // namespace

std::int64_t entryModTime(const zipdir::CentralHeader& header)
{
    std::int64_t seconds = 0;
    if (entryUtcTime(header, seconds) || ntfsTime(header, seconds)) {
        return seconds;
    }
    return entryTime(header);
}

EntryReader::EntryReader(const std::string& path, bool dropCache) : m_path(path)
{
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        throw ArchiveUnreadable(ZIP_ENTRY_READ_FAILED, "cannot open " + path + ": " + errnoText(errno));
    }
    auto fail = [this](ZipEntryResult code, const std::string& why) {
        close(m_fd);
        m_fd = -1;
        throw ArchiveUnreadable(code, why);
    };
    auto damaged = [&](const std::string& why) {
        fail(ZIP_ENTRY_ARCHIVE, m_path + " is not a readable zip archive: " + why);
    };
    struct stat st;
    if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        fail(ZIP_ENTRY_ARCHIVE, path + " is not a regular file");
    }
    m_fileSize = static_cast<std::uint64_t>(st.st_size);
    if (dropCache) {
        // Pages still dirty cannot be dropped: write them out first. Both are hints the system may
        // ignore (and does, on some file systems); the read then still checks what the system gives.
        fdatasync(m_fd);
        posix_fadvise(m_fd, 0, 0, POSIX_FADV_DONTNEED);
    }
    zipdir::FileSource source(m_fd, m_fileSize);
    zipdir::EndRecord end;
    switch (zipdir::findEndRecord(source, end)) {
    case zipdir::EndFault::None:
        break;
    case zipdir::EndFault::ReadFailed:
        fail(ZIP_ENTRY_READ_FAILED, "cannot read " + path + ": " + errnoText(source.error()));
        break;
    case zipdir::EndFault::NoEndRecord:
        damaged(m_fileSize == 0 ? "the file is empty" : "no end of central directory record");
        break;
    }
    if (end.zip64 == zipdir::Zip64State::Broken) {
        damaged("ZIP64 end record not found");
    }
    if (end.otherVolume() || end.thisDisk != 0 || end.entriesOnDisk != end.entries) {
        damaged("one volume of a split archive (split archives are not read)");
    }
    if (!end.directoryFits) {
        damaged("the central directory does not fit in the file");
    }
    if (end.entries > end.centralSize / central::kSize) {
        damaged("entry count larger than the central directory");
    }
    m_directoryStart = end.directoryStart;
    m_shift = static_cast<std::int64_t>(end.directoryStart) - static_cast<std::int64_t>(end.centralOffset);
    m_directory.assign(end.centralSize, '\0');
    if (!source.read(m_directoryStart, m_directory.data(), m_directory.size())) {
        fail(ZIP_ENTRY_READ_FAILED, "cannot read the directory of " + path + ": " + errnoText(source.error()));
    }
    zipdir::CentralWalker walker(ByteView(m_directory.data(), m_directory.size()));
    m_headers.reserve(end.entries);
    for (std::uint64_t i = 0; i < end.entries; ++i) {
        const std::size_t at = walker.position();
        zipdir::CentralHeader h;
        if (walker.next(h) != zipdir::HeaderFault::None) {
            damaged("central directory header " + std::to_string(i + 1) + " is damaged");
        }
        if ((h.zip64Missing & (zipdir::kMissingSize | zipdir::kMissingCompressed | zipdir::kMissingOffset)) != 0) {
            damaged("ZIP64 field missing for " + h.nameText());
        }
        if (h.diskStart != 0) {
            damaged("one volume of a split archive (split archives are not read)");
        }
        m_headers.push_back(at);
    }
    if (walker.position() != m_directory.size()) {
        damaged("the central directory holds more than its entries");
    }
    m_inflater = libdeflate_alloc_decompressor();
    if (m_inflater == nullptr) {
        fail(ZIP_ENTRY_READ_FAILED, "out of memory reading " + path);
    }
}

EntryReader::~EntryReader()
{
    if (m_inflater != nullptr) {
        libdeflate_free_decompressor(m_inflater);
    }
    if (m_fd >= 0) {
        close(m_fd);
    }
}

zipdir::CentralHeader EntryReader::header(std::size_t index) const
{
    zipdir::CentralHeader h;
    const std::size_t at = m_headers[index];
    // Read whole when the archive was opened: cannot fail now.
    zipdir::readCentralHeader(ByteView(m_directory.data() + at, m_directory.size() - at), h);
    return h;
}

void EntryReader::describe(std::size_t index, ZipReadEntry& out)
{
    const zipdir::CentralHeader h = header(index);
    out = ZipReadEntry{};
    m_name = h.nameText();
    out.Name = m_name.c_str();
    out.NameLength = static_cast<std::uint32_t>(m_name.size());
    out.Index = static_cast<std::uint32_t>(index);
    out.Crc = h.crc;
    out.Method = h.method;
    out.Size = h.size;
    out.CompressedSize = h.compressedSize;
    out.ModTime = entryModTime(h);
    out.EntryCount = m_headers.size();
    const std::uint8_t host = static_cast<std::uint8_t>(h.versionMadeBy >> 8);
    const std::uint32_t unixMode = h.externalAttrs >> 16;
    if (host == kHostUnix && unixMode != 0) {
        out.Flags |= ZIP_ENTRY_HAS_MODE;
        out.Mode = unixMode;
        if ((unixMode & kUnixTypeMask) == kUnixLink) {
            out.Flags |= ZIP_ENTRY_SYMLINK;
        }
    }
    const bool slash = !m_name.empty() && (m_name.back() == '/' || m_name.back() == '\\');
    if (slash || (h.externalAttrs & kDosAttrDirectory) != 0 ||
        ((out.Flags & ZIP_ENTRY_HAS_MODE) != 0 && (unixMode & kUnixTypeMask) == kUnixDirectory)) {
        out.Flags |= ZIP_ENTRY_DIRECTORY;
        out.Flags &= ~static_cast<std::uint32_t>(ZIP_ENTRY_SYMLINK);
    }
    if ((h.flags & kFlagEncrypted) != 0) {
        out.Flags |= ZIP_ENTRY_ENCRYPTED;
    }
    if ((h.flags & kFlagUtf8) != 0) {
        out.Flags |= ZIP_ENTRY_UTF8;
    }
}

std::int64_t EntryReader::localHeaderAt(std::size_t index) const
{
    return static_cast<std::int64_t>(header(index).localOffset) + m_shift;
}

void EntryReader::dropCached(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges)
{
    // Pages still dirty cannot be dropped: written out first.
    fdatasync(m_fd);
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::uint64_t page = pageSize > 0 ? static_cast<std::uint64_t>(pageSize) : 4096;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pages;
    for (auto [from, to] : ranges) {
        from -= from % page;
        to = std::min(m_fileSize, to);
        to = std::min(m_fileSize, (to + page - 1) / page * page);
        if (from < to) {
            posix_fadvise(m_fd, static_cast<off_t>(from), static_cast<off_t>(to - from), POSIX_FADV_DONTNEED);
            pages.emplace_back(from, to);
        }
    }
    // Small ranges scattered over the file (the entries an update wrote) are asked from the disk all
    // at once, so their reads overlap instead of each waiting for the one before; the sequential
    // reading of large ones is left to the system's read-ahead.
    for (const auto& [from, to] : pages) {
        if (to - from <= kWindowMin) {
            posix_fadvise(m_fd, static_cast<off_t>(from), static_cast<off_t>(to - from), POSIX_FADV_WILLNEED);
        }
    }
    m_windowFill = 0;
}

bool EntryReader::fillWindow(std::uint64_t offset, std::size_t size, std::string& why)
{
    const bool forward = offset >= m_windowAt && offset - m_windowAt <= m_windowFill + m_windowStep;
    m_windowStep = forward && m_windowStep != 0 ? std::min(m_windowStep * 2, kWindowMax) : kWindowMin;
    const auto step = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max(m_windowStep, size), offset < m_fileSize ? m_fileSize - offset : size));
    if (m_window.size() < step) {
        m_window.resize(step);
    }
    const ssize_t n = readFully(m_fd, m_window.data(), step, offset);
    m_windowAt = offset;
    m_windowFill = n < 0 ? 0 : static_cast<std::size_t>(n);
    if (n < 0) {
        why = "cannot read the archive: " + errnoText(errno);
        return false;
    }
    return true;
}

const std::uint8_t* EntryReader::viewAt(std::uint64_t offset, std::size_t size, std::string& why)
{
    if (offset < m_windowAt || offset - m_windowAt + size > m_windowFill) {
        if (!fillWindow(offset, size, why)) {
            return nullptr;
        }
    }
    const std::size_t from = static_cast<std::size_t>(offset - m_windowAt);
    if (m_windowFill - from < size) {
        why = "the archive ends too early";
        return nullptr;
    }
    return m_window.data() + from;
}

std::uint8_t* EntryReader::Buffer::get(std::size_t size)
{
    if (size > capacity || !bytes) {
        // Not zeroed: every byte used is written first.
        bytes.reset(new std::uint8_t[std::max<std::size_t>(size, 1)]);
        capacity = std::max<std::size_t>(size, 1);
    }
    return bytes.get();
}

bool EntryReader::readAt(std::uint64_t offset, void* out, std::size_t size, std::string& why)
{
    if (size <= kWindowMax / 2) {
        const std::uint8_t* bytes = viewAt(offset, size, why);
        if (bytes != nullptr) {
            std::memcpy(out, bytes, size);
        }
        return bytes != nullptr;
    }
    const ssize_t n = readFully(m_fd, out, size, offset);
    if (n < 0) {
        why = "cannot read the archive: " + errnoText(errno);
        return false;
    }
    if (static_cast<std::size_t>(n) != size) {
        why = "the archive ends too early";
        return false;
    }
    return true;
}

ZipEntryResult EntryReader::locateData(const zipdir::CentralHeader& h, std::uint64_t& dataAt, std::string& why)
{
    const std::int64_t local = static_cast<std::int64_t>(h.localOffset) + m_shift;
    if (local < 0 || static_cast<std::uint64_t>(local) + local::kSize > m_directoryStart) {
        why = "its local header lies outside the archive";
        return ZIP_ENTRY_DAMAGED;
    }
    std::uint8_t fixed[local::kSize];
    if (!readAt(static_cast<std::uint64_t>(local), fixed, sizeof fixed, why)) {
        return ZIP_ENTRY_READ_FAILED;
    }
    if (getU32(fixed + local::kSignature) != kLocalHeaderSig) {
        why = "its local header is missing";
        return ZIP_ENTRY_DAMAGED;
    }
    dataAt = static_cast<std::uint64_t>(local) + local::kSize + getU16(fixed + local::kNameLength) +
             getU16(fixed + local::kExtraLength);
    if (dataAt > m_directoryStart || h.compressedSize > m_directoryStart - dataAt) {
        why = "its data runs past the central directory";
        return ZIP_ENTRY_DAMAGED;
    }
    return ZIP_ENTRY_OK;
}

bool EntryReader::checkLocal(std::size_t index, std::string& why)
{
    const zipdir::CentralHeader h = header(index);
    std::uint64_t dataAt = 0;
    if (locateData(h, dataAt, why) != ZIP_ENTRY_OK) {
        return false;
    }
    const std::uint64_t nameAt =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(h.localOffset) + m_shift) + local::kSize;
    std::string name(h.nameLength, '\0');
    if (!readAt(nameAt, name.data(), name.size(), why)) {
        return false;
    }
    if (name != h.nameText()) {
        why = "its local header names another entry";
        return false;
    }
    return true;
}

// Where an entry's bytes go, with their CRC and count kept for the check at the end.
struct EntryReader::Output
{
    const Sink* sink;
    bool& stopped;
    std::uint32_t crc = 0;
    std::uint64_t produced = 0;

    // False once the sink asked to stop.
    bool deliver(const std::uint8_t* data, std::size_t size)
    {
        crc = static_cast<std::uint32_t>(libdeflate_crc32(crc, data, size));
        produced += size;
        if (sink != nullptr && size > 0 && !(*sink)(data, size)) {
            stopped = true;
        }
        return !stopped;
    }

    ZipEntryResult finish(const zipdir::CentralHeader& h, std::string& why) const
    {
        if (stopped) {
            return ZIP_ENTRY_OK;
        }
        if (produced != h.size) {
            why = "it holds " + sizeText(produced) + ", the directory says " + sizeText(h.size);
            return ZIP_ENTRY_SIZE;
        }
        if (crc != h.crc) {
            why = "its data does not match its CRC";
            return ZIP_ENTRY_CRC;
        }
        return ZIP_ENTRY_OK;
    }
};

ZipEntryResult EntryReader::read(std::size_t index, const std::string& password, const Sink* sink, std::string& why,
                                 bool& stopped)
{
    stopped = false;
    const zipdir::CentralHeader h = header(index);
    if (h.method != kMethodStored && h.method != kMethodDeflated) {
        why = h.method == kMethodAes
                  ? "it is encrypted by a method this program does not read"
                  : "it is compressed by method " + std::to_string(h.method) + ", which this program does not read";
        return ZIP_ENTRY_METHOD;
    }
    std::uint64_t at = 0;
    if (const ZipEntryResult located = locateData(h, at, why); located != ZIP_ENTRY_OK) {
        return located;
    }
    std::uint64_t remaining = h.compressedSize;
    std::unique_ptr<TraditionalCipher> cipher;
    if (const ZipEntryResult opened = openCipher(h, password, at, remaining, cipher, why); opened != ZIP_ENTRY_OK) {
        return opened;
    }
    Output out{sink, stopped};
    ZipEntryResult result = ZIP_ENTRY_OK;
    if (h.method == kMethodStored) {
        result = copyStored(at, remaining, cipher.get(), out, why);
    } else if (remaining <= kWholeEntryLimit && h.size <= kWholeEntryOutLimit) {
        result = inflateWhole(h, at, remaining, cipher.get(), out, why);
    } else {
        result = inflateStreamed(h, at, remaining, cipher.get(), out, why);
    }
    return result != ZIP_ENTRY_OK ? result : out.finish(h, why);
}

ZipEntryResult EntryReader::openCipher(const zipdir::CentralHeader& h, const std::string& password, std::uint64_t& at,
                                       std::uint64_t& remaining, std::unique_ptr<TraditionalCipher>& cipher,
                                       std::string& why)
{
    if ((h.flags & kFlagEncrypted) == 0) {
        return ZIP_ENTRY_OK;
    }
    if (remaining < kTraditionalHeaderSize) {
        why = "its encryption header is cut off";
        return ZIP_ENTRY_DAMAGED;
    }
    if (password.empty()) {
        why = "it is encrypted and no password was given";
        return ZIP_ENTRY_PASSWORD;
    }
    std::uint8_t head[kTraditionalHeaderSize];
    if (!readAt(at, head, sizeof head, why)) {
        return ZIP_ENTRY_READ_FAILED;
    }
    cipher = std::make_unique<TraditionalCipher>(password);
    cipher->decrypt(head, sizeof head);
    // The check byte is the CRC's high byte, or the time's when the sizes follow the data; some
    // writers use the CRC in both cases, so either is taken (the CRC catches a lucky guess).
    const std::uint8_t check = head[kTraditionalHeaderSize - 1];
    if (check != static_cast<std::uint8_t>(h.crc >> 24) &&
        !((h.flags & kFlagDataDescriptor) != 0 && check == static_cast<std::uint8_t>(h.dosTime >> 8))) {
        why = "the password is wrong";
        return ZIP_ENTRY_PASSWORD;
    }
    at += kTraditionalHeaderSize;
    remaining -= kTraditionalHeaderSize;
    return ZIP_ENTRY_OK;
}

ZipEntryResult EntryReader::copyStored(std::uint64_t at, std::uint64_t remaining, TraditionalCipher* cipher,
                                       Output& out, std::string& why)
{
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kStreamOut)));
    while (remaining > 0) {
        const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buffer.size()));
        if (!readAt(at, buffer.data(), step, why)) {
            return ZIP_ENTRY_READ_FAILED;
        }
        if (cipher != nullptr) {
            cipher->decrypt(buffer.data(), step);
        }
        at += step;
        remaining -= step;
        if (!out.deliver(buffer.data(), step)) {
            break;
        }
    }
    return ZIP_ENTRY_OK;
}

ZipEntryResult EntryReader::inflateWhole(const zipdir::CentralHeader& h, std::uint64_t at, std::uint64_t remaining,
                                         TraditionalCipher* cipher, Output& out, std::string& why)
{
    // Inflated straight from the window when nothing needs decrypting in place.
    const auto inSize = static_cast<std::size_t>(remaining);
    const std::uint8_t* in = nullptr;
    if (cipher == nullptr && inSize <= kWindowMax / 2) {
        in = viewAt(at, inSize, why);
    } else if (std::uint8_t* copy = m_in.get(inSize); readAt(at, copy, inSize, why)) {
        if (cipher != nullptr) {
            cipher->decrypt(copy, inSize);
        }
        in = copy;
    }
    if (in == nullptr) {
        return ZIP_ENTRY_READ_FAILED;
    }
    const auto outCapacity = static_cast<std::size_t>(h.size);
    std::uint8_t* inflated = m_out.get(outCapacity);
    std::size_t outSize = 0;
    const libdeflate_result r =
        libdeflate_deflate_decompress_ex(m_inflater, in, inSize, inflated, outCapacity, nullptr, &outSize);
    if (r == LIBDEFLATE_INSUFFICIENT_SPACE) {
        why = "it holds more than the " + sizeText(h.size) + " the directory says";
        return ZIP_ENTRY_SIZE;
    }
    if (r != LIBDEFLATE_SUCCESS) {
        why = "its compressed data is damaged";
        return ZIP_ENTRY_DAMAGED;
    }
    for (std::size_t done = 0; done < outSize;) {
        const std::size_t step = std::min(outSize - done, kStreamOut);
        if (!out.deliver(inflated + done, step)) {
            break;
        }
        done += step;
    }
    return ZIP_ENTRY_OK;
}

ZipEntryResult EntryReader::inflateStreamed(const zipdir::CentralHeader& h, std::uint64_t at, std::uint64_t remaining,
                                            TraditionalCipher* cipher, Output& out, std::string& why)
{
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        why = "out of memory";
        return ZIP_ENTRY_READ_FAILED;
    }
    struct Ender
    {
        z_stream& z;
        ~Ender() { inflateEnd(&z); }
    } ender{z};
    std::vector<std::uint8_t> in(kStreamIn);
    std::vector<std::uint8_t> inflated(kStreamOut);
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (z.avail_in == 0) {
            if (remaining == 0) {
                why = "its compressed data ends too early";
                return ZIP_ENTRY_DAMAGED;
            }
            const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, in.size()));
            if (!readAt(at, in.data(), step, why)) {
                return ZIP_ENTRY_READ_FAILED;
            }
            if (cipher != nullptr) {
                cipher->decrypt(in.data(), step);
            }
            at += step;
            remaining -= step;
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(step);
        }
        z.next_out = inflated.data();
        z.avail_out = static_cast<uInt>(inflated.size());
        status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
            why = "its compressed data is damaged";
            return ZIP_ENTRY_DAMAGED;
        }
        const std::size_t got = inflated.size() - z.avail_out;
        if (out.produced + got > h.size) {
            why = "it holds more than the " + sizeText(h.size) + " the directory says";
            return ZIP_ENTRY_SIZE;
        }
        if (!out.deliver(inflated.data(), got)) {
            break;
        }
    }
    return ZIP_ENTRY_OK;
}

} // namespace zipengine
