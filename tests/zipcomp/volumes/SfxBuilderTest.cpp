// The self-extractor builder: configuration block, stub search, create and conversion modes,
// the icon replacement, and that a failure never leaves an output behind.

#include "zipcomp/SfxBuilder.h"
#include "testkit/TestKit.h"
#include "tests/zipcomp/volumes/StubImage.h"
#include "zipcomp/PeIconPatch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using testkit::TempDir;
namespace fs = std::filesystem;

struct RecordingHost : sfx::ISfxHost
{
    std::vector<std::pair<int, std::string>> messages;
    int pumps = 0;
    void ReportSfxMessage(int id, const std::string& extra) override { messages.emplace_back(id, extra); }
    void ProcessMessages() override { ++pumps; }
};

// A zip made by Python's zipfile: a compressed text, stored random bytes, a folder entry.
void makeZip(const std::string& path, const std::string& extraArgs = "")
{
    auto r = testkit::runProcess({"python3", "-c",
                                  "import zipfile,sys,random\n"
                                  "z=zipfile.ZipFile(sys.argv[1],'w')\n"
                                  "z.writestr('text.txt','hello world\\n'*500,zipfile.ZIP_DEFLATED)\n"
                                  "random.seed(1)\n"
                                  "z.writestr('sub/data.bin',bytes(random.randrange(256) for _ in range(5000)))\n"
                                  "z.writestr('sub/',b'')\n"
                                  "z.comment=b'archive comment'\n"
                                  "z.close()\n",
                                  path + extraArgs});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

sfx::SfxJob job(const std::string& zipName, const std::string& stub)
{
    sfx::SfxJob j;
    j.zipFileName = zipName;
    j.sfxPath = stub;
    return j;
}

TEST(SfxConfigBlock, size_is_twelve_plus_texts_rounded_up_to_four)
{
    sfx::SfxSettings s;
    s.caption.clear();
    std::string block;
    ASSERT_TRUE(sfx::MakeConfigBlock(s, block));
    ASSERT_EQ(block.size(), 12u);
    EXPECT_EQ(block.substr(0, 3), "MPV");
    EXPECT_EQ(block[4], 0);
    EXPECT_EQ(block[5], 1);
    EXPECT_EQ(zipfmt::getU16(reinterpret_cast<const std::uint8_t*>(block.data()) + 6), 12);
    EXPECT_EQ(block.substr(8), std::string(4, '\0'));

    s.caption = "C";
    ASSERT_TRUE(sfx::MakeConfigBlock(s, block));
    ASSERT_EQ(block.size(), 16u);
    EXPECT_EQ(zipfmt::getU16(reinterpret_cast<const std::uint8_t*>(block.data()) + 6), 16);
    EXPECT_EQ(block.substr(8, 5), std::string("\1C\0\0\0", 5));

    s.caption = "Cap";
    s.defaultDir = "dd";
    s.commandLine = "x";
    s.message = "hello";
    ASSERT_TRUE(sfx::MakeConfigBlock(s, block));
    EXPECT_EQ(block.size(), 24u); // 12 + 11 -> 24
    EXPECT_EQ(block.substr(8, 15), std::string("\3Cap\2dd\1x\5hello", 15));
}

TEST(SfxConfigBlock, option_bits_follow_the_settings)
{
    sfx::SfxSettings s;
    EXPECT_EQ(sfx::OptionBits(s), 0); // checking sizes, asking before overwriting
    s.checkSize = false;
    EXPECT_EQ(sfx::OptionBits(s), 32);
    s = {};
    s.overwriteMode = sfx::OverwriteMode::Always;
    s.askCmdLine = true;
    EXPECT_EQ(sfx::OptionBits(s), 8 | 1);
    s = {};
    s.overwriteMode = sfx::OverwriteMode::Never;
    s.askFiles = s.hideOverwriteBox = s.autoRun = s.noSuccessMsg = true;
    EXPECT_EQ(sfx::OptionBits(s), 16 | 2 | 4 | 64 | 128);
}

TEST(SfxBuilder, texts_of_256_characters_are_refused_with_10801_and_nothing_is_made)
{
    TempDir dir;
    testkit::writeFile(dir / "stub.bin", "STUB");
    RecordingHost host;
    auto j = job(dir / "out.exe", dir / "stub.bin");
    j.settings.message = std::string(256, 'm');
    EXPECT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOtherError);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, 10801);
    const std::size_t blockSize = (12 + 23 + 256 + 3) / 4 * 4;
    EXPECT_EQ(host.messages[0].second,
              "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine + SFXMessage = " + std::to_string(blockSize + 1));
    EXPECT_FALSE(fs::exists(dir / "out.exe"));

    j.settings.message = std::string(255, 'm');
    host.messages.clear();
    EXPECT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOk);
    EXPECT_TRUE(host.messages.empty());
}

