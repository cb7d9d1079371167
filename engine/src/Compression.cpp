#include "Compression.h"

#include "DeflateJoin.h"

#include <algorithm>
#include <cerrno>
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

namespace zipengine {

namespace {

// Bytes of history a chunk is primed with: the whole deflate window.
constexpr std::uint64_t kWindow = 32768;
// Most jobs held at once, so that many tiny files do not pile up bookkeeping.
constexpr std::size_t kMaxHeldJobs = 4096;
// The start of a chunk that judges how much the chunk gains from its history (only its first
// window's worth can refer back to it), and the share of that start's compressed size the history
// must save for the chunk to be compressed by zlib, primed, rather than by libdeflate without it.
constexpr std::size_t kProbe = 32768;
constexpr std::size_t kGainShare = 8; // 1/8
// A chunk whose start shrinks beyond this ratio (long runs, zeros) also goes to zlib: libdeflate's
// parsing gains nothing there, and a block of its own per chunk costs more than the data.
constexpr std::size_t kRunRatio = 64;

std::size_t deflateBoundOf(std::uint64_t size)
{
    // zlib's and libdeflate's bounds are both below this.
    return static_cast<std::size_t>(size + size / 1000 + 64 * ((size >> 16) + 1) + 256);
}

// libdeflate's level for the archive's level 1 to 9. Its levels above 7 parse near-optimally: on
// source trees, logs and binaries that gains 0.1 to 0.3% in size for 1.7 to 2.4 times the processor
// time, while its level 7 already compresses as well as zlib's level 9. So 8 and 9 use 7.
int libdeflateLevel(int level)
{
    return std::min(level, 7);
}

// The compressors of one worker thread, made on first use.
class WorkerCodecs
{
public:
    explicit WorkerCodecs(int level) : m_level(level) {}
    ~WorkerCodecs()
    {
        if (m_libdeflate != nullptr) {
            libdeflate_free_compressor(m_libdeflate);
        }
        if (m_fastest != nullptr) {
            libdeflate_free_compressor(m_fastest);
        }
        if (m_zlibReady) {
            deflateEnd(&m_zlib);
        }
    }
    WorkerCodecs(const WorkerCodecs&) = delete;
    WorkerCodecs& operator=(const WorkerCodecs&) = delete;

