// The program under write and read faults: a full disk (a file-size limit), failing archive and copy
// writes, unreadable files and awkward source trees. The run reports each problem with the file's
// name and ends with exit code 1 (finished with errors) or 2 (stopped by an error); the previous
// archive stays intact and every other file is backed up.

#include "faults/FaultKit.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using faultkit::fs::path;
using testkit::writeFile;

bool mentions(const faultkit::RunResult& run, const std::string& text)
{
    return run.output.find(text) != std::string::npos;
}

class VorlandFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(faultkit::fs::exists(faultkit::VorlandPath())) << faultkit::VorlandPath();
        writeFile(src / "one.txt", "first file\n");
        writeFile(src / "sub" / "two.txt", std::string(3000, 't'));
    }

    // A first, complete run of a zip section; returns the archive's bytes.
    std::string makeArchive(bool updateZip)
    {
        faultkit::WriteBatch(batch, {faultkit::ZipSection("Backup", archive, src)}, updateZip);
        const auto run = faultkit::RunBatch(batch);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return testkit::readFile(archive);
    }

    testkit::TempDir tmp;
    path src = tmp.path() / "src";
    path out = tmp.path() / "out";
    path archive = out / "backup.zip";
    path batch = tmp.path() / "batch.vrl";
};

TEST_F(VorlandFaults, a_full_disk_keeps_the_previous_archive_in_update_and_rebuild)
{
    for (const bool update : {true, false}) {
        SCOPED_TRACE(update ? "update" : "rebuild");
        const std::string before = makeArchive(update);
        writeFile(src / "big.bin", testkit::randomBytes(2 << 20, 11));
        const auto run = faultkit::RunBatch(batch, {}, 256 << 10);
        EXPECT_TRUE(run.exitCode == 1 || run.exitCode == 2) << run.exitCode << "\n" << run.output;
        EXPECT_TRUE(mentions(run, archive.string())) << run.output;
        EXPECT_EQ(testkit::readFile(archive), before);
        EXPECT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"backup.zip"});
        faultkit::fs::remove(src / "big.bin");
    }
}

TEST_F(VorlandFaults, a_failing_archive_write_keeps_the_previous_archive)
{
    const std::string before = makeArchive(true);
    writeFile(src / "big.bin", testkit::randomBytes(300000, 12));
    for (const char* after : {"0", "100", "200000"}) {
        SCOPED_TRACE(after);
        const auto run = faultkit::RunBatch(batch, {std::string("VORLAND_FAULT_WRITE_AFTER=") + after});
        EXPECT_TRUE(run.exitCode == 1 || run.exitCode == 2) << run.exitCode << "\n" << run.output;
        EXPECT_TRUE(mentions(run, archive.string())) << run.output;
        EXPECT_EQ(testkit::readFile(archive), before);
        EXPECT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"backup.zip"});
    }
}

TEST_F(VorlandFaults, a_copy_that_cannot_write_one_file_reports_it_and_copies_the_others)
{
    const path target = tmp.path() / "copy";
    writeFile(src / "big.bin", testkit::randomBytes(1 << 20, 13));
    writeFile(target / "big.bin", "old version of big.bin");
    faultkit::WriteBatch(batch, {faultkit::CopySection("Copy", target, src)}, false);
    const std::map<std::string, std::string> expected = {
        {"one.txt", "first file\n"}, {"sub/two.txt", std::string(3000, 't')}, {"big.bin", "old version of big.bin"}};

    // A full disk, then a write error, each on the big file only.
    const auto full = faultkit::RunBatch(batch, {}, 256 << 10);
    EXPECT_EQ(full.exitCode, 1) << full.output;
    EXPECT_TRUE(mentions(full, (target / "big.bin").string())) << full.output;
    EXPECT_EQ(faultkit::TreeDifference(faultkit::ReadTree(target), expected), "");

    faultkit::fs::remove(target / "one.txt");
    const auto failing = faultkit::RunBatch(batch, {"VORLAND_FAULT_COPY_WRITE_AFTER=100000"});
    EXPECT_EQ(failing.exitCode, 1) << failing.output;
    EXPECT_TRUE(mentions(failing, (target / "big.bin").string())) << failing.output;
    EXPECT_EQ(faultkit::TreeDifference(faultkit::ReadTree(target), expected), "");
}

TEST_F(VorlandFaults, unreadable_files_are_reported_and_everything_else_is_backed_up)
{
    writeFile(src / "secret.txt", "cannot be read\n");
    const path target = tmp.path() / "copy";
    faultkit::WriteBatch(
        batch, {faultkit::ZipSection("Backup", archive, src), faultkit::CopySection("Copy", target, src)}, true);
    const auto run = faultkit::RunBatch(batch, {"VORLAND_FAULT_READ_MATCH=secret"});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(mentions(run, (src / "secret.txt").string())) << run.output;
    EXPECT_TRUE(faultkit::ArchiveTestsOk(archive));
    EXPECT_EQ(faultkit::ArchiveNames(archive), (std::vector<std::string>{"one.txt", "sub/", "sub/two.txt"}));
    const std::map<std::string, std::string> copied = {{"one.txt", "first file\n"},
                                                       {"sub/two.txt", std::string(3000, 't')}};
    EXPECT_EQ(faultkit::TreeDifference(faultkit::ReadTree(target), copied), "");
}

void makeSocket(const path& where)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = where.string();
    ASSERT_LT(name.size(), sizeof address.sun_path);
    name.copy(address.sun_path, name.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

TEST_F(VorlandFaults, awkward_trees_are_zipped_and_copied_without_hanging)
{
    faultkit::fs::create_directory_symlink("..", src / "sub" / "loop");
    faultkit::fs::create_symlink("selfloop", src / "selfloop");
    ASSERT_EQ(::mkfifo((src / "pipe.txt").c_str(), 0644), 0);
    makeSocket(src / "s.txt");
    writeFile(src / "new\nline.txt", "newline\n");
    writeFile(src / "bad\xff\xfe.txt", "not utf-8\n");
    const std::string longName = std::string(251, 'n') + ".txt";
    writeFile(src / longName, "long name\n");
    path deep = src;
    while (deep.string().size() < 3990) {
        deep /= std::string(std::min<std::size_t>(200, 3990 - deep.string().size()), 'd');
    }
    writeFile(deep / "deep.txt", "deep\n");
    const std::string deepName = faultkit::fs::relative(deep / "deep.txt", src).string();

    const path target = tmp.path() / "copy";
    faultkit::WriteBatch(
        batch, {faultkit::ZipSection("Backup", archive, src), faultkit::CopySection("Copy", target, src)}, true);
    const auto run = faultkit::RunBatch(batch, {}, -1, 120);
    ASSERT_FALSE(run.timedOut) << "the run hung";
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode << "\n" << run.output;
    EXPECT_TRUE(faultkit::ArchiveTestsOk(archive));
    // Every regular file is in the archive and in the copy; FIFOs, sockets and looping links are not.
    const std::map<std::string, std::string> regular = {
        {"one.txt", "first file\n"},    {"sub/two.txt", std::string(3000, 't')},
        {"new\nline.txt", "newline\n"}, {"bad\xff\xfe.txt", "not utf-8\n"},
        {longName, "long name\n"},      {deepName, "deep\n"}};
    EXPECT_EQ(faultkit::TreeDifference(faultkit::ReadTree(target), regular), "");
    std::size_t files = 0;
    for (const auto& name : faultkit::ArchiveNames(archive)) {
        files += name.back() != '/' ? 1 : 0;
    }
    EXPECT_EQ(files, regular.size());
}

} // namespace
