#include "zipcomp/VolumeService.h"
#include "ZipBuilder.h"
#include "ZipCompFixture.h"

#include <gtest/gtest.h>

TEST(LocalVolumeService, every_path_is_on_a_fixed_drive_with_real_space)
{
    TQueuedPrompter prompter;
    LocalVolumeService volumes(&prompter);
    testkit::TempDir dir;
    const std::string root = volumes.DriveRoot(dir / "x.zip");
    EXPECT_EQ(root, "/");
    EXPECT_TRUE(volumes.DriveExists(root));
    EXPECT_EQ(volumes.GetDriveType(root), DriveType::Fixed);
    VolumeInfo info;
    info.label = "stale";
    EXPECT_EQ(volumes.GetVolumeInfo(root, info), VolumeInfoResult::Ok);
    EXPECT_EQ(info.label, "");
    EXPECT_FALSE(volumes.SetVolumeLabel(root, "PKBACK# 001"));
    const DiskSpace space = volumes.QueryDiskSpace(dir.path().string());
    EXPECT_GT(space.totalBytes, 0);
    EXPECT_GE(space.freeBytes, 0);
    EXPECT_LE(space.freeBytes, space.totalBytes);
    EXPECT_EQ(volumes.QueryDiskSpace("/no/such/folder").totalBytes, -1);
    EXPECT_EQ(volumes.FormatVolume(root, "PKBACK# 001", false), kFormatDidNotRun);
    EXPECT_FALSE(volumes.RequestVolume(root, "Please insert disk volume 2 of 3"));
    EXPECT_EQ(prompter.Questions, std::vector<std::string>{"Please insert disk volume 2 of 3"});
    EXPECT_FALSE(LocalVolumeService().RequestVolume(root, "no prompter: refused"));
}

// A set of two numbered volume files: the entries and the central directory on the first, the end
// record alone on the second.
TEST_F(ZipCompFixture, reads_a_multi_volume_set_of_numbered_files)
{
    zip.SetUnattended(true);
    const std::string plain = zipbuild::Build({{"one.txt", "1"}, {"two.txt", "22"}});
    const std::size_t endStart = plain.size() - 22;
    // Volume 1 starts with the spanning signature, so every offset moves by 4.
    std::string first;
    zipbuild::put32(first, zipfmt::kSpanningSig);
    first += plain.substr(0, endStart);
    std::string end = plain.substr(endStart);
    end[4] = 1; // this is disk 1 (0-based)
    const std::uint32_t centralOffset = zipfmt::getU32(reinterpret_cast<const std::uint8_t*>(end.data()) + 16) + 4;
    std::uint8_t offset[4];
    zipfmt::putU32(offset, centralOffset);
    end.replace(16, 4, reinterpret_cast<const char*>(offset), 4);
    testkit::writeFile(run.Dir() / "set001.zip", first);
    testkit::writeFile(run.Dir() / "set002.zip", end);

    zip.SetZipFileName(run.Dir() / "set002.zip");
    EXPECT_TRUE(messages.empty()) << messages.front().second;
    ASSERT_EQ(zip.Entries().size(), 2u);
    EXPECT_EQ(zip.Entries()[1].FileName, "two.txt");

    std::filesystem::remove(run.Dir() / "set001.zip");
    zip.SetZipFileName(run.Dir() / "set002.zip");
    EXPECT_EQ(zip.ErrCode(), 11001);
    EXPECT_NE(zip.Message().find("set001.zip"), std::string::npos);
    EXPECT_EQ(zip.ZipFileName(), "");
}
