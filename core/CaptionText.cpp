#include "core/CaptionText.h"

#include "core/PosixIo.h"
#include "core/Utf8.h"

#include <array>

namespace {

// Windows-1252 characters 0x80 to 0x9F; the rest of the code page is Latin-1. Undefined bytes
// become themselves, as the platform's converter does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

} // namespace

std::string DecodeCaptionBytes(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
    }
    return out;
}

std::vector<std::string> SplitCaptionLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

void TCaptionEntries::SetLines(const std::vector<std::string>& lines)
{
    m_values.clear();
    for (const std::string& line : lines) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            m_values.emplace(lowerAscii(std::string_view(line).substr(0, equals)), line.substr(equals + 1));
        }
    }
}

bool TCaptionEntries::LoadFromFile(const std::string& fileName)
{
    std::string bytes;
    if (!ReadWholeFile(fileName, bytes)) {
        return false;
    }
    SetLines(SplitCaptionLines(DecodeCaptionBytes(bytes)));
    return true;
}

std::string TCaptionEntries::Value(std::string_view name) const
{
    const auto found = m_values.find(lowerAscii(name));
    return found == m_values.end() ? std::string() : found->second;
}

void ApplyNumberedStrings(const TCaptionEntries& entries, TvkStringList& strings)
{
    strings.Reset();
    for (int number = 0; number < strings.Count(); ++number) {
        std::string value = entries.Value("strings." + std::to_string(number));
        if (!value.empty()) {
            strings.Set(number, std::move(value));
        }
    }
}
