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
