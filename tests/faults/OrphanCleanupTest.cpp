// Temporary files of a run that was killed (a new archive being written, a file being copied) are
// removed by the next run, at once; those of a run that is still going are never touched.

#include "core/FileOps.h"
#include "faults/FaultKit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using faultkit::fs::path;
using testkit::writeFile;

// A file held locked, as the run that writes it holds it.
class LockedFile
{
public:
    explicit LockedFile(const path& file)
    {
        writeFile(file, "in progress");
        m_fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(m_fd, 0);
        EXPECT_EQ(::flock(m_fd, LOCK_EX | LOCK_NB), 0);
    }
    ~LockedFile() { ::close(m_fd); }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

private:
    int m_fd = -1;
};

TEST(OrphanCleanup, the_engine_removes_a_killed_runs_temporary_archive_at_once_and_spares_a_live_one)
{
    testkit::TempDir tmp;
    const path src = tmp.path() / "src";
    const path out = tmp.path() / "out";
    writeFile(src / "a.txt", "a\n");
    writeFile(out / "backup.zip.vorland-tmp-Orphan", "left by a killed run");
    const LockedFile live(out / "backup.zip.vorland-tmp-LiveOn");
    writeFile(out / "other.zip.vorland-tmp-Orphan", "another archive's");

    const auto run = faultkit::Run({(testkit::binDir() / "zipengine-driver").string(), "-q", "-C", src.string() + "/",
                                    (out / "backup.zip").string(), "*.*"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(faultkit::FolderNames(out), (std::vector<std::string>{"backup.zip", "backup.zip.vorland-tmp-LiveOn",
                                                                    "other.zip.vorland-tmp-Orphan"}));
}

TEST(OrphanCleanup, a_copy_removes_a_killed_runs_temporary_copy_and_spares_a_live_one)
{
    testkit::TempDir tmp;
    const path target = tmp.path() / "target";
    writeFile(tmp.path() / "source.txt", "new content\n");
    writeFile(target / ".vorland-copy-Orphan", "left by a killed run");
    const LockedFile live(target / ".vorland-copy-LiveOn");
    writeFile(target / ".vorland-copy-too-long-a-name", "not ours");

    std::string error;
    ASSERT_TRUE(CopyFileKeepTime((tmp.path() / "source.txt").string(), (target / "copy.txt").string(), error)) << error;
    EXPECT_EQ(testkit::readFile(target / "copy.txt"), "new content\n");
    EXPECT_EQ(faultkit::FolderNames(target),
              (std::vector<std::string>{".vorland-copy-LiveOn", ".vorland-copy-too-long-a-name", "copy.txt"}));
}

} // namespace
