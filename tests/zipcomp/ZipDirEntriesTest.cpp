// The compact store of a directory's entries gives back every field and text as it was kept.

#include "zipcomp/ZipDirEntries.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ZipDirEntry sample(int i)
{
    ZipDirEntry e;
    e.MadeByVersion = static_cast<std::uint8_t>(30 + i);
    e.HostSys = static_cast<std::uint8_t>(i % 2 ? 3 : 0);
    e.ExtrVersion = static_cast<std::uint16_t>(20 + i);
    e.Flag = static_cast<std::uint16_t>(0x0800 | i);
    e.ComprMethod = static_cast<std::uint16_t>(i % 2 ? 8 : 0);
    e.DateTime = 0x5A8C6000u + static_cast<std::uint32_t>(i);
    e.CRC32 = 0xDEADBEEFu ^ static_cast<std::uint32_t>(i);
    e.CompressedSize = 5'000'000'000ull + static_cast<std::uint64_t>(i);
    e.UncompressedSize = 6'000'000'000ull + static_cast<std::uint64_t>(i);
    e.FileNameLength = static_cast<std::uint16_t>(10 + i);
    e.ExtraFieldLength = static_cast<std::uint16_t>(i * 3);
    e.FileCommentLen = static_cast<std::uint16_t>(i);
    e.StartOnDisk = static_cast<std::uint32_t>(i);
    e.IntFileAttrib = static_cast<std::uint16_t>(i & 1);
    e.ExtFileAttrib = 0x81A40000u | static_cast<std::uint32_t>(i);
    e.RelOffLocalHdr = 7'000'000'000ull + static_cast<std::uint64_t>(i);
    e.FileName = "dir/name" + std::to_string(i) + (i == 2 ? std::string(70000, 'x') : std::string());
    e.FileComment = i % 3 == 0 ? std::string() : "comment " + std::to_string(i);
    e.Encrypted = i % 2 == 1;
    for (int k = 0; k < i * 3; ++k) {
        e.ExtraData.push_back(static_cast<std::uint8_t>(k + i));
    }
    return e;
}

void expectSame(const ZipDirEntry& a, const ZipDirEntry& b)
{
    EXPECT_EQ(a.MadeByVersion, b.MadeByVersion);
    EXPECT_EQ(a.HostSys, b.HostSys);
    EXPECT_EQ(a.ExtrVersion, b.ExtrVersion);
    EXPECT_EQ(a.Flag, b.Flag);
    EXPECT_EQ(a.ComprMethod, b.ComprMethod);
    EXPECT_EQ(a.DateTime, b.DateTime);
    EXPECT_EQ(a.CRC32, b.CRC32);
    EXPECT_EQ(a.CompressedSize, b.CompressedSize);
    EXPECT_EQ(a.UncompressedSize, b.UncompressedSize);
    EXPECT_EQ(a.FileNameLength, b.FileNameLength);
    EXPECT_EQ(a.ExtraFieldLength, b.ExtraFieldLength);
    EXPECT_EQ(a.FileCommentLen, b.FileCommentLen);
    EXPECT_EQ(a.StartOnDisk, b.StartOnDisk);
    EXPECT_EQ(a.IntFileAttrib, b.IntFileAttrib);
    EXPECT_EQ(a.ExtFileAttrib, b.ExtFileAttrib);
    EXPECT_EQ(a.RelOffLocalHdr, b.RelOffLocalHdr);
    EXPECT_EQ(a.FileName, b.FileName);
    EXPECT_EQ(a.FileComment, b.FileComment);
    EXPECT_EQ(a.Encrypted, b.Encrypted);
    EXPECT_EQ(a.ExtraData, b.ExtraData);
}

} // namespace

TEST(ZipDirEntries, every_field_and_text_comes_back_by_index_and_in_order)
{
    ZipDirEntries entries;
    EXPECT_TRUE(entries.empty());
    for (int i = 0; i < 6; ++i) {
        entries.push_back(sample(i));
    }
    ASSERT_EQ(entries.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        expectSame(entries[static_cast<std::size_t>(i)], sample(i));
        EXPECT_EQ(entries.FileName(static_cast<std::size_t>(i)), sample(i).FileName);
    }
    int seen = 0;
    for (const ZipDirEntry& e : entries) {
        expectSame(e, sample(seen++));
    }
    EXPECT_EQ(seen, 6);
    expectSame(entries.back(), sample(5));
    EXPECT_EQ(entries.end() - entries.begin(), 6);

    entries.clear();
    EXPECT_TRUE(entries.empty());
    entries.push_back(sample(4));
    expectSame(entries[0], sample(4));
}
