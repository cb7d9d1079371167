#pragma once
// Small rules about paths and files that the program, the zip component and the engine library must
// answer alike: the folder of a path, what is at a path, following links, writing and replacing a
// file whole, and which names belong to the program's own work files. Plain C++20 and POSIX; every
// function may be called from any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The folder part of a path, without a trailing "/": "." for a bare name, "/" for a file in the root.
// Repeated separators before the name count as one ("a//b" gives "a").
std::string folderOf(const std::string& path);

// True when the path has a folder part (holds a "/").
bool hasFolderPart(const std::string& path);

// What is at a path. The `Following` functions follow symbolic links, as opening the path would; the
// others look at the path itself.
bool somethingAt(const std::string& path);          // anything, also a link that leads nowhere
bool existsFollowingLinks(const std::string& path); // anything a link leads to
bool isRegularFile(const std::string& path);        // a regular file (through links)
bool isFolder(const std::string& path);             // a folder (through links)
bool isSomethingButFolder(const std::string& path); // exists (through links) and is not a folder

// The path with every symbolic link at its end followed (also to a file that does not exist yet): the
// file a link leads to. A relative link is taken from the link's folder. Other paths come back as
// they are; a loop stops after as many links as the system follows in one path.
std::string followLinks(const std::string& path);

// Writes all `size` bytes to `fd`, again after an interruption or a short write. False on failure
// with errno set (EIO when the system accepted nothing).
bool writeFully(int fd, const void* data, std::size_t size);

// Replaces the file at `path` (through links: the link stays, the file it leads to is replaced) with
// `bytes` at once: they go to a new file beside it, are flushed to the disk and renamed over it, and
// the rename is made durable by flushing the folder. The new file gets `mode` when given, otherwise
// the old file's permission bits, otherwise the usual ones of a new file. Returns 0, or the system's
// error code (EISDIR for a folder); on failure the old file is untouched and nothing is left behind.
int replaceFileWhole(const std::string& path, std::string_view bytes, std::optional<mode_t> mode = std::nullopt);

// Names of the program's work files. A temporary archive is "<archive name>" + kArchiveTempMarker +
// six characters; a copy in progress is kCopyTempPrefix + six characters.
inline constexpr std::string_view kArchiveTempMarker = ".vorland-tmp-";
inline constexpr std::string_view kCopyTempPrefix = ".vorland-copy-";
inline constexpr std::size_t kWorkFileUniqueLength = 6;

// True for the name (without folder) of one of the program's work files, kept only while a run
// works: never backed up, never taken for a user's file.
bool isWorkFileName(std::string_view name);
