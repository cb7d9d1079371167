// The multi-volume writer: numbered files on a fixed drive that outside tools join and test,
// headers that move to the next volume, and every question, status and stop of removable media
// through a simulated drive.

#include "zipcomp/VolumeWriter.h"
#include "testkit/TestKit.h"
#include "tests/zipcomp/volumes/SimulatedDrive.h"
#include "zipformat/ZipRecords.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

using testkit::TempDir;
using namespace volumes;
namespace fs = std::filesystem;

// Inserts one value at the first conversion of a text.
std::string insert(std::string text, const std::string& value)
{
    for (const char* conv : {"%.1d", "%d", "%s"}) {
        std::size_t at = text.find(conv);
        if (at != std::string::npos) {
            return text.replace(at, std::strlen(conv), value);
        }
    }
    return text;
}

struct TestHost : IVolumeWriterHost
{
    std::map<int, std::string> texts = {
        {10105, "Copying: "},
        {11032, "This disk has not enough free space available"},
        {11034, "Please insert disk volume %.1d of %.1d"},
        {11035, "\r\nin drive: %s"},
        {11039, "Overwrite previous file %s"},
        {11040, "Overwrite previous disk no %d"},
        {11046, "Please insert disk volume %.1d"},
        {11047, "Central directory"},
        {11024, "Error while writing the volumes: "},
    };
    bool cancel = false;
    std::vector<std::tuple<Progress, std::string, std::int64_t>> progress;
    std::vector<std::string> messages;
    std::function<void(int, int, const std::string&, bool&)> nextDisk;
    std::function<DiskAction(int, const std::string&, int)> statusDisk;
    std::function<Answer(const std::string&)> yesNoCancel;
    std::function<bool(const std::string&)> retry;
    std::vector<std::string> questions;
    std::vector<std::tuple<int, int>> diskRequests;
    std::vector<std::tuple<int, std::string, int>> statuses;
    std::function<void()> onChunk;

    void ProcessMessages() override {}
    bool CancelRequested() override { return cancel; }
    std::string Text(int id) override { return texts.count(id) ? texts[id] : "message " + std::to_string(id); }
    std::string Text(int id, const std::string& v) override { return insert(Text(id), v); }
    std::string Text(int id, std::int64_t v) override { return insert(Text(id), std::to_string(v)); }
    std::string Text(int id, std::int64_t a, std::int64_t b) override
    {
        return insert(insert(Text(id), std::to_string(a)), std::to_string(b));
    }
    bool HasProgressHandler() override { return true; }
    void ReportProgress(Progress kind, const std::string& name, std::int64_t size) override
    {
        progress.emplace_back(kind, name, size);
        if (kind == Progress::ProgressUpdate && onChunk) {
            onChunk();
        }
    }
    bool HasMessageHandler() override { return true; }
    void ReportMessage(const std::string& text) override { messages.push_back(text); }
    bool GetNextDisk(int seq, int total, const std::string& drive, bool& abort) override
    {
        if (!nextDisk) {
            return false;
        }
        diskRequests.emplace_back(seq, total);
        nextDisk(seq, total, drive, abort);
        return true;
    }
    bool HasStatusHandler() override { return static_cast<bool>(statusDisk); }
    bool StatusDisk(int previousDisk, const std::string& previousFile, int status, DiskAction& action) override
    {
        if (!statusDisk) {
            return false;
        }
        statuses.emplace_back(previousDisk, previousFile, status);
        action = statusDisk(previousDisk, previousFile, status);
        return true;
    }
    Answer AskYesNoCancel(const std::string& text) override
    {
        questions.push_back(text);
        return yesNoCancel ? yesNoCancel(text) : Answer::Cancel;
    }
    bool AskRetry(const std::string& text) override
    {
        questions.push_back(text);
        return retry && retry(text);
    }
};

