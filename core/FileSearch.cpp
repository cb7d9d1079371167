#include "core/FileSearch.h"

#include "core/CoreErrors.h"
#include "core/FileOps.h"
#include "maskmatch/MaskMatch.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// A file found in a folder, with what the walk knows of it before it is reported.
struct FoundFile
{
    TSearchRec record;
    bool report = true; // false: looked at and left out (gone meanwhile, a link to no plain file)
};

struct Walker
{
    Walker(const std::string& mask, const TFoundFileProc& fileProc, const TSearchErrorProc& errorProc,
           TSearchDetails searchDetails)
        : nameMask(mask), everyName(mask == "*.*" || mask == "*"), details(searchDetails), onFile(fileProc),
          onError(errorProc)
    {
    }

    std::string nameMask;
    bool everyName;
    TSearchDetails details;
    const TFoundFileProc& onFile;
    const TSearchErrorProc& onError;
    // (device, inode) of the directories being walked, to refuse a directory met twice on one
    // path (possible through bind mounts even though links are never followed).
    std::vector<std::pair<dev_t, ino_t>> ancestors;
    // (device, inode) of a folder left out of the walk; none when `leaveOut` is false.
    bool leaveOut = false;
    std::pair<dev_t, ino_t> leftOut{};

    void fail(const std::string& path, int error) const
    {
        if (onError) {
            onError(path, error);
            return;
        }
        throw EInOutError(path, error, "Cannot read the folder");
    }

    bool nameMatches(const std::string& name) const { return everyName || MatchesMask(nameMask, name); }

    // Opens the folder `dir` for reading; nullptr after reporting why not.
    std::unique_ptr<DIR, DirCloser> open(const std::string& dir, bool isTop) const
    {
        // Below the top the folder was seen as a directory, not a link; O_NOFOLLOW keeps it so if
        // it is swapped for a link meanwhile.
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isTop ? 0 : O_NOFOLLOW);
        const int fd = ::open(dir.c_str(), flags);
        if (fd < 0) {
            fail(dir, errno);
            return nullptr;
        }
        std::unique_ptr<DIR, DirCloser> handle(::fdopendir(fd));
        if (!handle) {
            const int error = errno;
            ::close(fd);
            fail(dir, error);
        }
        return handle;
    }

    // The names of subfolders (with `recurse`) and of matching files and links in the folder.
    void readNames(DIR* handle, const std::string& dir, bool recurse, std::vector<std::string>& subdirs,
                   std::vector<std::pair<std::string, unsigned char>>& files) const
    {
        const int fd = ::dirfd(handle);
        for (;;) {
            errno = 0;
            const dirent* item = ::readdir(handle);
            if (item == nullptr) {
                if (errno != 0) {
                    fail(dir, errno);
                }
                return;
            }
            const std::string name = item->d_name;
            if (name.empty() || name[0] == '.') {
                continue; // ".", ".." and hidden names
            }
            unsigned char type = item->d_type;
            if (type == DT_UNKNOWN) {
                struct stat info = {};
                if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                    continue;
                }
                type = S_ISDIR(info.st_mode)   ? DT_DIR
                       : S_ISLNK(info.st_mode) ? DT_LNK
                       : S_ISREG(info.st_mode) ? DT_REG
                                               : DT_FIFO;
            }
            if (type == DT_DIR) {
                if (recurse) {
                    subdirs.push_back(name);
                }
            } else if ((type == DT_REG || type == DT_LNK) && nameMatches(name)) {
                files.emplace_back(name, type);
            }
        }
    }

    // The search record of one file of the folder open as `fd`.
    FoundFile lookAt(int fd, const std::string& dir, const std::string& name, unsigned char type) const
    {
        FoundFile found;
        found.record.Name = name;
        if (details == TSearchDetails::NamesOnly && type == DT_REG) {
            return found;
        }
        struct stat info = {};
        if (::fstatat(fd, name.c_str(), &info, 0) != 0) {
            const int error = errno;
            if (error != ENOENT) {
                fail(dir + name, error);
            } else if (type == DT_LNK && onError) {
                onError(dir + name, error); // a link that leads nowhere: nothing to copy
            }
            found.report = false; // gone meanwhile
            return found;
        }
        if (!S_ISREG(info.st_mode)) {
            if (S_ISDIR(info.st_mode) && onError) {
                onError(dir + name, EISDIR); // a link to a folder, not followed
            }
            found.report = false; // a link to a directory or to a system entry
            return found;
        }
        if (details == TSearchDetails::NamesOnly) {
            found.record.Attr = faSymLink;
            return found;
        }
        found.record.Size = static_cast<std::int64_t>(info.st_size);
        found.record.MTime = info.st_mtim.tv_sec;
        found.record.Time = FileTimeToDateTime(info.st_mtim.tv_sec);
        found.record.Attr = ((info.st_mode & S_IWUSR) == 0 ? faReadOnly : 0) | (type == DT_LNK ? faSymLink : 0);
        return found;
    }

    // One folder of the walk: its subfolders still to walk and its files, reported once they are.
    struct Folder
    {
        std::string dir; // ends with "/"
        std::vector<std::string> subdirs;
        std::size_t next = 0;
        std::vector<FoundFile> found;
        bool pushed = false;
    };

    // Reads the folder `dir` whole and closes it; false when it is not walked (it cannot be opened,
    // is left out, or was met already on this path).
    bool enter(const std::string& dir, bool recurse, bool isTop, Folder& folder)
    {
        folder.dir = dir;
        const auto handle = open(dir, isTop);
        if (!handle) {
            return false;
        }
        const int fd = ::dirfd(handle.get());
        struct stat self = {};
        if (recurse && ::fstat(fd, &self) == 0) {
            const auto id = std::make_pair(self.st_dev, self.st_ino);
            if (leaveOut && id == leftOut) {
                return false;
            }
            if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
                fail(dir, ELOOP);
                return false;
            }
            ancestors.push_back(id);
            folder.pushed = true;
        }
        std::vector<std::pair<std::string, unsigned char>> files;
        readNames(handle.get(), dir, recurse, folder.subdirs, files);
        std::sort(files.begin(), files.end());
        folder.found.reserve(files.size());
        for (const auto& [name, type] : files) {
            folder.found.push_back(lookAt(fd, dir, name, type));
        }
        std::sort(folder.subdirs.begin(), folder.subdirs.end());
        return true;
    }

    // Walks the folder `top` (ending with "/"): files only, or subtrees first and then files. Each
    // folder is read whole and closed before its subfolders are walked, and the folders being
    // walked are kept on a list rather than the call stack, so any depth takes one open folder and
    // no stack.
    void walk(const std::string& top, bool recurse)
    {
        std::vector<Folder> walking;
        Folder first;
        if (!enter(top, recurse, true, first)) {
            return;
        }
        walking.push_back(std::move(first));
        while (!walking.empty()) {
            if (Folder& folder = walking.back(); folder.next < folder.subdirs.size()) {
                const std::string sub = folder.dir + folder.subdirs[folder.next++] + "/";
                Folder child;
                if (enter(sub, true, false, child)) {
                    walking.push_back(std::move(child));
                }
                continue;
            }
            const Folder done = std::move(walking.back());
            walking.pop_back();
            for (const FoundFile& file : done.found) {
                if (file.report) {
                    onFile(done.dir + file.record.Name, file.record);
                }
            }
            if (done.pushed) {
                ancestors.pop_back();
            }
        }
    }
};

