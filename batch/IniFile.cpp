#include "batch/IniFile.h"

#include "core/vk_tools.h"

namespace {

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Calls `line` for every line of the text, without its line end, with its number (from 1).
template <typename F> void forEachLine(std::string_view text, F&& line)
{
    std::size_t pos = 0;
    int number = 0;
    while (pos < text.size()) {
        ++number;
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            ++end;
        }
        line(text.substr(pos, end - pos), number);
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
            ++end;
        }
        pos = end + 1;
    }
}

} // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

IniFile IniFile::Parse(std::string_view text)
{
    IniFile file;
    // A byte-order mark would hide the first section's header.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    forEachLine(text, [&file](std::string_view rawLine, int number) {
        const std::string_view line = TrimBlanks(rawLine);
        if (!line.empty() && line.front() == '[') {
            std::string_view name = line.substr(1);
            const std::size_t close = name.rfind(']');
            if (close != std::string_view::npos) {
                name = name.substr(0, close);
            }
            file.m_sections.push_back(Section{std::string(TrimBlanks(name)), {}, {}, number});
            return;
        }
        const std::size_t equals = line.find('=');
        if (file.m_sections.empty() || equals == std::string_view::npos) {
            return;
        }
        const std::string_view key = TrimBlanks(line.substr(0, equals));
        std::string_view value = TrimBlanks(line.substr(equals + 1));
        if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        file.m_sections.back().Values.emplace_back(std::string(key), std::string(value));
        file.m_sections.back().Lines.push_back(number);
    });
    return file;
}

const std::string* IniFile::Find(const Section& section, std::string_view key)
{
    for (const auto& [name, value] : section.Values) {
        if (SameNameIgnoringCase(name, key)) {
            return &value;
        }
    }
    return nullptr;
}

std::string IniFile::ReadString(const Section& section, std::string_view key, const std::string& fallback)
{
    const std::string* value = Find(section, key);
    return value != nullptr ? *value : fallback;
}

bool IniFile::ReadBool(const Section& section, std::string_view key, bool fallback)
{
    const std::string* value = Find(section, key);
    bool nonZero = false;
    if (value == nullptr || !ParseBoolean(*value, nonZero)) {
        return fallback;
    }
    return nonZero;
}

bool IniFile::ParseBoolean(std::string_view text, bool& nonZero)
{
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        text.remove_prefix(1);
    }
    bool hex = false;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        hex = true;
    } else if (!text.empty() && text.front() == '$') {
        text.remove_prefix(1);
        hex = true;
    }
    if (text.empty()) {
        return false;
    }
    bool any = false;
    for (char c : text) {
        const bool digit = hex ? isHexDigit(c) : (c >= '0' && c <= '9');
        if (!digit) {
            return false;
        }
        any = any || c != '0';
    }
    nonZero = any;
    return true;
}
