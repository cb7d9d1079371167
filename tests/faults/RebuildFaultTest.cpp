// Rebuilds (UpdateZip=0) and updates against what may stand at the archive's name: the archive inside
// its own source tree, a folder or a FIFO, an archive with narrow permissions or another owner, a
// symbolic link; and a rebuild that finds nothing to add.

#include "faults/FaultKit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using faultkit::fs::path;
using testkit::writeFile;

bool mentions(const faultkit::RunResult& run, const std::string& text)
{
    return run.output.find(text) != std::string::npos;
}

class RebuildFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(faultkit::fs::exists(faultkit::VorlandPath())) << faultkit::VorlandPath();
        writeFile(src / "one.txt", "first file\n");
        writeFile(src / "sub" / "two.txt", std::string(3000, 't'));
    }

    faultkit::RunResult run(bool updateZip)
    {
        faultkit::WriteBatch(batch, {faultkit::ZipSection("Backup", archive, src)}, updateZip);
        return faultkit::RunBatch(batch);
    }

    testkit::TempDir tmp;
    path src = tmp.path() / "src";
    path out = tmp.path() / "out";
    path archive = out / "backup.zip";
    path batch = tmp.path() / "batch.vrl";
};

TEST_F(RebuildFaults, an_archive_inside_its_source_tree_never_takes_itself_or_our_temporary_files)
{
    out = src / "out";
    archive = out / "backup.zip";
    // Files that runs leave for a moment (or, when killed, for good): never part of a backup.
    writeFile(src / "other.zip.vorland-tmp-Orphan", "temporary archive of a killed run");
    writeFile(src / "sub" / ".vorland-copy-Orphan", "temporary copy of a killed run");
    const std::vector<std::string> expected = {"one.txt", "sub/", "sub/two.txt"};
    for (const bool update : {false, false, false, true, false}) {
        SCOPED_TRACE(update ? "update" : "rebuild");
        const auto result = run(update);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_TRUE(faultkit::ArchiveTestsOk(archive));
        EXPECT_EQ(faultkit::ArchiveNames(archive), expected);
        testkit::setMTime(src / "one.txt", std::time(nullptr) + 10);
    }
}

TEST_F(RebuildFaults, a_rebuild_refuses_a_folder_or_a_fifo_at_the_archives_name_and_touches_nothing)
{
    writeFile(archive / "precious.txt", "not an archive\n");
    const path fifo = out / "pipe.zip";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const path& target : {archive, fifo}) {
        SCOPED_TRACE(target.string());
        faultkit::WriteBatch(batch, {faultkit::ZipSection("Backup", target, src)}, false);
        const auto result = faultkit::RunBatch(batch, {}, -1, 60);
        ASSERT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, 1) << result.output;
        EXPECT_TRUE(mentions(result, target.string())) << result.output;
        EXPECT_TRUE(mentions(result, "not a regular file")) << result.output;
        EXPECT_EQ(faultkit::FolderNames(out), (std::vector<std::string>{"backup.zip", "pipe.zip"}));
        EXPECT_EQ(testkit::readFile(archive / "precious.txt"), "not an archive\n");
        struct stat st
        {
        };
        ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }
}

TEST_F(RebuildFaults, a_rebuild_refuses_a_file_that_is_no_archive_and_writes_a_truncated_one_again)
{
    const path notes = out / "notes.txt";
    writeFile(notes, "plain text, no archive\n");
    for (const path& target : {notes, batch}) {
        SCOPED_TRACE(target.string());
        faultkit::WriteBatch(batch, {faultkit::ZipSection("Backup", target, src)}, false);
        const std::string before = testkit::readFile(target);
        const auto result = faultkit::RunBatch(batch);
        EXPECT_EQ(result.exitCode, 1) << result.output;
        EXPECT_TRUE(mentions(result, target.string() + " is not a zip archive")) << result.output;
        EXPECT_EQ(testkit::readFile(target), before);
    }
    EXPECT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"notes.txt"});

    // An archive cut short: an update names it once; a rebuild writes it anew.
    ASSERT_EQ(run(false).exitCode, 0);
    const std::string whole = testkit::readFile(archive);
    writeFile(archive, whole.substr(0, whole.size() / 2));
    const auto update = run(true);
    EXPECT_EQ(update.exitCode, 1) << update.output;
    EXPECT_TRUE(mentions(update, "This is not a zip archive")) << update.output;
    EXPECT_FALSE(mentions(update, "No archive file name")) << update.output;
    ASSERT_EQ(run(false).exitCode, 0);
    EXPECT_TRUE(faultkit::ArchiveTestsOk(archive));
    EXPECT_EQ(faultkit::ArchiveNames(archive), (std::vector<std::string>{"one.txt", "sub/", "sub/two.txt"}));
}