void search(const std::string& pathMask, bool recurse, const TFoundFileProc& onFile, const TSearchErrorProc& onError,
            TSearchDetails details, const std::string& leftOut = {})
{
    const std::size_t slash = pathMask.rfind('/');
    std::string dir = slash == std::string::npos ? "." : pathMask.substr(0, slash + 1);
    const std::string nameMask = slash == std::string::npos ? pathMask : pathMask.substr(slash + 1);
    if (nameMask.empty()) {
        return; // a folder name without a name part names no file
    }
    dir = AbsolutePath(dir);
    if (dir.back() != '/') {
        dir += '/';
    }
    Walker walker(nameMask, onFile, onError, details);
    struct stat folder = {};
    if (!leftOut.empty() && ::stat(leftOut.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode)) {
        walker.leaveOut = true;
        walker.leftOut = std::make_pair(folder.st_dev, folder.st_ino);
    }
    walker.walk(dir, recurse);
}

} // namespace

void FindFiles(const std::string& pathMask, const TFoundFileProc& onFile, const TSearchErrorProc& onError)
{
    search(pathMask, false, onFile, onError, TSearchDetails::Full);
}

void FindFilesRecursive(const std::string& pathMask, const TFoundFileProc& onFile, const TSearchErrorProc& onError)
{
    search(pathMask, true, onFile, onError, TSearchDetails::Full);
}

void FindFilesWith(TSearchDetails details, const std::string& pathMask, const TFoundFileProc& onFile,
                   const TSearchErrorProc& onError)
{
    search(pathMask, false, onFile, onError, details);
}

void FindFilesRecursiveWith(TSearchDetails details, const std::string& pathMask, const TFoundFileProc& onFile,
                            const TSearchErrorProc& onError)
{
    search(pathMask, true, onFile, onError, details);
}

void FindFilesRecursiveLeavingOut(const std::string& pathMask, const std::string& leftOut, const TFoundFileProc& onFile,
                                  const TSearchErrorProc& onError)
{
    search(pathMask, true, onFile, onError, TSearchDetails::Full, leftOut);
}
