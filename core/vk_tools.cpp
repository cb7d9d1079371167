#include "core/vk_tools.h"

#include <cstddef>

namespace {

// The scrambled form of a byte lives in 0..254 before the complement: sums above 255 wrap by 255.
constexpr int kScrambleModulus = 255;

} // namespace

std::string ScramblePassword(std::string_view password, std::string_view key)
{
    std::string result(password);
    std::size_t k = 0;
    for (char& byte : result) {
        int value = static_cast<unsigned char>(byte);
        if (!key.empty()) {
            value += static_cast<unsigned char>(key[k]);
            if (value > 255) {
                value -= kScrambleModulus;
            }
            k = (k + 1) % key.size();
        }
        byte = static_cast<char>(255 - value);
    }
    return result;
}

std::string UnscramblePassword(std::string_view scrambled, std::string_view key)
{
    std::string result(scrambled);
    std::size_t k = 0;
    for (char& byte : result) {
        int value = 255 - static_cast<unsigned char>(byte);
        if (!key.empty()) {
            value -= static_cast<unsigned char>(key[k]);
            if (value < 0) {
                value += kScrambleModulus;
            }
            k = (k + 1) % key.size();
        }
        byte = static_cast<char>(value);
    }
    return result;
}

std::string StripAmpersands(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != '&') {
            result += c;
        }
    }
    return result;
}

std::string IncludeTrailingPathDelimiter(std::string_view path)
{
    std::string result(path);
    if (!result.empty() && result.back() != kPathDelimiter) {
        result += kPathDelimiter;
    }
    return result;
}

std::string_view TrimBlanks(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlankByte(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlankByte(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

namespace {

// Length of the valid UTF-8 sequence at text[at] (no overlong forms, no surrogates, at most
// U+10FFFF); 0 when the bytes there are not one.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char c = byte(at + i);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

} // namespace

std::string EscapeControls(std::string_view text)
{
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    auto escape = [&out](unsigned char c) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            escape(c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            escape(c);
            ++i;
            continue;
        }
        // U+0080 to U+009F are the C1 controls (0xC2 0x80 to 0xC2 0x9F).
        if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            escape(c);
            escape(static_cast<unsigned char>(text[i + 1]));
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string EscapeControlsByLine(std::string_view text)
{
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        out += EscapeControls(text.substr(start, end - start));
        if (end < text.size()) {
            out += '\n';
        }
        start = end + 1;
    }
    return out;
}
