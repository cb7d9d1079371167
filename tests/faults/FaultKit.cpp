#include "faults/FaultKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace faultkit {

namespace {

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    for (const auto& extra : extraEnv) {
        const auto eq = extra.find('=');
        const std::string prefix = extra.substr(0, eq + 1);
        std::erase_if(env, [&](const std::string& v) { return v.rfind(prefix, 0) == 0; });
        if (eq != std::string::npos && eq + 1 < extra.size()) {
            env.push_back(extra);
        }
    }
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> result;
    for (auto& t : texts) {
        result.push_back(t.data());
    }
    result.push_back(nullptr);
    return result;
}

} // namespace

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, long long fileSizeLimit)
{
    m_outFd = ::memfd_create("child-output", MFD_CLOEXEC);
    if (m_outFd < 0) {
        ADD_FAILURE() << "memfd_create: " << std::strerror(errno);
        return;
    }
    std::vector<std::string> env = mergedEnvironment(extraEnv);
    std::vector<std::string> args = argv;
    std::vector<char*> envp = pointers(env);
    std::vector<char*> argp = pointers(args);

    const pid_t pid = ::fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        ::setpgid(0, 0);
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, 0);
        ::dup2(m_outFd, 1);
        ::dup2(m_outFd, 2);
        if (fileSizeLimit >= 0) {
            struct sigaction ignore
            {
            };
            ignore.sa_handler = SIG_IGN;
            ::sigaction(SIGXFSZ, &ignore, nullptr); // an ignored signal stays ignored across exec
            rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execve(argp[0], argp.data(), envp.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid); // also from here, so Kill works whichever side runs first
    m_pid = pid;
    m_running = true;
}

Child::~Child()
{
    if (m_running) {
        Kill(SIGKILL);
        Wait(std::chrono::seconds(30));
    }
    if (m_outFd >= 0) {
        ::close(m_outFd);
    }
}

void Child::Kill(int signal)
{
    if (m_running) {
        ::kill(-m_pid, signal);
    }
}

bool Child::Wait(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_running) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_running = false;
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            // Whatever the program started in its group goes with it.
            ::kill(-m_pid, SIGKILL);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string Child::Output() const
{
    std::string text;
    if (m_outFd < 0) {
        return text;
    }
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(m_outFd, buffer, sizeof buffer, offset);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
    return text;
}

RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, long long fileSizeLimit,
              int timeoutSeconds)
{
    RunResult result;
    Child child(argv, extraEnv, fileSizeLimit);
    if (!child.Wait(std::chrono::seconds(timeoutSeconds))) {
        result.timedOut = true;
        child.Kill(SIGKILL);
        child.Wait(std::chrono::seconds(30));
    }
    result.exitCode = child.ExitCode();
    result.output = child.Output();
    return result;
}

fs::path VorlandPath()
{
    return testkit::binDir() / "vorland";
}

RunResult RunBatch(const fs::path& batchFile, const std::vector<std::string>& extraEnv, long long fileSizeLimit,
                   int timeoutSeconds)
{
    std::vector<std::string> env = {"VORLAND_CONSOLE=1"};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    return Run({VorlandPath().string(), batchFile.string(), "/B"}, env, fileSizeLimit, timeoutSeconds);
}

Section ZipSection(const std::string& name, const fs::path& archive, const fs::path& dir)
{
    Section section;
    section.name = name;
    section.zip = archive.string();
    section.dir = dir.string();
    return section;
}

Section CopySection(const std::string& name, const fs::path& target, const fs::path& dir)
{
    Section section = ZipSection(name, target, dir);
    section.compress = false;
    return section;
}

void WriteBatch(const fs::path& file, const std::vector<Section>& sections, bool updateZip)
{
    std::string text = "[BatchParameters]\r\nBefore=\r\nAfter=\r\nPassword=\r\nUpdateZip=";
    text += updateZip ? "1" : "0";
    text += "\r\n\r\n";
    for (const auto& s : sections) {
        text += "[" + s.name + "]\r\nZip=" + s.zip + "\r\nCompress=" + (s.compress ? "1" : "0") + "\r\nDir=" + s.dir +
                "\r\nSuffix=" + s.suffix + "\r\nIgnore=" + s.ignore + "\r\nRecurse=" + (s.recurse ? "1" : "0") +
                "\r\nDirName=" + (s.dirName ? "1" : "0") + "\r\nComments=\r\n\r\n";
    }
    testkit::writeFile(file, text);
}

bool ArchiveTestsOk(const fs::path& archive, std::string* report)
{
    const auto result = testkit::runProcess({"unzip", "-tq", archive.string()}, {}, 120);
    if (report != nullptr) {
        *report = result.out + result.err;
    }
    return result.exitCode == 0 && !result.timedOut;
}

std::vector<std::string> ArchiveNames(const fs::path& archive)
{
    const auto result = testkit::runProcess({"unzip", "-Z1", archive.string()}, {}, 120);
    std::vector<std::string> names;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty()) {
            names.push_back(line);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> ReadTree(const fs::path& root)
{
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_regular_file() && !it->is_symlink()) {
            files[fs::relative(it->path(), root).string()] = testkit::readFile(it->path());
        }
    }
    return files;
}

std::string TreeDifference(const std::map<std::string, std::string>& actual,
                           const std::map<std::string, std::string>& expected)
{
    std::string difference;
    for (const auto& [name, content] : actual) {
        const auto other = expected.find(name);
        if (other == expected.end()) {
            difference += "unexpected " + name + "; ";
        } else if (other->second != content) {
            difference += "different " + name + " (" + std::to_string(content.size()) + " bytes); ";
        }
    }
    for (const auto& [name, content] : expected) {
        if (actual.count(name) == 0) {
            difference += "missing " + name + "; ";
        }
    }
    return difference;
}

std::vector<std::string> FolderNames(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void SleepFor(std::chrono::microseconds time)
{
    std::this_thread::sleep_for(time);
}

} // namespace faultkit
