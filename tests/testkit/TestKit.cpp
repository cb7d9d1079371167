#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testkit {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "vorland-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    if (made == nullptr) {
        ADD_FAILURE() << "mkdtemp failed: " << std::strerror(errno);
        return;
    }
    m_path = made;
}

TempDir::~TempDir()
{
    if (m_path.empty() || std::getenv("VORLAND_KEEP_TEMP") != nullptr) {
        return;
    }
    std::error_code ec;
    // Tests may leave read-only folders behind; make everything writable before removing it.
    for (auto it = fs::recursive_directory_iterator(m_path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(m_path, ec);
}

void writeFile(const fs::path& file, const std::string& bytes)
{
    std::error_code ec;
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path(), ec);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        ADD_FAILURE() << "cannot write " << file;
    }
}

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << file;
        return {};
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void setMTime(const fs::path& file, std::time_t seconds)
{
    timespec times[2];
    times[0].tv_sec = seconds;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    if (utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        ADD_FAILURE() << "utimensat " << file << ": " << std::strerror(errno);
    }
}

std::string randomBytes(std::size_t size, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) {
        c = static_cast<char>(gen() & 0xFF);
    }
    return bytes;
}

namespace {

void drain(int fd, std::string& into)
{
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return;
    }
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                         int timeoutSeconds, const fs::path& workDir)
{
    ProcessResult result;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return result;
    }

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    for (const auto& extra : extraEnv) {
        const auto eq = extra.find('=');
        const std::string name = extra.substr(0, eq + 1);
        std::erase_if(env, [&](const std::string& v) { return v.rfind(name, 0) == 0; });
        if (eq != std::string::npos && eq + 1 < extra.size()) {
            env.push_back(extra);
        }
    }
    std::vector<char*> envp;
    for (auto& v : env) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (!workDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    }
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A new process group, so a timeout can kill what the program started too.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argp[0], &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(rc);
        return result;
    }

    fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
    fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    bool exited = false;
    while (!exited) {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        poll(fds, 2, 50);
        drain(outPipe[0], result.out);
        drain(errPipe[0], result.err);
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
        } else if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            exited = true;
        }
    }
    fcntl(outPipe[0], F_SETFL, 0);
    fcntl(errPipe[0], F_SETFL, 0);
    drain(outPipe[0], result.out);
    drain(errPipe[0], result.err);
    close(outPipe[0]);
    close(errPipe[0]);
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
    }
    return result;
}

bool haveProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return false;
    }
    std::stringstream dirs(path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && access((fs::path(dir) / name).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

fs::path binDir()
{
    const char* dir = std::getenv("VORLAND_BIN_DIR");
    return dir != nullptr ? fs::path(dir) : fs::path();
}

fs::path sourceDir()
{
    const char* dir = std::getenv("VORLAND_SOURCE_DIR");
    return dir != nullptr ? fs::path(dir) : fs::path();
}

} // namespace testkit
