// Stops and failures: the previous archive always stays as it was, and no temporary file remains.

#include "EngineHarness.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

using namespace enginetest;
using testkit::TempDir;
using testkit::writeFile;
namespace fs = std::filesystem;

namespace {

// Sets an environment variable for the scope of one test (the engine reads it at every call).
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) { setenv(name, value.c_str(), 1); }
    ~ScopedEnv() { unsetenv(m_name); }

private:
    const char* m_name;
};

// An archive of two files, and the options that update it from the same tree.
EngineOptions archiveWithTwoFiles(const TempDir& dir)
{
    writeFile(dir / "src/one.txt", std::string(4000, '1'));
    writeFile(dir / "src/two.txt", std::string(4000, '2'));
    EngineOptions options;
    options.archive = dir / "a.zip";
    options.rootDir = dir / "src";
    options.specs = {"*.txt"};
    EXPECT_EQ(runEngine(options).result, 2);
    return options;
}

bool hasCode(const EngineResult& run, int code, const std::string& mentions)
{
    for (const auto& [c, text] : run.messages()) {
        if (c == code && text.find(mentions) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(EngineFailure, stop_in_the_middle_of_a_large_file_keeps_the_previous_archive)
{
    TempDir dir;
    auto options = archiveWithTwoFiles(dir);
    const std::string before = testkit::readFile(options.archive);
    // 48 MiB that compress slowly enough to be stopped in the middle.
    std::string big;
    big.reserve(48u << 20);
    const std::string random = testkit::randomBytes(1 << 20, 9);
    for (int i = 0; i < 48; ++i) {
        big += random.substr(0, 700000) + std::string(348576, static_cast<char>('a' + i % 26));
    }
    writeFile(dir / "src/big.txt", big);
    options.stopAtProgress = 3;
    std::chrono::steady_clock::time_point stoppedAt;
    int progressAfterStop = 0;
    int progressSeen = 0;
    options.onCallback = [&](const Callback& cb) {
        if (cb.action == ZIP_ACTION_PROGRESS && ++progressSeen == 3) {
            stoppedAt = std::chrono::steady_clock::now();
        } else if (cb.action == ZIP_ACTION_PROGRESS && progressSeen > 3) {
            ++progressAfterStop;
        }
    };
    const auto run = runEngine(options);
    const auto took = std::chrono::steady_clock::now() - stoppedAt;
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(progressAfterStop, 0);
    EXPECT_TRUE(hasCode(run, ZIP_MSG_STOPPED, "stopped"));
    std::cout << "returned " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
              << " ms after the stop answer\n";
    EXPECT_EQ(testkit::readFile(options.archive), before);
    EXPECT_EQ(folderNames(dir.path().string()), (std::vector<std::string>{"a.zip", "src"}));
}

TEST(EngineFailure, unreadable_file_is_reported_and_skipped_and_the_rest_goes_on)
{
    TempDir dir;
    auto options = archiveWithTwoFiles(dir);
    writeFile(dir / "src/three.txt", "3\n");
    writeFile(dir / "src/one.txt", "one changed\n");
    testkit::setMTime(dir / "src/one.txt", std::time(nullptr) + 10);
    ScopedEnv seam("VORLAND_FAULT_READ_MATCH", "one.txt");
    options.update = true;
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 1);
    EXPECT_TRUE(hasCode(run, ZIP_MSG_FILE_SKIPPED, dir / "src/one.txt")) << run.messages().size();
    EXPECT_TRUE(hasCode(run, ZIP_MSG_FILE_SKIPPED, "Permission denied"));
    // The old version of the unreadable file stays in the archive; the new file was added.
    EXPECT_EQ(testkit::runProcess({"unzip", "-p", options.archive, "one.txt"}).out, std::string(4000, '1'));
    EXPECT_EQ(testkit::runProcess({"unzip", "-p", options.archive, "three.txt"}).out, "3\n");
}

TEST(EngineFailure, unreadable_large_file_is_skipped_too)
{
    TempDir dir;
    writeFile(dir / "src/large.bin", std::string(6u << 20, 'L'));
    writeFile(dir / "src/small.txt", "s\n");
    ScopedEnv seam("VORLAND_FAULT_READ_MATCH", "large");
    EngineOptions options;
    options.archive = dir / "l.zip";
    options.rootDir = dir / "src";
    options.specs = {"*"};
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 1);
    EXPECT_TRUE(hasCode(run, ZIP_MSG_FILE_SKIPPED, "large.bin"));
    expectReadersAccept(options.archive, dir / "src");
}

TEST(EngineFailure, write_error_stops_and_keeps_the_previous_archive)
{
    TempDir dir;
    auto options = archiveWithTwoFiles(dir);
    const std::string before = testkit::readFile(options.archive);
    writeFile(dir / "src/more.txt", testkit::randomBytes(200000, 3));
    ScopedEnv seam("VORLAND_FAULT_WRITE_AFTER", "5000");
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(hasCode(run, ZIP_MSG_WRITE_FAILED, "Input/output error"));
    EXPECT_EQ(testkit::readFile(options.archive), before);
    EXPECT_EQ(folderNames(dir.path().string()), (std::vector<std::string>{"a.zip", "src"}));
}

TEST(EngineFailure, archive_folder_that_cannot_be_written_stops_with_a_message)
{
    TempDir dir;
    writeFile(dir / "src/a.txt", "a\n");
    writeFile(dir / "plainfile", "x");
    EngineOptions options;
    options.rootDir = dir / "src";
    options.specs = {"*"};
    for (const std::string& archive : {dir / "no/such/folder/a.zip", dir / "plainfile/a.zip"}) {
        options.archive = archive;
        const auto run = runEngine(options);
        EXPECT_EQ(run.result, 0);
        EXPECT_TRUE(hasCode(run, ZIP_MSG_CANNOT_CREATE, archive)) << archive;
    }
    if (geteuid() != 0) {
        fs::create_directory(dir / "ro");
        fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        options.archive = dir / "ro/a.zip";
        EXPECT_TRUE(hasCode(runEngine(options), ZIP_MSG_CANNOT_CREATE, "ro/a.zip"));
    }
}

TEST(EngineFailure, damaged_or_foreign_archive_is_never_overwritten)
{
    TempDir dir;
    auto options = archiveWithTwoFiles(dir);
    const std::string good = testkit::readFile(options.archive);
    writeFile(dir / "src/new.txt", "new\n");
    options.update = true;

    struct Case
    {
        const char* what;
        std::string bytes;
    };
    std::string badLocal = good;
    badLocal[0] = 'X'; // first local header signature broken: its raw copy must fail
    const std::vector<Case> cases = {
        {"text file", "these are notes, not an archive\n"}, {"empty file", ""},
        {"cut archive", good.substr(0, good.size() - 30)},  {"broken local header", badLocal},
        {"random bytes", testkit::randomBytes(5000, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(options.archive, c.bytes);
        const auto run = runEngine(options);
        EXPECT_EQ(run.result, 0);
        EXPECT_TRUE(hasCode(run, ZIP_MSG_BAD_ARCHIVE, options.archive));
        EXPECT_EQ(testkit::readFile(options.archive), c.bytes);
        EXPECT_EQ(folderNames(dir.path().string()), (std::vector<std::string>{"a.zip", "src"}));
    }
}

TEST(EngineFailure, stale_temporary_files_are_removed_unless_a_live_run_holds_them)
{
    TempDir dir;
    auto options = archiveWithTwoFiles(dir);
    const std::string stale = dir / "a.zip.vorland-tmp-AbC123";
    const std::string held = dir / "a.zip.vorland-tmp-XyZ789";
    const std::string other = dir / "b.zip.vorland-tmp-AbC123";
    for (const auto& path : {stale, held, other}) {
        writeFile(path, "partial");
        testkit::setMTime(path, std::time(nullptr) - 3600);
    }
    const int fd = open(held.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    writeFile(dir / "src/new.txt", "new\n");
    options.update = true;
    EXPECT_EQ(runEngine(options).result, 1);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(held));
    EXPECT_TRUE(fs::exists(other));
    close(fd);
}

TEST(EngineFailure, temporary_folder_elsewhere_is_used_and_left_clean)
{
    TempDir dir;
    TempDir temp;
    auto options = archiveWithTwoFiles(dir);
    writeFile(dir / "src/new.txt", "new\n");
    options.update = true;
    options.tempDir = temp.path().string();
    EXPECT_EQ(runEngine(options).result, 1);
    EXPECT_TRUE(folderNames(temp.path().string()).empty());
    EXPECT_EQ(testkit::runProcess({"unzip", "-p", options.archive, "new.txt"}).out, "new\n");
}

TEST(EngineFailure, invalid_block_is_refused)
{
    TempDir dir;
    EngineOptions options;
    options.rootDir = dir / "src";
    options.specs = {"*"};
    const auto run = runEngine(options); // no archive path
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(hasCode(run, ZIP_MSG_BAD_PARAMS, "archive"));
}

TEST(EngineFailure, callbacks_come_in_order_with_progress_every_mebibyte)
{
    TempDir dir;
    writeFile(dir / "src/a.bin", std::string(3u << 20, 'a'));        // one piece
    writeFile(dir / "src/b.bin", testkit::randomBytes(9u << 20, 5)); // streamed in chunks, then stored
    writeFile(dir / "src/c.txt", "c\n");
    EngineOptions options;
    options.archive = dir / "cb.zip";
    options.rootDir = dir / "src";
    options.specs = {"*"};
    const auto run = runEngine(options);
    ASSERT_EQ(run.result, 3);
    const auto& cbs = run.callbacks;
    ASSERT_GE(cbs.size(), 6u);
    EXPECT_EQ(cbs[0].action, ZIP_ACTION_TOTAL_FILES);
    EXPECT_EQ(cbs[0].size, 3);
    EXPECT_EQ(cbs[1].action, ZIP_ACTION_TOTAL_SIZE);
    EXPECT_EQ(cbs[1].size, (12 << 20) + 2);
    EXPECT_EQ(cbs.back().action, ZIP_ACTION_END_OF_BATCH);
    std::int64_t sinceNewFile = -1;
    std::int64_t announced = 0;
    for (std::size_t i = 2; i + 1 < cbs.size(); ++i) {
        if (cbs[i].action == ZIP_ACTION_NEW_FILE) {
            EXPECT_TRUE(sinceNewFile < 0 || sinceNewFile == announced);
            sinceNewFile = 0;
            announced = cbs[i].size;
        } else {
            ASSERT_EQ(cbs[i].action, ZIP_ACTION_PROGRESS);
            EXPECT_LE(cbs[i].size, 1 << 20);
            EXPECT_GT(cbs[i].size, 0);
            sinceNewFile += cbs[i].size;
        }
    }
    EXPECT_EQ(sinceNewFile, announced);
    expectReadersAccept(options.archive, dir / "src");
}
