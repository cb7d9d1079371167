#include "ZipBuilder.h"
#include "ZipCompFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

namespace fs = std::filesystem;

// A small tree: three files in two folders, one empty folder.
void MakeTree(const fs::path& root)
{
    testkit::writeFile(root / "a.txt", "alpha\n");
    testkit::writeFile(root / "sub" / "b.txt", std::string(5000, 'b'));
    testkit::writeFile(root / "sub" / "deeper" / "c.bin", testkit::randomBytes(3000, 7));
    fs::create_directories(root / "empty");
}

std::set<std::string> Names(const TZipComponent& zip)
{
    std::set<std::string> names;
    for (const auto& e : zip.Entries()) {
        names.insert(e.FileName);
    }
    return names;
}

} // namespace

class ZipDirReaderTest : public ZipCompFixture
{
protected:
    ZipDirReaderTest()
    {
        zip.SetUnattended(true);
        zip.OnDirUpdate = [this](TZipComponent&) { ++dirUpdates; };
        zip.OnNewName = [this](TZipComponent&, int seq, const ZipDirEntry& e) { seqs.emplace_back(seq, e.FileName); };
    }
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = run.Dir() / name;
        // A new file each time: rewriting a file in place makes some file systems flush it at once.
        std::filesystem::remove(path);
        testkit::writeFile(path, bytes);
        return path;
    }
    int dirUpdates = 0;
    std::vector<std::pair<int, std::string>> seqs;
};

TEST_F(ZipDirReaderTest, reads_an_info_zip_archive_and_skips_folder_entries)
{
    if (!testkit::haveProgram("zip")) {
        GTEST_SKIP() << "zip not installed";
    }
    MakeTree(run.Dir().path() / "tree");
    auto r = testkit::runProcess({"zip", "-r", "-q", "../t.zip", "."}, {}, 60, run.Dir().path() / "tree");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    zip.SetZipFileName(run.Dir() / "t.zip");
    EXPECT_TRUE(messages.empty()) << messages.front().second;
    EXPECT_EQ(Names(zip), (std::set<std::string>{"a.txt", "sub/b.txt", "sub/deeper/c.bin"}));
    EXPECT_EQ(zip.SkippedDirCount(), 3) << "sub/, sub/deeper/, empty/";
    EXPECT_EQ(zip.StubSize(), 0);
    EXPECT_EQ(zip.EndRecordOffset(), static_cast<std::int64_t>(fs::file_size(run.Dir() / "t.zip")) - 22);
    EXPECT_EQ(dirUpdates, 1);
    ASSERT_EQ(seqs.size(), 3u);
    EXPECT_EQ(std::max_element(seqs.begin(), seqs.end())->first, 6) << "skipped folders use up their numbers";
    for (const auto& e : zip.Entries()) {
        EXPECT_EQ(e.UncompressedSize, fs::file_size(run.Dir().path() / "tree" / e.FileName)) << e.FileName;
        EXPECT_EQ(e.HostSys, 3);
        EXPECT_FALSE(e.Encrypted);
    }

    zip.SetUseDirOnlyEntries(true);
    zip.SetZipFileName(run.Dir() / "t.zip");
    EXPECT_EQ(zip.Entries().size(), 6u);
    EXPECT_EQ(zip.SkippedDirCount(), 0);
    EXPECT_EQ(dirUpdates, 2) << "setting the same name again reads again";
}

TEST_F(ZipDirReaderTest, reads_a_7z_archive_with_its_comment_and_hands_the_comment_to_the_engine)
{
    if (!testkit::haveProgram("7z") || !testkit::haveProgram("zip")) {
        GTEST_SKIP() << "7z or zip not installed";
    }
    MakeTree(run.Dir().path() / "tree");
    auto r = testkit::runProcess({"7z", "a", "-tzip", "-bd", "../s.zip", "."}, {}, 60, run.Dir().path() / "tree");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Info-ZIP's zip -z reads the comment from standard input; runProcess gives it /dev/null, so
    // write the comment with a small edit of the end record instead.
    std::string bytes = testkit::readFile(run.Dir() / "s.zip");
    ASSERT_GE(bytes.size(), 22u);
    bytes[bytes.size() - 2] = 12;
    bytes += "kept comment";
    testkit::writeFile(run.Dir() / "s.zip", bytes);

    zip.SetZipFileName(run.Dir() / "s.zip");
    EXPECT_TRUE(messages.empty()) << messages.front().second;
    EXPECT_EQ(Names(zip), (std::set<std::string>{"a.txt", "sub/b.txt", "sub/deeper/c.bin"}));
    EXPECT_EQ(zip.ArchiveComment(), "kept comment");

    UseFake("fake_v160");
    zip.SetZipFileName(run.Dir() / "s.zip");
    zip.FSpecArgs() = {"*"};
    zip.Add();
    EXPECT_EQ(run.Dump()["ArchiveComment"], "kept comment");
}

