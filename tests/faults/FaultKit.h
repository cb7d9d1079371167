#pragma once
// Helpers of the fault tests: starting the program with a file-size limit and killing it at a
// chosen moment, writing batch files, and checking archives and folder trees afterwards.

#include "testkit/TestKit.h"

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace faultkit {

namespace fs = std::filesystem;

// A program started in its own process group, its output collected in memory files. A child that
// is still running when the object goes away is killed.
class Child
{
public:
    // Starts argv[0] (a path) with the extra environment entries ("NAME=value"). With
    // fileSizeLimit >= 0 the child gets RLIMIT_FSIZE of that many bytes and ignores SIGXFSZ, so a
    // write past the limit fails with EFBIG as on a full disk.
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
          long long fileSizeLimit = -1);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Sends the signal to the child's whole process group.
    void Kill(int signal);
    // Waits for the end at most `timeout`; false when the child still runs. Afterwards ExitCode()
    // is the exit code, or 128 + the signal number.
    bool Wait(std::chrono::milliseconds timeout);
    bool Running() const { return m_running; }
    int ExitCode() const { return m_exitCode; }
    // Standard output and standard error together, as written so far.
    std::string Output() const;

private:
    int m_pid = -1;
    int m_outFd = -1;
    bool m_running = false;
    int m_exitCode = -1;
};

struct RunResult
{
    int exitCode = -1;
    bool timedOut = false;
    std::string output; // standard output and standard error
};

// Runs the program to its end (killed after timeoutSeconds).
RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
              long long fileSizeLimit = -1, int timeoutSeconds = 120);

// The built program, and a run of "vorland BATCH /B".
fs::path VorlandPath();
RunResult RunBatch(const fs::path& batchFile, const std::vector<std::string>& extraEnv = {},
                   long long fileSizeLimit = -1, int timeoutSeconds = 120);

// One job section of a batch file.
struct Section
{
    std::string name;
    std::string zip; // archive, or target folder of a copy section
    std::string dir;
    bool compress = true;
    std::string suffix;
    std::string ignore;
    bool recurse = true;
    bool dirName = false;
};

// A recursive zip section, and a recursive copy section, of the whole source folder.
Section ZipSection(const std::string& name, const fs::path& archive, const fs::path& dir);
Section CopySection(const std::string& name, const fs::path& target, const fs::path& dir);

// Writes a batch file with the sections and the UpdateZip parameter.
void WriteBatch(const fs::path& file, const std::vector<Section>& sections, bool updateZip);

// `unzip -t` of the archive: true when every entry tests fine.
bool ArchiveTestsOk(const fs::path& archive, std::string* report = nullptr);
// The names of the archive's entries (`unzip -Z1`), sorted; directory entries included.
std::vector<std::string> ArchiveNames(const fs::path& archive);
// The files of a tree as relative path -> content (symbolic links are not followed).
std::map<std::string, std::string> ReadTree(const fs::path& root);
// Empty when the trees hold the same files with the same contents; otherwise the differing names.
std::string TreeDifference(const std::map<std::string, std::string>& actual,
                           const std::map<std::string, std::string>& expected);
// The names in a folder, sorted.
std::vector<std::string> FolderNames(const fs::path& folder);

// Sleeps for the given time (tests only use it to choose when to interrupt, never to decide).
void SleepFor(std::chrono::microseconds time);

} // namespace faultkit
