#pragma once
// Walking a directory for the files that match a name mask, as the copy mode selects its files.
//
// - Hidden names (starting with ".") and system entries (anything that is neither a regular file
//   nor a directory: sockets, FIFOs, devices) are left out, and hidden directories are never
//   entered. A symbolic link that leads nowhere (or into a loop) is no file either; it is reported
//   to the error callback with the system's error code (a walk without one passes it by).
// - A symbolic link to a file is reported as that file (size and time of the file it points to); a
//   symbolic link to a directory is never entered, so a walk cannot loop: it is reported to the
//   error callback with EISDIR (a walk without one passes it by).
// - The walk goes to any depth with one open folder at a time; a folder it cannot reach (a path
//   longer than the system takes) is reported like any folder that cannot be read.
// - Within one directory the names are visited in byte order, so results are the same on every
//   file system.
// - A folder that cannot be read (missing, no permission, path too long) is reported to the error
//   callback with the system's error code, and the walk goes on with the rest; without an error
//   callback it raises EInOutError naming the folder.
// - The callbacks run on the calling thread; an error they raise (e.g. the silent stop) ends the
//   walk and reaches the caller.

#include "core/FileTime.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

// Attribute bits of a search record.
enum TFileAttribute : int
{
    faReadOnly = 0x01, // the owner may not write the file
    faSymLink = 0x40,  // the name is a symbolic link to the file
};

// What the search reports for each file.
struct TSearchRec
{
    std::string Name;      // name without path
    std::int64_t Size = 0; // size in bytes
    TDateTime Time = 0;    // last write, local time at two-second resolution
    std::time_t MTime = 0; // last write, seconds since the epoch (UTC)
    int Attr = 0;          // TFileAttribute bits
};

// How much a search reports. Reading a file's size and time costs one system call per file, which
// dominates a walk; a pass that only counts or matches names can do without.
enum class TSearchDetails
{
    Full,
    NamesOnly
};

// Called for each file found with its full path (folder, "/", name) and its search record.
using TFoundFileProc = std::function<void(const std::string& path, const TSearchRec& record)>;
// Called for a folder (or file) that cannot be read, with the system's error code.
using TSearchErrorProc = std::function<void(const std::string& path, int systemError)>;

// Reports every plain file of one directory whose name matches the name part of the path mask
// (e.g. "/data/src/*.txt"). The directory part is made absolute against the current folder; a
// mask without "/" names files of the current folder. "*.*" matches every name, otherwise names
// are matched with MatchesMask. Subdirectories are not visited.
void FindFiles(const std::string& pathMask, const TFoundFileProc& onFile, const TSearchErrorProc& onError = {});

// Like FindFiles for the whole tree below the directory: every subdirectory tree, in name order,
// is reported before the files of its parent directory.
void FindFilesRecursive(const std::string& pathMask, const TFoundFileProc& onFile,
                        const TSearchErrorProc& onError = {});

// FindFilesRecursive without the folder `leftOut` and what lies below it (a copy's target inside its
// source): the folder is recognised by its identity on the disk, however its path is spelt. A
// `leftOut` that names no folder leaves nothing out.
void FindFilesRecursiveLeavingOut(const std::string& pathMask, const std::string& leftOut, const TFoundFileProc& onFile,
                                  const TSearchErrorProc& onError = {});

// FindFiles and FindFilesRecursive with a choice of details. With NamesOnly the record holds the
// name and the faSymLink bit only (a link is still checked to lead to a plain file): a counting
// pass then costs no system call per file.
void FindFilesWith(TSearchDetails details, const std::string& pathMask, const TFoundFileProc& onFile,
                   const TSearchErrorProc& onError = {});
void FindFilesRecursiveWith(TSearchDetails details, const std::string& pathMask, const TFoundFileProc& onFile,
                            const TSearchErrorProc& onError = {});