// An archive made by Python's zipfile: `count` stored files of random bytes named name<i>, each
// `size` bytes; `stream` writes it without seeking (data descriptors after every entry).
void makeArchive(const std::string& path, int count, int size, const std::string& name = "file", bool stream = false,
                 const std::string& extraNames = "")
{
    auto r =
        testkit::runProcess({"python3", "-c",
                             "import zipfile,sys,random,io\n"
                             "path,count,size,name,stream,extra=sys.argv[1],int(sys.argv[2]),int(sys.argv[3]),sys.argv["
                             "4],sys.argv[5]=='1',sys.argv[6]\n"
                             "class Unseekable(io.RawIOBase):\n"
                             "  def __init__(s,f): s.f=f\n"
                             "  def writable(s): return True\n"
                             "  def write(s,b): return s.f.write(b)\n"
                             "out=open(path,'wb')\n"
                             "z=zipfile.ZipFile(Unseekable(out) if stream else out,'w')\n"
                             "r=random.Random(5)\n"
                             "for i in range(count):\n"
                             "  z.writestr('%s%03d'%(name,i), bytes(r.randrange(256) for _ in range(size+i*37)))\n"
                             "for n in filter(None,extra.split(',')):\n"
                             "  z.writestr(n, n.encode()*50, zipfile.ZIP_DEFLATED)\n"
                             "z.comment=b'set comment'\n"
                             "z.close(); out.close()\n",
                             path, std::to_string(count), std::to_string(size), name, stream ? "1" : "0", extraNames});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

// Renames the volumes to the common .z01, .z02, ..., .zip naming, joins them with zip -s 0 and
// tests the result with unzip; checks the content against the original with Python.
void expectJoinsAndTests(const std::vector<std::string>& volumes, const fs::path& work, const std::string& original)
{
    fs::create_directories(work);
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        char ext[32];
        std::snprintf(ext, sizeof ext, ".z%02zu", i + 1);
        fs::copy_file(volumes[i], work / (i + 1 == volumes.size() ? std::string("set.zip") : "set" + std::string(ext)));
    }
    auto join = testkit::runProcess({"zip", "-s", "0", "set.zip", "--out", "joined.zip"}, {}, 60, work);
    ASSERT_EQ(join.exitCode, 0) << join.out << join.err;
    auto test = testkit::runProcess({"unzip", "-t", (work / "joined.zip").string()});
    EXPECT_EQ(test.exitCode, 0) << test.out << test.err;
    auto same =
        testkit::runProcess({"python3", "-c",
                             "import zipfile,sys\na=zipfile.ZipFile(sys.argv[1]);b=zipfile.ZipFile(sys.argv[2])\n"
                             "assert a.namelist()==b.namelist(), (a.namelist(),b.namelist())\n"
                             "for n in a.namelist(): assert a.read(n)==b.read(n), n\n"
                             "assert b.comment==a.comment\n",
                             original, (work / "joined.zip").string()});
    EXPECT_EQ(same.exitCode, 0) << same.err;
}

// Every central header's (disk, offset) names a local header that lies whole on its volume.
void expectHeadersWhole(const std::vector<std::string>& volumes)
{
    const std::string last = testkit::readFile(volumes.back());
    const auto* b = reinterpret_cast<const std::uint8_t*>(last.data());
    std::size_t end = last.rfind(std::string("PK\5\6", 4));
    ASSERT_NE(end, std::string::npos);
    ASSERT_EQ(zipfmt::getU16(b + end + zipfmt::endrec::kDiskNumber), volumes.size() - 1);
    const std::uint16_t cdDisk = zipfmt::getU16(b + end + zipfmt::endrec::kCentralDisk);
    std::uint32_t pos = zipfmt::getU32(b + end + zipfmt::endrec::kCentralOffset);
    std::string cd = testkit::readFile(volumes[cdDisk]).substr(pos);
    for (std::size_t d = cdDisk + 1u; d < volumes.size(); ++d) {
        cd += testkit::readFile(volumes[d]);
    }
    const std::uint16_t count = zipfmt::getU16(b + end + zipfmt::endrec::kEntriesTotal);
    const auto* c = reinterpret_cast<const std::uint8_t*>(cd.data());
    std::size_t at = 0;
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(zipfmt::getU32(c + at), zipfmt::kCentralHeaderSig) << i;
        const std::uint16_t disk = zipfmt::getU16(c + at + zipfmt::central::kDiskStart);
        const std::uint32_t offset = zipfmt::getU32(c + at + zipfmt::central::kLocalHeaderOffset);
        const std::string volume = testkit::readFile(volumes.at(disk));
        ASSERT_LE(offset + 30u, volume.size());
        const auto* l = reinterpret_cast<const std::uint8_t*>(volume.data()) + offset;
        EXPECT_EQ(zipfmt::getU32(l), zipfmt::kLocalHeaderSig);
        EXPECT_LE(offset + 30u + zipfmt::getU16(l + 26) + zipfmt::getU16(l + 28), volume.size()) << "header split";
        at += 46u + zipfmt::getU16(c + at + 28) + zipfmt::getU16(c + at + 30) + zipfmt::getU16(c + at + 32);
    }
}

