// Fuzz target of the file-name matcher. The input is split into a mask and a name; the matcher's
// answer is compared with a slow but obviously correct reference (backtracking with a memo table),
// and a few properties every mask must keep are checked.

#include "maskmatch/MaskMatch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Longer inputs only run the matcher itself: the reference is quadratic in memory.
constexpr std::size_t kReferenceLimit = 300;

unsigned char upper(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 32) : u;
}

class ReferenceMatcher
{
public:
    ReferenceMatcher(std::string_view mask, std::string_view name)
        : m_mask(mask), m_name(name), m_memo((mask.size() + 1) * (name.size() + 1), kUnknown)
    {
    }

    bool matches() { return at(0, 0); }

private:
    static constexpr signed char kUnknown = -1;

    // A set at m_mask[pos] == '[' against one name character: 1 match, 0 no match, -1 malformed.
    // `end` receives the position after the closing bracket.
    int set(std::size_t pos, unsigned char c, std::size_t& end) const
    {
        std::size_t i = pos + 1;
        if (i == m_mask.size() || m_mask[i] == '[' || m_mask[i] == ']') {
            return -1;
        }
        const bool negated = m_mask[i] == '^';
        if (negated) {
            ++i;
        }
        bool hit = false;
        for (; i < m_mask.size() && m_mask[i] != ']'; ++i) {
            const bool range = i + 2 < m_mask.size() && m_mask[i + 1] == '-' && m_mask[i + 2] != ']';
            if (range) {
                hit = hit || (c >= upper(m_mask[i]) && c <= upper(m_mask[i + 2]));
                i += 2;
            } else {
                hit = hit || c == upper(m_mask[i]);
            }
        }
        if (i == m_mask.size()) {
            return -1;
        }
        end = i + 1;
        return hit != negated ? 1 : 0;
    }

    bool at(std::size_t m, std::size_t n)
    {
        signed char& memo = m_memo[m * (m_name.size() + 1) + n];
        if (memo == kUnknown) {
            memo = compute(m, n) ? 1 : 0;
        }
        return memo == 1;
    }

    bool compute(std::size_t m, std::size_t n)
    {
        if (m == m_mask.size()) {
            return n == m_name.size();
        }
        if (m_mask[m] == '*') {
            for (std::size_t k = n; k <= m_name.size(); ++k) {
                if (at(m + 1, k)) {
                    return true;
                }
            }
            return false;
        }
        if (n == m_name.size()) {
            return false;
        }
        const unsigned char c = upper(m_name[n]);
        if (m_mask[m] == '?') {
            return at(m + 1, n + 1);
        }
        if (m_mask[m] == '[') {
            std::size_t end = 0;
            return set(m, c, end) == 1 && at(end, n + 1);
        }
        return upper(m_mask[m]) == c && at(m + 1, n + 1);
    }

    std::string_view m_mask;
    std::string_view m_name;
    std::vector<signed char> m_memo;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    // First byte: where the mask ends in the rest of the input.
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = rest.empty() ? 0 : data[0] % (rest.size() + 1);
    const std::string_view mask = rest.substr(0, split);
    const std::string_view name = rest.substr(split);

    const bool result = MatchesMask(mask, name);
    if (mask.size() <= kReferenceLimit && name.size() <= kReferenceLimit) {
        if (ReferenceMatcher(mask, name).matches() != result) {
            std::abort();
        }
    }
    // "*" takes every name; a name with its special characters turned into "?" matches itself;
    // a mask and "*" + mask agree whenever the mask matches.
    std::string literal(name);
    for (char& c : literal) {
        if (c == '*' || c == '?' || c == '[') {
            c = '?';
        }
    }
    if (!MatchesMask("*", name) || !MatchesMask(literal, name)) {
        std::abort();
    }
    if (result && !MatchesMask(std::string("*").append(mask), name)) {
        std::abort();
    }
    return 0;
}
