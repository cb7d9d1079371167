#pragma once
// Runs the real libzipengine.so (loaded with dlopen from the build's bin folder) with a parameter
// block filled the way the zip component fills it, and records every callback.

#include "zipengine/ZipEngineApi.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace enginetest {

struct Callback
{
    int action = 0;
    int arg1 = 0;
    int arg2 = 0;
    std::int64_t size = 0;
    std::string text;
};

struct EngineOptions
{
    std::string archive;
    std::string rootDir;            // base of relative specs
    std::vector<std::string> specs; // lines with the component's markers (">", "|", "<password")
    std::vector<std::string> excludes;
    int level = 9;
    bool recurse = false;
    bool update = false;
    bool freshen = false;
    bool encrypt = false;
    bool hidden = false;
    bool junkNames = false;
    bool noDirEntries = false;
    bool move = false;
    std::string password;
    std::string storeSuffixes;
    std::string tempDir;
    std::string comment;
    // Answer to a password request (empty: none).
    std::string passwordAnswer;
    // Nonzero answer to the N-th progress callback (0: never).
    int stopAtProgress = 0;
    // Called for every callback before it is answered.
    std::function<void(const Callback&)> onCallback;
};

struct EngineResult
{
    int result = -1;
    std::vector<Callback> callbacks;
    // Messages (action 4) as "code: text".
    std::vector<std::pair<int, std::string>> messages() const;
    std::vector<std::string> newFiles() const; // names of action 1, in order
};

// Runs one operation. Fails the test when the library cannot be loaded.
EngineResult runEngine(const EngineOptions& options);

// The engine's version export.
int engineVersion();

// Runs tests/engine/check_zip.py with the arguments; returns its exit code and output.
struct CheckResult
{
    int exitCode = -1;
    std::string out;
};
CheckResult checkZip(const std::vector<std::string>& args);

} // namespace enginetest

namespace enginetest {

// Entries of an archive as read by Python's zipfile: name -> "method flags sha1-of-raw-record".
std::map<std::string, std::string> entryDigests(const std::string& archive, const std::string& password = {});

// Checks the archive with Info-ZIP unzip -t, 7-Zip t and Python's zipfile (every file entry equal
// to root/name when root is given), with the password when given.
void expectReadersAccept(const std::string& archive, const std::string& root, const std::string& password = {});

// Extracts with 7-Zip into `into` and compares every file with root/name.
void expectSevenZipExtractsSame(const std::string& archive, const std::string& root, const std::string& into,
                                const std::string& password = {});

// Names of the files directly in `folder` (for temporary-file checks).
std::vector<std::string> folderNames(const std::string& folder);

} // namespace enginetest
