#pragma once
// Builds small zip archives byte by byte for the directory reader's tests: stored entries with a
// chosen host system, flags, extra field and comment; data in front (a stub); ZIP64 records; an
// archive comment and bytes after the end record.

#include "zipformat/ZipRecords.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zipbuild {

struct Entry
{
    Entry() = default;
    Entry(std::string entryName, std::string entryData) : name(std::move(entryName)), data(std::move(entryData)) {}

    std::string name;
    std::string data;
    std::uint8_t host = zipfmt::kHostUnix;
    std::uint8_t version = 20;
    std::uint16_t flags = 0;
    std::string comment;
    // Write the sizes and offset as full 32-bit fields with the real values in a ZIP64 extra field;
    // fakeSize (when not 0) is the uncompressed and compressed size claimed there.
    bool zip64 = false;
    std::uint64_t fakeSize = 0;
    // Bytes after the entry's data that no entry owns.
    std::string gapAfter;
};

struct Options
{
    std::string stub;             // bytes in front of the zip part
    bool offsetsCountStub = true; // false: offsets count from the zip part (a stub glued in front)
    bool zip64End = false;        // write a ZIP64 end record and locator, and full classic fields
    std::string comment;
    std::string trailing; // bytes after the end record and its comment
    // The order of the central headers (entry indexes); empty: the order of the entries.
    std::vector<std::size_t> centralOrder;
};

inline void put16(std::string& out, std::uint16_t v)
{
    std::uint8_t b[2];
    zipfmt::putU16(b, v);
    out.append(reinterpret_cast<const char*>(b), 2);
}
inline void put32(std::string& out, std::uint32_t v)
{
    std::uint8_t b[4];
    zipfmt::putU32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}
inline void put64(std::string& out, std::uint64_t v)
{
    std::uint8_t b[8];
    zipfmt::putU64(b, v);
    out.append(reinterpret_cast<const char*>(b), 8);
}

inline std::uint32_t crc32(const std::string& data)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

inline std::string Build(const std::vector<Entry>& entries, const Options& options = {})
{
    std::string zip;
    const std::uint64_t base = options.offsetsCountStub ? options.stub.size() : 0;
    std::vector<std::uint64_t> offsets;
    for (const Entry& e : entries) {
        offsets.push_back(base + zip.size());
        put32(zip, zipfmt::kLocalHeaderSig);
        put16(zip, 20);
        put16(zip, e.flags);
        put16(zip, zipfmt::kMethodStored);
        put32(zip, 0x5A8C6000); // 2025-04-12 12:00:00
        put32(zip, crc32(e.data));
        put32(zip, static_cast<std::uint32_t>(e.data.size()));
        put32(zip, static_cast<std::uint32_t>(e.data.size()));
        put16(zip, static_cast<std::uint16_t>(e.name.size()));
        put16(zip, 0);
        zip += e.name;
        zip += e.data;
        zip += e.gapAfter;
    }
    const std::uint64_t centralOffset = base + zip.size();
    std::string central;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const std::size_t i = options.centralOrder.empty() ? k : options.centralOrder[k];
        const Entry& e = entries[i];
        const std::uint64_t size = e.fakeSize != 0 ? e.fakeSize : e.data.size();
        std::string extra;
        if (e.zip64) {
            put16(extra, zipfmt::kExtraZip64);
            put16(extra, 24);
            put64(extra, size);
            put64(extra, size);
            put64(extra, offsets[i]);
        }
        put32(central, zipfmt::kCentralHeaderSig);
        put16(central, static_cast<std::uint16_t>((e.host << 8) | e.version));
        put16(central, 20);
        put16(central, e.flags);
        put16(central, zipfmt::kMethodStored);
        put32(central, 0x5A8C6000);
        put32(central, crc32(e.data));
        put32(central, e.zip64 ? zipfmt::kMax32 : static_cast<std::uint32_t>(size));
        put32(central, e.zip64 ? zipfmt::kMax32 : static_cast<std::uint32_t>(size));
        put16(central, static_cast<std::uint16_t>(e.name.size()));
        put16(central, static_cast<std::uint16_t>(extra.size()));
        put16(central, static_cast<std::uint16_t>(e.comment.size()));
        put16(central, 0);
        put16(central, 0);
        put32(central, 0x81A40000); // -rw-r--r--
        put32(central, e.zip64 ? zipfmt::kMax32 : static_cast<std::uint32_t>(offsets[i]));
        central += e.name;
        central += extra;
        central += e.comment;
    }
    zip += central;
    const std::size_t count = entries.size();
    if (options.zip64End) {
        const std::uint64_t zip64Offset = base + zip.size();
        put32(zip, zipfmt::kZip64EndRecordSig);
        put64(zip, zipfmt::zip64end::kSize - 12);
        put16(zip, 45);
        put16(zip, 45);
        put32(zip, 0);
        put32(zip, 0);
        put64(zip, count);
        put64(zip, count);
        put64(zip, central.size());
        put64(zip, centralOffset);
        put32(zip, zipfmt::kZip64LocatorSig);
        put32(zip, 0);
        put64(zip, zip64Offset);
        put32(zip, 1);
    }
    put32(zip, zipfmt::kEndRecordSig);
    put16(zip, 0);
    put16(zip, 0);
    const bool full = options.zip64End;
    put16(zip, full || count > 0xFFFF ? zipfmt::kMax16 : static_cast<std::uint16_t>(count));
    put16(zip, full || count > 0xFFFF ? zipfmt::kMax16 : static_cast<std::uint16_t>(count));
    put32(zip, full ? zipfmt::kMax32 : static_cast<std::uint32_t>(central.size()));
    put32(zip, full ? zipfmt::kMax32 : static_cast<std::uint32_t>(centralOffset));
    put16(zip, static_cast<std::uint16_t>(options.comment.size()));
    zip += options.comment;
    return options.stub + zip + options.trailing;
}

} // namespace zipbuild
