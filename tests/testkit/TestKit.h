#pragma once
// Small helpers every test uses: a fresh temporary folder per test, whole-file reads and writes,
// setting file times, and running another program with a time limit.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace testkit {

namespace fs = std::filesystem;

// A new empty folder under the system's temporary folder; removed with everything in it when the
// object goes out of scope (unless VORLAND_KEEP_TEMP is set, to look at a failure).
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return m_path; }
    // path() / relative, as a string.
    std::string operator/(const std::string& relative) const { return (m_path / relative).string(); }

private:
    fs::path m_path;
};

// Writes the bytes to the file, creating missing parent folders. Fails the test on error.
void writeFile(const fs::path& file, const std::string& bytes);
// The whole content of the file; fails the test when it cannot be read.
std::string readFile(const fs::path& file);
// Sets the file's modification (and access) time to the given seconds since the epoch.
void setMTime(const fs::path& file, std::time_t seconds);
// Deterministic pseudo-random bytes (same seed, same bytes).
std::string randomBytes(std::size_t size, std::uint32_t seed);

struct ProcessResult
{
    int exitCode = -1; // exit code, or 128 + signal number when killed by a signal
    bool timedOut = false;
    std::string out; // standard output
    std::string err; // standard error
};

// Runs argv[0] (searched on PATH when it has no "/") with the arguments, standard input from
// /dev/null, and waits at most timeoutSeconds (then kills it and sets timedOut). extraEnv entries
// "NAME=value" are added to the environment; "NAME=" alone removes NAME.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
                         int timeoutSeconds = 120, const fs::path& workDir = {});

// True when the program can be found on PATH.
bool haveProgram(const std::string& name);

// Folder of the built program and engine library (VORLAND_BIN_DIR, set by the test registration).
fs::path binDir();
// The source tree (VORLAND_SOURCE_DIR).
fs::path sourceDir();

} // namespace testkit
