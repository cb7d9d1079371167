// Whole deflate streams made joinable, concatenated, and inflated as one stream.

#include "engine/src/DeflateJoin.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <libdeflate.h>
#include <random>
#include <zlib.h>

using zipengine::makeJoinable;

namespace {

std::vector<std::uint8_t> compressWhole(const std::string& data, int level)
{
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    std::vector<std::uint8_t> out(libdeflate_deflate_compress_bound(c, data.size()));
    out.resize(libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

// Inflates a raw deflate stream; empty optional-like flag when it is not one complete stream.
bool inflateAll(const std::vector<std::uint8_t>& stream, std::string& out)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
        return false;
    }
    z.next_in = const_cast<std::uint8_t*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    char buffer[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    const bool complete = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return complete;
}

std::string piece(std::mt19937& gen, std::size_t size)
{
    std::string s(size, '\0');
    const int kind = static_cast<int>(gen() % 3);
    for (auto& c : s) {
        c = kind == 0 ? static_cast<char>(gen()) : kind == 1 ? static_cast<char>('a' + gen() % 4) : 'z';
    }
    return s;
}

// The shape of a stream as zlib sees it, stopping at every block boundary: where the last block
// starts and where the stream ends (bit positions). False when zlib does not inflate it completely to
// `expectedSize` bytes with nothing after it.
bool referenceShape(const std::vector<std::uint8_t>& stream, std::uint64_t expectedSize, zipengine::DeflateShape& shape)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
        return false;
    }
    z.next_in = const_cast<std::uint8_t*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    std::vector<std::uint8_t> scratch(1 << 16);
    std::uint64_t produced = 0;
    std::uint64_t blockStart = 0;
    int rc = Z_OK;
    for (;;) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        rc = inflate(&z, Z_BLOCK);
        produced += scratch.size() - z.avail_out;
        // The bits zlib holds and has not used yet are the lowest six of data_type.
        const std::uint64_t at = static_cast<std::uint64_t>(z.next_in - stream.data()) * 8 - (z.data_type & 63);
        if (rc == Z_STREAM_END) {
            break;
        }
        if (rc != Z_OK && !(rc == Z_BUF_ERROR && z.avail_in > 0)) {
            break;
        }
        // At a boundary: after the last block the stream's bits end here (zlib drops the padding
        // only on its next call); otherwise the next block starts here.
        if (z.data_type & 128) {
            (z.data_type & 64 ? shape.end : blockStart) = at;
        }
    }
    inflateEnd(&z);
    shape.lastBlock = blockStart;
    return rc == Z_STREAM_END && z.avail_in == 0 && produced == expectedSize;
}

} // namespace

TEST(DeflateJoin, joined_pieces_inflate_to_the_whole_input_at_every_level)
{
    std::mt19937 gen(42);
    for (const int level : {1, 6, 9, 12}) {
        for (int round = 0; round < 20; ++round) {
            std::string whole;
            std::vector<std::uint8_t> joined;
            const int pieces = 1 + static_cast<int>(gen() % 5);
            for (int p = 0; p < pieces; ++p) {
                const std::string part = piece(gen, 1 + gen() % 70000);
                whole += part;
                auto stream = compressWhole(part, level);
                if (p + 1 < pieces) {
                    ASSERT_TRUE(makeJoinable(stream, part.size()));
                }
                joined.insert(joined.end(), stream.begin(), stream.end());
            }
            std::string inflated;
            ASSERT_TRUE(inflateAll(joined, inflated)) << "level " << level << " round " << round;
            ASSERT_EQ(inflated, whole);
        }
    }
}

TEST(DeflateJoin, stream_that_does_not_decode_as_announced_is_refused)
{
    const std::string part(5000, 'q');
    auto stream = compressWhole(part, 6);
    auto wrongSize = stream;
    EXPECT_FALSE(makeJoinable(wrongSize, part.size() + 1));
    auto cut = stream;
    cut.resize(cut.size() / 2);
    EXPECT_FALSE(makeJoinable(cut, part.size()));
    std::vector<std::uint8_t> garbage = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(makeJoinable(garbage, 10));
    std::vector<std::uint8_t> empty;
    EXPECT_FALSE(makeJoinable(empty, 0));
}

TEST(DeflateJoin, the_block_walk_finds_what_inflating_finds_on_every_kind_of_block)
{
    std::mt19937 gen(7);
    // zlib streams too: stored blocks (level 0), fixed codes, and a mix of block kinds.
    const auto zlibStream = [](const std::string& data, int level, int strategy) {
        z_stream z{};
        deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy);
        std::vector<std::uint8_t> out(deflateBound(&z, data.size()) + 64);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z.avail_in = static_cast<uInt>(data.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, Z_FINISH);
        out.resize(out.size() - z.avail_out);
        deflateEnd(&z);
        return out;
    };
    int compared = 0;
    for (int round = 0; round < 300; ++round) {
        std::string data;
        const int parts = 1 + static_cast<int>(gen() % 4);
        for (int p = 0; p < parts; ++p) {
            data += piece(gen, gen() % 4 == 0 ? gen() % 40 : gen() % 200000);
        }
        if (data.empty()) {
            data = "x";
        }
        std::vector<std::vector<std::uint8_t>> streams = {
            compressWhole(data, 1 + static_cast<int>(gen() % 12)), zlibStream(data, 0, Z_DEFAULT_STRATEGY),
            zlibStream(data, 6, Z_FIXED), zlibStream(data, 9, Z_DEFAULT_STRATEGY), zlibStream(data, 1, Z_RLE)};
        for (const auto& stream : streams) {
            zipengine::DeflateShape walked;
            zipengine::DeflateShape inflated;
            const bool ok = zipengine::findDeflateShape(stream, data.size(), walked);
            ASSERT_EQ(ok, referenceShape(stream, data.size(), inflated)) << "round " << round;
            if (ok) {
                ASSERT_EQ(walked.lastBlock, inflated.lastBlock) << "round " << round;
                ASSERT_EQ(walked.end, inflated.end) << "round " << round;
                ++compared;
            }
            // One byte changed anywhere: refused, or still a stream of exactly that many bytes.
            auto damaged = stream;
            damaged[gen() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (gen() % 8));
            auto damagedCopy = damaged;
            if (makeJoinable(damaged, data.size())) {
                damaged.insert(damaged.end(), {0x03, 0x00}); // an empty final fixed block
                std::string out;
                ASSERT_TRUE(inflateAll(damaged, out)) << "round " << round;
                ASSERT_EQ(out.size(), data.size());
            } else {
                ASSERT_EQ(damaged, damagedCopy);
            }
        }
    }
    EXPECT_GT(compared, 1400);
}