    libdeflate_compressor* whole()
    {
        if (m_libdeflate == nullptr) {
            m_libdeflate = libdeflate_alloc_compressor(libdeflateLevel(m_level));
        }
        return m_libdeflate;
    }
    libdeflate_compressor* fastest()
    {
        if (m_fastest == nullptr) {
            m_fastest = libdeflate_alloc_compressor(1);
        }
        return m_fastest;
    }
    std::vector<std::uint8_t>& scratch() { return m_scratch; }
    z_stream* stream()
    {
        if (!m_zlibReady) {
            m_zlib = {};
            // Raw deflate (negative window bits): the zip entry holds no zlib wrapper.
            if (deflateInit2(&m_zlib, m_level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
                return nullptr;
            }
            m_zlibReady = true;
        } else {
            deflateReset(&m_zlib);
        }
        return &m_zlib;
    }

private:
    int m_level;
    libdeflate_compressor* m_libdeflate = nullptr;
    libdeflate_compressor* m_fastest = nullptr;
    std::vector<std::uint8_t> m_scratch;
    z_stream m_zlib{};
    bool m_zlibReady = false;
};

void runWhole(Job& job, WorkerCodecs& codecs, const FaultSeams& seams)
{
    JobResult& r = job.result;
    const int fd = openSourceFile(job.selection->fullPath(job.selection->files[job.file]), seams);
    if (fd < 0) {
        r.error = errno;
        return;
    }
    std::vector<std::uint8_t> input(static_cast<std::size_t>(job.length) + 1);
    const ssize_t n = readFully(fd, input.data(), input.size(), 0);
    const int readError = errno;
    close(fd);
    if (n < 0) {
        r.error = readError;
        return;
    }
    r.inputSize = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), job.length);
    r.grew = static_cast<std::uint64_t>(n) > job.length;
    r.shrank = r.inputSize < job.length;
    input.resize(static_cast<std::size_t>(r.inputSize));
    r.crc = libdeflate_crc32(0, input.data(), input.size());
    if (!job.store && !input.empty()) {
        libdeflate_compressor* c = codecs.whole();
        if (c != nullptr) {
            std::vector<std::uint8_t> out(libdeflate_deflate_compress_bound(c, input.size()));
            const std::size_t size = libdeflate_deflate_compress(c, input.data(), input.size(), out.data(), out.size());
            // Kept only when it shrinks the data; otherwise the entry is stored.
            if (size > 0 && size < input.size()) {
                out.resize(size);
                r.data = std::move(out);
                r.deflated = true;
                return;
            }
        }
    }
    r.data = std::move(input);
}

// Whether the chunk that follows `history` bytes in `input` is better compressed by zlib, primed with
// them: data repeating within the deflate window (a record written over and over) loses most of its
// matches at the start of a chunk compressed without its history, and long runs lose to the blocks
// libdeflate starts per chunk. Judged by the fastest level on the chunk's start, alone and after the
// history; costs a few percent of compressing the chunk.
bool gainsFromHistory(WorkerCodecs& codecs, const std::vector<std::uint8_t>& input, std::size_t history)
{
    libdeflate_compressor* c = codecs.fastest();
    if (c == nullptr || history == 0) {
        return false;
    }
    const std::size_t probe = std::min(kProbe, input.size() - history);
    auto& out = codecs.scratch();
    out.resize(libdeflate_deflate_compress_bound(c, history + probe));
    const auto size = [&](const std::uint8_t* data, std::size_t length) {
        return libdeflate_deflate_compress(c, data, length, out.data(), out.size());
    };
    const std::size_t alone = size(input.data() + history, probe);
    const std::size_t before = size(input.data(), history);
    const std::size_t both = size(input.data(), history + probe);
    if (alone == 0 || before == 0 || both == 0 || both >= before + alone) {
        return false;
    }
    const std::size_t saved = before + alone - both;
    return saved * kGainShare > alone || alone * kRunRatio < probe;
}

void runChunk(Job& job, WorkerCodecs& codecs, const FaultSeams& seams)
{
    JobResult& r = job.result;
    SharedSource& source = *job.shared;
    {
        std::lock_guard lock(source.mutex);
        if (!source.tried) {
            source.tried = true;
            source.fd = openSourceFile(job.selection->fullPath(job.selection->files[job.file]), seams);
            source.openError = source.fd < 0 ? errno : 0;
        }
    }
    if (source.fd < 0) {
        r.error = source.openError;
        return;
    }
    const std::uint64_t history = job.store ? 0 : std::min(job.offset, kWindow);
    std::vector<std::uint8_t> input(static_cast<std::size_t>(history + job.length));
    const ssize_t n = readFully(source.fd, input.data(), input.size(), job.offset - history);
    if (n < 0) {
        r.error = errno;
        return;
    }
    if (static_cast<std::size_t>(n) < input.size()) {
        r.shrank = true;
        return;
    }
    if (job.last) {
        std::uint8_t probe;
        r.grew = readFully(source.fd, &probe, 1, job.offset + job.length) > 0;
    }
    r.inputSize = job.length;
    r.crc = libdeflate_crc32(0, input.data() + history, static_cast<std::size_t>(job.length));
    if (job.store) {
        r.data = std::move(input);
        return;
    }
    // libdeflate compresses each chunk as a whole stream, made joinable (see DeflateJoin.h); it has no
    // preset dictionary, so a chunk starts without the 32 KiB before it. zlib, primed with that
    // history, takes the chunks that gain much from it, and any whose rewrite fails.
    libdeflate_compressor* c = codecs.whole();
    if (c != nullptr && !gainsFromHistory(codecs, input, static_cast<std::size_t>(history))) {
        const std::uint8_t* chunk = input.data() + history;
        const auto length = static_cast<std::size_t>(job.length);
        std::vector<std::uint8_t> out(libdeflate_deflate_compress_bound(c, length));
        const std::size_t size = libdeflate_deflate_compress(c, chunk, length, out.data(), out.size());
        if (size > 0) {
            out.resize(size);
            if (job.last || makeJoinable(out, job.length)) {
                r.data = std::move(out);
                r.deflated = true;
                return;
            }
        }
    }
    z_stream* z = codecs.stream();
    if (z == nullptr) {
        r.error = ENOMEM;
        return;
    }
    if (history > 0) {
        deflateSetDictionary(z, input.data(), static_cast<uInt>(history));
    }
    r.data.resize(deflateBoundOf(job.length));
    z->next_in = input.data() + history;
    z->avail_in = static_cast<uInt>(job.length);
    z->next_out = r.data.data();
    z->avail_out = static_cast<uInt>(r.data.size());
    // A sync flush ends the chunk on a byte boundary with a non-final block, so the next chunk's
    // blocks follow on; only the file's last chunk ends the stream.
    const int rc = deflate(z, job.last ? Z_FINISH : Z_SYNC_FLUSH);
    if ((job.last && rc != Z_STREAM_END) || (!job.last && (rc != Z_OK || z->avail_in != 0 || z->avail_out == 0))) {
        r.error = EIO;
        r.data.clear();
        return;
    }
    r.data.resize(r.data.size() - z->avail_out);
    r.deflated = true;
}

} // namespace

