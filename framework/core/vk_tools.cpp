#include "framework/core/vk_tools.h"

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
