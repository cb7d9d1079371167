#include "maskmatch/MaskMatch.h"

#include <cstddef>

namespace {

unsigned char upperAscii(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Matches the set that starts at mask[pos] ("[") against one character. On success `next` is the
// position after the closing "]". A malformed set never matches.
bool matchSet(std::string_view mask, std::size_t pos, unsigned char c, std::size_t& next)
{
    std::size_t i = pos + 1;
    if (i >= mask.size() || mask[i] == '[' || mask[i] == ']') {
        return false;
    }
    bool negate = false;
    if (mask[i] == '^') {
        negate = true;
        ++i;
    }
    bool found = false;
    while (i < mask.size() && mask[i] != ']') {
        const unsigned char low = upperAscii(static_cast<unsigned char>(mask[i]));
        if (i + 2 < mask.size() && mask[i + 1] == '-' && mask[i + 2] != ']') {
            const unsigned char high = upperAscii(static_cast<unsigned char>(mask[i + 2]));
            if (c >= low && c <= high) {
                found = true;
            }
            i += 3;
        } else {
            if (c == low) {
                found = true;
            }
            ++i;
        }
    }
    if (i >= mask.size()) {
        return false; // no closing "]"
    }
    next = i + 1;
    return found != negate;
}

// One non-star element of the mask at `pos` against one name character; sets `next`.
bool matchOne(std::string_view mask, std::size_t pos, unsigned char c, std::size_t& next)
{
    const unsigned char m = static_cast<unsigned char>(mask[pos]);
    if (m == '[') {
        return matchSet(mask, pos, c, next);
    }
    next = pos + 1;
    return m == '?' || upperAscii(m) == c;
}

} // namespace

bool MatchesMask(std::string_view mask, std::string_view name)
{
    // Every element other than "*" consumes exactly one character, so the classic matcher that
    // only remembers the last "*" finds a match whenever one exists, without exponential retries.
    std::size_t m = 0;
    std::size_t n = 0;
    std::size_t starMask = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        std::size_t next = 0;
        if (m < mask.size() && mask[m] == '*') {
            starMask = ++m;
            starName = n;
            continue;
        }
        if (m < mask.size() && matchOne(mask, m, upperAscii(static_cast<unsigned char>(name[n])), next)) {
            m = next;
            ++n;
            continue;
        }
        if (starMask == std::string_view::npos) {
            return false;
        }
        m = starMask;
        n = ++starName;
    }
    while (m < mask.size() && mask[m] == '*') {
        ++m;
    }
    return m == mask.size();
}