TEST(SfxBuilder, without_a_stub_reports_10802_and_makes_nothing)
{
    TempDir dir;
    RecordingHost host;
    auto j = job(dir / "out.exe", dir / "missing.bin");
    j.programDir = dir.path().string();
    EXPECT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOtherError);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, 10802);
    EXPECT_EQ(j.sfxPath, dir / "missing.bin");
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(SfxBuilder, stub_is_found_in_the_program_folder_then_the_engine_folder)
{
    TempDir dir;
    testkit::writeFile(dir / "engine/ZipStub.bin", "ENGINE");
    RecordingHost host;
    auto j = job(dir / "out.exe", dir / "missing.bin");
    j.programDir = dir / "prog";
    j.dllDirectory = dir / "engine";
    ASSERT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOk);
    EXPECT_EQ(j.sfxPath, dir / "engine/ZipStub.bin");
    testkit::writeFile(dir / "prog/ZIPSTUB.BIN", "PROGRAM");
    fs::remove(dir / "out.exe");
    j.sfxPath = dir / "missing.bin";
    ASSERT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOk);
    EXPECT_EQ(j.sfxPath, dir / "prog/ZIPSTUB.BIN");
    EXPECT_EQ(testkit::readFile(dir / "out.exe").substr(0, 7), "PROGRAM");
}

TEST(SfxBuilder, create_mode_writes_stub_block_and_an_empty_end_record_counting_both)
{
    TempDir dir;
    const std::string stub = testkit::randomBytes(20000, 7);
    testkit::writeFile(dir / "stub.bin", stub);
    RecordingHost host;
    auto j = job(dir / "new.EXE", dir / "stub.bin");
    j.settings.caption = "C";
    ASSERT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOk);
    EXPECT_EQ(j.outputName, dir / "new.EXE");
    EXPECT_GE(host.pumps, 3); // after each 8 KiB chunk of the stub
    const std::string out = testkit::readFile(dir / "new.EXE");
    ASSERT_EQ(out.size(), stub.size() + 16 + 22);
    EXPECT_EQ(out.substr(0, stub.size()), stub);
    EXPECT_EQ(out.substr(stub.size(), 3), "MPV");
    const auto* end = reinterpret_cast<const std::uint8_t*>(out.data()) + stub.size() + 16;
    EXPECT_EQ(zipfmt::getU32(end), zipfmt::kEndRecordSig);
    EXPECT_EQ(zipfmt::getU32(end + zipfmt::endrec::kCentralOffset), stub.size() + 16);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(end) + 4, 12), std::string(12, '\0'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(end) + 20, 2), std::string(2, '\0'));
    // Another zip tool adds to it like to any archive, and the result tests clean.
    testkit::writeFile(dir / "a.txt", "some text\n");
    auto z = testkit::runProcess({"zip", "-q", "new.EXE", "a.txt"}, {}, 60, dir.path());
    ASSERT_EQ(z.exitCode, 0) << z.out << z.err;
    auto t = testkit::runProcess({"unzip", "-t", dir / "new.EXE"});
    EXPECT_EQ(t.exitCode, 0) << t.out << t.err;
}

TEST(SfxBuilder, conversion_shifts_every_offset_and_unzip_tests_the_result)
{
    TempDir dir;
    makeZip(dir / "arch.zip");
    const std::string zip = testkit::readFile(dir / "arch.zip");
    testkit::writeFile(dir / "stub.bin", testkit::randomBytes(9001, 3));
    RecordingHost host;
    auto j = job(dir / "arch.zip", dir / "stub.bin");
    j.convert = true;
    ASSERT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOk) << j.errorText;
    EXPECT_EQ(j.outputName, dir / "arch.exe");
    EXPECT_FALSE(fs::exists(dir / "arch.zip"));
    EXPECT_EQ(fs::file_size(dir / "arch.exe"), 9001 + 36 + zip.size());
    auto t = testkit::runProcess({"unzip", "-t", dir / "arch.exe"});
    EXPECT_EQ(t.exitCode, 0) << t.out << t.err;
    EXPECT_EQ(t.out.find("extra bytes"), std::string::npos) << t.out;
    EXPECT_NE(t.out.find("No errors detected"), std::string::npos) << t.out;
    auto p =
        testkit::runProcess({"python3", "-c",
                             "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1])\nassert z.testzip() is None\n"
                             "assert z.read('text.txt')==b'hello world\\n'*500\nassert z.comment==b'archive comment'\n",
                             dir / "arch.exe"});
    EXPECT_EQ(p.exitCode, 0) << p.err;
}

