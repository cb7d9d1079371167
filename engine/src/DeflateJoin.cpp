#include "DeflateJoin.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

namespace zipengine {

namespace {

// The blocks of a stream are found by decoding its codes without making the output: only lengths
// are added up. That is a fraction of the work of inflating, which copies every byte of it.

constexpr unsigned kMaxCodeBits = 15;
constexpr std::uint16_t kInvalid = 0xFFFF;

// Bits taken from the stream's bytes, lowest bit first.
class BitReader
{
public:
    BitReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    // False once more bits were taken than the stream holds.
    bool ok() const { return m_taken <= m_size * 8; }
    std::uint64_t position() const { return m_taken; }

    std::uint32_t peek(unsigned count)
    {
        refill(count);
        return static_cast<std::uint32_t>(m_buffer & ((std::uint64_t{1} << count) - 1));
    }
    void skip(unsigned count)
    {
        m_buffer >>= count;
        m_count -= count;
        m_taken += count;
    }
    std::uint32_t take(unsigned count)
    {
        const std::uint32_t value = peek(count);
        skip(count);
        return value;
    }
    // Drops the bits up to the next byte boundary.
    void align() { skip(static_cast<unsigned>((8 - m_taken % 8) % 8)); }
    // Skips whole bytes (after align()); false when the stream is shorter.
    bool skipBytes(std::uint64_t bytes)
    {
        const std::uint64_t at = m_taken / 8 + bytes;
        if (at > m_size) {
            return false;
        }
        m_taken = at * 8;
        m_next = static_cast<std::size_t>(at);
        m_buffer = 0;
        m_count = 0;
        return true;
    }

private:
    // Past the end the stream reads as zero bits; ok() tells whether any of them were used.
    void refill(unsigned count)
    {
        if constexpr (std::endian::native == std::endian::little) {
            if (m_count < count && m_next + 8 <= m_size) {
                // Eight bytes at once; the bits above the whole bytes taken are the stream's next
                // bits too, so loading them again later changes nothing.
                std::uint64_t word;
                std::memcpy(&word, m_data + m_next, sizeof word);
                m_buffer |= word << m_count;
                const unsigned bytes = (63 - m_count) / 8;
                m_next += bytes;
                m_count += bytes * 8;
                return;
            }
        }
        while (m_count < count) {
            const std::uint64_t byte = m_next < m_size ? m_data[m_next] : 0;
            ++m_next;
            m_buffer |= byte << m_count;
            m_count += 8;
        }
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_next = 0; // next byte to load
    std::uint64_t m_buffer = 0;
    unsigned m_count = 0; // bits loaded and not yet taken
    std::uint64_t m_taken = 0;
};

// A prefix code as a table indexed by the next `bits` bits of the stream: each slot holds the symbol
// and the length of its code, or kInvalid where the code has no word.
class PrefixCode
{
public:
    // From the code lengths of symbols 0 to count - 1. False for a code with more words than bits
    // allow, and for an incomplete one, except a lone one-bit word where `loneWord` (literal and
    // distance codes) or no word at all (which fails when used).
    bool build(const std::uint8_t* lengths, unsigned count, bool loneWord)
    {
        std::array<unsigned, kMaxCodeBits + 1> perLength{};
        m_bits = 0;
        for (unsigned s = 0; s < count; ++s) {
            ++perLength[lengths[s]];
            if (lengths[s] > m_bits) {
                m_bits = lengths[s];
            }
        }
        perLength[0] = 0;
        int left = 1;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            left = left * 2 - static_cast<int>(perLength[len]);
            if (left < 0) {
                return false;
            }
        }
        if (left > 0 && m_bits > 0 && !(loneWord && m_bits == 1)) {
            return false;
        }
        std::array<unsigned, kMaxCodeBits + 2> next{};
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            next[len + 1] = (next[len] + perLength[len]) << 1;
        }
        const std::size_t slots = std::size_t{1} << m_bits;
        m_slots.assign(slots, {kInvalid, 0});
        for (unsigned s = 0; s < count; ++s) {
            const unsigned len = lengths[s];
            if (len == 0) {
                continue;
            }
            // Codes are sent from their first bit on, which the table sees as the lowest.
            unsigned code = next[len]++;
            unsigned reversed = 0;
            for (unsigned i = 0; i < len; ++i) {
                reversed = (reversed << 1) | (code & 1);
                code >>= 1;
            }
            for (std::size_t slot = reversed; slot < slots; slot += std::size_t{1} << len) {
                m_slots[slot] = {static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(len)};
            }
        }
        return true;
    }

