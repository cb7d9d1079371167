#pragma once
// Replacing the icon of a self-extractor stub: the stub is a Windows executable whose resource
// section holds a 32x32, 16-colour icon image of 744 bytes; the builder overwrites those bytes in
// its copy of the stub with the image of the icon the user chose.

#include "zipformat/ZipRecords.h"

#include <cstdint>
#include <string>

namespace sfx {

// Results shared with the self-extractor builder.
constexpr int kIconOk = 0;
constexpr int kIconNoResource = -10;  // the stub holds no replaceable icon
constexpr int kIconIoError = -11;     // reading or writing the output failed
constexpr int kIconBadIconFile = -12; // the chosen icon is not one 766-byte icon-file image

// Size of the icon image the stub carries and of an icon file holding exactly that one image.
constexpr std::size_t kStubIconImageSize = 744;
constexpr std::size_t kIconFileHeaderSize = 22; // 6-byte directory + one 16-byte entry
constexpr std::size_t kStubIconFileSize = kIconFileHeaderSize + kStubIconImageSize;

// Finds the file position of the stub's icon image in the bytes of an executable: the first data
// entry of exactly 744 bytes under resource type 3 (icons), name 1, in the ".rsrc" section.
// Returns kIconOk and sets `position`, or kIconNoResource when the bytes are not such an executable
// or hold no such entry. Every value is read through checked reads; damaged input never over-reads.
int FindStubIcon(zipfmt::ByteView exe, std::uint64_t& position);

// Checks that `iconFile` (the bytes of an .ico file) is exactly one 744-byte image and gives that
// image. Returns kIconOk or kIconBadIconFile.
int StubIconImage(const std::string& iconFile, std::string& image);

// Replaces the icon of the stub that occupies the first `stubSize` bytes of the open file `fd`
// with the image of `iconFile`. The file's position is left unchanged (positional reads and
// writes). Returns kIconOk, kIconNoResource, kIconIoError or kIconBadIconFile; on a failure the
// file is not written to.
int ReplaceStubIcon(int fd, std::uint64_t stubSize, const std::string& iconFile);

} // namespace sfx
