#pragma once
// Choosing the files of one operation from the file specifications and exclusions of the block.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zipengine {

// One chosen file (or, for directory entries, one folder on the stored paths).
struct SourceFile
{
    std::string fullPath;   // where to read it
    std::string storedName; // entry name ("sub/file.txt"; folders end in "/")
    std::uint64_t size = 0;
    std::time_t mtime = 0;
    mode_t mode = 0; // permissions and file type (of the link's target for links)
    bool isDirectory = false;
    int specIndex = 0; // the file specification that chose it (for its password)
};

// One file specification, already taken from the block.
struct SelectionSpec
{
    std::string pattern; // path pattern: folder part and name pattern
    std::string baseDir; // base of a relative pattern; empty: the current folder
    bool recurse = false;
};

struct SelectionOptions
{
    std::vector<SelectionSpec> specs;
    std::vector<std::string> excludes;
    bool hiddenFiles = false;
    bool junkDirNames = false;
    bool dirEntries = true;
    // Files never taken (the archive and its temporary file), by device and inode.
    std::vector<std::pair<dev_t, ino_t>> never;
    // Names beginning with this in the archive's folder are never taken (temporary archives).
    std::string tempPrefix;
};

struct Selection
{
    std::vector<SourceFile> files;       // in a stable order, each stored name once
    std::vector<SourceFile> directories; // folders on the stored paths (when wanted)
};

// Reports a problem with a file or folder (the code and a text naming it) and goes on.
using SelectionReport = std::function<void(int code, const std::string& text)>;

// Walks the specifications. Unreadable folders and duplicate names are reported and skipped.
Selection selectFiles(const SelectionOptions& options, const SelectionReport& report);

// Lexically normalised absolute path (".", ".." and repeated "/" removed).
std::string normalisePath(const std::string& path);

// The matcher of the program, with one addition: a name pattern ending in ".*" also matches names
// without a dot ("*.*" matches every name, "readme.*" matches "readme").
bool matchesName(const std::string& pattern, const std::string& name);

} // namespace zipengine