    // The next symbol, or kInvalid.
    std::uint16_t decode(BitReader& in) const
    {
        if (m_bits == 0) {
            return kInvalid;
        }
        const Slot slot = m_slots[in.peek(m_bits)];
        in.skip(slot.length);
        return slot.symbol;
    }

private:
    struct Slot
    {
        std::uint16_t symbol;
        std::uint16_t length;
    };
    std::vector<Slot> m_slots;
    unsigned m_bits = 0;
};

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint32_t, 30> kDistanceBase = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                                         33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<std::uint8_t, 19> kLengthCodeOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

// Reads the code lengths of a dynamic block and builds its two codes.
bool readDynamicCodes(BitReader& in, PrefixCode& literals, PrefixCode& distances)
{
    const unsigned literalCount = in.take(5) + 257;
    const unsigned distanceCount = in.take(5) + 1;
    const unsigned lengthCodeCount = in.take(4) + 4;
    if (literalCount > 286 || distanceCount > 30) {
        return false;
    }
    std::array<std::uint8_t, 19> lengthCodeLengths{};
    for (unsigned i = 0; i < lengthCodeCount; ++i) {
        lengthCodeLengths[kLengthCodeOrder[i]] = static_cast<std::uint8_t>(in.take(3));
    }
    PrefixCode lengthCode;
    if (!lengthCode.build(lengthCodeLengths.data(), 19, false)) {
        return false;
    }
    std::array<std::uint8_t, 286 + 30> lengths{};
    const unsigned total = literalCount + distanceCount;
    for (unsigned i = 0; i < total;) {
        const std::uint16_t symbol = lengthCode.decode(in);
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        unsigned repeat = 0;
        std::uint8_t value = 0;
        if (symbol == 16) {
            if (i == 0) {
                return false;
            }
            value = lengths[i - 1];
            repeat = 3 + in.take(2);
        } else if (symbol == 17) {
            repeat = 3 + in.take(3);
        } else if (symbol == 18) {
            repeat = 11 + in.take(7);
        } else {
            return false;
        }
        if (i + repeat > total) {
            return false;
        }
        while (repeat-- > 0) {
            lengths[i++] = value;
        }
    }
    if (lengths[256] == 0) {
        return false; // no end code
    }
    return literals.build(lengths.data(), literalCount, true) &&
           distances.build(lengths.data() + literalCount, distanceCount, true);
}

// Walks the codes of one compressed block up to its end code, counting the bytes they make into
// `produced`; false when a code is invalid, a distance reaches before the start or more than
// `expectedSize` bytes would be made.
bool walkCodedBlock(BitReader& in, const PrefixCode& lit, const PrefixCode& dist, std::uint64_t& produced,
                    std::uint64_t expectedSize)
{
    for (;;) {
        const std::uint16_t symbol = lit.decode(in);
        if (symbol < 256) {
            // Every symbol takes bits and makes output, so a stream read past its end ends
            // here at the latest.
            if (++produced > expectedSize) {
                return false;
            }
            continue;
        }
        if (symbol == 256) {
            return true;
        }
        if (symbol > 285) {
            return false; // kInvalid, or a length code that does not exist
        }
        const unsigned l = symbol - 257;
        const std::uint64_t length = kLengthBase[l] + in.take(kLengthExtra[l]);
        const std::uint16_t d = dist.decode(in);
        if (d >= 30) {
            return false;
        }
        const std::uint64_t distance = kDistanceBase[d] + in.take(kDistanceExtra[d]);
        if (distance > produced) {
            return false;
        }
        produced += length;
        if (produced > expectedSize || !in.ok()) {
            return false;
        }
    }
}

} // namespace

bool findDeflateShape(const std::vector<std::uint8_t>& stream, std::uint64_t expectedSize, DeflateShape& shape)
{
    BitReader in(stream.data(), stream.size());
    PrefixCode literals;
    PrefixCode distances;
    PrefixCode fixedLiterals;
    PrefixCode fixedDistances;
    bool fixedReady = false;
    std::uint64_t produced = 0;
    for (;;) {
        shape.lastBlock = in.position();
        const bool last = in.take(1) != 0;
        const unsigned type = in.take(2);
        if (type == 0) {
            in.align();
            const std::uint32_t length = in.take(16);
            const std::uint32_t check = in.take(16);
            if ((length ^ 0xFFFFu) != check || !in.skipBytes(length)) {
                return false;
            }
            produced += length;
        } else {
            const PrefixCode* lit = &literals;
            const PrefixCode* dist = &distances;
            if (type == 1) {
                // The fixed codes, with the two literal and two distance words that no symbol uses
                // (they decode to symbols refused below).
                static const auto fixedLengths = [] {
                    std::array<std::uint8_t, 288 + 32> l{};
                    for (unsigned s = 0; s < 288; ++s) {
                        l[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
                    }
                    for (unsigned s = 288; s < 288 + 32; ++s) {
                        l[s] = 5;
                    }
                    return l;
                }();
                if (!fixedReady) {
                    fixedLiterals.build(fixedLengths.data(), 288, false);
                    fixedDistances.build(fixedLengths.data() + 288, 32, false);
                    fixedReady = true;
                }
                lit = &fixedLiterals;
                dist = &fixedDistances;
            } else if (type != 2 || !readDynamicCodes(in, literals, distances)) {
                return false;
            }
            if (!walkCodedBlock(in, *lit, *dist, produced, expectedSize)) {
                return false;
            }
        }
        if (!in.ok() || produced > expectedSize) {
            return false;
        }
        if (last) {
            break;
        }
    }
    shape.end = in.position();
    // Nothing but the padding of the last byte may follow.
    return produced == expectedSize && (shape.end + 7) / 8 == stream.size();
}

bool makeJoinable(std::vector<std::uint8_t>& stream, std::uint64_t expectedSize)
{
    DeflateShape shape;
    if (stream.empty() || !findDeflateShape(stream, expectedSize, shape)) {
        return false;
    }
    // Clear the final mark: the first bit of the last block's header.
    stream[static_cast<std::size_t>(shape.lastBlock / 8)] &= static_cast<std::uint8_t>(~(1u << (shape.lastBlock % 8)));
    const auto unused = static_cast<int>((8 - shape.end % 8) % 8);
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