TEST_F(RebuildFaults, rebuild_and_update_keep_the_archives_permissions_and_owner)
{
    ASSERT_EQ(run(false).exitCode, 0);
    ASSERT_EQ(::chmod(archive.c_str(), 0600), 0);
    // Only root can give a file away; elsewhere the owner part is not shown here.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(archive.c_str(), 4321, 4322), 0);
    }
    for (const bool update : {false, true, false}) {
        SCOPED_TRACE(update ? "update" : "rebuild");
        testkit::setMTime(src / "one.txt", std::time(nullptr) + (update ? 20 : 10));
        const auto result = run(update);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        struct stat st
        {
        };
        ASSERT_EQ(::stat(archive.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        if (root) {
            EXPECT_EQ(st.st_uid, 4321u);
            EXPECT_EQ(st.st_gid, 4322u);
        }
    }
    // A new archive gets the usual permissions.
    faultkit::fs::remove(archive);
    ASSERT_EQ(run(false).exitCode, 0);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(archive.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

TEST_F(RebuildFaults, a_rebuild_with_nothing_to_add_removes_the_archive_and_says_so)
{
    ASSERT_EQ(run(false).exitCode, 0);
    faultkit::fs::remove_all(src);
    faultkit::fs::create_directories(src);
    const auto result = run(false);
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_FALSE(faultkit::fs::exists(archive));
    EXPECT_TRUE(mentions(result, "\"Backup\"")) << result.output;
    EXPECT_TRUE(mentions(result, archive.string())) << result.output;
    EXPECT_EQ(faultkit::FolderNames(out), std::vector<std::string>{});
}

TEST_F(RebuildFaults, an_archive_reached_through_a_symbolic_link_is_updated_where_it_is_and_the_link_stays)
{
    const path real = tmp.path() / "real";
    faultkit::fs::create_directories(real);
    faultkit::fs::create_directories(out);
    faultkit::fs::create_symlink(real / "backup.zip", archive);
    // Left beside the link by a killed run of an earlier version, which wrote there.
    writeFile(out / "backup.zip.vorland-tmp-Orphan", "temporary archive of a killed run");
    for (const bool update : {true, true, false}) {
        SCOPED_TRACE(update ? "update" : "rebuild");
        writeFile(src / (update ? "updated.txt" : "rebuilt.txt"), "more\n");
        const auto result = run(update);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_TRUE(faultkit::fs::is_symlink(archive));
        EXPECT_EQ(faultkit::fs::read_symlink(archive), real / "backup.zip");
        EXPECT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"backup.zip"});
        EXPECT_EQ(faultkit::FolderNames(real), std::vector<std::string>{"backup.zip"});
        const auto names = faultkit::ArchiveNames(real / "backup.zip");
        EXPECT_NE(std::find(names.begin(), names.end(), update ? "updated.txt" : "rebuilt.txt"), names.end());
    }
}

TEST_F(RebuildFaults, a_killed_runs_temporary_archive_goes_at_the_next_run_also_when_nothing_changed)
{
    ASSERT_EQ(run(true).exitCode, 0);
    writeFile(out / "backup.zip.vorland-tmp-Orphan", "left by a killed run");
    // A run that is still going holds its file locked: that one stays.
    writeFile(out / "backup.zip.vorland-tmp-LiveOn", "in progress");
    const int live = ::open((out / "backup.zip.vorland-tmp-LiveOn").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX | LOCK_NB), 0);
    const auto result = run(true);
    ::close(live);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(faultkit::FolderNames(out), (std::vector<std::string>{"backup.zip", "backup.zip.vorland-tmp-LiveOn"}));
}

} // namespace
