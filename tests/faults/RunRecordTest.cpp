// What runs leave behind apart from their archives: the run log, the last result that
// `vorland --status` reads, and the lock that keeps a second run of the same batch out. The program
// runs as its own process, as a timer or a terminal starts it.

#include "batch/RunLock.h"
#include "batch/RunLog.h"
#include "batch/RunStateFiles.h"
#include "faults/FaultKit.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace {

using faultkit::fs::path;
using testkit::readFile;
using testkit::writeFile;

int countOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class RunRecord : public ::testing::Test
{
protected:
    RunRecord()
    {
        writeFile(tmp.path() / "source" / "a.txt", "a");
        faultkit::WriteBatch(batch, {faultkit::CopySection("Docs", tmp.path() / "copy", tmp.path() / "source")}, true);
    }

    // The batch file with this Before command.
    void setBefore(const std::string& command)
    {
        std::string text = readFile(batch);
        const std::size_t value = text.find("Before=") + 7;
        text.replace(value, text.find('\r', value) - value, command);
        writeFile(batch, text);
    }

    faultkit::RunResult status(const std::vector<std::string>& env = {}) const
    {
        return faultkit::Run({faultkit::VorlandPath().string(), "--status", batch.string()}, env);
    }

    testkit::TempDir tmp;
    path batch = tmp.path() / "daily backup.vrl";
    TRunFiles files = RunFilesOf(batch.string());
};

TEST_F(RunRecord, runs_are_logged_and_status_tells_the_last_result_and_the_last_success)
{
    auto never = status();
    EXPECT_EQ(never.exitCode, 3) << never.output;
    EXPECT_NE(never.output.find("This batch has never been run."), std::string::npos) << never.output;
    EXPECT_EQ(
        faultkit::Run({faultkit::VorlandPath().string(), "--status", (tmp.path() / "none.vrl").string()}).exitCode, 2);
    EXPECT_EQ(faultkit::Run({faultkit::VorlandPath().string(), "--status", tmp.path().string()}).exitCode, 2);

    ASSERT_EQ(faultkit::RunBatch(batch).exitCode, 0);
    const std::string log = readFile(files.Log);
    EXPECT_NE(log.find("==== Run of " + batch.string() + " started "), std::string::npos) << log;
    EXPECT_NE(log.find(" section \"Docs\" ended: 1 file(s) copied, 0 unchanged"), std::string::npos) << log;
    EXPECT_NE(log.find("No problems."), std::string::npos) << log;
    EXPECT_NE(log.find(": exit code 0 (without problems)"), std::string::npos) << log;
    auto good = status();
    EXPECT_EQ(good.exitCode, 0) << good.output;
    EXPECT_NE(good.output.find(", completed without problems."), std::string::npos) << good.output;

    setBefore("false");
    ASSERT_EQ(faultkit::RunBatch(batch).exitCode, 1);
    EXPECT_NE(readFile(files.Log).find("  problem: Before command ended with exit code 1: false"), std::string::npos);
    auto failed = status();
    EXPECT_EQ(failed.exitCode, 1) << failed.output;
    EXPECT_NE(failed.output.find(", finished with problems.\nRun summary: 1 section(s) run"), std::string::npos)
        << failed.output;
    // The failure does not lose the success before it.
    EXPECT_NE(failed.output.find("Last run without problems: 2"), std::string::npos) << failed.output;

    // A good last run whose success is older than the user's limit is stale.
    setBefore("");
    ASSERT_EQ(faultkit::RunBatch(batch).exitCode, 0);
    TRunState state = ReadRunState(files.State);
    state.LastSuccess = state.LastEnd = state.LastStart = state.LastEnd - 3 * 24 * 3600;
    std::string error;
    ASSERT_TRUE(WriteRunState(files.State, state, error)) << error;
    writeFile(tmp.path() / "config" / "Orvane" / "Vorland.conf", "[Initial]\nStaleDays=2\n");
    const std::string config = "XDG_CONFIG_HOME=" + (tmp.path() / "config").string();
    auto stale = status({config});
    EXPECT_EQ(stale.exitCode, 4) << stale.output;
    EXPECT_NE(stale.output.find("No run without problems for more than 2 day(s)."), std::string::npos);
    writeFile(tmp.path() / "config" / "Orvane" / "Vorland.conf", "[Initial]\nStaleDays=4\n");
    EXPECT_EQ(status({config}).exitCode, 0);
}

