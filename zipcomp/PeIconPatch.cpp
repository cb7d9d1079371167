#include "zipcomp/PeIconPatch.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace sfx {

namespace {

// ---- executable layout (DOS header, PE headers, sections, resource tree) ----------------------

constexpr std::uint16_t kDosMagic = 0x5A4D;    // "MZ"
constexpr std::size_t kDosPeOffset = 60;       // u32: position of the PE signature
constexpr std::uint32_t kPeSignature = 0x4550; // "PE\0\0"
constexpr std::size_t kPeSignatureSize = 4;
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::size_t kCoffSectionCount = 2;  // u16, from the COFF header's start
constexpr std::size_t kCoffOptionalSize = 16; // u16: size of the optional header
constexpr std::uint16_t kOptMagicPe32 = 0x10B;
constexpr std::uint16_t kOptMagicPe32Plus = 0x20B;
constexpr std::size_t kOptDataDirPe32 = 96;      // first data directory in a PE32 optional header
constexpr std::size_t kOptDataDirPe32Plus = 112; // ... and in a PE32+ one
constexpr std::size_t kDataDirResource = 2;      // index of the resource directory
constexpr std::size_t kDataDirEntrySize = 8;     // u32 address, u32 size

constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSectionAddress = 12;
constexpr std::size_t kSectionRawSize = 16;
constexpr std::size_t kSectionRawPointer = 20;
constexpr char kResourceSection[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};

constexpr std::size_t kResDirSize = 16;
constexpr std::size_t kResDirNamedCount = 12;      // u16
constexpr std::size_t kResDirIdCount = 14;         // u16
constexpr std::size_t kResEntrySize = 8;           // u32 name or id, u32 offset
constexpr std::uint32_t kResHighBit = 0x80000000u; // named entry / sub-directory
constexpr std::size_t kResDataAddress = 0;         // u32, an address (RVA), not a section offset
constexpr std::size_t kResDataSize = 4;            // u32

constexpr std::uint32_t kResTypeIcon = 3;
constexpr std::uint32_t kResIconName = 1;
// Resource trees have three levels; a deeper walk only happens in a damaged or hostile file.
constexpr int kMaxResourceDepth = 8;

// ---- icon file (.ico) --------------------------------------------------------------------------

constexpr std::size_t kIcoType = 2;             // u16, 1 for icons
constexpr std::size_t kIcoCount = 4;            // u16
constexpr std::size_t kIcoEntryBytes = 6 + 8;   // u32 size of the image
constexpr std::size_t kIcoEntryOffset = 6 + 12; // u32 position of the image

struct ResourceSection
{
    zipfmt::ByteView tree;        // the section's bytes present in the file
    std::uint32_t address = 0;    // its virtual address
    std::uint64_t fileOffset = 0; // its position in the file
};

// Walks one directory of the resource tree. Level 0 keeps only id 3, level 1 only id 1, deeper
// levels any numbered entry; returns true with `dataEntry` at the first 744-byte data entry.
bool walkResources(const ResourceSection& rsrc, std::uint32_t dirOffset, int level, std::uint32_t& dataEntry)
{
    if (level > kMaxResourceDepth) {
        return false;
    }
    std::uint16_t named = 0;
    std::uint16_t ids = 0;
    if (!rsrc.tree.u16(dirOffset + kResDirNamedCount, named) || !rsrc.tree.u16(dirOffset + kResDirIdCount, ids)) {
        return false;
    }
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(named) + ids; ++i) {
        std::size_t entry = dirOffset + kResDirSize + i * kResEntrySize;
        std::uint32_t name = 0;
        std::uint32_t target = 0;
        if (!rsrc.tree.u32(entry, name) || !rsrc.tree.u32(entry + 4, target)) {
            return false;
        }
        if ((name & kResHighBit) != 0) {
            continue;
        }
        if ((level == 0 && name != kResTypeIcon) || (level == 1 && name != kResIconName)) {
            continue;
        }
        if ((target & kResHighBit) != 0) {
            if (walkResources(rsrc, target & ~kResHighBit, level + 1, dataEntry)) {
                return true;
            }
            continue;
        }
        std::uint32_t size = 0;
        if (rsrc.tree.u32(target + kResDataSize, size) && size == kStubIconImageSize) {
            dataEntry = target;
            return true;
        }
    }
    return false;
}