std::vector<std::string> numberedVolumes(const std::string& target, int count)
{
    std::vector<std::string> out;
    for (int i = 1; i <= count; ++i) {
        out.push_back(NumberedVolumeName(target, i));
    }
    return out;
}

TEST(VolumeNames, numbered_files_and_labels)
{
    EXPECT_EQ(NumberedVolumeName("/a/backup.zip", 2), "/a/backup002.zip");
    EXPECT_EQ(NumberedVolumeName("/a.b/backup", 13), "/a.b/backup013");
    EXPECT_EQ(NumberedVolumeName("set.tar.zip", 1), "set.tar001.zip");
    EXPECT_EQ(VolumeLabel(1), "PKBACK# 001");
    EXPECT_EQ(VolumeLabel(120), "PKBACK# 120");
}

TEST(VolumeWriterFixed, two_and_a_half_volumes_give_three_numbered_files_that_join_and_test)
{
    TempDir dir;
    makeArchive(dir / "src.zip", 10, 9000);
    const auto size = static_cast<std::int64_t>(fs::file_size(dir / "src.zip"));
    LocalVolumeService local;
    TestHost host;
    VolumeWriterSettings settings;
    settings.maxVolumeSize = size * 2 / 5;
    settings.minFreeVolumeSize = 1000;
    fs::create_directories(dir / "out");
    VolumeWriter writer(local, host, settings);
    writer.CopyToVolumes(dir / "src.zip", dir / "out/set.zip");
    EXPECT_EQ(writer.LastVolume(), 2);
    const auto volumes = numberedVolumes(dir / "out/set.zip", 3);
    for (const auto& v : volumes) {
        ASSERT_TRUE(fs::exists(v)) << v;
        EXPECT_LE(static_cast<std::int64_t>(fs::file_size(v)), settings.maxVolumeSize);
    }
    EXPECT_FALSE(fs::exists(NumberedVolumeName(dir / "out/set.zip", 4)));
    EXPECT_FALSE(fs::exists(dir / "out/set.zip"));
    EXPECT_EQ(testkit::readFile(volumes[0]).substr(0, 8), std::string("PK\7\x8PK\3\4", 8));
    EXPECT_NE(testkit::readFile(volumes[2]).rfind(std::string("PK\5\6", 4)), std::string::npos);
    // Every volume took the source's time.
    EXPECT_EQ(fs::last_write_time(volumes[1]), fs::last_write_time(dir / "src.zip"));
    expectHeadersWhole(volumes);
    expectJoinsAndTests(volumes, dir.path() / "join", dir / "src.zip");

    // Progress: counts first, a file per entry and the directory, the chunks add up, end last.
    ASSERT_GE(host.progress.size(), 4u);
    EXPECT_EQ(host.progress[0], std::make_tuple(Progress::TotalFiles, std::string(), std::int64_t{10}));
    EXPECT_EQ(host.progress[1], std::make_tuple(Progress::TotalSize, std::string(), size));
    EXPECT_EQ(std::get<0>(host.progress.back()), Progress::EndOfBatch);
    std::int64_t chunks = 0;
    int files = 0;
    for (const auto& [kind, name, bytes] : host.progress) {
        chunks += kind == Progress::ProgressUpdate ? bytes : 0;
        files += kind == Progress::NewFile ? 1 : 0;
    }
    EXPECT_EQ(chunks, size); // everything but the 4-byte signature, which is not in the source
    EXPECT_EQ(files, 11);
    EXPECT_EQ(host.messages.front(), "Copying: file000");
    EXPECT_EQ(host.messages.back(), "Copying: Central directory");
}

