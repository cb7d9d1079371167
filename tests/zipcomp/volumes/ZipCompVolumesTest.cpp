// The zip component's spanning and self-extractor paths of Add, with the real engine library: the
// volumes written from its temporary archive, the name of the last volume, the removable-media
// events, and the self-extractor made before the engine adds to it and kept once it has.

#include "core/UiInterfaces.h"
#include "testkit/CoreDoubles.h"
#include "testkit/TestKit.h"
#include "tests/zipcomp/volumes/SimulatedDrive.h"
#include "tests/zipcomp/volumes/StubImage.h"
#include "zipcomp/VolumeWriter.h"
#include "zipcomp/ZipComp.h"
#include "zipformat/ZipRecords.h"

#include <gtest/gtest.h>

namespace {

using testkit::TempDir;
namespace fs = std::filesystem;

struct ZipCompVolumes : ::testing::Test
{
    TempDir dir;
    TQueuedPrompter prompter;
    TZipComponent zip{&prompter};
    std::vector<std::pair<int, std::string>> messages;

    void SetUp() override
    {
        for (int i = 0; i < 5; ++i) {
            testkit::writeFile(dir / ("src/f" + std::to_string(i) + ".bin"), testkit::randomBytes(6000 + 100 * i, i));
        }
        fs::create_directories(dir / "out");
        zip.SetDLLDirectory(testkit::binDir().string());
        zip.SetAddCompLevel(0);
        zip.OnMessage = [this](TZipComponent&, std::int32_t code, const std::string& text) {
            messages.emplace_back(code, text);
        };
    }
    void AddAll(const std::string& archive)
    {
        zip.SetZipFileName(archive);
        zip.SetRootDir(dir / "src");
        zip.FSpecArgs() = {"*.bin"};
        zip.Add();
    }
    bool HasMessageStarting(const std::string& start) const
    {
        for (const auto& m : messages) {
            if (m.second.rfind(start, 0) == 0) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(ZipCompVolumes, spanning_to_a_fixed_drive_writes_numbered_volumes_and_names_the_last)
{
    AddAll(dir / "plain.zip");
    ASSERT_EQ(zip.ProcessedCount(), 5) << zip.Message();
    const auto size = static_cast<std::int32_t>(fs::file_size(dir / "plain.zip"));

    zip.SetAddOptions(AddOpts{AddOpt::AddDiskSpan});
    zip.SetMaxVolumeSize(size * 2 / 5);
    zip.SetMinFreeVolumeSize(1000);
    std::vector<ProgressType> kinds;
    zip.OnProgress = [&](TZipComponent&, ProgressType kind, const std::string&, std::int64_t) {
        kinds.push_back(kind);
    };
    AddAll(dir / "out/set.zip");
    EXPECT_EQ(zip.ProcessedCount(), 5) << zip.Message();
    EXPECT_EQ(zip.ZipFileName(), dir / "out/set003.zip");
    // The directory reader reads the set back from its last volume.
    EXPECT_EQ(zip.Entries().size(), 5u) << zip.Message();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(fs::exists(volumes::NumberedVolumeName(dir / "out/set.zip", i))) << i;
    }
    EXPECT_FALSE(fs::exists(dir / "out/set004.zip"));
    EXPECT_TRUE(HasMessageStarting("Copying: f0.bin"));
    EXPECT_TRUE(HasMessageStarting("Copying: Central directory"));
    EXPECT_EQ(kinds.back(), ProgressType::EndOfBatch);
    // No temporary archive is left behind.
    for (const auto& e : fs::directory_iterator(dir / "out")) {
        EXPECT_EQ(e.path().filename().string().rfind("set0", 0), 0u) << e.path();
    }

    messages.clear();
    zip.SetZipFileName(dir / "out/set003.zip");
    EXPECT_EQ(zip.Entries().size(), 5u) << zip.Message();
    EXPECT_TRUE(messages.empty()) << messages.front().second;

    fs::copy_file(dir / "out/set001.zip", dir / "out/j.z01");
    fs::copy_file(dir / "out/set002.zip", dir / "out/j.z02");
    fs::copy_file(dir / "out/set003.zip", dir / "out/j.zip");
    auto join = testkit::runProcess({"zip", "-s", "0", "j.zip", "--out", "joined.zip"}, {}, 60, dir.path() / "out");
    ASSERT_EQ(join.exitCode, 0) << join.out << join.err;
    auto test = testkit::runProcess({"unzip", "-t", dir / "out/joined.zip"});
    EXPECT_EQ(test.exitCode, 0) << test.out;
}

TEST_F(ZipCompVolumes, removable_disks_are_asked_for_through_the_component_events)
{
    SimulatedDrive drive(dir.path() / "media");
    for (const char* d : {"d1", "d2", "d3"}) {
        drive.AddDisk(d, 14000);
    }
    zip.SetVolumeService(&drive);
    zip.SetAddOptions(AddOpts{AddOpt::AddDiskSpan});
    zip.SetMinFreeVolumeSize(1000);
    std::vector<int> asked;
    zip.OnGetNextDisk = [&](TZipComponent&, std::int32_t seq, std::int32_t, const std::string&, bool& abort) {
        asked.push_back(seq);
        if (seq > 3) {
            abort = true;
            return;
        }
        drive.Insert("d" + std::to_string(seq));
    };
    AddAll(drive.OnDrive("set.zip"));
    EXPECT_EQ(zip.ProcessedCount(), 5) << zip.Message();
    EXPECT_EQ(asked, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(zip.ZipFileName(), drive.OnDrive("set.zip")); // removable: the name stays
    EXPECT_EQ(drive.DiskInfo("d3").label, "PKBACK# 003");
    EXPECT_EQ(zip.Entries().size(), 5u) << zip.Message();

    // A refused disk stops without a dialog; nothing counts as added.
    for (const char* d : {"d1", "d2", "d3"}) {
        fs::remove(drive.DiskFolder(d) / "set.zip");
    }
    drive.Eject();
    zip.OnGetNextDisk = [&](TZipComponent&, std::int32_t seq, std::int32_t, const std::string&, bool& abort) {
        abort = seq == 2;
        drive.Insert("d1");
    };
    prompter.Messages.clear();
    prompter.Errors.clear();
    AddAll(drive.OnDrive("set.zip"));
    EXPECT_EQ(zip.ProcessedCount(), 0);
    EXPECT_EQ(zip.ErrCode(), 11007);
    EXPECT_TRUE(prompter.Messages.empty() && prompter.Errors.empty());
}

TEST_F(ZipCompVolumes, without_a_stub_a_new_exe_reports_10802_then_10304_and_adds_nothing)
{
    zip.SetSFXPath(dir / "missing-stub.bin");
    AddAll(dir / "out/new.exe");
    EXPECT_EQ(zip.ProcessedCount(), 0);
    EXPECT_EQ(zip.ErrCode(), 10304);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2].second, "The self-extractor stub file was not found.");
    EXPECT_EQ(messages.back().second, "The self-extracting archive could not be created (result -9).");
    EXPECT_FALSE(fs::exists(dir / "out/new.exe"));
}

TEST_F(ZipCompVolumes, a_new_exe_gets_the_stub_block_and_icon_and_keeps_them_once_the_engine_adds)
{
    testkit::writeFile(dir / "stub.bin", stubimage::Build());
    zip.SetSFXPath(dir / "stub.bin");
    const std::string icon = stubimage::IconFile(1, 'Q');
    zip.SetSFXIcon(std::vector<std::uint8_t>(icon.begin(), icon.end()));
    zip.SetSFXCaption("Backup");
    // What the engine finds when it starts: the file is read at its first callback (the engine
    // writes a new archive beside it and replaces it only at the end).
    std::string before;
    zip.OnProgress = [&](TZipComponent&, ProgressType, const std::string&, std::int64_t) {
        if (before.empty()) {
            before = testkit::readFile(dir / "out/new.exe");
        }
    };
    AddAll(dir / "out/new.exe");
    EXPECT_EQ(zip.ProcessedCount(), 5) << zip.Message();
    const std::size_t block = 20; // 12 + caption "Backup", rounded up to 4
    ASSERT_EQ(before.size(), stubimage::kImageSize + block + 22);
    EXPECT_EQ(before.substr(0, 2), "MZ");
    EXPECT_EQ(before.substr(stubimage::kIconFilePosition, 744), std::string(744, 'Q'));
    EXPECT_EQ(before.substr(stubimage::kImageSize, 3), "MPV");
    EXPECT_EQ(before.substr(stubimage::kImageSize + 8, 7), "\6Backup");
    const auto* end = reinterpret_cast<const std::uint8_t*>(before.data()) + before.size() - 22;
    EXPECT_EQ(zipfmt::getU32(end), zipfmt::kEndRecordSig);
    EXPECT_EQ(zipfmt::getU32(end + zipfmt::endrec::kCentralOffset), before.size() - 22);

    // The finished program keeps the stub and the block byte for byte, the entries behind them with
    // offsets that count both.
    const std::string after = testkit::readFile(dir / "out/new.exe");
    const std::size_t front = before.size() - 22;
    ASSERT_GT(after.size(), front);
    EXPECT_TRUE(after.compare(0, front, before, 0, front) == 0);
    EXPECT_EQ(after.substr(front, 4), "PK\3\4");
    auto test = testkit::runProcess({"unzip", "-t", dir / "out/new.exe"});
    EXPECT_EQ(test.exitCode, 0) << test.out << test.err;
    EXPECT_EQ(test.out.find("warning"), std::string::npos) << test.out;
    EXPECT_EQ(test.err.find("warning"), std::string::npos) << test.err;
    auto python = testkit::runProcess({"python3", "-c",
                                       "import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                                       "sys.exit(z.testzip() is not None or len(z.namelist()) != 5)",
                                       dir / "out/new.exe"});
    EXPECT_EQ(python.exitCode, 0) << python.out << python.err;
}

} // namespace
