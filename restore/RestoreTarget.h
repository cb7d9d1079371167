#pragma once
// Writing restored entries into a destination folder. Every file is written to a temporary name in
// its folder and renamed when complete, so a stop or a crash never leaves a cut-off file under a real
// name. Nothing is written through a symbolic link: a folder on an entry's way that is a link is
// refused, so that links restored earlier (or found there) cannot lead out of the destination.

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <unordered_set>
#include <vector>

namespace restore {

enum class ExistingRule
{
    Skip,
    Replace,
    KeepBoth,
    Ask
};

class RestoreTarget
{
public:
    // The destination folder, created (with its parents) when missing at the first write.
    explicit RestoreTarget(std::string destination);
    ~RestoreTarget();
    RestoreTarget(const RestoreTarget&) = delete;
    RestoreTarget& operator=(const RestoreTarget&) = delete;

    const std::string& destination() const { return m_destination; }
    std::string fullPath(const std::string& relative) const { return m_destination + "/" + relative; }
    // Whether something (a link too) is at the relative path.
    bool exists(const std::string& relative) const;

    // Creates the folder and its parents; its mode and time are set by finishFolders(). `mode` 0:
    // the usual permissions.
    bool makeFolder(const std::string& relative, std::uint32_t mode, std::int64_t mtime, std::string& why);

    // Starts a file at the relative path (its folders created); false with `why` when it cannot.
    bool beginFile(const std::string& relative, std::string& why);
    // Appends bytes; runs of zeros become holes. False with `why` on a write error.
    bool write(const void* data, std::size_t size, std::string& why);
    // Sets mode (setuid, setgid and sticky bits dropped; 0: the usual permissions) and time, syncs
    // nothing, and renames the file to its name following `rule` (Skip and Ask: not over an
    // existing file). `finalName` receives the relative name used. False with `why`.
    bool commitFile(std::uint32_t mode, std::int64_t mtime, ExistingRule rule, std::string& finalName,
                    std::string& why);
    // Removes the file being written.
    void abortFile();

    // Creates a symbolic link (the caller checked that it stays inside).
    bool makeLink(const std::string& relative, const std::string& target, ExistingRule rule, std::string& why);

    // Sets the recorded modes and times of the folders, deepest first.
    void finishFolders();

    // A free name beside `relative`: "name (2).ext", "name (3).ext", ...
    std::string freeName(const std::string& relative) const;

private:
    bool makeParents(const std::string& relative, std::string& why);
    bool openFolder(const std::string& folder, std::string& why);
    bool flushHole(std::string& why);

    struct Folder
    {
        std::string path;
        std::uint32_t mode;
        std::int64_t mtime;
    };
    std::string m_destination;
    mode_t m_umask;
    std::vector<Folder> m_folders;
    // Folders below the destination found to be real folders (not links) or made by this target, so
    // that the files of one folder do not check their way again; the destination once made.
    std::unordered_set<std::string> m_knownFolders;
    bool m_destinationMade = false;
    // The folder of the file being written, open, and the relative name it was opened for: the
    // file is made, renamed and removed relative to it.
    int m_dirFd = -1;
    std::string m_dirName;
    int m_fd = -1;
    std::string m_relative;
    std::string m_leaf;
    std::string m_tempName; // in m_dirFd; empty when no temporary file exists
    unsigned m_tempCounter = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_hole = 0; // zeros not yet written (a hole left by seeking)
};

} // namespace restore
