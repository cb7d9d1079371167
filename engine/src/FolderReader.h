#pragma once
// Reading the folders of one walk (open, list, sort, look up each name, close) ahead of the thread
// that uses them, on worker threads, handing the folders over in depth-first order.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace zipengine {

// One name of a listed folder: a folder to walk into next, or a file or link with what its lookup
// gave (the link's target for links).
struct FolderEntry
{
    enum Kind : unsigned char
    {
        Folder,     // walked into at this place of the listing
        File,       // a regular file, or a link (see `link`) that may lead to one
        FolderLink, // a link to a folder met where the walk goes into folders: not followed
        Unknown     // the listing did not say (only while the folder is read)
    };
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
    std::uint32_t mode = 0;
    std::uint32_t nameAt = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t error = 0; // errno of the lookup; nonzero only for links that cannot be followed
    Kind kind = File;
    bool link = false;
    bool never = false; // one of the files the walk must never take (by device and inode)
};

static_assert(sizeof(FolderEntry) <= 32, "a name of a listing stays small");

// One folder as read: its names sorted by their bytes, without "." and "..", hidden names unless
// asked, sockets, FIFOs and devices, folders not walked into (no recursion) and files whose name
// does not match the walk's name pattern.

struct FolderListing
{
    std::string path;   // as given to the walk: no "/" at the end, except for "/" itself
    int openError = 0;  // errno when the folder could not be listed (then there are no entries)
    bool empty = false; // listed, and nothing in it but what the walk never takes (hidden names)
    std::vector<FolderEntry> entries;
    std::string names; // the entries' names one after another

    std::string_view name(const FolderEntry& entry) const { return {names.data() + entry.nameAt, entry.nameLength}; }
    std::size_t cost() const;
};

struct FolderWalkRules
{
    std::string_view namePattern; // files taken only when their name matches; outlives the reader
    // When set, decides instead of namePattern (the patterns of several file specs walked
    // at once); called from the workers, so it must be safe to call from any thread.
    std::function<bool(std::string_view name)> nameFilter;
    bool matches(std::string_view name) const;
    bool recurse = false;
    bool hiddenFiles = false;
    std::vector<std::pair<dev_t, ino_t>> never;
};

// How far the workers may read ahead of the caller: they start no other folder than the next one
// to be taken while this many names, or bytes, are held read and not yet taken.
struct ReadAheadLimit
{
    std::size_t names = 65536;
    std::size_t bytes = std::size_t{4} << 20;
};

// Reads the folders of the tree under `root` and hands them over one by one with next(), in the
// order of a depth-first walk that takes each listing's folders in its sorted order. Workers run
// ahead by a bounded amount (ReadAheadLimit, exceeded by at most a folder per worker), always
// preferring the folder earliest in that order; the folder to be taken next may always start.
// next() reads the folder itself when no worker has started it (with no workers, every folder, as it
// is asked for), and while a worker reads it, reads the earliest waiting folder rather than sleep.
//
// Errors reach the caller as data (FolderListing::openError, FolderEntry::error); a failure inside a
// worker (memory) is raised by the next() that would have returned that folder. next() is called
// from one thread; the destructor stops the workers and joins them, also midway through the tree.
class FolderReader
{
public:
    FolderReader(std::string root, FolderWalkRules rules, unsigned workers, ReadAheadLimit limit = {});
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // The next folder in depth-first order: first the root, then, for each Folder entry met while
    // going through a listing, the folder below it (with its own folders) before the rest of the listing.
    // Waits for a worker that is reading it (meanwhile reading ahead itself when it may). Must not be
    // called past the last folder.
    FolderListing next();

    // The number of worker threads that could be started (may be fewer than asked for).
    std::size_t workerCount() const { return m_workers.size(); }
    // The most names held read and not yet taken at any one time so far.
    std::size_t peakHeldNames();

private:
    // Position in depth-first order: the indexes of the folders taken from the root down to this one.
    using Position = std::vector<std::uint32_t>;
    enum class State
    {
        Waiting,
        Reading,
        Read
    };
    struct Node
    {
        std::string path;
        State state = State::Waiting;
        FolderListing listing;
        std::exception_ptr failure;
        std::size_t heldNames = 0; // counted in m_heldNames, m_heldBytes while read and not taken
        std::size_t heldBytes = 0;
    };
    using NodeMap = std::map<Position, Node>;
    struct EarlierNode
    {
        bool operator()(NodeMap::iterator a, NodeMap::iterator b) const { return a->first < b->first; }
    };

    // Lists one folder and looks up its names; gives up midway when `stop` is set.
    static FolderListing readFolder(const std::string& path, const FolderWalkRules& rules,
                                    const std::atomic<bool>& stop);
    void work();
    // Reads the node, which the caller (holding `lock`) took off m_waiting, with the lock released;
    // then makes its listing and the folders below it known.
    void read(NodeMap::iterator node, std::unique_lock<std::mutex>& lock);
    bool mayStart() const;

    const FolderWalkRules m_rules;
    const ReadAheadLimit m_limit;
    std::mutex m_mutex;
    std::condition_variable m_workAvailable;            // workers wait here
    std::condition_variable m_folderRead;               // the caller waits here
    NodeMap m_nodes;                                    // every folder known and not yet taken, in walk order
    std::set<NodeMap::iterator, EarlierNode> m_waiting; // those not yet being read
    std::size_t m_heldNames = 0;
    std::size_t m_heldBytes = 0;
    std::size_t m_peakHeldNames = 0;
    bool m_callerWaiting = false;
    std::size_t m_idleWorkers = 0;
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_workers;
};

} // namespace zipengine
