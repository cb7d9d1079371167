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

// Rewrites a complete raw deflate stream in place so that another stream may follow it. Walks the
// blocks by decoding the stream's codes without making its output (which also proves that it
// decodes to exactly `expectedSize` bytes, every distance reaching back only into those bytes, and
// that nothing follows the last block). Returns false when the stream does not decode as expected
// or is not one the walk knows; it is then left as it was.
bool makeJoinable(std::vector<std::uint8_t>& stream, std::uint64_t expectedSize);

} // namespace zipengine