TEST(SfxBuilder, conversion_shifts_the_zip64_records_too)
{
    TempDir dir;
    testkit::writeFile(dir / "a.txt", std::string(3000, 'a'));
    testkit::writeFile(dir / "b.txt", testkit::randomBytes(3000, 9));
    auto z = testkit::runProcess({"zip", "-q", "-fz", "z64.zip", "a.txt", "b.txt"}, {}, 60, dir.path());
    ASSERT_EQ(z.exitCode, 0) << z.err;
    testkit::writeFile(dir / "stub.bin", testkit::randomBytes(5000, 4));
    RecordingHost host;
    auto j = job(dir / "z64.zip", dir / "stub.bin");
    j.convert = true;
    ASSERT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOk) << j.errorText;
    auto t = testkit::runProcess({"unzip", "-t", dir / "z64.exe"});
    EXPECT_EQ(t.exitCode, 0) << t.out << t.err;
    EXPECT_EQ(t.out.find("extra bytes"), std::string::npos) << t.out;
    auto p = testkit::runProcess({"python3", "-c",
                                  "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1])\nassert z.testzip() is None\n"
                                  "assert z.read('a.txt')==b'a'*3000\n",
                                  dir / "z64.exe"});
    EXPECT_EQ(p.exitCode, 0) << p.err;
}

TEST(SfxBuilder, an_archive_whose_directory_is_displaced_is_copied_unchanged)
{
    TempDir dir;
    makeZip(dir / "plain.zip");
    // Data in front whose size the offsets do not count: they cannot be shifted as plain positions.
    const std::string displaced = "PREFIX-BYTES" + testkit::readFile(dir / "plain.zip");
    testkit::writeFile(dir / "old.ZIP", displaced);
    testkit::writeFile(dir / "stub.bin", "STUB");
    RecordingHost host;
    auto j = job(dir / "old.ZIP", dir / "stub.bin");
    j.convert = true;
    ASSERT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOk) << j.errorText;
    EXPECT_EQ(j.outputName, dir / "old.exe");
    const std::string out = testkit::readFile(dir / "old.exe");
    EXPECT_EQ(out.substr(0, 4), "STUB");
    EXPECT_TRUE(out.substr(4 + 36) == displaced); // block: 12 + 23-character caption, rounded up
    EXPECT_FALSE(fs::exists(dir / "old.ZIP"));
}

TEST(SfxBuilder, failed_conversions_keep_the_zip_and_any_older_exe)
{
    TempDir dir;
    testkit::writeFile(dir / "stub.bin", "STUB");
    RecordingHost host;

    // Not a ".zip" name.
    makeZip(dir / "arch.zap");
    auto j = job(dir / "arch.zap", dir / "stub.bin");
    j.convert = true;
    EXPECT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOtherError);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, 10803);

    // No such archive.
    host.messages.clear();
    j = job(dir / "none.zip", dir / "stub.bin");
    j.convert = true;
    EXPECT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOtherError);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, 10102);

    // Not a zip at all: the read fails, the old .exe of that name and the source stay.
    host.messages.clear();
    testkit::writeFile(dir / "bad.zip", std::string(100, 'x'));
    testkit::writeFile(dir / "bad.exe", "OLD");
    j = job(dir / "bad.zip", dir / "stub.bin");
    j.convert = true;
    EXPECT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxStubFailed);
    EXPECT_NE(j.errorText.find("bad.zip"), std::string::npos) << j.errorText;
    EXPECT_EQ(testkit::readFile(dir / "bad.exe"), "OLD");
    EXPECT_EQ(testkit::readFile(dir / "bad.zip"), std::string(100, 'x'));

    // A central directory cut short.
    host.messages.clear();
    makeZip(dir / "cut.zip");
    std::string zip = testkit::readFile(dir / "cut.zip");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(zip.data());
    std::size_t end = zip.rfind(std::string("PK\5\6", 4));
    const std::uint32_t cd = zipfmt::getU32(bytes + end + zipfmt::endrec::kCentralOffset);
    zip[cd + 50] = 'X'; // damage the second header's signature by shifting the first's name length
    zip[cd + zipfmt::central::kNameLength] = 1;
    testkit::writeFile(dir / "cut.zip", zip);
    j = job(dir / "cut.zip", dir / "stub.bin");
    j.convert = true;
    EXPECT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxCopyFailed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, 11015);
    EXPECT_FALSE(fs::exists(dir / "cut.exe"));
    EXPECT_TRUE(fs::exists(dir / "cut.zip"));
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".exe."), std::string::npos) << entry.path();
    }
}