SharedSource::~SharedSource()
{
    if (fd >= 0) {
        close(fd);
    }
}

void addJobs(std::vector<Job>& jobs, const Selection& selection, std::uint32_t index, bool store)
{
    const SourceFile& file = selection.files[index];
    if (file.size <= kWholeFileLimit) {
        Job job;
        job.selection = &selection;
        job.file = index;
        job.store = store;
        job.length = file.size;
        job.charge = static_cast<std::size_t>(file.size) + (store ? 0 : deflateBoundOf(file.size)) + 64;
        jobs.push_back(std::move(job));
        return;
    }
    auto shared = std::make_shared<SharedSource>();
    for (std::uint64_t offset = 0; offset < file.size; offset += kChunkSize) {
        Job job;
        job.selection = &selection;
        job.file = index;
        job.shared = shared;
        job.store = store;
        job.chunked = true;
        job.offset = offset;
        job.length = std::min<std::uint64_t>(kChunkSize, file.size - offset);
        job.last = offset + job.length == file.size;
        job.charge = static_cast<std::size_t>(kWindow + job.length) + (store ? 0 : deflateBoundOf(job.length));
        jobs.push_back(std::move(job));
    }
}

std::uint32_t combineCrc(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB)
{
    return static_cast<std::uint32_t>(crc32_combine(crcA, crcB, static_cast<z_off_t>(lengthB)));
}

CompressionPool::CompressionPool(std::vector<Job>& jobs, int level, const FaultSeams& seams, unsigned threads)
    : m_jobs(jobs), m_level(level), m_seams(seams)
{
    threads = std::max(1u, threads);
    for (unsigned i = 0; i < threads; ++i) {
        m_threads.emplace_back([this] { work(); });
    }
}

CompressionPool::~CompressionPool()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_workCv.notify_all();
    for (auto& thread : m_threads) {
        thread.join();
    }
}

bool CompressionPool::mayStart(const Job& job) const
{
    // The job the caller waits for next always may start, whatever its size.
    return m_heldJobs == 0 || (m_heldBytes + job.charge <= kMemoryBudget && m_heldJobs < kMaxHeldJobs);
}

void CompressionPool::work()
{
    WorkerCodecs codecs(m_level);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workCv.wait(lock, [&] { return m_stop || m_next >= m_jobs.size() || mayStart(m_jobs[m_next]); });
        if (m_stop || m_next >= m_jobs.size()) {
            return;
        }
        Job& job = m_jobs[m_next++];
        m_heldBytes += job.charge;
        ++m_heldJobs;
        lock.unlock();
        try {
            if (job.chunked) {
                runChunk(job, codecs, m_seams);
            } else {
                runWhole(job, codecs, m_seams);
            }
        } catch (const std::bad_alloc&) {
            job.result = JobResult();
            job.result.error = ENOMEM;
        }
        lock.lock();
        job.done = true;
        m_doneCv.notify_all();
    }
}

Job& CompressionPool::waitFor(std::size_t index)
{
    std::unique_lock lock(m_mutex);
    m_doneCv.wait(lock, [&] { return m_jobs[index].done; });
    return m_jobs[index];
}

void CompressionPool::release(std::size_t index)
{
    {
        std::lock_guard lock(m_mutex);
        Job& job = m_jobs[index];
        job.result.data = std::vector<std::uint8_t>();
        m_heldBytes -= job.charge;
        --m_heldJobs;
        job.shared.reset();
    }
    m_workCv.notify_all();
}

} // namespace zipengine