TEST(VolumeWriterFixed, headers_that_do_not_fit_start_on_the_next_volume)
{
    TempDir dir;
    // Long names make 30 + 200-byte headers; data descriptors and names that differ only in case.
    const std::string longName(200, 'n');
    makeArchive(dir / "src.zip", 12, 700, longName, true, "Case.txt,case.txt,CASE.TXT");
    LocalVolumeService local;
    bool moved = false;
    for (std::int64_t max = 1500; max < 1900 && !moved; max += 37) {
        TestHost host;
        VolumeWriterSettings settings;
        settings.maxVolumeSize = max;
        settings.minFreeVolumeSize = 100;
        const std::string target = dir / ("m" + std::to_string(max) + "/set.zip");
        fs::create_directories(fs::path(target).parent_path());
        VolumeWriter writer(local, host, settings);
        writer.CopyToVolumes(dir / "src.zip", target);
        const auto volumes = numberedVolumes(target, writer.LastVolume() + 1);
        expectHeadersWhole(volumes);
        for (std::size_t i = 0; i + 1 < volumes.size(); ++i) {
            const auto left = max - static_cast<std::int64_t>(fs::file_size(volumes[i]));
            moved = moved || (left > 0 && left < 230);
        }
        if (moved) {
            expectJoinsAndTests(volumes, dir.path() / "join", dir / "src.zip");
        }
    }
    EXPECT_TRUE(moved) << "no volume was left with too little room for a header";
}

TEST(VolumeWriterFixed, zip64_end_records_are_rewritten_for_the_set)
{
    TempDir dir;
    for (int i = 0; i < 4; ++i) {
        testkit::writeFile(dir / ("in/f" + std::to_string(i)), testkit::randomBytes(4000, 10 + i));
    }
    auto z = testkit::runProcess({"zip", "-q", "-0", "-fz", "../src.zip", "f0", "f1", "f2", "f3"}, {}, 60,
                                 dir.path() / "in");
    ASSERT_EQ(z.exitCode, 0) << z.err;
    ASSERT_NE(testkit::readFile(dir / "src.zip").find(std::string("PK\6\6", 4)), std::string::npos);
    LocalVolumeService local;
    TestHost host;
    VolumeWriterSettings settings;
    settings.maxVolumeSize = 7000;
    settings.minFreeVolumeSize = 100;
    VolumeWriter writer(local, host, settings);
    writer.CopyToVolumes(dir / "src.zip", dir / "set.zip");
    ASSERT_EQ(writer.LastVolume(), 2);
    const auto volumes = numberedVolumes(dir / "set.zip", 3);
    const std::string last = testkit::readFile(volumes[2]);
    const std::size_t locator = last.rfind(std::string("PK\6\7", 4));
    ASSERT_NE(locator, std::string::npos);
    const auto* l = reinterpret_cast<const std::uint8_t*>(last.data()) + locator;
    EXPECT_EQ(zipfmt::getU32(l + zipfmt::zip64loc::kEndDisk), 2u);
    EXPECT_EQ(zipfmt::getU32(l + zipfmt::zip64loc::kTotalDisks), 3u);
    const std::uint64_t end64 = zipfmt::getU64(l + zipfmt::zip64loc::kEndOffset);
    ASSERT_EQ(last.substr(end64, 4), std::string("PK\6\6", 4));
    expectJoinsAndTests(volumes, dir.path() / "join", dir / "src.zip");
}

