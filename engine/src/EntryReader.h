#pragma once
// Reading the entries of an archive: the directory through the shared directory reader, then each
// entry's data decrypted, inflated and checked against the CRC-32 and size of its central header.
// Entries up to kWholeEntryLimit are inflated in one piece by libdeflate; larger ones are streamed
// through zlib with bounded memory. Used by the read export and by the read-back of an archive the
// engine has just written.

#include "zipdir/ZipDirectory.h"
#include "zipengine/ZipReadApi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct libdeflate_decompressor;

namespace zipengine {

class TraditionalCipher;

// The archive as a whole cannot be read; code is ZIP_ENTRY_ARCHIVE or ZIP_ENTRY_READ_FAILED.
class ArchiveUnreadable : public std::runtime_error
{
public:
    ArchiveUnreadable(ZipEntryResult code, const std::string& text) : std::runtime_error(text), m_code(code) {}
    ZipEntryResult code() const { return m_code; }

private:
    ZipEntryResult m_code;
};

// Entries whose compressed data is at most this size (and whose data at most kWholeEntryOutLimit)
// are read and inflated in memory; larger ones stream.
constexpr std::uint64_t kWholeEntryLimit = 8u << 20;
constexpr std::uint64_t kWholeEntryOutLimit = 64u << 20;

class EntryReader
{
public:
    // Receives decompressed bytes in order; false stops the reading.
    using Sink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

    // Opens the archive and reads its whole directory. With dropCache the file is synced and its
    // cached pages dropped first, so what follows reads the disk. Raises ArchiveUnreadable.
    EntryReader(const std::string& path, bool dropCache);
    ~EntryReader();
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;

    std::size_t count() const { return m_headers.size(); }
    // The central header of entry `index` (views into this reader's copy of the directory).
    zipdir::CentralHeader header(std::size_t index) const;
    // Fills `out` for entry `index`; out.Name points into this reader until the next describe().
    void describe(std::size_t index, ZipReadEntry& out);

    // Reads entry `index`, handing its bytes to `sink` when given. Returns ZIP_ENTRY_OK, or the
    // failure with `why` describing it (without the archive's name). Returns ZIP_ENTRY_OK with
    // `stopped` set when the sink answered false.
    ZipEntryResult read(std::size_t index, const std::string& password, const Sink* sink, std::string& why,
                        bool& stopped);
    // Checks that the local header of entry `index` is where the directory says and names the same
    // entry; false with `why` otherwise.
    bool checkLocal(std::size_t index, std::string& why);
    // Where the entry's data starts in the file; false with `why` when its local header is damaged.
    bool dataOffset(std::size_t index, std::uint64_t& at, std::string& why)
    {
        return locateData(header(index), at, why) == ZIP_ENTRY_OK;
    }
    // Where the entry's central header lies in the file.
    std::uint64_t centralHeaderAt(std::size_t index) const { return m_directoryStart + m_headers[index]; }

    // Where the local header of entry `index` lies in the file, as its central header says.
    std::int64_t localHeaderAt(std::size_t index) const;
    // Where the central directory starts in the file.
    std::uint64_t directoryStart() const { return m_directoryStart; }
    // Syncs the file and drops its cached pages in the ranges [from, to) (widened to whole pages),
    // so that reads there come from the disk. Hints the system may ignore.
    void dropCached(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges);

private:
    // `size` bytes at `offset` in the window (at most half its largest size); null with `why`.
    const std::uint8_t* viewAt(std::uint64_t offset, std::size_t size, std::string& why);
    bool readAt(std::uint64_t offset, void* out, std::size_t size, std::string& why);
    bool fillWindow(std::uint64_t offset, std::size_t size, std::string& why);
    ZipEntryResult locateData(const zipdir::CentralHeader& h, std::uint64_t& dataAt, std::string& why);

    // The steps of read(): the encryption header checked against the password (`at` and `remaining`
    // then past it; no cipher for an entry that is not encrypted), and the data copied, inflated in
    // one piece or inflated as a stream into `out`.
    struct Output;
    ZipEntryResult openCipher(const zipdir::CentralHeader& h, const std::string& password, std::uint64_t& at,
                              std::uint64_t& remaining, std::unique_ptr<TraditionalCipher>& cipher, std::string& why);
    ZipEntryResult copyStored(std::uint64_t at, std::uint64_t remaining, TraditionalCipher* cipher, Output& out,
                              std::string& why);
    ZipEntryResult inflateWhole(const zipdir::CentralHeader& h, std::uint64_t at, std::uint64_t remaining,
                                TraditionalCipher* cipher, Output& out, std::string& why);
    ZipEntryResult inflateStreamed(const zipdir::CentralHeader& h, std::uint64_t at, std::uint64_t remaining,
                                   TraditionalCipher* cipher, Output& out, std::string& why);

    std::string m_path;
    int m_fd = -1;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_directoryStart = 0;
    std::int64_t m_shift = 0; // added to stated offsets: data in front that the offsets do not count
    std::string m_directory;
    std::vector<std::size_t> m_headers;
    std::string m_name;
    libdeflate_decompressor* m_inflater = nullptr;
    // Small reads are served from a window of the file read ahead of them. The window grows while
    // the reads go forward (headers and data of entries in file order become a few large reads) and
    // shrinks again when they jump back.
    std::vector<std::uint8_t> m_window;
    std::uint64_t m_windowAt = 0;
    std::size_t m_windowFill = 0;
    std::size_t m_windowStep = 0;
    // Kept from entry to entry: the compressed data of entries read in one piece (when it is not
    // read in place from the window) and their inflated data.
    struct Buffer
    {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t capacity = 0;
        std::uint8_t* get(std::size_t size);
    };
    Buffer m_in;
    Buffer m_out;
};

// Seconds since the epoch of the entry's modification time: the extended timestamp, else the NTFS
// times field, else the MS-DOS local time.
std::int64_t entryModTime(const zipdir::CentralHeader& header);

} // namespace zipengine
