#include "core/ProcessUtils.h"

#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace {

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> words;
    std::string error;
    EXPECT_TRUE(SplitCommandLine(line, words, error)) << error;
    return words;
}

} // namespace

TEST(SplitCommandLine, blanks_separate_and_quotes_group)
{
    EXPECT_EQ(split("  echo  a\tb  "), (std::vector<std::string>{"echo", "a", "b"}));
    EXPECT_EQ(split("sh -c \"echo before >> markers\""),
              (std::vector<std::string>{"sh", "-c", "echo before >> markers"}));
    EXPECT_EQ(split("'/opt/my tools/run' x'y z'"), (std::vector<std::string>{"/opt/my tools/run", "xy z"}));
    EXPECT_EQ(split(R"(a\ b "q\"uote" "back\\slash" 'no\escape')"),
              (std::vector<std::string>{"a b", "q\"uote", "back\\slash", "no\\escape"}));
    EXPECT_EQ(split("prog \"\" end"), (std::vector<std::string>{"prog", "", "end"}));
    EXPECT_TRUE(split("   ").empty());
}

TEST(SplitCommandLine, unterminated_quote_is_refused)
{
    std::vector<std::string> words;
    std::string error;
    EXPECT_FALSE(SplitCommandLine("echo \"open", words, error));
    EXPECT_NE(error.find("unterminated"), std::string::npos);
    EXPECT_FALSE(SplitCommandLine("echo 'open", words, error));
    EXPECT_FALSE(SplitCommandLine("echo end\\", words, error));
}

TEST(RunCommand, runs_the_program_without_a_shell_and_returns_its_exit_code)
{
    testkit::TempDir dir;
    const std::string marker = dir / "marker";
    // The ">" reaches sh as a plain word inside the quoted script, not as a redirection of ours.
    EXPECT_EQ(RunCommand("sh -c \"echo hello > '" + marker + "'; exit 3\"", "", true, 1), 3);
    EXPECT_EQ(testkit::readFile(marker), "hello\n");
    // Without a shell, ";" and "$" are plain arguments.
    const TCommandOutcome outcome = RunCommandLine("sh -c 'printf %s \"$0\" > \"$1\"' ';$HOME' " + marker);
    EXPECT_TRUE(outcome.Started);
    EXPECT_EQ(outcome.ExitCode, 0);
    EXPECT_EQ(testkit::readFile(marker), ";$HOME");
}

TEST(RunCommand, parameters_follow_the_command_after_one_space)
{
    testkit::TempDir dir;
    const std::string marker = dir / "marker";
    EXPECT_EQ(RunCommand("  sh -c 'echo \"$1\" > \"$0\"'", marker + " word  ", true, 1), 0);
    EXPECT_EQ(testkit::readFile(marker), "word\n");
}

TEST(RunCommand, a_program_that_cannot_start_gives_minus_one_with_the_reason)
{
    EXPECT_EQ(RunCommand("/nonexistent/vorland-no-such-program", "", true, 1), -1);
    const TCommandOutcome missing = RunCommandLine("vorland-no-such-program-on-path arg");
    EXPECT_FALSE(missing.Started);
    EXPECT_NE(missing.Error.find("vorland-no-such-program-on-path"), std::string::npos);
    EXPECT_FALSE(RunCommandLine("   ").Started);
    EXPECT_FALSE(RunCommandLine("echo \"open").Started);
}

TEST(RunCommand, lines_longer_than_the_limit_are_refused_not_cut)
{
    testkit::TempDir dir;
    const std::string marker = dir / "m";
    // "touch <marker>" padded with blanks inside quotes to just over the limit: cutting it would
    // still run touch; refusing it runs nothing.
    std::string line = "touch '" + marker + "' '";
    line.append(kMaxCommandLine - line.size(), 'x');
    line += "'";
    ASSERT_GT(line.size(), kMaxCommandLine);
    const TCommandOutcome outcome = RunCommandLine(line);
    EXPECT_FALSE(outcome.Started);
    EXPECT_NE(outcome.Error.find("511"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(marker));

    std::string fits = "true ";
    fits.append(kMaxCommandLine - fits.size(), 'y');
    EXPECT_EQ(RunCommand(fits, "", true, 1), 0);
}

TEST(RunCommand, a_program_killed_by_a_signal_reports_128_plus_the_signal)
{
    EXPECT_EQ(RunCommand("sh -c 'kill -TERM $$'", "", true, 1), 128 + 15);
}

TEST(RunCommand, a_command_asked_to_end_is_ended_with_what_it_started_and_a_raised_stop_ends_it_too)
{
    testkit::TempDir dir;
    const std::string pidFile = dir / "child";
    // The command starts a child of its own and waits; SIGTERM to the command alone would leave the
    // child running for a minute.
    const std::string line = "sh -c 'sleep 60 & echo $! > \"$0\"; wait' " + pidFile;
    TCommandWait wait;
    wait.OwnProcessGroup = true;
    wait.StopWanted = [&] {
        std::error_code missing;
        return std::filesystem::file_size(pidFile, missing) > 1 && !missing;
    };
    const auto start = std::chrono::steady_clock::now();
    const TCommandOutcome ended = RunCommandLine(line, wait);
    EXPECT_TRUE(ended.Ended);
    EXPECT_EQ(ended.ExitCode, 128 + 15);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    const pid_t child = std::stoi(testkit::readFile(pidFile));
    // The child, no longer ours, is reaped by whoever adopted it: give that a moment.
    for (int i = 0; i < 100 && ::kill(child, 0) == 0; ++i) {
        ::usleep(20'000);
    }
    EXPECT_NE(::kill(child, 0), 0) << "the command's child still runs";

    // A stop raised while waiting ends the command before it goes on to the caller; a command that
    // ignores SIGTERM gets SIGKILL after the grace.
    wait.StopWanted = []() -> bool { throw std::runtime_error("stop"); };
    wait.GraceMilliseconds = 200;
    EXPECT_THROW(RunCommandLine("sh -c 'trap \"\" TERM; sleep 60'", wait), std::runtime_error);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}