TEST_F(RunRecord, a_second_run_is_refused_and_a_killed_run_neither_blocks_nor_loses_its_log)
{
    // A good run before: its summary is no summary of the killed run after it.
    ASSERT_EQ(faultkit::RunBatch(batch).exitCode, 0);
    setBefore("sleep 60");
    faultkit::Child first({faultkit::VorlandPath().string(), batch.string(), "/B"}, {"VORLAND_CONSOLE=1"});
    for (int i = 0; i < 400 && !TRunLock::IsHeld(files.Lock); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(TRunLock::IsHeld(files.Lock));

    const auto second = faultkit::RunBatch(batch);
    EXPECT_EQ(second.exitCode, 2) << second.output;
    EXPECT_NE(second.output.find("is being run already (process "), std::string::npos) << second.output;
    EXPECT_TRUE(first.Running());
    auto running = status();
    EXPECT_NE(running.output.find(", running now."), std::string::npos) << running.output;

    first.Kill(SIGKILL);
    ASSERT_TRUE(first.Wait(std::chrono::seconds(30)));
    EXPECT_EQ(countOf(readFile(files.Log), "==== Run of "), 2);
    auto killed = status();
    EXPECT_EQ(killed.exitCode, 1) << killed.output;
    EXPECT_NE(killed.output.find("did not end"), std::string::npos) << killed.output;
    EXPECT_EQ(killed.output.find("Run summary"), std::string::npos) << killed.output;

    setBefore("true");
    const auto next = faultkit::RunBatch(batch);
    EXPECT_EQ(next.exitCode, 0) << next.output;
    const std::string log = readFile(files.Log);
    EXPECT_NE(log.find("==== (this run did not end"), std::string::npos) << log;
    EXPECT_EQ(countOf(log, ": exit code 0 (without problems)"), 2) << log;
}

TEST(RunLog, keeps_its_newest_runs_within_its_bounds)
{
    testkit::TempDir tmp;
    const std::string file = tmp / "batch.log";
    const auto addRun = [&file](int run, int lines) {
        TRunLog log;
        std::string error;
        ASSERT_TRUE(log.Open(file, error)) << error;
        log.Line(std::string(kRunLogStart) + std::to_string(run), true);
        for (int i = 0; i < lines; ++i) {
            log.Line(std::string(200, 'x'));
        }
        log.EndRun(" " + std::to_string(run));
    };
    for (int run = 0; run < 3 * TRunLog::kKeepRuns; ++run) {
        addRun(run, 10);
    }
    std::string text = readFile(file);
    EXPECT_EQ(countOf(text, std::string(kRunLogStart)), TRunLog::kKeepRuns);
    EXPECT_EQ(text.find(std::string(kRunLogStart) + std::to_string(2 * TRunLog::kKeepRuns - 1) + "\n"),
              std::string::npos);
    EXPECT_NE(text.find(std::string(kRunLogStart) + std::to_string(2 * TRunLog::kKeepRuns) + "\n"), std::string::npos);

    // Runs far longer than a run may be: the byte bound holds, and the log says what it left out.
    for (int run = 0; run < 6; ++run) {
        addRun(run, 4000);
        text = readFile(file);
        EXPECT_LE(static_cast<std::int64_t>(text.size()), TRunLog::kMaxLogBytes + TRunLog::kMaxRunBytes + 200);
    }
    EXPECT_NE(text.find("more lines of this run were left out of the log)\n==== Run ended 5\n"), std::string::npos);
}

} // namespace
