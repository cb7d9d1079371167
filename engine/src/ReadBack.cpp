#include "ReadBack.h"

#include "EngineError.h"
#include "EntryReader.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <numeric>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace zipengine {

namespace {

[[noreturn]] void mismatch(const std::string& name, const std::string& why)
{
    throw EngineError(ZIP_MSG_VERIFY_FAILED, name + "\n" + why);
}

// The damage the test seam asks for, done to the file on disk.
void applyFaultSeam(const std::string& path)
{
#ifdef VORLAND_TEST_HOOKS
    const char* seam = std::getenv("VORLAND_FAULT_VERIFY");
#else
    const char* seam = nullptr;
#endif
    if (seam == nullptr || *seam == '\0') {
        return;
    }
    const std::string_view request(seam);
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (request == "truncate") {
        struct stat st;
        if (fstat(fd, &st) == 0 && st.st_size > 100 && ftruncate(fd, st.st_size - 100) == 0) {
            fdatasync(fd);
        }
        close(fd);
        return;
    }
    const auto colon = request.find(':');
    const std::string name(request.substr(colon == std::string_view::npos ? request.size() : colon + 1));
    try {
        EntryReader reader(path, false);
        for (std::size_t i = 0; i < reader.count(); ++i) {
            const zipdir::CentralHeader h = reader.header(i);
            if (h.nameText() != name) {
                continue;
            }
            std::uint64_t at = 0;
            std::string why;
            std::uint8_t byte = 0;
            if (request.substr(0, colon) == "flip" && reader.dataOffset(i, at, why) && h.compressedSize > 0) {
                at += h.compressedSize / 2;
            } else if (request.substr(0, colon) == "size") {
                at = reader.centralHeaderAt(i) + zipfmt::central::kSize32;
            } else {
                break;
            }
            if (pread(fd, &byte, 1, static_cast<off_t>(at)) == 1) {
                byte = request.substr(0, colon) == "flip" ? static_cast<std::uint8_t>(~byte)
                                                          : static_cast<std::uint8_t>(byte + 1);
                if (pwrite(fd, &byte, 1, static_cast<off_t>(at)) == 1) {
                    fdatasync(fd);
                }
            }
            break;
        }
    } catch (const ArchiveUnreadable&) {
    }
    close(fd);
}

// The entries' indexes in the order of their local headers in the file (`at`, by index), so that
// the reader's window turns the headers and data into a few large reads.
std::vector<std::size_t> fileOrder(const EntryReader& reader, std::vector<std::int64_t>& at)
{
    at.resize(reader.count());
    for (std::size_t i = 0; i < at.size(); ++i) {
        at[i] = reader.localHeaderAt(i);
    }
    std::vector<std::size_t> order(at.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return at[a] < at[b]; });
    return order;
}

} // namespace

void readBack(const std::string& path, const std::vector<ReadBackEntry>& written)
{
    applyFaultSeam(path);
    std::unordered_map<std::string_view, const std::string*> passwords;
    for (const ReadBackEntry& entry : written) {
        passwords.emplace(entry.name, &entry.password);
    }
    std::unique_ptr<EntryReader> reader;
    try {
        reader = std::make_unique<EntryReader>(path, false);
    } catch (const ArchiveUnreadable& e) {
        mismatch(std::string(), e.what());
    }
    std::vector<std::int64_t> at;
    std::vector<std::size_t> order = fileOrder(*reader, at);

    // What this run wrote is read from the disk: the directory and the entries written (each up to
    // the next entry), their cached pages dropped after a sync. The local headers of the entries
    // kept from the previous archive, whose data was checked when it was written, are read as the
    // system has them.
    const std::uint64_t directory = reader->directoryStart();
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges{{directory, std::numeric_limits<std::uint64_t>::max()}};
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::size_t i = order[k];
        if (at[i] < 0 || passwords.count(reader->header(i).nameText()) == 0) {
            continue;
        }
        const std::uint64_t from = static_cast<std::uint64_t>(at[i]);
        const std::uint64_t to = k + 1 < order.size() && at[order[k + 1]] >= at[i]
                                     ? static_cast<std::uint64_t>(at[order[k + 1]])
                                     : directory;
        if (!ranges.empty() && ranges.back().second == from) {
            ranges.back().second = to;
        } else {
            ranges.emplace_back(from, to);
        }
    }
    reader->dropCached(ranges);
    // The directory again, now from the disk.
    try {
        reader = std::make_unique<EntryReader>(path, false);
    } catch (const ArchiveUnreadable& e) {
        mismatch(std::string(), e.what());
    }
    order = fileOrder(*reader, at);

    std::size_t found = 0;
    for (const std::size_t i : order) {
        const zipdir::CentralHeader h = reader->header(i);
        const std::string name = h.nameText();
        std::string why;
        if (!reader->checkLocal(i, why)) {
            mismatch(name, why);
        }
        const auto it = passwords.find(name);
        if (it == passwords.end()) {
            continue;
        }
        ++found;
        bool stopped = false;
        if (reader->read(i, *it->second, nullptr, why, stopped) != ZIP_ENTRY_OK) {
            mismatch(name, why);
        }
    }
    if (found < passwords.size()) {
        mismatch(std::string(), "entries written are missing from its directory");
    }
}

} // namespace zipengine
