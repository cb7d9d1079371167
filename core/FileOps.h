#pragma once
// File operations of a run: copying a file safely, deleting, creating folders, and the folder for
// temporary work files.
//
// Test seam, compiled in only with VORLAND_TEST_HOOKS (read once, on first use; nothing is checked
// when the variables are unset):
//   VORLAND_FAULT_COPY_WRITE_AFTER=N   copies fail with EIO once N bytes of a file were written;
//   VORLAND_FAULT_READ_MATCH=text      opening a copy source whose path contains `text` fails with
//                                      EACCES;
//   VORLAND_FAULT_VERIFY=flip-copy     a verified copy gets a byte inverted on disk before it is read
//                                      back.

#include <cstdint>
#include <ctime>
#include <string>

// Copies `source` over `target` (an existing file is replaced). The data goes to a new hidden
// temporary file in the target's folder, which gets the source's permission bits and modification
// time and is then renamed over the target, so the target is never a cut-off file: on any failure
// the previous target stays as it was and the temporary file is removed. Returns false with the
// cause in `error` (naming the file and the system's reason). The target's folder must exist.
// With `verify`, the new copy is synced, its cached pages dropped where the system allows, and read
// back; it replaces the target only when its content hashes as what was read from the source (the
// check reads what reached the disk, unless the system keeps the pages). A mismatch fails with
// `verifyFailed` set.
bool CopyFileKeepTime(const std::string& source, const std::string& target, std::string& error, bool verify = false,
                      bool* verifyFailed = nullptr);

// Removes the temporary files that copies into `dir` left behind when their run was killed; files of
// copies that are still running (in this or another process) stay. Each folder is looked at once
// per process; CopyFileKeepTime calls it for its target's folder.
void RemoveOrphanedCopies(const std::string& dir);

// Deletes the file permanently (no trash). The path is used whole, never cut. The two flags are the
// framework's confirmation and progress flags; nothing here asks or shows anything. True when the
// file is gone.
bool DeleteFiles(const std::string& path, bool confirm = false, bool progress = false);

// Creates the folder with all its missing parents; nothing is done for an existing folder. A
// relative path is taken from the current folder. An empty path raises EVorlandError "Unable to
// create directory" (an archive name without any folder part asks for exactly that). Other failures
// return false with the cause in `error` (and its errno value in `cause`).
bool ForceDirectories(const std::string& dir, std::string& error, int& cause);
bool ForceDirectories(const std::string& dir, std::string& error);
bool ForceDirectories(const std::string& dir);

// The folder part of a path (folderOf), but "" for a bare name: ForceDirectories refuses that.
std::string ExtractFileDir(const std::string& path);

// The path made absolute against the current folder, without "." and ".." and without a trailing "/"
// (except the root itself). Links are kept as they are, but ".." is taken the way the system takes
// it: after a link to a folder it leads to the parent of the link's target.
std::string AbsolutePath(const std::string& path);

// The folder for temporary work files, with a trailing "/": the executable's folder when it is
// writable, otherwise TMPDIR when set and writable, otherwise /tmp.
std::string WorkDirectory();

// A new, empty temporary file in WorkDirectory() for one operation, removed when the object goes.
// Raises EInOutError when no file can be created.
class TWorkFile
{
public:
    explicit TWorkFile(const std::string& prefix = "Vorland");
    ~TWorkFile();
    TWorkFile(const TWorkFile&) = delete;
    TWorkFile& operator=(const TWorkFile&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
