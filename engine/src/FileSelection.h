#pragma once
// Choosing the files of one operation from the file arguments and exclusions of the block.

#include "zipengine/ZipEngineApi.h"

#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace zipengine {

// One chosen file. Its name and folder are kept by the Selection (see fullPath, storedName), so a
// file costs this record and the bytes of its own name once.
struct SourceFile
{
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
    std::uint32_t folder = 0;    // its folder in Selection::folders
    std::uint32_t mode = 0;      // permissions and file type (of the link's target for links)
    std::uint32_t specIndex = 0; // the file argument that chose it (for its password)
    std::uint32_t nameAt = 0;    // its name (without folders) in Selection::names
    std::uint16_t nameLength = 0;
};

// A folder files were chosen in.
struct SourceFolder
{
    std::string path;             // full path ending in "/"
    std::string stored;           // what stored names of its files begin with: "" or folders ending in "/"
    std::uint64_t pathHash = 0;   // of path, to be continued by the names of its files
    std::uint64_t storedHash = 0; // of stored, likewise
    bool directoriesAdded = false;
};

// A folder on the stored paths, for its directory entry.
struct SourceDirectory
{
    std::string fullPath;
    std::string storedName; // ends in "/"
    std::int64_t mtime = 0;
    std::uint32_t mode = 0;
};

// One file argument, already taken from the block. Views of texts the caller keeps until selectFiles
// returns (a block may hold millions of arguments; they are not copied).
struct SelectionSpec
{
    std::string_view pattern; // path pattern: folder part and name pattern
    std::string_view baseDir; // base of a relative pattern; empty: the current folder
    bool recurse = false;
};

struct SelectionOptions
{
    std::vector<SelectionSpec> specs;
    // When set, the file arguments are these records of the block instead, read where they are.
    const ZipSpecData* specRecords = nullptr;
    std::size_t specRecordCount = 0;
    std::vector<std::string> excludes;
    bool hiddenFiles = false;
    bool junkDirNames = false;
    bool dirEntries = true;
    // Files never taken (the archive and its temporary file), by device and inode.
    std::vector<std::pair<dev_t, ino_t>> never;
    // Names beginning with this in the archive's folder are never taken (temporary archives).
    std::string tempPrefix;
    // Threads reading the folders of a recursive walk, the calling thread included; 0: one per core,
    // at most 8. With 1 the calling thread reads each folder itself when it gets to it.
    unsigned walkThreads = 0;

    std::size_t specCount() const { return specRecords != nullptr ? specRecordCount : specs.size(); }
    SelectionSpec spec(std::size_t index) const
    {
        if (specRecords == nullptr) {
            return specs[index];
        }
        const ZipSpecData& record = specRecords[index];
        return {record.FileSpec != nullptr ? record.FileSpec : "", record.RootDir != nullptr ? record.RootDir : "",
                record.Recurse != 0};
    }
};

// The files' own names, one after another in blocks of 1 MiB that a name never spans, so the store
// grows without ever holding its names twice. Up to 4 GiB of names.
class NameStore
{
public:
    // Appends the name (at most 65,535 bytes) and sets `at`; false when the store is full.
    bool add(std::string_view name, std::uint32_t& at);
    std::string_view get(std::uint32_t at, std::uint16_t length) const
    {
        return {m_blocks[at >> kBlockBits].get() + (at & (kBlockSize - 1)), length};
    }

private:
    static constexpr unsigned kBlockBits = 20;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_used = kBlockSize; // in the last block
};

struct Selection
{
    // In a stable order, each stored name once; a deque, so that growing never holds the list twice.
    std::deque<SourceFile> files;
    std::vector<SourceDirectory> directories; // folders on the stored paths (when wanted)
    std::vector<std::uint32_t> emptyFolders;  // those of them with nothing in them (their indexes)
    std::vector<SourceFolder> folders;
    NameStore names;

    std::string_view name(const SourceFile& file) const { return names.get(file.nameAt, file.nameLength); }
    // What the stored name begins with (its folders); the rest is name(file).
    const std::string& storedFolder(const SourceFile& file) const { return folders[file.folder].stored; }
    std::string storedName(const SourceFile& file) const { return storedFolder(file) + std::string(name(file)); }
    // Where to read it.
    std::string fullPath(const SourceFile& file) const { return folders[file.folder].path + std::string(name(file)); }
};

// Reports a problem with a file or folder (the code and a text naming it) and goes on.
using SelectionReport = std::function<void(int code, const std::string& text)>;

// Walks the arguments, into folders to any depth. Unreadable folders (also those whose path is
// too long to open) and duplicate names are reported and skipped; links to folders are not followed
// and are reported as notices. The report is called on the calling thread only, in the order of the
// walk whatever walkThreads is.
Selection selectFiles(const SelectionOptions& options, const SelectionReport& report);

// Lexically normalised absolute path (".", ".." and repeated "/" removed).
std::string normalisePath(const std::string& path);

// The matcher of the program, with one addition: a name pattern ending in ".*" also matches names
// without a dot ("*.*" matches every name, "readme.*" matches "readme").
// Pure: may be called from any thread.
bool matchesName(std::string_view pattern, std::string_view name);

} // namespace zipengine
