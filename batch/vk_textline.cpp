#include "batch/vk_textline.h"

#include <algorithm>
#include <utility>

void TTextLine::SetText(std::string_view text)
{
    m_text.assign(text);
    m_pos = 0;
    m_found = false;
    m_hadQuotes = false;
    m_hadOpenBracket = false;
}

bool TTextLine::IsSeparator(char c)
{
    switch (c) {
    case '\t':
    case ' ':
    case '(':
    case ')':
    case ',':
    case ';':
    case '[':
    case ']':
        return true;
    default:
        return false;
    }
}

std::string TTextLine::FirstToken()
{
    m_pos = 0;
    return NextToken();
}

std::string TTextLine::NextToken()
{
    m_found = false;
    m_hadQuotes = false;
    m_hadOpenBracket = false;
    while (m_pos < m_text.size() && IsSeparator(m_text[m_pos])) {
        ++m_pos;
    }
    std::string token;
    bool quoted = false;
    const std::size_t start = m_pos;
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (c == '"') {
            m_hadQuotes = true;
            if (quoted && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"') {
                token += '"';
                m_pos += 2;
                continue;
            }
            quoted = !quoted;
            ++m_pos;
            continue;
        }
        if (!quoted && IsSeparator(c)) {
            m_hadOpenBracket = c == '(' || c == '[';
            break;
        }
        token += c;
        ++m_pos;
    }
    m_found = m_pos > start;
    return token;
}

void BuildMaskList(std::string_view text, std::vector<std::string>& masks, bool complete)
{
    TTextLine line(text);
    for (std::string token = line.FirstToken(); line.Found(); token = line.NextToken()) {
        if (token.empty()) {
            continue;
        }
        if (complete && token.find('.') == std::string::npos) {
            token.insert(0, "*.");
        }
        masks.push_back(std::move(token));
    }
}

std::string JoinMaskList(const std::vector<std::string>& masks)
{
    std::string text;
    for (std::size_t i = 0; i < masks.size(); ++i) {
        if (i > 0) {
            text += ';';
        }
        const std::string& mask = masks[i];
        const bool quote =
            std::any_of(mask.begin(), mask.end(), [](char c) { return c == '"' || TTextLine::IsSeparator(c); });
        if (!quote) {
            text += mask;
            continue;
        }
        text += '"';
        for (const char c : mask) {
            text += c;
            if (c == '"') {
                text += '"';
            }
        }
        text += '"';
    }
    return text;
}
