#include "DeflateJoin.h"

#include <zlib.h>

namespace zipengine {

namespace {

// Inflated data is only counted, never kept: it goes through this scratch buffer.
constexpr std::size_t kScratch = 64 * 1024;

class Inflater
{
public:
    Inflater() { m_ok = inflateInit2(&m_z, -15) == Z_OK; }
    ~Inflater()
    {
        if (m_ok) {
            inflateEnd(&m_z);
        }
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    bool ok() const { return m_ok; }
    z_stream& z() { return m_z; }

private:
    z_stream m_z{};
    bool m_ok = false;
};

} // namespace

bool makeJoinable(std::vector<std::uint8_t>& stream, std::uint64_t expectedSize)
{
    if (stream.empty()) {
        return false;
    }
    Inflater inflater;
    if (!inflater.ok()) {
        return false;
    }
    z_stream& z = inflater.z();
    std::uint8_t* const data = stream.data();
    z.next_in = data;
    z.avail_in = static_cast<uInt>(stream.size());
    std::vector<std::uint8_t> scratch(kScratch);
    std::uint64_t produced = 0;

    // The first block's header starts at bit 0 of the first byte.
    bool last = (data[0] & 1) != 0;
    data[0] &= static_cast<std::uint8_t>(~1u);
    for (;;) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        const int rc = inflate(&z, Z_BLOCK);
        produced += scratch.size() - z.avail_out;
        // With Z_BLOCK inflate stops at the boundary after the last block, before the stream's end;
        // anything else (the end included) is a stream this walk does not understand.
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            return false;
        }
        if ((z.data_type & 63) > 7) {
            return false; // more than a byte of bits held back: positions would be wrong
        }
        if (rc == Z_BUF_ERROR && z.avail_in == 0 && !(z.data_type & 128)) {
            return false; // ran out of input inside a block
        }
        if (!(z.data_type & 128)) {
            continue; // not at a block boundary yet
        }
        if (last) {
            break;
        }
        // The next block's header starts right after the used bits of the last byte taken.
        const int unused = z.data_type & 7;
        if (unused != 0) {
            std::uint8_t& byte = data[z.next_in - data - 1];
            const auto mask = static_cast<std::uint8_t>(0x100 >> unused);
            last = (byte & mask) != 0;
            byte &= static_cast<std::uint8_t>(~mask);
        } else {
            if (z.avail_in == 0) {
                return false;
            }
            std::uint8_t& byte = data[z.next_in - data];
            last = (byte & 1) != 0;
            byte &= static_cast<std::uint8_t>(~1u);
        }
    }
    if (produced != expectedSize) {
        return false;
    }
    // Bytes after the last block (none from a well-behaved compressor) are dropped.
    const std::size_t used = static_cast<std::size_t>(z.next_in - data);
    const int unused = z.data_type & 7;
    stream.resize(used);
    if (unused == 0) {
        return true;
    }
    std::uint8_t lastByte = stream.back() & static_cast<std::uint8_t>((0x100 >> unused) - 1);
    stream.pop_back();
    if (unused & 1) {
        // An empty stored block: 3 header bits, padding to the byte, then LEN 0 and NLEN 0xFFFF.
        stream.push_back(lastByte);
        if (unused == 1) {
            stream.push_back(0); // the header's two other bits
        }
        stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFF});
    } else {
        // One to three empty fixed blocks of 10 bits each (header 0,1,0 and the 7-bit end code).
        switch (unused) {
        case 6:
            stream.push_back(lastByte | 0x08);
            lastByte = 0;
            [[fallthrough]];
        case 4:
            stream.push_back(lastByte | 0x20);
            lastByte = 0;
            [[fallthrough]];
        default:
            stream.push_back(lastByte | 0x80);
            stream.push_back(0);
        }
    }
    return true;
}

} // namespace zipengine