TEST(SfxIcon, the_stub_icon_is_found_under_type_3_name_1)
{
    const std::string exe = stubimage::Build();
    std::uint64_t pos = 0;
    ASSERT_EQ(sfx::FindStubIcon(zipfmt::ByteView(exe.data(), exe.size()), pos), sfx::kIconOk);
    EXPECT_EQ(pos, stubimage::kIconFilePosition);

    const std::string group = stubimage::Build(false);
    EXPECT_EQ(sfx::FindStubIcon(zipfmt::ByteView(group.data(), group.size()), pos), sfx::kIconNoResource);
    const std::string text = "MZ but nothing else";
    EXPECT_EQ(sfx::FindStubIcon(zipfmt::ByteView(text.data(), text.size()), pos), sfx::kIconNoResource);
}

TEST(SfxIcon, damaged_executables_never_read_past_their_end)
{
    const std::string exe = stubimage::Build();
    std::uint64_t pos = 0;
    // Every cut: the checked reads give "no icon" (or find it when the cut leaves it whole).
    for (std::size_t n = 0; n < exe.size(); n += 7) {
        std::string cut = exe.substr(0, n);
        int r = sfx::FindStubIcon(zipfmt::ByteView(cut.data(), cut.size()), pos);
        EXPECT_EQ(r,
                  n >= stubimage::kIconFilePosition + stubimage::kIconImageSize ? sfx::kIconOk : sfx::kIconNoResource)
            << n;
    }
    // Loops and wild offsets in the resource tree.
    std::string looped = exe;
    stubimage::put32(looped, stubimage::kResourceFileOffset + 64 + 20, 0x80000000u | 0); // back to the root
    EXPECT_EQ(sfx::FindStubIcon(zipfmt::ByteView(looped.data(), looped.size()), pos), sfx::kIconNoResource);
    std::string wild = exe;
    stubimage::put32(wild, stubimage::kResourceFileOffset + 28, 0xFFFFFFF0u);
    stubimage::put32(wild, 60, 0xFFFFFFF0u);
    EXPECT_EQ(sfx::FindStubIcon(zipfmt::ByteView(wild.data(), wild.size()), pos), sfx::kIconNoResource);
}

TEST(SfxIcon, a_single_766_byte_icon_replaces_the_stub_icon_in_the_output)
{
    TempDir dir;
    testkit::writeFile(dir / "stub.bin", stubimage::Build());
    RecordingHost host;
    auto j = job(dir / "out.exe", dir / "stub.bin");
    j.icon = stubimage::IconFile(1, 'N');
    ASSERT_EQ(j.icon.size(), 766u);
    ASSERT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kSfxOk) << j.errorText;
    const std::string out = testkit::readFile(dir / "out.exe");
    EXPECT_EQ(out.substr(stubimage::kIconFilePosition, 744), std::string(744, 'N'));
    EXPECT_EQ(out.substr(stubimage::kImageSize, 3), "MPV"); // block still right after the stub
    EXPECT_EQ(out.size(), stubimage::kImageSize + sfx::ConfigBlockSize(j.settings) + 22);
    EXPECT_EQ(testkit::readFile(dir / "stub.bin"), stubimage::Build());
}

TEST(SfxIcon, a_multi_image_icon_is_refused_with_minus_12_and_the_stub_icon_stays)
{
    TempDir dir;
    testkit::writeFile(dir / "stub.bin", stubimage::Build());
    RecordingHost host;
    auto j = job(dir / "out.exe", dir / "stub.bin");
    j.icon = stubimage::IconFile(2, 'N');
    EXPECT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kIconBadIconFile);
    EXPECT_FALSE(fs::exists(dir / "out.exe"));
    EXPECT_TRUE(fs::is_regular_file(dir / "stub.bin"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // The same refusal on a file in place leaves its icon as it was.
    testkit::writeFile(dir / "copy.exe", stubimage::Build());
    int fd = ::open((dir / "copy.exe").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(sfx::ReplaceStubIcon(fd, stubimage::kImageSize, stubimage::IconFile(2, 'N')), sfx::kIconBadIconFile);
    std::string wrongType = stubimage::IconFile(1, 'N');
    wrongType[2] = 2; // a cursor file
    EXPECT_EQ(sfx::ReplaceStubIcon(fd, stubimage::kImageSize, wrongType), sfx::kIconBadIconFile);
    ::close(fd);
    EXPECT_EQ(testkit::readFile(dir / "copy.exe"), stubimage::Build());

    // A stub without an icon resource: -10, whatever the icon.
    testkit::writeFile(dir / "plain.bin", stubimage::Build(false));
    j = job(dir / "out.exe", dir / "plain.bin");
    j.icon = stubimage::IconFile(1, 'N');
    EXPECT_EQ(sfx::BuildSelfExtractor(j, host), sfx::kIconNoResource);
    EXPECT_FALSE(fs::exists(dir / "out.exe"));
}

} // namespace
