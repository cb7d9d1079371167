// Signals and streams: a hang-up stops a run as SIGTERM does; a closed output pipe and a file-size
// limit are write errors to report, never a reason for the program to die half-way.

#include "faults/FaultKit.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using faultkit::fs::path;
using namespace std::chrono;
using testkit::writeFile;

struct Outcome
{
    int exitCode = -1; // or 128 + the signal that ended it
    std::string output;
};

// Runs "vorland BATCH /B" with standard output and standard error on `outFd` (a memory file when -1)
// and, with fileSizeLimit >= 0, that RLIMIT_FSIZE and SIGXFSZ left at its default action.
Outcome runRaw(const path& batch, int outFd, long long fileSizeLimit)
{
    Outcome outcome;
    const int memory = ::memfd_create("vorland-output", MFD_CLOEXEC);
    const int target = outFd >= 0 ? outFd : memory;
    const std::string program = faultkit::VorlandPath().string();
    const std::string file = batch.string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, 0);
        ::dup2(target, 1);
        ::dup2(target, 2);
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGXFSZ, SIG_DFL);
        if (fileSizeLimit >= 0) {
            rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::setenv("VORLAND_CONSOLE", "1", 1);
        ::execl(program.c_str(), program.c_str(), file.c_str(), "/B", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    EXPECT_GT(pid, 0);
    const auto deadline = steady_clock::now() + seconds(120);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "the run did not end";
            break;
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(memory, buffer, sizeof buffer, at);
        if (n <= 0) {
            break;
        }
        outcome.output.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    ::close(memory);
    return outcome;
}

class SignalFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(faultkit::fs::exists(faultkit::VorlandPath())) << faultkit::VorlandPath();
        writeFile(src / "one.txt", "first file\n");
        writeFile(src / "big.bin", testkit::randomBytes(1 << 20, 31));
        faultkit::WriteBatch(batch, {faultkit::ZipSection("Backup", archive, src)}, false);
        const auto first = faultkit::RunBatch(batch);
        ASSERT_EQ(first.exitCode, 0) << first.output;
        previous = testkit::readFile(archive);
        writeFile(src / "two.bin", testkit::randomBytes(1 << 20, 32));
    }

    testkit::TempDir tmp;
    path src = tmp.path() / "src";
    path out = tmp.path() / "out";
    path archive = out / "backup.zip";
    path batch = tmp.path() / "batch.vrl";
    std::string previous;
};

TEST_F(SignalFaults, a_hang_up_stops_the_run_like_sigterm_and_keeps_the_previous_archive)
{
    const path started = tmp.path() / "started";
    // The Before command tells when the run is under way and waits (it goes with the hang-up too).
    std::string text = testkit::readFile(batch);
    const std::string before = "Before=sh -c \"touch '" + started.string() + "'; sleep 30\"";
    text.replace(text.find("Before="), 7, before);
    writeFile(batch, text);

    faultkit::Child child({faultkit::VorlandPath().string(), batch.string(), "/B"}, {"VORLAND_CONSOLE=1"});
    const auto deadline = steady_clock::now() + seconds(30);
    while (!faultkit::fs::exists(started) && steady_clock::now() < deadline) {
        faultkit::SleepFor(milliseconds(5));
    }
    ASSERT_TRUE(faultkit::fs::exists(started));
    child.Kill(SIGHUP);
    ASSERT_TRUE(child.Wait(seconds(30)));
    EXPECT_EQ(child.ExitCode(), 3) << child.Output();
    EXPECT_NE(child.Output().find("Stopped by the user"), std::string::npos) << child.Output();
    EXPECT_EQ(testkit::readFile(archive), previous);
    EXPECT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"backup.zip"});
}

TEST_F(SignalFaults, a_closed_output_pipe_does_not_stop_the_backup)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::close(fds[0]); // as `vorland ... 2>&1 | head -c 5` once head has ended
    const Outcome outcome = runRaw(batch, fds[1], -1);
    ::close(fds[1]);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_TRUE(faultkit::ArchiveTestsOk(archive));
    EXPECT_EQ(faultkit::ArchiveNames(archive), (std::vector<std::string>{"big.bin", "one.txt", "two.bin"}));
}

TEST_F(SignalFaults, a_file_size_limit_is_reported_as_a_write_error_and_leaves_no_temporary_file)
{
    const Outcome outcome = runRaw(batch, -1, 512 << 10);
    EXPECT_TRUE(outcome.exitCode == 1 || outcome.exitCode == 2) << outcome.exitCode << "\n" << outcome.output;
    EXPECT_NE(outcome.output.find("[19]"), std::string::npos) << outcome.output;
    EXPECT_NE(outcome.output.find("File too large"), std::string::npos) << outcome.output;
    EXPECT_EQ(testkit::readFile(archive), previous);
    EXPECT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"backup.zip"});
}

} // namespace