TEST(VolumeWriterFixed, an_existing_volume_file_is_asked_about_and_unattended_refuses)
{
    TempDir dir;
    makeArchive(dir / "src.zip", 3, 2000);
    LocalVolumeService local;
    VolumeWriterSettings settings;
    settings.minFreeVolumeSize = 100;
    testkit::writeFile(NumberedVolumeName(dir / "set.zip", 1), "older file");

    TestHost host;
    settings.unattended = true;
    try {
        VolumeWriter(local, host, settings).CopyToVolumes(dir / "src.zip", dir / "set.zip");
        FAIL() << "no error";
    } catch (const EVolumeWriteError& e) {
        EXPECT_EQ(e.MessageId(), 11025);
    }
    EXPECT_EQ(testkit::readFile(NumberedVolumeName(dir / "set.zip", 1)), "older file");

    // No: on a fixed drive no other disk can come, so the copy stops (and the file stays).
    settings.unattended = false;
    host.yesNoCancel = [](const std::string&) { return Answer::No; };
    try {
        VolumeWriter(local, host, settings).CopyToVolumes(dir / "src.zip", dir / "set.zip");
        FAIL() << "no error";
    } catch (const EVolumeWriteError& e) {
        EXPECT_EQ(e.MessageId(), 11007);
        EXPECT_FALSE(e.ShowDialog());
    }
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0], "Overwrite previous file " + NumberedVolumeName(dir / "set.zip", 1));
    EXPECT_EQ(testkit::readFile(NumberedVolumeName(dir / "set.zip", 1)), "older file");

    // Yes overwrites.
    host.yesNoCancel = [](const std::string&) { return Answer::Yes; };
    VolumeWriter writer(local, host, settings);
    writer.CopyToVolumes(dir / "src.zip", dir / "set.zip");
    EXPECT_EQ(writer.LastVolume(), 0);
    EXPECT_EQ(fs::file_size(NumberedVolumeName(dir / "set.zip", 1)), fs::file_size(dir / "src.zip") + 4);
}

