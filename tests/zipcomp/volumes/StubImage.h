#pragma once
// A tiny Windows executable image for the self-extractor tests: headers, one ".rsrc" section and a
// resource tree holding one 744-byte icon image (type 3, name 1, language 0x409), preceded by a
// named entry that must be skipped. Built byte by byte so the tests need no outside file.

#include "zipformat/ZipRecords.h"

#include <cstdint>
#include <string>

namespace stubimage {

constexpr std::size_t kIconImageSize = 744;
constexpr std::size_t kResourceFileOffset = 512;
constexpr std::uint32_t kResourceAddress = 0x1000;
constexpr std::size_t kIconDataOffset = 128; // inside the section
constexpr std::size_t kIconFilePosition = kResourceFileOffset + kIconDataOffset;
constexpr std::size_t kImageSize = 1536;

inline void put16(std::string& s, std::size_t at, std::uint16_t v)
{
    zipfmt::putU16(reinterpret_cast<std::uint8_t*>(s.data()) + at, v);
}
inline void put32(std::string& s, std::size_t at, std::uint32_t v)
{
    zipfmt::putU32(reinterpret_cast<std::uint8_t*>(s.data()) + at, v);
}

// withIcon false gives the same image with the icon's type changed to 14 (a group, not an icon).
inline std::string Build(bool withIcon = true, char iconFill = 'S')
{
    std::string s(kImageSize, '\0');
    s[0] = 'M';
    s[1] = 'Z';
    put32(s, 60, 64);
    s.replace(64, 4, std::string("PE\0\0", 4));
    const std::size_t coff = 68;
    put16(s, coff + 0, 0x14C); // i386
    put16(s, coff + 2, 1);     // one section
    put16(s, coff + 16, 224);  // optional header size
    const std::size_t opt = coff + 20;
    put16(s, opt, 0x10B);                         // PE32
    put32(s, opt + 96 + 2 * 8, kResourceAddress); // resource directory
    put32(s, opt + 96 + 2 * 8 + 4, 1024);
    const std::size_t section = opt + 224;
    s.replace(section, 5, ".rsrc");
    put32(s, section + 8, 1024);
    put32(s, section + 12, kResourceAddress);
    put32(s, section + 16, 1024);
    put32(s, section + 20, kResourceFileOffset);

    const std::size_t r = kResourceFileOffset;
    // Root: one named entry (skipped), one numbered entry for the icons.
    put16(s, r + 12, 1);
    put16(s, r + 14, 1);
    put32(s, r + 16, 0x80000000u | 0x3F0); // a name string somewhere
    put32(s, r + 20, 0x80000000u | 40);    // would lead to the icons too: must be skipped
    put32(s, r + 24, withIcon ? 3 : 14);
    put32(s, r + 28, 0x80000000u | 40);
    // Level 2 at 40: name 1.
    put16(s, r + 40 + 14, 1);
    put32(s, r + 40 + 16, 1);
    put32(s, r + 40 + 20, 0x80000000u | 64);
    // Level 3 at 64: language 0x409 -> data entry at 104.
    put16(s, r + 64 + 14, 1);
    put32(s, r + 64 + 16, 0x409);
    put32(s, r + 64 + 20, 104);
    // Data entry at 104: address, size.
    put32(s, r + 104, kResourceAddress + kIconDataOffset);
    put32(s, r + 108, kIconImageSize);
    s.replace(kIconFilePosition, kIconImageSize, std::string(kIconImageSize, iconFill));
    return s;
}

// An icon file: 6-byte header, `images` 16-byte entries, then the images of 744 bytes each.
inline std::string IconFile(int images, char fill)
{
    std::string s(6 + 16 * images, '\0');
    put16(s, 2, 1);
    put16(s, 4, static_cast<std::uint16_t>(images));
    for (int i = 0; i < images; ++i) {
        std::size_t e = 6 + 16 * i;
        s[e] = 32;
        s[e + 1] = 32;
        s[e + 2] = 16;
        put16(s, e + 4, 1);
        put16(s, e + 6, 4);
        put32(s, e + 8, kIconImageSize);
        put32(s, e + 12, static_cast<std::uint32_t>(6 + 16 * images + kIconImageSize * i));
    }
    for (int i = 0; i < images; ++i) {
        s += std::string(kIconImageSize, static_cast<char>(fill + i));
    }
    return s;
}

} // namespace stubimage
