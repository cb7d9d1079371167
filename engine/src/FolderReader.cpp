#include "FolderReader.h"

#include "FileSelection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace zipengine {

namespace {

// What a read folder is counted for against the read-ahead budget besides its entries and names.
constexpr std::size_t kFolderOverhead = 256;

struct CloseDir
{
    void operator()(DIR* dir) const { closedir(dir); }
};

} // namespace

bool FolderWalkRules::matches(std::string_view name) const
{
    return nameFilter ? nameFilter(name) : matchesName(namePattern, name);
}

std::size_t FolderListing::cost() const
{
    return kFolderOverhead + path.capacity() + names.capacity() + entries.capacity() * sizeof(FolderEntry);
}

namespace {

// Reads the names of the open folder into the listing (unsorted), keeping those the walk may take:
// folders to walk into, files matching the name pattern, links that may lead to either, and names
// whose type the listing does not give.
void listNames(DIR* dir, const FolderWalkRules& rules, FolderListing& listing)
{
    listing.empty = true;
    while (const dirent* found = readdir(dir)) {
        const char* name = found->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        if (name[0] == '.' && !rules.hiddenFiles) {
            continue;
        }
        listing.empty = false;
        FolderEntry entry;
        switch (found->d_type) {
        case DT_DIR:
            if (!rules.recurse) {
                continue;
            }
            entry.kind = FolderEntry::Folder;
            break;
        case DT_REG:
            if (!rules.matches(name)) {
                continue;
            }
            break;
        case DT_LNK:
            // A link to a folder is not walked into, but it is told where the walk goes into folders.
            if (!rules.recurse && !rules.matches(name)) {
                continue;
            }
            entry.link = true;
            break;
        case DT_UNKNOWN:
            entry.kind = FolderEntry::Unknown;
            break;
        default:
            continue; // sockets, FIFOs, devices
        }
        const std::size_t length = std::strlen(name);
        entry.nameAt = static_cast<std::uint32_t>(listing.names.size());
        entry.nameLength = static_cast<std::uint16_t>(length);
        listing.names.append(name, length);
        listing.entries.push_back(entry);
    }
}

// Looks the name up relative to the open folder and completes its entry; false when the walk
// cannot take it: a name that vanished, a link to anything but a file (or to a folder where the
// walk does not go into folders), a file that turned out not to match (a listing that does not give
// types). A link that cannot be followed stays, with its error, to be reported.
bool lookUp(int folderFd, const std::string& name, const FolderWalkRules& rules, FolderEntry& entry)
{
    struct stat st;
    bool looked = false; // st holds the file's own status
    if (entry.kind == FolderEntry::Unknown) {
        if (fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return false;
        }
        if (S_ISDIR(st.st_mode)) {
            entry.kind = FolderEntry::Folder;
            return rules.recurse;
        }
        entry.kind = FolderEntry::File;
        entry.link = S_ISLNK(st.st_mode);
        looked = !entry.link;
    }
    const bool matches = rules.matches(name);
    if (!entry.link && !matches) {
        return false;
    }
    if (!looked && fstatat(folderFd, name.c_str(), &st, 0) != 0) {
        entry.error = static_cast<std::uint16_t>(errno);
        return entry.link && matches; // a file gone since it was listed is not reported
    }
    if (entry.link && S_ISDIR(st.st_mode)) {
        entry.kind = FolderEntry::FolderLink;
        return rules.recurse;
    }
    if (!S_ISREG(st.st_mode) || !matches) {
        return false;
    }
    entry.size = static_cast<std::uint64_t>(st.st_size);
    entry.mtime = st.st_mtime;
    entry.mode = st.st_mode;
    entry.never = std::any_of(rules.never.begin(), rules.never.end(),
                              [&st](const auto& file) { return file.first == st.st_dev && file.second == st.st_ino; });
    return true;
}

} // namespace

FolderListing FolderReader::readFolder(const std::string& path, const FolderWalkRules& rules,
                                       const std::atomic<bool>& stop)
{
    FolderListing listing;
    listing.path = path;
    const int dirFd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::unique_ptr<DIR, CloseDir> dir(dirFd >= 0 ? fdopendir(dirFd) : nullptr);
    if (!dir) {
        listing.openError = errno;
        if (dirFd >= 0) {
            close(dirFd);
        }
        return listing;
    }
    listNames(dir.get(), rules, listing);
    auto& entries = listing.entries;
    const auto nameOf = [&listing](const FolderEntry& entry) { return listing.name(entry); };
    std::sort(entries.begin(), entries.end(),
              [&](const FolderEntry& a, const FolderEntry& b) { return nameOf(a) < nameOf(b); });

    // Each name is looked up once, relative to the open folder; what the walk cannot take is dropped.
    const int folderFd = dirfd(dir.get());
    std::string name;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (stop.load(std::memory_order_relaxed)) {
            break;
        }
        FolderEntry entry = entries[i];
        name.assign(nameOf(entry));
        if (entry.kind == FolderEntry::Folder || lookUp(folderFd, name, rules, entry)) {
            entries[kept++] = entry;
        }
    }
    entries.resize(kept);
    return listing;
}

