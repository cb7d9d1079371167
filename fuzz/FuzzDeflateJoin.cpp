// Making a deflate stream joinable: the input is taken as a raw deflate stream. Whenever the block
// walk accepts it, the rewritten stream followed by an empty final block must inflate (zlib) to the
// same number of bytes the walk was told; and a stream that zlib inflates completely, with nothing
// after it, must be accepted. A refused stream is left as it was.

#include "DeflateJoin.h"
#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <vector>
#include <zlib.h>

namespace {

// The bytes a complete raw stream inflates to and the input it uses; false when it is not one.
bool inflateSize(const std::vector<std::uint8_t>& stream, std::uint64_t& size, std::size_t& used)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) {
        return false;
    }
    z.next_in = const_cast<std::uint8_t*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    static std::uint8_t scratch[1 << 16];
    int rc = Z_OK;
    size = 0;
    while (rc == Z_OK && size < (64u << 20)) {
        z.next_out = scratch;
        z.avail_out = sizeof scratch;
        rc = inflate(&z, Z_NO_FLUSH);
        size += sizeof scratch - z.avail_out;
        if (rc == Z_BUF_ERROR && z.avail_in == 0) {
            break;
        }
    }
    used = stream.size() - z.avail_in;
    inflateEnd(&z);
    return rc == Z_STREAM_END;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > (1u << 20)) {
        return 0;
    }
    const std::vector<std::uint8_t> input(data, data + size);
    std::uint64_t expected = 0;
    std::size_t used = 0;
    const bool complete = inflateSize(input, expected, used) && used == input.size();
    // Told the size zlib found (or, for what zlib refuses, a size taken from the input's first byte).
    const std::uint64_t told = complete ? expected : data[0];
    std::vector<std::uint8_t> stream = input;
    const bool joined = zipengine::makeJoinable(stream, told);
    if (!joined) {
        check(stream == input); // a refused stream is left as it was
        check(!complete);       // a stream zlib reads completely is accepted
        return 0;
    }
    stream.insert(stream.end(), {0x03, 0x00}); // an empty final block with fixed codes
    std::uint64_t after = 0;
    std::size_t afterUsed = 0;
    // Accepted: a stream of the announced size.
    check(inflateSize(stream, after, afterUsed) && afterUsed == stream.size() && after == told);
    return 0;
}