TEST_F(ZipDirReaderTest, reads_zip64_end_records_and_extra_fields_exactly)
{
    zipbuild::Entry big{"big.iso", "x"};
    big.zip64 = true;
    big.fakeSize = 5'000'000'000ull;
    zipbuild::Entry small{"small.txt", "hello"};
    zipbuild::Options options;
    options.zip64End = true;
    zip.SetZipFileName(Write("z64.zip", zipbuild::Build({small, big}, options)));
    EXPECT_TRUE(messages.empty()) << messages.front().second;
    ASSERT_EQ(zip.Entries().size(), 2u);
    EXPECT_EQ(zip.Entries()[1].UncompressedSize, 5'000'000'000ull);
    EXPECT_EQ(zip.Entries()[1].CompressedSize, 5'000'000'000ull);
    EXPECT_EQ(zip.Entries()[1].RelOffLocalHdr, 30u + 9u + 5u);
    EXPECT_EQ(zip.StubSize(), 0);

    // The same with 30,000 bytes glued in front (offsets not counting them).
    options.stub = std::string(30000, 'S');
    options.offsetsCountStub = false;
    zip.SetZipFileName(Write("z64stub.zip", zipbuild::Build({small, big}, options)));
    EXPECT_EQ(zip.ErrCode(), 10203);
    ASSERT_EQ(zip.Entries().size(), 2u);
    EXPECT_EQ(zip.StubSize(), 30000);
}

TEST_F(ZipDirReaderTest, reads_more_than_65535_entries_written_by_python)
{
    if (!testkit::haveProgram("python3")) {
        GTEST_SKIP() << "python3 not installed";
    }
    const std::string path = run.Dir() / "many.zip";
    auto r = testkit::runProcess({"python3", "-c",
                                  "import sys, zipfile\n"
                                  "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                  "    for i in range(70000): z.writestr('f%05d' % i, '')\n",
                                  path},
                                 {}, 300);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    zip.SetZipFileName(path);
    EXPECT_TRUE(messages.empty()) << messages.front().second;
    ASSERT_EQ(zip.Entries().size(), 70000u);
    EXPECT_EQ(zip.Entries().back().FileName, "f69999");
}

TEST_F(ZipDirReaderTest, archive_of_only_an_end_record_is_empty)
{
    zip.SetZipFileName(Write("empty.zip", zipbuild::Build({})));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(zip.Entries().empty());
    EXPECT_EQ(zip.StubSize(), 0);
    EXPECT_EQ(zip.EndRecordOffset(), 0);
    EXPECT_EQ(zip.ZipFileName(), run.Dir() / "empty.zip");
}

TEST_F(ZipDirReaderTest, zero_padding_to_512_is_quiet_and_other_trailing_bytes_warn)
{
    zipbuild::Options options;
    const std::string plain = zipbuild::Build({{"a.txt", "aaa"}});
    options.trailing = std::string(512 - plain.size() % 512, '\0');
    zip.SetZipFileName(Write("padded.zip", zipbuild::Build({{"a.txt", "aaa"}}, options)));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(zip.Entries().size(), 1u);

    options.trailing.back() = 'x';
    zip.SetZipFileName(Write("trailing.zip", zipbuild::Build({{"a.txt", "aaa"}}, options)));
    EXPECT_EQ(zip.ErrCode(), 10204);
    EXPECT_EQ(zip.Entries().size(), 1u) << "a warning does not end the read";
    EXPECT_EQ(zip.ZipFileName(), run.Dir() / "trailing.zip");
}

TEST_F(ZipDirReaderTest, data_in_front_gives_the_stub_size_both_ways)
{
    zipbuild::Options options;
    options.stub = std::string(30000, 'M');
    options.offsetsCountStub = false;
    std::vector<zipbuild::Entry> entries = {{"one.txt", "1"}, {"two.txt", "22"}};
    zip.SetZipFileName(Write("glued.exe", zipbuild::Build(entries, options)));
    EXPECT_EQ(zip.ErrCode(), 10203);
    EXPECT_EQ(zip.Entries().size(), 2u);
    EXPECT_EQ(zip.StubSize(), 30000);

    messages.clear();
    options.offsetsCountStub = true;
    zip.SetZipFileName(Write("adjusted.exe", zipbuild::Build(entries, options)));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(zip.Entries().size(), 2u);
    EXPECT_EQ(zip.StubSize(), 30000);
}

TEST_F(ZipDirReaderTest, offsets_that_contradict_the_file_keep_the_stub_size_within_it)
{
    // The end record states a directory offset past the real one: no data in front, not a
    // negative amount of it.
    std::string shifted = zipbuild::Build({{"one.txt", "1"}, {"two.txt", "22"}}, zipbuild::Options{});
    const std::size_t end = shifted.size() - 22;
    std::uint32_t stated = 0;
    for (int i = 3; i >= 0; --i) {
        stated = stated * 256 + static_cast<unsigned char>(shifted[end + 16 + static_cast<std::size_t>(i)]);
    }
    stated += 127;
    for (std::size_t i = 0; i < 4; ++i) {
        shifted[end + 16 + i] = static_cast<char>((stated >> (8 * i)) & 0xFF);
    }
    zip.SetZipFileName(Write("shifted.zip", shifted));
    EXPECT_EQ(zip.ErrCode(), 10203);
    EXPECT_EQ(zip.Entries().size(), 2u);
    EXPECT_EQ(zip.StubSize(), 0);

    // An empty directory stated at offset 0 behind 100 bytes: those 100 bytes, not more than the file.
    std::string empty = std::string(100, 'x') + "PK\x05\x06" + std::string(18, '\0');
    zip.SetZipFileName(Write("behind.zip", empty));
    EXPECT_TRUE(zip.Entries().empty());
    EXPECT_EQ(zip.StubSize(), 100);
}

TEST_F(ZipDirReaderTest, a_file_that_is_no_archive_reports_11036_and_clears_the_name)
{
    for (const std::string& bytes : {testkit::randomBytes(100, 3), std::string("short"), std::string()}) {
        messages.clear();
        zip.SetZipFileName(Write("not.zip", bytes));
        EXPECT_EQ(zip.ErrCode(), 11036) << bytes.size();
        EXPECT_NE(zip.Message().find("not.zip"), std::string::npos) << "the message names the file";
        EXPECT_EQ(zip.ZipFileName(), "");
        EXPECT_EQ(zip.StubSize(), 0);
    }
    // The add that follows does not bury the reason under "No archive file name is set.".
    messages.clear();
    zip.FSpecArgs() = {"*"};
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 11036);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ZipDirReaderTest, missing_files_and_folders_read_as_empty_without_a_message)
{
    zip.SetZipFileName(run.Dir() / "absent.zip");
    zip.SetZipFileName(run.Dir().path().string());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(dirUpdates, 2);
    EXPECT_TRUE(zip.Entries().empty());
}

TEST_F(ZipDirReaderTest, oem_names_of_ms_dos_hosts_follow_the_code_page_setting)
{
    zipbuild::Entry dos{std::string("gr\x84n.txt"), "x"};
    dos.host = zipfmt::kHostMsDos;
    dos.comment = "\x81";
    zipbuild::Entry unix{std::string("gr\x84n2.txt"), "x"};
    zipbuild::Entry utf8{"gr\xC3\xBCn3.txt", "x"};
    utf8.host = zipfmt::kHostMsDos;
    utf8.flags = zipfmt::kFlagUtf8;
    zipbuild::Entry ntfs50{std::string("\x94.txt"), "x"};
    ntfs50.host = zipfmt::kHostNtfs;
    ntfs50.version = 50;
    const std::string path = Write("oem.zip", zipbuild::Build({dos, unix, utf8, ntfs50}));

    zip.SetZipFileName(path);
    ASSERT_EQ(zip.Entries().size(), 4u);
    EXPECT_EQ(zip.Entries()[0].FileName, "gr\xC3\xA4n.txt") << "0x84 is a-umlaut in code page 437";
    EXPECT_EQ(zip.Entries()[0].FileComment, "\xC3\xBC");
    EXPECT_EQ(zip.Entries()[1].FileName, "gr\x84n2.txt");
    EXPECT_EQ(zip.Entries()[2].FileName, "gr\xC3\xBCn3.txt") << "UTF-8 names are never converted";
    EXPECT_EQ(zip.Entries()[3].FileName, "\xC3\xB6.txt");

    zip.SetCodePage(CodePageOpts::cpNone);
    zip.SetZipFileName(path);
    EXPECT_EQ(zip.Entries()[0].FileName, "gr\x84n.txt");
    EXPECT_EQ(zip.Entries()[3].FileName, "\xC3\xB6.txt");

    zip.SetCodePage(CodePageOpts::cpOEM);
    zip.SetZipFileName(path);
    EXPECT_EQ(zip.Entries()[1].FileName, "gr\xC3\xA4n2.txt");
    EXPECT_EQ(zip.Entries()[2].FileName, "gr\xC3\xBCn3.txt");
}

TEST_F(ZipDirReaderTest, damaged_directories_end_in_their_messages)
{
    zipbuild::Entry commented{"a.txt", "aaa"};
    commented.comment = "note";
    const std::string good = zipbuild::Build({commented, {"b.txt", "b"}});
    const std::size_t centralStart = (30 + 5 + 3) + (30 + 5 + 1);
    const std::size_t endStart = good.size() - 22;

    struct Case
    {
        const char* what;
        std::string bytes;
        int message;
    };
    std::vector<Case> cases;
    {
        std::string b = good;
        b[centralStart] = 'X';
        cases.push_back({"bad central signature", b, 11015});
    }
    {
        std::string b = good;
        b[endStart + 10] = 3; // three entries claimed, two present
        b[endStart + 8] = 3;
        cases.push_back({"more entries than the directory holds", b, 11013});
    }
    {
        std::string b = good;
        b[endStart + 12] = static_cast<char>(b[endStart + 12] + 100); // central size larger than the data
        cases.push_back({"central directory before the file start", b, 10201});
    }
    {
        std::string b = good;
        b[centralStart + 28] = static_cast<char>(0xFF); // name length runs past the directory
        b[centralStart + 29] = static_cast<char>(0xFF);
        cases.push_back({"name cut short", b, 11017});
    }
    {
        std::string b = good;
        b[centralStart + 32] = static_cast<char>(0xF0); // comment length runs past the end
        b[centralStart + 33] = static_cast<char>(0xFF);
        cases.push_back({"comment cut short", b, 11022});
    }
    for (const Case& c : cases) {
        messages.clear();
        zip.SetZipFileName(Write("bad.zip", c.bytes));
        EXPECT_EQ(zip.ErrCode(), c.message) << c.what;
        EXPECT_EQ(zip.ZipFileName(), "") << c.what;
        EXPECT_EQ(zip.StubSize(), 0) << c.what;
    }
}

TEST_F(ZipDirReaderTest, truncated_and_garbled_archives_never_crash)
{
    std::vector<zipbuild::Entry> entries;
    for (int i = 0; i < 8; ++i) {
        zipbuild::Entry e{"dir/file" + std::to_string(i) + ".txt", std::string(static_cast<std::size_t>(i) * 7, 'q')};
        e.zip64 = i % 3 == 0;
        e.comment = i % 2 == 0 ? "c" : "";
        entries.push_back(e);
    }
    zipbuild::Options options;
    options.zip64End = true;
    options.comment = "archive comment";
    const std::string good = zipbuild::Build(entries, options);
    zip.SetZipFileName(Write("good.zip", good));
    ASSERT_EQ(zip.Entries().size(), 8u);

    const std::set<int> expected = {10201, 10202, 10203, 10204, 11001, 11013, 11015, 11017, 11022, 11036};
    auto check = [&](const std::string& bytes, const std::string& what) {
        messages.clear();
        zip.SetZipFileName(Write("damaged.zip", bytes));
        if (!messages.empty()) {
            EXPECT_TRUE(expected.count(zip.ErrCode())) << what << ": " << zip.ErrCode() << " " << zip.Message();
        }
    };
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        check(good.substr(0, cut), "cut at " + std::to_string(cut));
    }
    std::uint32_t seed = 12345;
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = good;
        const std::string noise = testkit::randomBytes(12, seed++);
        const int changes = 1 + static_cast<unsigned char>(noise[0]) % 4;
        for (int k = 0; k < changes; ++k) {
            // Most changes hit the directory and the end records, where the reader looks.
            const std::size_t tail = std::min<std::size_t>(bytes.size(), 400);
            const std::size_t at =
                bytes.size() - 1 -
                (static_cast<unsigned char>(noise[1 + 2 * k]) * 256u + static_cast<unsigned char>(noise[2 + 2 * k])) %
                    tail;
            bytes[at] = noise[9 + k % 3];
        }
        check(bytes, "round " + std::to_string(round));
    }
}

