#pragma once
// Joining complete deflate streams into one. A compressor that only makes whole streams (libdeflate)
// ends each with a block marked final. To let another stream follow, the final mark of the last
// block is cleared and, when that block does not end on a byte boundary, empty non-final blocks are
// appended up to one; the next stream's first block then starts on the next byte, exactly as after
// a sync flush of a streaming deflater. The concatenation of such pieces, ended by an untouched
// stream, is one valid deflate stream.

#include <cstdint>
#include <vector>

namespace zipengine {

// Where the last block of a complete raw deflate stream starts and where the stream's bits end (bit
// positions, counted from the lowest bit of the first byte).
struct DeflateShape
{
    std::uint64_t lastBlock = 0;
    std::uint64_t end = 0;
};

// Walks the blocks of a complete raw deflate stream by decoding its codes without making its output.
// False when it does not decode to exactly `expectedSize` bytes with every distance reaching back
// only into them, when anything follows its last block, or when it is not one the walk knows.
bool findDeflateShape(const std::vector<std::uint8_t>& stream, std::uint64_t expectedSize, DeflateShape& shape);

// Rewrites a complete raw deflate stream in place so that another stream may follow it, finding its
// blocks with findDeflateShape. Returns false when that refuses the stream; it is then left as it was.
bool makeJoinable(std::vector<std::uint8_t>& stream, std::uint64_t expectedSize);

} // namespace zipengine
