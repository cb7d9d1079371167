#pragma once
// Compression on worker threads. The files to add are cut into jobs in archive order: a file up to
// kWholeFileLimit is one job, compressed in one piece by libdeflate; a larger file is a run of
// kChunkSize chunk jobs whose outputs, concatenated, form one deflate stream. Each chunk is
// compressed by libdeflate as a stream of its own, rewritten to join the next (DeflateJoin.h), and so
// without the 32 KiB before it: a chunk whose start gains much from that history (data repeating
// within the window) is compressed by zlib instead, primed with the history and ended by a sync
// flush (the file's last chunk by the stream's end), as is a chunk whose rewrite fails.
//
// Workers start jobs in order while the bytes held by started and not yet consumed jobs stay within
// kMemoryBudget; the calling thread consumes results in order (waitFor, then release). Workers
// never call back into the caller: every callback stays on the calling thread.

#include "FileLayer.h"
#include "FileSelection.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zipengine {

constexpr std::uint64_t kWholeFileLimit = 4u << 20;
constexpr std::uint32_t kChunkSize = 1u << 20;
constexpr std::size_t kMemoryBudget = 64u << 20;

// A large file shared by its chunk jobs: opened by the first job that needs it.
struct SharedSource
{
    std::mutex mutex;
    bool tried = false;
    int fd = -1;
    int openError = 0;
    ~SharedSource();
};

struct JobResult
{
    int error = 0;         // errno of a failed open or read; 0 when fine
    bool shrank = false;   // fewer bytes than announced
    bool grew = false;     // more bytes than announced (only the announced ones were taken)
    bool deflated = false; // data is deflate output (else the bytes as read)
    std::uint32_t crc = 0; // of the bytes read
    std::uint64_t inputSize = 0;
    std::vector<std::uint8_t> data;
};

struct Job
{
    const Selection* selection = nullptr;
    std::uint32_t file = 0;               // in selection->files
    std::shared_ptr<SharedSource> shared; // chunk jobs only
    bool store = false;                   // no compression for this file
    bool chunked = false;
    bool last = true;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::size_t charge = 0; // bytes this job may hold
    bool done = false;
    JobResult result;
};

class CompressionPool
{
public:
    // Starts `threads` workers over `jobs` (kept alive by the caller until the pool is destroyed).
    CompressionPool(std::vector<Job>& jobs, int level, const FaultSeams& seams, unsigned threads);
    // Stops the workers (jobs not started stay undone) and joins them.
    ~CompressionPool();
    CompressionPool(const CompressionPool&) = delete;
    CompressionPool& operator=(const CompressionPool&) = delete;

    // Waits until job `index` is done; its result may then be used until release(index).
    Job& waitFor(std::size_t index);
    // Frees the job's memory and lets further jobs start.
    void release(std::size_t index);

private:
    void work();
    bool mayStart(const Job& job) const;

    std::vector<Job>& m_jobs;
    int m_level;
    const FaultSeams& m_seams;
    std::mutex m_mutex;
    std::condition_variable m_workCv;
    std::condition_variable m_doneCv;
    std::size_t m_next = 0;
    std::size_t m_heldBytes = 0;
    std::size_t m_heldJobs = 0;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

// Appends the jobs of file `index` of the selection (which outlives them) to `jobs`.
void addJobs(std::vector<Job>& jobs, const Selection& selection, std::uint32_t index, bool store);

// CRC-32 of `b` appended after `a` (lengthB bytes).
std::uint32_t combineCrc(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB);

} // namespace zipengine