TEST_F(ZipDirReaderTest, without_keeping_entries_the_read_still_checks_and_announces_every_entry)
{
    zip.SetKeepEntries(false);
    zipbuild::Options options;
    options.stub = std::string(100, 'M');
    zip.SetZipFileName(Write("kept.zip", zipbuild::Build({{"a.txt", "aaa"}, {"d/", ""}, {"b.txt", "b"}}, options)));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(zip.Entries().empty());
    EXPECT_EQ(seqs, (std::vector<std::pair<int, std::string>>{{1, "a.txt"}, {3, "b.txt"}}));
    EXPECT_EQ(zip.SkippedDirCount(), 1);
    EXPECT_EQ(zip.StubSize(), 100);
    EXPECT_EQ(dirUpdates, 1);

    // Damage is found all the same: the message, and no archive name left.
    std::string damaged = zipbuild::Build({{"a.txt", "aaa"}, {"b.txt", "b"}});
    const auto central = damaged.rfind(std::string("PK\x01\x02", 4));
    damaged[central] = 'X';
    zip.SetZipFileName(Write("damaged.zip", damaged));
    EXPECT_FALSE(messages.empty());
    EXPECT_TRUE(zip.ZipFileName().empty());

    zip.SetKeepEntries(true);
    zip.SetZipFileName(Write("kept2.zip", zipbuild::Build({{"a.txt", "aaa"}})));
    EXPECT_EQ(zip.Entries().size(), 1u);
}

