#include "framework/core/ProcessUtils.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

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
pid_t spawnWords(const std::vector<std::string>& words, std::string& error)
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
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
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
pid_t startCommandLine(const std::string& commandLine, std::string& error)
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
    return spawnWords(words, error);
}

int waitExitCode(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

} // namespace

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
    const pid_t pid = startCommandLine(commandLine, outcome.Error);
    if (pid < 0) {
        return outcome;
    }
    outcome.Started = true;
    outcome.ExitCode = waitExitCode(pid);
    return outcome;
}

int RunCommand(const std::string& command, const std::string& parameters, bool wait, int /*showCommand*/)
{
    const std::string line = parameters.empty() ? command : command + " " + parameters;
    if (wait) {
        const TCommandOutcome outcome = RunCommandLine(line);
        return outcome.Started ? outcome.ExitCode : -1;
    }
    std::string error;
    const pid_t pid = startCommandLine(line, error);
    return pid < 0 ? -1 : static_cast<int>(pid);
}
