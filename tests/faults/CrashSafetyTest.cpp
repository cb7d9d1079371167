// The program killed with SIGKILL at moments spread over a run, as a crash or a power cut would stop
// it. After every kill the previous archive must still be complete and valid, a copy section's
// targets must each be the old file or the complete new one, and the next run must complete
// normally and leave no temporary file behind.

#include "faults/FaultKit.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>

namespace {

using faultkit::fs::path;
using namespace std::chrono;

constexpr int kKillPoints = 30;

// Text that deflate takes some time over, and random bytes it cannot shrink.
std::string wordText(std::size_t size, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        const unsigned length = 2 + gen() % 8;
        for (unsigned i = 0; i < length; ++i) {
            text += static_cast<char>('a' + gen() % 16);
        }
        text += (gen() % 12 == 0) ? '\n' : ' ';
    }
    return text;
}

// Kill delays spread over [0, runTime): one random point in each of `count` equal slices.
std::vector<microseconds> killDelays(microseconds runTime, int count, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> within(0.0, 1.0);
    std::vector<microseconds> delays;
    for (int i = 0; i < count; ++i) {
        delays.emplace_back(static_cast<long long>(runTime.count() * (i + within(gen)) / count));
    }
    return delays;
}

microseconds timedRun(const path& batch, faultkit::RunResult& result)
{
    const auto start = steady_clock::now();
    result = faultkit::RunBatch(batch);
    return duration_cast<microseconds>(steady_clock::now() - start);
}

// Starts the run, kills it after `delay` (when it has not ended by then) and waits for its end.
void runAndKill(const path& batch, microseconds delay)
{
    faultkit::Child child({faultkit::VorlandPath().string(), batch.string(), "/B"}, {"VORLAND_CONSOLE=1"});
    faultkit::SleepFor(delay);
    child.Kill(SIGKILL);
    ASSERT_TRUE(child.Wait(seconds(30)));
}

class CrashSafety : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(faultkit::fs::exists(faultkit::VorlandPath())) << faultkit::VorlandPath(); }

    // About 8 MB in 18 files: long enough to be killed inside the engine's work, short enough for
    // 30 rounds.
    void makeZipSource()
    {
        for (int d = 0; d < 3; ++d) {
            const path folder = src / ("folder" + std::to_string(d));
            for (int i = 0; i < 4; ++i) {
                testkit::writeFile(folder / ("text" + std::to_string(i) + ".txt"),
                                   wordText(500000, static_cast<std::uint32_t>(10 * d + i)));
            }
            for (int i = 0; i < 2; ++i) {
                testkit::writeFile(folder / ("data" + std::to_string(i) + ".bin"),
                                   testkit::randomBytes(400000, static_cast<std::uint32_t>(100 + 10 * d + i)));
            }
        }
    }

    testkit::TempDir tmp;
    path src = tmp.path() / "src";
    path batch = tmp.path() / "batch.vrl";
};

TEST_F(CrashSafety, a_killed_zip_run_never_damages_the_previous_archive)
{
    makeZipSource();
    const path out = tmp.path() / "out";
    const path archive = out / "backup.zip";
    const std::time_t base = std::time(nullptr) - 100000;
    auto touchSources = [&](int round) {
        for (const auto& [name, content] : faultkit::ReadTree(src)) {
            testkit::setMTime(src / name, base + 10 * round);
        }
    };
    touchSources(0);
    faultkit::WriteBatch(batch, {faultkit::ZipSection("Backup", archive, src)}, false);

    faultkit::RunResult result;
    microseconds runTime = timedRun(batch, result);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::vector<std::string> names = faultkit::ArchiveNames(archive);
    ASSERT_EQ(names.size(), 21u); // 18 files and 3 folders
    runTime = std::max(runTime, timedRun(batch, result));
    ASSERT_EQ(result.exitCode, 0) << result.output;

    const auto delays = killDelays(runTime, kKillPoints, 2024);
    for (int round = 0; round < kKillPoints; ++round) {
        // Even rounds rebuild the archive, odd rounds update it with every file changed; both
        // rewrite the whole archive.
        const bool update = round % 2 == 1;
        SCOPED_TRACE("round " + std::to_string(round) + (update ? " (update)" : " (rebuild)") + ", killed after " +
                     std::to_string(delays[static_cast<std::size_t>(round)].count()) + " us");
        faultkit::WriteBatch(batch, {faultkit::ZipSection("Backup", archive, src)}, update);
        touchSources(round + 1);

        runAndKill(batch, delays[static_cast<std::size_t>(round)]);
        // The previous archive (or the complete new one) is at its name and valid.
        ASSERT_TRUE(faultkit::fs::exists(archive)) << "no archive after the kill";
        std::string report;
        ASSERT_TRUE(faultkit::ArchiveTestsOk(archive, &report)) << report;
        ASSERT_EQ(faultkit::ArchiveNames(archive), names);

        result = faultkit::RunBatch(batch);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        ASSERT_TRUE(faultkit::ArchiveTestsOk(archive, &report)) << report;
        ASSERT_EQ(faultkit::ArchiveNames(archive), names);
        ASSERT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"backup.zip"});
    }
    RecordProperty("run_time_us", static_cast<int>(runTime.count()));
}

