#pragma once
// The entries of one archive directory, held compactly: a fixed-size record per entry and one text
// store for every name, comment and extra field, so a directory of a million entries costs about
// 70 bytes per entry beside its names. Reading an entry gives a ZipDirEntry by value (the record and
// its texts copied out), so callers index, iterate and compare as with a vector of entries.

#include "zipcomp/ZipTypes.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

class ZipDirEntries
{
public:
    class const_iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = ZipDirEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = ZipDirEntry;

        const_iterator() = default;
        const_iterator(const ZipDirEntries* owner, std::size_t index) : m_owner(owner), m_index(index) {}
        ZipDirEntry operator*() const { return (*m_owner)[m_index]; }
        const_iterator& operator++()
        {
            ++m_index;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++m_index;
            return before;
        }
        const_iterator& operator--()
        {
            --m_index;
            return *this;
        }
        const_iterator& operator+=(difference_type n)
        {
            m_index = static_cast<std::size_t>(static_cast<difference_type>(m_index) + n);
            return *this;
        }
        const_iterator operator+(difference_type n) const { return const_iterator(*this) += n; }
        difference_type operator-(const const_iterator& other) const
        {
            return static_cast<difference_type>(m_index) - static_cast<difference_type>(other.m_index);
        }
        ZipDirEntry operator[](difference_type n) const { return *(*this + n); }
        bool operator==(const const_iterator& other) const { return m_index == other.m_index; }
        bool operator!=(const const_iterator& other) const { return m_index != other.m_index; }
        bool operator<(const const_iterator& other) const { return m_index < other.m_index; }

    private:
        const ZipDirEntries* m_owner = nullptr;
        std::size_t m_index = 0;
    };

    std::size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    void clear();
    void reserve(std::size_t count) { m_records.reserve(count); }
    // Keeps a copy of the entry.
    void push_back(const ZipDirEntry& entry);

    // The entry at `index` (below size()).
    ZipDirEntry operator[](std::size_t index) const;
    ZipDirEntry back() const { return (*this)[size() - 1]; }
    // Its name alone, without copying the rest.
    std::string_view FileName(std::size_t index) const;

    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }

private:
    struct Record
    {
        std::uint64_t compressedSize;
        std::uint64_t uncompressedSize;
        std::uint64_t relOffLocalHdr;
        std::uint64_t textAt; // name, then comment, then extra field, in m_text
        std::uint32_t crc32;
        std::uint32_t dateTime;
        std::uint32_t startOnDisk;
        std::uint32_t extFileAttrib;
        std::uint32_t nameSize;    // of the converted name
        std::uint32_t commentSize; // of the converted comment
        std::uint16_t extrVersion;
        std::uint16_t flag;
        std::uint16_t comprMethod;
        std::uint16_t fileNameLength;
        std::uint16_t extraFieldLength;
        std::uint16_t fileCommentLen;
        std::uint16_t intFileAttrib;
        std::uint16_t extraSize;
        std::uint8_t madeByVersion;
        std::uint8_t hostSys;
        bool encrypted;
    };

    std::vector<Record> m_records;
    std::string m_text;
};
