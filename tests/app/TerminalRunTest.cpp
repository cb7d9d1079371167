// A run on a terminal: the program is started on a pseudo-terminal, Ctrl-C is typed and the
// "Cancel zip ?" question answered. Every wait is for an expected text, with a time limit.

#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr auto kWaitLimit = std::chrono::seconds(60);

class TerminalSession
{
public:
    explicit TerminalSession(const std::vector<std::string>& argv)
    {
        m_pid = forkpty(&m_master, nullptr, nullptr, nullptr);
        if (m_pid == 0) {
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            std::vector<char*> args;
            for (const auto& a : argv) {
                args.push_back(const_cast<char*>(a.c_str()));
            }
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
    }
    ~TerminalSession()
    {
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_master >= 0) {
            ::close(m_master);
        }
    }
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    bool started() const { return m_pid > 0; }

    // Reads until the text appeared after what earlier waits consumed; false at the time limit.
    bool waitFor(const std::string& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
        while (m_output.find(text, m_consumed) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline || !readSome()) {
                return false;
            }
        }
        m_consumed = m_output.find(text, m_consumed) + text.size();
        return true;
    }
    void type(const std::string& keys)
    {
        EXPECT_EQ(::write(m_master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Exit code after reading everything; -1 at the time limit.
    int finish()
    {
        const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
        while (readSome()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return -1;
            }
        }
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return -1;
            }
            ::usleep(20'000);
        }
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    const std::string& output() const { return m_output; }

private:
    // False once the terminal is closed (the program ended).
    bool readSome()
    {
        pollfd fd{m_master, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) {
            return true;
        }
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        m_output.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t m_pid = -1;
    int m_master = -1;
    bool m_reaped = false;
    std::string m_output;
    std::size_t m_consumed = 0;
};

// Says READY only once Ctrl-C ends it at once (a shell could let it slip between two commands),
// then waits to be interrupted.
constexpr const char* kWaitingCommand =
    "python3 -c \"import signal, time; signal.signal(signal.SIGINT, signal.SIG_DFL); print('READY', flush=True); "
    "time.sleep(60)\"";

// A batch whose Before command says READY and then waits to be interrupted by Ctrl-C, one copy
// section and an After command that leaves a marker.
struct InterruptibleBatch
{
    testkit::TempDir tmp;
    std::string batchFile = tmp / "t.vrl";
    fs::path copy = tmp.path() / "copy";
    fs::path marker = tmp.path() / "after-ran";

    InterruptibleBatch()
    {
        testkit::writeFile(tmp.path() / "src/a.txt", "alpha\n");
        testkit::writeFile(batchFile, "[BatchParameters]\r\nBefore=" + std::string(kWaitingCommand) +
                                          "\r\nAfter=touch '" + marker.string() +
                                          "'\r\n\r\n[Copy]\r\nZip=" + copy.string() +
                                          "\r\nCompress=0\r\nDir=" + (tmp.path() / "src").string() + "\r\n");
    }
};

} // namespace

TEST(TerminalRun, ctrl_c_asks_cancel_zip_and_yes_stops_the_run)
{
    InterruptibleBatch batch;
    TerminalSession session({(testkit::binDir() / "vorland").string(), batch.batchFile, "/B"});
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.waitFor("READY")) << session.output();
    session.type("\x03");
    ASSERT_TRUE(session.waitFor("Cancel zip ? (y/N) ")) << session.output();
    session.type("y\n");
    EXPECT_EQ(session.finish(), 3) << session.output();
    EXPECT_FALSE(fs::exists(batch.copy / "a.txt"));
    EXPECT_FALSE(fs::exists(batch.marker));
    // The question came while the Before command was waited for: nothing after it ran.
    EXPECT_NE(session.output().find("Stopped by the user before the first section"), std::string::npos)
        << session.output();
}

TEST(TerminalRun, ctrl_c_answered_no_lets_the_run_go_on_with_a_live_view)
{
    InterruptibleBatch batch;
    TerminalSession session({(testkit::binDir() / "vorland").string(), batch.batchFile, "/B"});
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.waitFor("READY")) << session.output();
    session.type("\x03");
    ASSERT_TRUE(session.waitFor("Cancel zip ? (y/N) ")) << session.output();
    session.type("n\n");
    // The interrupted Before command counts as a problem; the batch itself completes.
    EXPECT_EQ(session.finish(), 1) << session.output();
    EXPECT_EQ(testkit::readFile(batch.copy / "a.txt"), "alpha\n");
    EXPECT_TRUE(fs::exists(batch.marker));
    EXPECT_NE(session.output().find("Batch [##############################] 1/1"), std::string::npos)
        << session.output();
    EXPECT_NE(session.output().find("Before command ended with exit code 130: python3"), std::string::npos)
        << session.output();
}