TEST_F(ZipDirReaderTest, without_checking_entries_only_the_end_records_and_the_first_header_are_read)
{
    zip.SetKeepEntries(false);
    zip.SetCheckEntries(false);
    zip.OnNewName = nullptr;
    zipbuild::Options options;
    options.stub = std::string(100, 'M');
    options.comment = "kept comment";
    std::string damaged = zipbuild::Build({{"a.txt", "aaa"}, {"d/", ""}, {"b.txt", "b"}}, options);
    // The last header is broken: the engine finds that when it reads the directory.
    damaged[damaged.rfind(std::string("PK\x01\x02", 4))] = 'X';
    const std::string path = Write("last.zip", damaged);
    zip.SetZipFileName(path);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(zip.ZipFileName(), path);
    EXPECT_EQ(zip.StubSize(), 100);
    EXPECT_EQ(zip.ArchiveComment(), "kept comment");
    EXPECT_EQ(dirUpdates, 1);

    // Damage where the directory starts, or in the end records, is still the component's to report.
    std::string first = zipbuild::Build({{"a.txt", "aaa"}, {"b.txt", "b"}});
    first[first.find(std::string("PK\x01\x02", 4))] = 'X';
    zip.SetZipFileName(Write("first.zip", first));
    EXPECT_FALSE(messages.empty());
    EXPECT_TRUE(zip.ZipFileName().empty());
    messages.clear();
    zip.SetZipFileName(Write("text.zip", "this is no archive"));
    EXPECT_FALSE(messages.empty());
    EXPECT_TRUE(zip.ZipFileName().empty());

    // Anyone listening for names gets the whole walk, and its damage.
    messages.clear();
    int names = 0;
    zip.OnNewName = [&names](TZipComponent&, int, const ZipDirEntry&) { ++names; };
    zip.SetZipFileName(path);
    EXPECT_FALSE(messages.empty());
    EXPECT_EQ(names, 1);
}
