// The zip engine under valgrind memcheck: one operation of each kind (new archive, update by raw
// copy, encryption, a stop, a damaged archive, a failing write) through the command-line driver,
// and a lean subset of the engine's own tests.
// Any invalid access, use of uninitialised memory or leak fails the test. Slow, so it only runs in
// the normal build (label no_sanitize); the sanitizer build checks the same code its own way.

#include "faults/FaultKit.h"

#include <gtest/gtest.h>

namespace {

using faultkit::fs::path;
using testkit::writeFile;

constexpr int kValgrindError = 99;

faultkit::RunResult underValgrind(const std::vector<std::string>& driverArguments,
                                  const std::vector<std::string>& env = {})
{
    std::vector<std::string> argv = {"/usr/bin/valgrind",
                                     "-q",
                                     "--error-exitcode=" + std::to_string(kValgrindError),
                                     "--leak-check=full",
                                     "--errors-for-leak-kinds=definite,indirect",
                                     "--track-origins=yes",
                                     (testkit::binDir() / "zipengine-driver").string(),
                                     "-q"};
    argv.insert(argv.end(), driverArguments.begin(), driverArguments.end());
    return faultkit::Run(argv, env, -1, 300);
}

class EngineValgrind : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!testkit::haveProgram("valgrind")) {
            GTEST_SKIP() << "valgrind is not installed (scripts/packages.txt lists it)";
        }
        writeFile(src / "text.txt", std::string(400000, 'a') + testkit::randomBytes(1000, 1));
        writeFile(src / "random.bin", testkit::randomBytes(200000, 2));
        writeFile(src / "empty.txt", "");
        writeFile(src / "sub" / "small.txt", "small\n");
    }

    // Runs the driver under valgrind and expects a clean run whose exit code tells the engine's
    // outcome: 0 when the operation ran to its end, 1 when it failed or was stopped.
    void expectClean(const std::vector<std::string>& arguments, const std::vector<std::string>& env = {},
                     int exitCode = 0)
    {
        const auto run = underValgrind(arguments, env);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, exitCode) << run.output;
        EXPECT_EQ(run.output.find("=="), std::string::npos) << run.output;
    }

    testkit::TempDir tmp;
    path src = tmp.path() / "src";
    path archive = tmp.path() / "out.zip";
    std::string root = src.string() + "/";
};

TEST_F(EngineValgrind, new_archive_and_update_by_raw_copy)
{
    expectClean({"-C", root, "-r", archive.string(), "*.*"});
    testkit::setMTime(src / "sub" / "small.txt", std::time(nullptr) + 10);
    expectClean({"-C", root, "-r", "-u", archive.string(), "*.*"});
    EXPECT_TRUE(faultkit::ArchiveTestsOk(archive));
}

TEST_F(EngineValgrind, encryption)
{
    expectClean({"-C", root, "-r", "-e", "-P", "secret", archive.string(), "*.*"});
}

TEST_F(EngineValgrind, stop_and_failures)
{
    expectClean({"-C", root, "-r", "--stop-after", "1", archive.string(), "*.*"}, {}, 1);
    expectClean({"-C", root, "-r", archive.string(), "*.*"}, {"VORLAND_FAULT_WRITE_AFTER=5000"}, 1);
    // An unreadable file is skipped and the rest is stored: the operation ends normally.
    expectClean({"-C", root, "-r", archive.string(), "*.*"}, {"VORLAND_FAULT_READ_MATCH=random"}, 0);
    writeFile(archive, testkit::randomBytes(5000, 3) + "PK\x05\x06" + std::string(18, '\x7f'));
    expectClean({"-C", root, "-r", "-u", archive.string(), "*.*"}, {}, 1);
}

TEST_F(EngineValgrind, a_lean_subset_of_the_engine_tests)
{
    const auto testProgram = testkit::binDir().parent_path() / "tests" / "EngineFailureTest";
    ASSERT_TRUE(faultkit::fs::exists(testProgram)) << testProgram;
    const auto run = faultkit::Run(
        {"/usr/bin/valgrind", "-q", "--error-exitcode=" + std::to_string(kValgrindError), "--leak-check=full",
         "--errors-for-leak-kinds=definite,indirect", testProgram.string(),
         "--gtest_filter=*unreadable_file_is*:*write_error*:*damaged_or_foreign*:*invalid_block*:*stale_temporary*:"
         "*callbacks_come*"},
        {}, -1, 600);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

} // namespace