TEST(VolumeWriterFixed, a_volume_too_small_for_a_header_stops_instead_of_writing_empty_volumes)
{
    TempDir dir;
    makeArchive(dir / "src.zip", 2, 100, std::string(300, 'x'));
    LocalVolumeService local;
    TestHost host;
    VolumeWriterSettings settings;
    settings.maxVolumeSize = 200;
    settings.minFreeVolumeSize = 10;
    try {
        VolumeWriter(local, host, settings).CopyToVolumes(dir / "src.zip", dir / "set.zip");
        FAIL() << "no error";
    } catch (const EVolumeWriteError& e) {
        EXPECT_EQ(e.MessageId(), 11024);
        EXPECT_NE(std::string(e.what()).find("cannot hold a header of 333 bytes"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(NumberedVolumeName(dir / "set.zip", 3)));
}

TEST(VolumeWriterFixed, a_missing_or_damaged_source_is_reported)
{
    TempDir dir;
    LocalVolumeService local;
    TestHost host;
    try {
        VolumeWriter(local, host, {}).CopyToVolumes(dir / "none.zip", dir / "set.zip");
        FAIL() << "no error";
    } catch (const EVolumeWriteError& e) {
        EXPECT_EQ(e.MessageId(), 11001);
        EXPECT_NE(std::string(e.what()).find("none.zip"), std::string::npos);
    }
    ASSERT_EQ(host.progress.size(), 1u);
    EXPECT_EQ(std::get<0>(host.progress.back()), Progress::EndOfBatch);
    testkit::writeFile(dir / "bad.zip", std::string(100, 'z'));
    try {
        VolumeWriter(local, host, {}).CopyToVolumes(dir / "bad.zip", dir / "set.zip");
        FAIL() << "no error";
    } catch (const EVolumeWriteError& e) {
        EXPECT_EQ(e.MessageId(), 11036);
    }
    // A local header that is not one.
    makeArchive(dir / "src.zip", 2, 100);
    std::string zip = testkit::readFile(dir / "src.zip");
    zip[0] = 'X';
    testkit::writeFile(dir / "src.zip", zip);
    try {
        VolumeWriter(local, host, {}).CopyToVolumes(dir / "src.zip", dir / "set.zip");
        FAIL() << "no error";
    } catch (const EVolumeWriteError& e) {
        EXPECT_EQ(e.MessageId(), 11014);
    }
    EXPECT_EQ(std::get<0>(host.progress.back()), Progress::EndOfBatch);
}

// ---- removable media -------------------------------------------------------------------------

struct RemovableFixture : ::testing::Test
{
    TempDir dir;
    SimulatedDrive drive{dir.path()};
    TestHost host;
    VolumeWriterSettings settings;
    std::string source;
    std::int64_t size = 0;

    void SetUp() override
    {
        source = dir / "src.zip";
        makeArchive(source, 6, 5000);
        size = static_cast<std::int64_t>(fs::file_size(source));
        settings.minFreeVolumeSize = 1000;
    }
    std::vector<std::string> diskFiles(const std::vector<std::string>& disks)
    {
        std::vector<std::string> out;
        for (const auto& d : disks) {
            out.push_back((drive.DiskFolder(d) / "set.zip").string());
        }
        return out;
    }
    // Inserts the disks in order, one per request.
    void insertInOrder(std::vector<std::string> disks)
    {
        auto queue = std::make_shared<std::vector<std::string>>(std::move(disks));
        host.nextDisk = [this, queue](int, int, const std::string&, bool& abort) {
            if (queue->empty()) {
                abort = true;
                return;
            }
            drive.Insert(queue->front());
            queue->erase(queue->begin());
        };
    }
    int copy(const VolumeWriterSettings& s)
    {
        VolumeWriter writer(drive, host, s);
        writer.CopyToVolumes(source, drive.OnDrive("set.zip"));
        return writer.LastVolume();
    }
    int copyFails(const VolumeWriterSettings& s, bool& showDialog)
    {
        try {
            copy(s);
        } catch (const EVolumeWriteError& e) {
            showDialog = e.ShowDialog();
            return e.MessageId();
        }
        return 0;
    }
};

TEST_F(RemovableFixture, each_disk_is_asked_for_labelled_and_holds_a_file_of_the_archive_name)
{
    for (const char* d : {"d1", "d2", "d3"}) {
        drive.AddDisk(d, size / 2 - 1000);
    }
    insertInOrder({"d1", "d2", "d3"});
    EXPECT_EQ(copy(settings), 2);
    ASSERT_EQ(host.diskRequests.size(), 3u);
    EXPECT_EQ(host.diskRequests[0], std::make_tuple(1, 1)); // no disk in the drive yet: no estimate
    EXPECT_EQ(std::get<0>(host.diskRequests[1]), 2);
    EXPECT_EQ(std::get<1>(host.diskRequests[1]), 3); // (size + 4) / (size / 2 - 1000) -> 2, shown + 1
    EXPECT_EQ(drive.DiskInfo("d1").label, "PKBACK# 001");
    EXPECT_EQ(drive.DiskInfo("d3").label, "PKBACK# 003");
    const auto volumes = diskFiles({"d1", "d2", "d3"});
    expectHeadersWhole(volumes);
    expectJoinsAndTests(volumes, dir.path() / "join", source);
}

TEST_F(RemovableFixture, without_a_handler_the_drive_prompt_names_the_volume_and_the_drive)
{
    for (const char* d : {"d0", "d1", "d2", "d3"}) {
        drive.AddDisk(d, size * 2);
    }
    drive.Insert("d0");
    int next = 1;
    drive.onRequest = [this, &next](const std::string&) {
        drive.Insert("d" + std::to_string(next++));
        return true;
    };
    settings.maxVolumeSize = size / 2 + 100;
    EXPECT_EQ(copy(settings), 1);
    ASSERT_EQ(drive.prompts.size(), 2u);
    // A disk is in the drive: its size, capped, gives the estimate of the set's size.
    EXPECT_EQ(drive.prompts[0], "Please insert disk volume 1 of 2\r\nin drive: " + drive.DriveRoot(""));
    EXPECT_EQ(drive.prompts[1], "Please insert disk volume 2 of 2\r\nin drive: " + drive.DriveRoot(""));
    // Refusing the prompt stops without a dialog.
    drive.onRequest = [](const std::string&) { return false; };
    bool dialog = true;
    EXPECT_EQ(copyFails(settings, dialog), 11007);
    EXPECT_FALSE(dialog);
}

TEST_F(RemovableFixture, a_previous_disk_of_the_set_is_recognised_and_refused)
{
    drive.AddDisk("d1", size / 2 + 2000);
    drive.AddDisk("d2", size);
    // Asked for disk 2, the user puts disk 1 back first.
    insertInOrder({"d1", "d1", "d2"});
    host.statusDisk = [](int, const std::string&, int) { return DiskAction::Reject; };
    EXPECT_EQ(copy(settings), 1);
    ASSERT_EQ(host.statuses.size(), 1u);
    EXPECT_EQ(std::get<0>(host.statuses[0]), 1);
    EXPECT_EQ(std::get<1>(host.statuses[0]), drive.OnDrive("set.zip"));
    EXPECT_EQ(std::get<2>(host.statuses[0]), kDiskPreviousDisk | kDiskHasFiles);
    ASSERT_EQ(host.diskRequests.size(), 3u);
    EXPECT_EQ(std::get<0>(host.diskRequests[2]), 2); // asked again for disk 2
    expectJoinsAndTests(diskFiles({"d1", "d2"}), dir.path() / "join", source);

    // The same without a status handler: the question, answered No, then a fresh disk.
    drive.AddDisk("e1", size / 2 + 2000);
    drive.AddDisk("e2", size);
    insertInOrder({"e1", "e1", "e2"});
    host.statusDisk = nullptr;
    host.yesNoCancel = [](const std::string&) { return Answer::No; };
    EXPECT_EQ(copy(settings), 1);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0], "Overwrite previous disk no 1");
    expectJoinsAndTests(diskFiles({"e1", "e2"}), dir.path() / "join2", source);
}