FolderReader::FolderReader(std::string root, FolderWalkRules rules, unsigned workers, ReadAheadLimit limit)
    : m_rules(std::move(rules)), m_limit(limit)
{
    const auto rootNode = m_nodes.try_emplace(Position{}).first;
    rootNode->second.path = std::move(root);
    m_waiting.insert(rootNode);
    m_workers.reserve(workers); // so that only starting a thread can fail once one runs
    for (unsigned i = 0; i < workers; ++i) {
        try {
            m_workers.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break; // fewer workers; with none, next() reads every folder itself
        }
    }
}

FolderReader::~FolderReader()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_workAvailable.notify_all();
    for (auto& worker : m_workers) {
        worker.join();
    }
}

bool FolderReader::mayStart() const
{
    if (m_waiting.empty()) {
        return false;
    }
    if (m_heldNames < m_limit.names && m_heldBytes < m_limit.bytes) {
        return true;
    }
    return *m_waiting.begin() == m_nodes.begin();
}

void FolderReader::work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        ++m_idleWorkers;
        m_workAvailable.wait(lock, [this] { return m_stop.load() || mayStart(); });
        --m_idleWorkers;
        if (m_stop) {
            return;
        }
        const auto node = *m_waiting.begin();
        m_waiting.erase(m_waiting.begin());
        read(node, lock);
    }
}

void FolderReader::read(NodeMap::iterator node, std::unique_lock<std::mutex>& lock)
{
    // The node stays in the map while it is Reading (only the caller removes nodes, once they are
    // Read), and its path never changes: it may be used without the lock.
    node->second.state = State::Reading;
    const std::string& path = node->second.path;
    lock.unlock();

    FolderListing listing;
    std::exception_ptr failure;
    NodeMap below;
    std::vector<NodeMap::iterator> belowIts;
    try {
        listing = readFolder(path, m_rules, m_stop);
        const std::string prefix = path == "/" ? "/" : path + "/";
        std::uint32_t index = 0;
        for (const auto& entry : listing.entries) {
            if (entry.kind != FolderEntry::Folder) {
                continue;
            }
            Position position = node->first;
            position.push_back(index++);
            const auto child = below.try_emplace(below.end(), std::move(position));
            child->second.path = prefix + std::string(listing.name(entry));
            belowIts.push_back(child);
        }
    } catch (...) {
        failure = std::current_exception();
        listing = FolderListing();
        below.clear();
        belowIts.clear();
    }

    lock.lock();
    Node& read = node->second;
    read.heldNames = std::max<std::size_t>(listing.entries.size(), 1);
    read.heldBytes = listing.cost();
    read.listing = std::move(listing);
    read.failure = failure;
    read.state = State::Read;
    m_heldNames += read.heldNames;
    m_heldBytes += read.heldBytes;
    m_peakHeldNames = std::max(m_peakHeldNames, m_heldNames);
    // The folders below move into the map without being copied; their iterators stay valid.
    m_nodes.merge(below);
    for (const auto child : belowIts) {
        m_waiting.insert(child);
    }
    if (belowIts.size() > 1 && m_idleWorkers > 1) {
        m_workAvailable.notify_all();
    } else if (!belowIts.empty() && m_idleWorkers > 0) {
        m_workAvailable.notify_one();
    }
    if (m_callerWaiting) {
        m_folderRead.notify_one();
    }
}

std::size_t FolderReader::peakHeldNames()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_peakHeldNames;
}

FolderListing FolderReader::next()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_nodes.empty()) {
            throw std::logic_error("the walk has no folder left");
        }
        const auto node = m_nodes.begin();
        switch (node->second.state) {
        case State::Read: {
            Node taken = std::move(node->second);
            m_nodes.erase(node);
            m_heldNames -= taken.heldNames;
            m_heldBytes -= taken.heldBytes;
            if (m_idleWorkers > 0 && !m_waiting.empty()) {
                m_workAvailable.notify_one(); // room for one more folder
            }
            lock.unlock();
            if (taken.failure) {
                std::rethrow_exception(taken.failure);
            }
            return std::move(taken.listing);
        }
        case State::Waiting:
            m_waiting.erase(node);
            read(node, lock);
            break;
        case State::Reading:
            // Rather than wait, read ahead like a worker: the folder being read is soon done.
            if (!m_waiting.empty() && mayStart()) {
                const auto ahead = *m_waiting.begin();
                m_waiting.erase(m_waiting.begin());
                read(ahead, lock);
                break;
            }
            m_callerWaiting = true;
            m_folderRead.wait(lock);
            m_callerWaiting = false;
            break;
        }
    }
}

} // namespace zipengine
