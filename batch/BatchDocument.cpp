#include "batch/BatchDocument.h"

#include "batch/BatchFile.h"
#include "batch/p_BatchList.h"
#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "core/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

namespace {

std::size_t contentHash(std::string_view bytes)
{
    return std::hash<std::string_view>{}(bytes);
}

void appendLatin1AsUtf8(std::string& out, unsigned char c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Length of the UTF-8 sequence that starts with `lead` (1 for a byte that starts none).
std::size_t sequenceLength(unsigned char lead)
{
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    return lead >= 0xC0 ? 2 : 1;
}

} // namespace

TBatchDocument::TBatchDocument(TpxBatchList& list) : m_list(list) {}

void TBatchDocument::Open(const std::string& fileName)
{
    std::string bytes;
    const bool exists = !fileName.empty() && ReadBatchFile(fileName, bytes);
    m_list.ResetParameters();
    m_list.Clear();
    if (exists) {
        m_list.LoadFromText(bytes);
    }
    m_fileName = fileName;
    m_latin1 = exists && !IsValidUtf8(bytes);
    NoteDiskContent(exists ? &bytes : nullptr);
    if (exists) {
        m_sourceBytes = std::move(bytes);
    } else {
        try {
            m_sourceBytes = ListBytes();
        } catch (const EVorlandError&) {
            m_sourceBytes.clear();
        }
    }
}

void TBatchDocument::New()
{
    m_fileName.clear();
    m_list.Clear();
    m_sourceBytes.clear();
    NoteDiskContent(nullptr);
}

std::string TBatchDocument::ShownText(std::string_view stored) const
{
    if (!m_latin1) {
        return std::string(stored);
    }
    std::string shown;
    shown.reserve(stored.size());
    for (const char c : stored) {
        appendLatin1AsUtf8(shown, static_cast<unsigned char>(c));
    }
    return shown;
}

std::string TBatchDocument::StoredText(std::string_view shown) const
{
    if (!m_latin1) {
        return std::string(shown);
    }
    std::string stored;
    stored.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size();) {
        const auto c = static_cast<unsigned char>(shown[i]);
        const std::size_t length = std::min(sequenceLength(c), shown.size() - i);
        if (c < 0x80) {
            stored += static_cast<char>(c);
        } else if (length == 2 && c <= 0xC3) {
            stored += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(shown[i + 1]) & 0x3F));
        } else {
            std::string message = AppString(sNotLatin1);
            const std::size_t at = message.find("%s");
            if (at != std::string::npos) {
                message.replace(at, 2, shown.substr(i, length));
            }
            throw EVorlandError(message);
        }
        i += length;
    }
    return stored;
}

std::string TBatchDocument::SourceShownText() const
{
    const std::string_view bytes = m_sourceBytes;
    std::string shown;
    shown.reserve(bytes.size() + bytes.size() / 8);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            shown += '\n';
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else if (m_latin1) {
            appendLatin1AsUtf8(shown, static_cast<unsigned char>(c));
        } else {
            shown += c;
        }
    }
    return shown;
}

void TBatchDocument::ShowListAsSource()
{
    m_sourceBytes = ListBytes();
}

std::string TBatchDocument::TypedSourceBytes(std::string_view shown) const
{
    std::string text = StoredText(shown);
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16 + 2);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        bytes.append(text, start, end - start);
        bytes += "\r\n";
        start = end + 1;
    }
    return bytes;
}

void TBatchDocument::ApplySource(std::string bytes)
{
    m_list.LoadFromText(bytes);
    m_sourceBytes = std::move(bytes);
}

bool TBatchDocument::DiffersFromFile() const
{
    std::string onDisk;
    try {
        if (m_fileName.empty() || !ReadBatchFile(m_fileName, onDisk)) {
            return true;
        }
        return onDisk != ListBytes();
    } catch (const EVorlandError&) {
        // A file that cannot be read, or a value that cannot be stored: it is not this batch.
        return true;
    }
}

bool TBatchDocument::ChangedOnDisk() const
{
    std::string onDisk;
    try {
        if (m_fileName.empty() || !ReadBatchFile(m_fileName, onDisk)) {
            return false;
        }
    } catch (const EVorlandError&) {
        // Saving says what is wrong with the file.
        return false;
    }
    return !m_diskExisted || onDisk.size() != m_diskSize || contentHash(onDisk) != m_diskHash;
}

void TBatchDocument::Save(const std::string& fileName, const std::string& bytes)
{
    WriteBatchFile(fileName, bytes);
    m_fileName = fileName;
    NoteDiskContent(&bytes);
}

std::string TBatchDocument::ListBytes() const
{
    return m_list.BatchFileText();
}

void TBatchDocument::NoteDiskContent(const std::string* bytes)
{
    m_diskExisted = bytes != nullptr;
    m_diskSize = bytes != nullptr ? bytes->size() : 0;
    m_diskHash = bytes != nullptr ? contentHash(*bytes) : 0;
}