bool readAll(int fd, std::uint64_t offset, std::string& out, std::uint64_t size)
{
    out.resize(size);
    std::uint64_t done = 0;
    while (done < size) {
        ssize_t n = pread(fd, out.data() + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool writeAll(int fd, std::uint64_t offset, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Finds the resource section among the `count` section headers at `sections`; false when there is
// none or a header is cut short.
bool findResourceSection(zipfmt::ByteView exe, std::size_t sections, std::size_t count, ResourceSection& rsrc)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t header = sections + i * kSectionHeaderSize;
        std::string name;
        if (!exe.bytes(header, sizeof kResourceSection, name)) {
            return false;
        }
        if (name != std::string(kResourceSection, sizeof kResourceSection)) {
            continue;
        }
        std::uint32_t rawSize = 0;
        std::uint32_t rawPointer = 0;
        if (!exe.u32(header + kSectionAddress, rsrc.address) || !exe.u32(header + kSectionRawSize, rawSize) ||
            !exe.u32(header + kSectionRawPointer, rawPointer)) {
            return false;
        }
        // Only the bytes present in the file can be patched; a section cut short by the end of the
        // stub keeps what is there (the checked reads stop at its end).
        std::size_t present = rawPointer <= exe.size() ? std::min<std::size_t>(rawSize, exe.size() - rawPointer) : 0;
        rsrc.tree = exe.sub(rawPointer, present);
        rsrc.fileOffset = rawPointer;
        return true;
    }
    return false;
}

} // namespace

int FindStubIcon(zipfmt::ByteView exe, std::uint64_t& position)
{
    std::uint16_t magic = 0;
    std::uint32_t peOffset = 0;
    std::uint32_t peSignature = 0;
    if (!exe.u16(0, magic) || magic != kDosMagic || !exe.u32(kDosPeOffset, peOffset) ||
        !exe.u32(peOffset, peSignature) || peSignature != kPeSignature) {
        return kIconNoResource;
    }
    const std::size_t coff = std::size_t{peOffset} + kPeSignatureSize;
    std::uint16_t sectionCount = 0;
    std::uint16_t optionalSize = 0;
    std::uint16_t optionalMagic = 0;
    if (!exe.u16(coff + kCoffSectionCount, sectionCount) || !exe.u16(coff + kCoffOptionalSize, optionalSize)) {
        return kIconNoResource;
    }
    const std::size_t optional = coff + kCoffHeaderSize;
    // The section table follows the optional header, whose size the COFF header gives (224 bytes
    // for 32-bit executables, 240 for 64-bit ones).
    const std::size_t sections = optional + optionalSize;

    ResourceSection rsrc;
    if (!findResourceSection(exe, sections, sectionCount, rsrc)) {
        return kIconNoResource;
    }

    // The resource directory named in the optional header must lie inside that section.
    std::size_t dataDirs = 0;
    if (!exe.u16(optional, optionalMagic)) {
        return kIconNoResource;
    }
    if (optionalMagic == kOptMagicPe32) {
        dataDirs = kOptDataDirPe32;
    } else if (optionalMagic == kOptMagicPe32Plus) {
        dataDirs = kOptDataDirPe32Plus;
    } else {
        return kIconNoResource;
    }
    std::uint32_t resourceAddress = 0;
    if (dataDirs + (kDataDirResource + 1) * kDataDirEntrySize > optionalSize ||
        !exe.u32(optional + dataDirs + kDataDirResource * kDataDirEntrySize, resourceAddress) ||
        resourceAddress < rsrc.address || resourceAddress - rsrc.address >= rsrc.tree.size()) {
        return kIconNoResource;
    }

    std::uint32_t dataEntry = 0;
    if (!walkResources(rsrc, resourceAddress - rsrc.address, 0, dataEntry)) {
        return kIconNoResource;
    }
    std::uint32_t imageAddress = 0;
    if (!rsrc.tree.u32(dataEntry + kResDataAddress, imageAddress) || imageAddress < rsrc.address ||
        !rsrc.tree.has(imageAddress - rsrc.address, kStubIconImageSize)) {
        return kIconNoResource;
    }
    position = std::uint64_t{imageAddress} - rsrc.address + rsrc.fileOffset;
    return kIconOk;
}

int StubIconImage(const std::string& iconFile, std::string& image)
{
    zipfmt::ByteView ico(iconFile.data(), iconFile.size());
    std::uint16_t reserved = 1;
    std::uint16_t type = 0;
    std::uint16_t count = 0;
    std::uint32_t bytes = 0;
    std::uint32_t offset = 0;
    if (iconFile.size() != kStubIconFileSize || !ico.u16(0, reserved) || !ico.u16(kIcoType, type) ||
        !ico.u16(kIcoCount, count) || !ico.u32(kIcoEntryBytes, bytes) || !ico.u32(kIcoEntryOffset, offset)) {
        return kIconBadIconFile;
    }
    if (reserved != 0 || type != 1 || count != 1 || bytes != kStubIconImageSize || offset != kIconFileHeaderSize) {
        return kIconBadIconFile;
    }
    image = iconFile.substr(kIconFileHeaderSize);
    return kIconOk;
}

int ReplaceStubIcon(int fd, std::uint64_t stubSize, const std::string& iconFile)
{
    std::string stub;
    if (!readAll(fd, 0, stub, stubSize)) {
        return kIconIoError;
    }
    std::uint64_t position = 0;
    int result = FindStubIcon(zipfmt::ByteView(stub.data(), stub.size()), position);
    if (result != kIconOk) {
        return result;
    }
    std::string image;
    result = StubIconImage(iconFile, image);
    if (result != kIconOk) {
        return result;
    }
    return writeAll(fd, position, image) ? kIconOk : kIconIoError;
}

} // namespace sfx
