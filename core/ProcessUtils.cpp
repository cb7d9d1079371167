#include "core/ProcessUtils.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// How often a waited-for command is looked at and the caller asked whether to end it: often enough
// for windows to repaint smoothly, rarely enough to cost nothing.
constexpr long kPollMilliseconds = 20;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string trimBlanks(const std::string& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isBlank(text[first])) {
        ++first;
    }
    while (last > first && isBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

// Started process or -1 (errno-style code in `error`).
pid_t spawnWords(const std::vector<std::string>& words, bool ownGroup, std::string& error)
{
    std::vector<std::string> args = words;
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Our own handlers of these signals only set a flag; the command gets the usual behaviour.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGHUP);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    sigset_t noMask;
    sigemptyset(&noMask);
    posix_spawnattr_setsigmask(&attr, &noMask);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (ownGroup) {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        error = "cannot start \"" + words[0] + "\": " + std::strerror(rc);
        return -1;
    }
    return pid;
}

// Parses and starts; -1 with `error` set on any failure.
pid_t startCommandLine(const std::string& commandLine, bool ownGroup, std::string& error)
{
    const std::string line = trimBlanks(commandLine);
    if (line.empty()) {
        error = "empty command line";
        return -1;
    }
    if (line.size() > kMaxCommandLine) {
        error = "command line longer than " + std::to_string(kMaxCommandLine) + " characters";
        return -1;
    }
    std::vector<std::string> words;
    if (!SplitCommandLine(line, words, error)) {
        return -1;
    }
    if (words.empty() || words[0].empty()) {
        error = "no program named in the command line";
        return -1;
    }
    return spawnWords(words, ownGroup, error);
}

int exitCodeOf(int status)
{
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

int waitExitCode(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return exitCodeOf(status);
}

void sleepMilliseconds(long milliseconds)
{
    timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// The exit code once the command ended, or nothing yet (-2); -1 when it cannot be waited for.
int exitCodeIfEnded(pid_t pid)
{
    int status = 0;
    pid_t done = -1;
    do {
        done = waitpid(pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0) {
        return -2;
    }
    return done < 0 ? -1 : exitCodeOf(status);
}

// SIGTERM, then SIGKILL once the grace is over; returns the exit code.
int endCommand(pid_t pid, const TCommandWait& wait)
{
    const pid_t target = wait.OwnProcessGroup ? -pid : pid;
    ::kill(target, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait.GraceMilliseconds);
    int code = exitCodeIfEnded(pid);
    while (code == -2 && std::chrono::steady_clock::now() < deadline) {
        sleepMilliseconds(kPollMilliseconds);
        code = exitCodeIfEnded(pid);
    }
    if (code == -2) {
        ::kill(target, SIGKILL);
        code = waitExitCode(pid);
    } else if (wait.OwnProcessGroup) {
        // What the command started and left behind goes with it.
        ::kill(target, SIGKILL);
    }
    return code;
}

} // namespace

bool InTerminalForeground()
{
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::isatty(fd) == 1 && ::tcgetpgrp(fd) == ::getpgrp()) {
            return true;
        }
    }
    return false;
}

bool SplitCommandLine(const std::string& line, std::vector<std::string>& words, std::string& error)
{
    words.clear();
    std::string word;
    bool inWord = false;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (isBlank(c)) {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const std::size_t close = line.find('\'', i + 1);
            if (close == std::string::npos) {
                error = "unterminated ' in the command line";
                return false;
            }
            word.append(line, i + 1, close - i - 1);
            i = close + 1;
        } else if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char q = line[i];
                if (q == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (q == '\\' && i + 1 < line.size() && std::strchr("\"\\$`", line[i + 1]) != nullptr) {
                    word += line[i + 1];
                    i += 2;
                    continue;
                }
                word += q;
                ++i;
            }
            if (!closed) {
                error = "unterminated \" in the command line";
                return false;
            }
        } else if (c == '\\') {
            if (i + 1 >= line.size()) {
                error = "the command line ends with a backslash";
                return false;
            }
            word += line[i + 1];
            i += 2;
        } else {
            word += c;
            ++i;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return true;
}

TCommandOutcome RunCommandLine(const std::string& commandLine)
{
    TCommandOutcome outcome;
    const pid_t pid = startCommandLine(commandLine, false, outcome.Error);
    if (pid < 0) {
        return outcome;
    }
    outcome.Started = true;
    outcome.ExitCode = waitExitCode(pid);
    return outcome;
}

TCommandOutcome RunCommandLine(const std::string& commandLine, const TCommandWait& wait)
{
    TCommandOutcome outcome;
    const pid_t pid = startCommandLine(commandLine, wait.OwnProcessGroup, outcome.Error);
    if (pid < 0) {
        return outcome;
    }
    outcome.Started = true;
    for (;;) {
        // The caller first: a signal that reached the command and the caller alike (Ctrl-C on a
        // terminal) is the caller's to judge even when the command has ended of it already.
        bool stop = false;
        try {
            stop = wait.StopWanted && wait.StopWanted();
        } catch (...) {
            endCommand(pid, wait);
            throw;
        }
        if (stop) {
            outcome.Ended = true;
            outcome.ExitCode = endCommand(pid, wait);
            return outcome;
        }
        const int code = exitCodeIfEnded(pid);
        if (code != -2) {
            outcome.ExitCode = code;
            return outcome;
        }
        sleepMilliseconds(kPollMilliseconds);
    }
}

int RunCommand(const std::string& command, const std::string& parameters, bool wait, int /*showCommand*/)
{
    const std::string line = parameters.empty() ? command : command + " " + parameters;
    if (wait) {
        const TCommandOutcome outcome = RunCommandLine(line);
        return outcome.Started ? outcome.ExitCode : -1;
    }
    std::string error;
    const pid_t pid = startCommandLine(line, false, error);
    return pid < 0 ? -1 : static_cast<int>(pid);
}

TProgramOutput RunProgram(const std::vector<std::string>& argv)
{
    TProgramOutput result;
    if (argv.empty() || argv[0].empty()) {
        result.Error = "no program named";
        return result;
    }
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0) {
        result.Error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return result;
    }
    std::vector<std::string> args = argv;
    std::vector<char*> words;
    for (auto& arg : args) {
        words.push_back(arg.data());
    }
    words.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, channel[1], 1);
    posix_spawn_file_actions_adddup2(&actions, channel[1], 2);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, words[0], &actions, nullptr, words.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(channel[1]);
    if (rc != 0) {
        ::close(channel[0]);
        result.Error = "cannot start \"" + argv[0] + "\": " + std::strerror(rc);
        return result;
    }
    result.Started = true;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
        if (got > 0) {
            result.Output.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(channel[0]);
    result.ExitCode = waitExitCode(pid);
    return result;
}