TEST_F(RemovableFixture, a_file_of_the_same_name_is_asked_about_then_overwritten)
{
    drive.AddDisk("d1", size * 2, "MYDISK");
    testkit::writeFile(drive.DiskFolder("d1") / "set.zip", "someone else's file");
    insertInOrder({"d1"});
    host.yesNoCancel = [](const std::string&) { return Answer::Yes; };
    EXPECT_EQ(copy(settings), 0);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0], "Overwrite previous file " + drive.OnDrive("set.zip"));
    EXPECT_EQ(fs::file_size(drive.DiskFolder("d1") / "set.zip"), static_cast<std::uintmax_t>(size + 4));

    // With a status handler: same file name, a disk with files; Cancel stops without a dialog.
    host.statusDisk = [](int, const std::string&, int) { return DiskAction::Cancel; };
    insertInOrder({"d1"});
    testkit::writeFile(drive.DiskFolder("d1") / "set.zip", "someone else's file");
    bool dialog = true;
    EXPECT_EQ(copyFails(settings, dialog), 11007);
    EXPECT_FALSE(dialog);
    EXPECT_EQ(std::get<2>(host.statuses.back()), kDiskSameFileName | kDiskHasFiles);
    EXPECT_EQ(testkit::readFile(drive.DiskFolder("d1") / "set.zip"), "someone else's file");

    // Unattended never asks.
    settings.unattended = true;
    EXPECT_EQ(copyFails(settings, dialog), 11025);
}

TEST_F(RemovableFixture, a_disk_without_enough_space_is_retried_with_another_disk)
{
    drive.AddDisk("small", 500);
    drive.AddDisk("big", size * 2);
    insertInOrder({"small", "big"});
    host.statusDisk = [](int, const std::string&, int) { return DiskAction::Ok; };
    EXPECT_EQ(copy(settings), 0);
    ASSERT_EQ(host.statuses.size(), 1u);
    EXPECT_EQ(std::get<2>(host.statuses[0]), kDiskNotEnoughSpace);
    EXPECT_FALSE(fs::exists(drive.DiskFolder("small") / "set.zip"));
    EXPECT_TRUE(fs::exists(drive.DiskFolder("big") / "set.zip"));

    // Without a handler: the Retry/Cancel box; Cancel stops without a dialog.
    host.statusDisk = nullptr;
    insertInOrder({"small"});
    bool dialog = true;
    EXPECT_EQ(copyFails(settings, dialog), 11007);
    EXPECT_FALSE(dialog);
    EXPECT_EQ(host.questions.back(), "This disk has not enough free space available");
    EXPECT_FALSE(fs::exists(drive.DiskFolder("small") / "set.zip"));

    // Retry from the box, then a disk that fits.
    insertInOrder({"small", "big"});
    host.retry = [](const std::string&) { return true; };
    fs::remove(drive.DiskFolder("big") / "set.zip");
    EXPECT_EQ(copy(settings), 0);
}