TEST_F(CrashSafety, a_killed_rebuild_always_leaves_the_previous_or_the_new_archive_at_its_name)
{
    makeZipSource();
    const path out = tmp.path() / "out";
    const path archive = out / "backup.zip";
    faultkit::WriteBatch(batch, {faultkit::ZipSection("Backup", archive, src)}, false);
    faultkit::RunResult result;
    const microseconds runTime = timedRun(batch, result);
    ASSERT_EQ(result.exitCode, 0) << result.output;

    int killedBefore = 0;
    int killedAfter = 0;
    const auto delays = killDelays(runTime, kKillPoints, 1234);
    for (int round = 0; round < kKillPoints; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + ", killed after " +
                     std::to_string(delays[static_cast<std::size_t>(round)].count()) + " us");
        // Each round adds a file, so the previous and the new archive tell apart by their names.
        const std::vector<std::string> previous = faultkit::ArchiveNames(archive);
        testkit::writeFile(src / ("round" + std::to_string(round) + ".txt"), "round\n");
        runAndKill(batch, delays[static_cast<std::size_t>(round)]);
        ASSERT_TRUE(faultkit::fs::exists(archive)) << "no archive at its name after the kill";
        std::string report;
        ASSERT_TRUE(faultkit::ArchiveTestsOk(archive, &report)) << report;
        const std::vector<std::string> now = faultkit::ArchiveNames(archive);
        if (now == previous) {
            ++killedBefore;
        } else {
            ++killedAfter;
            ASSERT_EQ(now.size(), previous.size() + 1) << "neither the previous nor the new archive";
        }

        result = faultkit::RunBatch(batch);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        ASSERT_TRUE(faultkit::ArchiveTestsOk(archive, &report)) << report;
        ASSERT_EQ(faultkit::ArchiveNames(archive).size(), previous.size() + 1);
        ASSERT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"backup.zip"});
    }
    RecordProperty("run_time_us", static_cast<int>(runTime.count()));
    RecordProperty("killed_before_replacing", killedBefore);
    RecordProperty("killed_after_replacing", killedAfter);
}

TEST_F(CrashSafety, a_killed_copy_run_never_leaves_a_cut_off_target)
{
    // Many files of a few hundred KB, so a kill lands inside and between copies.
    std::map<std::string, std::string> fresh;
    std::map<std::string, std::string> old;
    for (int d = 0; d < 4; ++d) {
        for (int i = 0; i < 25; ++i) {
            const std::string name = "folder" + std::to_string(d) + "/file" + std::to_string(i) + ".dat";
            const auto seed = static_cast<std::uint32_t>(100 * d + i);
            fresh[name] = testkit::randomBytes(150000 + 7919 * static_cast<std::size_t>(i), seed);
            // Old targets differ in content and in size; every fifth file is new.
            if (i % 5 != 0) {
                old[name] = "old " + name + testkit::randomBytes(1000 * static_cast<std::size_t>(i), seed + 5000);
            }
            testkit::writeFile(src / name, fresh[name]);
        }
    }
    const path target = tmp.path() / "copy";
    auto resetTarget = [&] {
        faultkit::fs::remove_all(target);
        for (const auto& [name, content] : old) {
            testkit::writeFile(target / name, content);
        }
    };
    faultkit::WriteBatch(batch, {faultkit::CopySection("Copy", target, src)}, false);

    resetTarget();
    faultkit::RunResult result;
    const microseconds runTime = timedRun(batch, result);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    ASSERT_EQ(faultkit::TreeDifference(faultkit::ReadTree(target), fresh), "");

    const auto delays = killDelays(runTime, kKillPoints, 4711);
    for (int round = 0; round < kKillPoints; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + ", killed after " +
                     std::to_string(delays[static_cast<std::size_t>(round)].count()) + " us");
        resetTarget();
        runAndKill(batch, delays[static_cast<std::size_t>(round)]);
        for (const auto& [name, content] : fresh) {
            const path file = target / name;
            if (!faultkit::fs::exists(file)) {
                ASSERT_EQ(old.count(name), 0u) << name << " vanished";
                continue;
            }
            const std::string now = testkit::readFile(file);
            const auto previous = old.find(name);
            ASSERT_TRUE(now == content || (previous != old.end() && now == previous->second))
                << name << " is neither the old nor the new file (" << now.size() << " bytes)";
        }
        result = faultkit::RunBatch(batch);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        // Only the copied files: no temporary copy survives the next run.
        ASSERT_EQ(faultkit::TreeDifference(faultkit::ReadTree(target), fresh), "");
    }
    RecordProperty("run_time_us", static_cast<int>(runTime.count()));
}

} // namespace