TEST_F(RemovableFixture, cancel_paths_stop_without_a_dialog_and_keep_what_was_written)
{
    drive.AddDisk("d1", size / 2);
    drive.AddDisk("d2", size / 2);
    drive.AddDisk("d3", size);
    bool dialog = true;

    // Refusing the next disk.
    insertInOrder({"d1"});
    EXPECT_EQ(copyFails(settings, dialog), 11007);
    EXPECT_FALSE(dialog);
    EXPECT_EQ(fs::file_size(drive.DiskFolder("d1") / "set.zip"), static_cast<std::uintmax_t>(size / 2));

    // Cancel set while writing: checked at the next write.
    for (const char* d : {"d1", "d2", "d3"}) {
        fs::remove(drive.DiskFolder(d) / "set.zip");
    }
    insertInOrder({"d1", "d2", "d3"});
    int chunks = 0;
    host.onChunk = [&] { host.cancel = ++chunks == 3; };
    EXPECT_EQ(copyFails(settings, dialog), 11007);
    EXPECT_FALSE(dialog);
    EXPECT_EQ(chunks, 3);
    EXPECT_TRUE(fs::exists(drive.DiskFolder("d1") / "set.zip"));
    EXPECT_EQ(std::get<0>(host.progress.back()), Progress::EndOfBatch);

    // Unattended: the first disk request already fails.
    host.cancel = false;
    host.onChunk = nullptr;
    settings.unattended = true;
    EXPECT_EQ(copyFails(settings, dialog), 11025);
    EXPECT_TRUE(dialog);
}

TEST_F(RemovableFixture, disks_are_formatted_with_the_set_label_when_erasing)
{
    drive.AddDisk("d1", size / 2 + 1000, "OLD", false);
    drive.AddDisk("d2", size, "OLD");
    testkit::writeFile(drive.DiskFolder("d2") / "other.txt", "old content");
    insertInOrder({"d1", "d2"});
    settings.eraseDisks = true;
    settings.confirmErase = false;
    EXPECT_EQ(copy(settings), 1);
    ASSERT_EQ(drive.formats.size(), 2u);
    EXPECT_EQ(drive.formats[0], std::make_pair(std::string("PKBACK# 001"), false));
    EXPECT_EQ(drive.formats[1], std::make_pair(std::string("PKBACK# 002"), false));
    EXPECT_FALSE(fs::exists(drive.DiskFolder("d2") / "other.txt"));
    expectJoinsAndTests(diskFiles({"d1", "d2"}), dir.path() / "join", source);

    bool dialog = true;
    drive.formatResult = kFormatCancelled;
    insertInOrder({"d1"});
    EXPECT_EQ(copyFails(settings, dialog), 11007);
    EXPECT_FALSE(dialog);
    drive.formatResult = kFormatFailed;
    insertInOrder({"d1"});
    EXPECT_EQ(copyFails(settings, dialog), 11007);
    EXPECT_TRUE(dialog);

    // A status handler decides: formatting happens only after it answered Erase.
    drive.formatResult = 0;
    drive.formats.clear();
    fs::remove(drive.DiskFolder("d1") / "set.zip");
    fs::remove(drive.DiskFolder("d2") / "set.zip");
    testkit::writeFile(drive.DiskFolder("d1") / "set.zip", "x");
    insertInOrder({"d1", "d2"});
    host.statusDisk = [](int, const std::string&, int) { return DiskAction::Erase; };
    EXPECT_EQ(copy(settings), 1);
    ASSERT_EQ(drive.formats.size(), 1u);
    EXPECT_EQ(drive.formats[0].first, "PKBACK# 002");
}

TEST_F(RemovableFixture, a_label_that_cannot_be_set_is_reported)
{
    drive.AddDisk("d1", size * 2);
    insertInOrder({"d1"});
    drive.labelFails = true;
    bool dialog = false;
    EXPECT_EQ(copyFails(settings, dialog), 11005);
    EXPECT_TRUE(dialog);
}

} // namespace
