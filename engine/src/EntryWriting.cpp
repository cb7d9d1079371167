#include "Operation.h"

#include "EngineError.h"
#include "TraditionalCrypto.h"
#include "zipformat/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <libdeflate.h>
#include <optional>
#include <thread>
#include <unistd.h>

namespace zipengine {

using namespace zipfmt;

namespace {

// A streamed file gets a ZIP64 local header when it may come this close to 4 GiB (the encryption
// header and rounding included).
constexpr std::uint64_t kZip64Margin = 1024;

} // namespace

void Operation::writePlan()
{
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    CompressionPool pool(m_jobs, m_level, m_seams, threads);
    m_pool = &pool;
    for (const auto& item : m_plan) {
        switch (item.kind) {
        case ItemKind::Copy:
            m_writer->copyRun(*m_archive, item.index, item.count);
            break;
        case ItemKind::AddDirectory: {
            const SourceDirectory& folder = m_selection.directories[item.index];
            CentralRecord record = makeRecord(folder.storedName, folder.mtime, folder.mode, true);
            m_writer->beginEntry(record, false, true);
            m_writer->endEntry(record);
            break;
        }
        case ItemKind::AddFile:
            addFile(item);
            break;
        }
    }
    m_pool = nullptr;
}

std::uint16_t Operation::methodFlags(bool deflated) const
{
    if (!deflated) {
        return 0;
    }
    // Bits 1 and 2 tell readers how hard the deflater worked.
    return m_level >= 8 ? 0x0002 : m_level == 2 ? 0x0004 : m_level == 1 ? 0x0006 : 0;
}

void Operation::releaseJobs(std::size_t first, std::size_t count)
{
    for (std::size_t i = first; i < first + count; ++i) {
        m_pool->waitFor(i);
        m_pool->release(i);
    }
}

void Operation::skipFile(const PlanItem& item, const std::string& why)
{
    const SourceFile& file = m_selection.files[item.index];
    std::string message = m_selection.fullPath(file) + ": " + why + "; skipped";
    if (item.existing >= 0) {
        message += ", the version already in the archive was kept";
    }
    m_channel.message(ZIP_MSG_FILE_SKIPPED, message);
    if (item.existing >= 0) {
        // Kept as it was: the entry and any others of its name.
        m_writer->copyRun(*m_archive, static_cast<std::size_t>(item.existing), 1);
        if (const auto more = m_duplicates.find(item.existing); more != m_duplicates.end()) {
            for (const std::size_t other : more->second) {
                m_writer->copyRun(*m_archive, other, 1);
            }
        }
    }
}

void Operation::addFile(const PlanItem& item)
{
    const SourceFile& file = m_selection.files[item.index];
    Job& first = m_pool->waitFor(item.firstJob);
    if (first.result.error != 0 || (first.chunked && first.result.shrank)) {
        const std::string why = first.result.error != 0 ? "cannot read it: " + errnoText(first.result.error)
                                                        : "it became shorter while it was read";
        releaseJobs(item.firstJob, item.count);
        skipFile(item, why);
        return;
    }
    const std::string storedName = m_selection.storedName(file);
    m_channel.newFile(storedName, file.size);
    const auto& security = m_security[static_cast<std::size_t>(file.specIndex)];
    const std::string* password = security.encrypt ? &security.password : nullptr;
    CentralRecord record = makeRecord(storedName, file.mtime, file.mode, false);
    if (password != nullptr) {
        record.flags |= kFlagEncrypted;
        record.versionNeeded = kVersionDeflate;
    }
    if (first.chunked) {
        addStreamed(item, record, password);
        return;
    }
    JobResult& result = first.result;
    record.method = result.deflated ? kMethodDeflated : kMethodStored;
    record.flags |= methodFlags(result.deflated);
    if (result.deflated) {
        record.versionNeeded = kVersionDeflate;
    }
    record.crc = result.crc;
    record.size = result.inputSize;
    record.compressedSize = result.data.size() + (password != nullptr ? kTraditionalHeaderSize : 0);
    m_writer->beginEntry(record, false, true);
    if (password != nullptr) {
        TraditionalCipher cipher(*password);
        std::uint8_t header[kTraditionalHeaderSize];
        cipher.makeHeader(static_cast<std::uint8_t>(record.crc >> 24), header);
        m_writer->data(header, sizeof header);
        cipher.encrypt(result.data.data(), result.data.size());
    }
    // The data goes out in steps matching the progress reports (at least one per MiB read).
    const std::uint64_t steps = std::max<std::uint64_t>(1, (result.inputSize + kChunkSize - 1) / kChunkSize);
    std::size_t written = 0;
    for (std::uint64_t step = 1; step <= steps; ++step) {
        const auto upTo = static_cast<std::size_t>(result.data.size() * step / steps);
        m_writer->data(result.data.data() + written, upTo - written);
        written = upTo;
        const std::uint64_t inputDone = result.inputSize * step / steps - result.inputSize * (step - 1) / steps;
        m_channel.progress(inputDone, step == steps);
    }
    const bool changed = result.grew || result.shrank;
    m_pool->release(item.firstJob);
    m_writer->endEntry(record);
    ++m_added;
    m_written.push_back(item.index);
    if (changed) {
        m_channel.message(ZIP_MSG_FILE_CHANGED,
                          m_selection.fullPath(file) + ": changed size while it was read; stored as read");
    }
}

void Operation::addStreamed(const PlanItem& item, CentralRecord& record, const std::string* password)
{
    const SourceFile& file = m_selection.files[item.index];
    const bool store = m_jobs[item.firstJob].store;
    record.method = store ? kMethodStored : kMethodDeflated;
    record.flags |= methodFlags(!store);
    if (!store) {
        record.versionNeeded = kVersionDeflate;
    }
    if (password != nullptr) {
        // The CRC is known only at the end: the check byte comes from the time, sizes follow the data.
        record.flags |= kFlagDataDescriptor;
    }
    const bool zip64Local = file.size + kZip64Margin >= kMax32;
    m_writer->beginEntry(record, zip64Local, false);
    std::optional<TraditionalCipher> cipher;
    if (password != nullptr) {
        cipher.emplace(*password);
        std::uint8_t header[kTraditionalHeaderSize];
        cipher->makeHeader(static_cast<std::uint8_t>(record.dosTime >> 8), header);
        m_writer->data(header, sizeof header);
    }
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::uint64_t compressed = 0;
    bool grew = false;
    for (std::size_t i = 0; i < item.count; ++i) {
        Job& job = m_pool->waitFor(item.firstJob + i);
        JobResult& result = job.result;
        if (result.error != 0 || result.shrank) {
            const std::string why = result.error != 0 ? "cannot read it: " + errnoText(result.error)
                                                      : "it became shorter while it was read";
            releaseJobs(item.firstJob + i, item.count - i);
            m_writer->abandonEntry();
            skipFile(item, why);
            return;
        }
        // Stored chunks arrive without history, so the data is exactly the chunk.
        if (cipher) {
            cipher->encrypt(result.data.data(), result.data.size());
        }
        m_writer->data(result.data.data(), result.data.size());
        crc = combineCrc(crc, result.crc, result.inputSize);
        size += result.inputSize;
        compressed += result.data.size();
        grew = grew || result.grew;
        m_pool->release(item.firstJob + i);
        m_channel.progress(job.length, i + 1 == item.count);
    }
    if (!store && compressed >= size) {
        // Deflate did not shrink it: store it instead, reading it once more.
        m_writer->abandonEntry();
        record.method = kMethodStored;
        record.flags &= static_cast<std::uint16_t>(~0x0006u);
        if (!restoreStored(file, record, password)) {
            skipFile(item, "cannot read it again: " + errnoText(errno));
            return;
        }
    } else {
        record.crc = crc;
        record.size = size;
        record.compressedSize = compressed + (cipher ? kTraditionalHeaderSize : 0);
        m_writer->endEntry(record);
    }
    ++m_added;
    m_written.push_back(item.index);
    if (grew) {
        m_channel.message(ZIP_MSG_FILE_CHANGED,
                          m_selection.fullPath(file) + ": grew while it was read; stored as first seen");
    }
}

bool Operation::restoreStored(const SourceFile& file, CentralRecord& record, const std::string* password)
{
    const int fd = openSourceFile(m_selection.fullPath(file), m_seams);
    if (fd < 0) {
        return false;
    }
    const bool zip64Local = file.size + kZip64Margin >= kMax32;
    m_writer->beginEntry(record, zip64Local, false);
    std::optional<TraditionalCipher> cipher;
    if (password != nullptr) {
        cipher.emplace(*password);
        std::uint8_t header[kTraditionalHeaderSize];
        cipher->makeHeader(static_cast<std::uint8_t>(record.dosTime >> 8), header);
        m_writer->data(header, sizeof header);
    }
    std::vector<std::uint8_t> block(kChunkSize);
    std::uint32_t crc = 0;
    std::uint64_t done = 0;
    while (done < file.size) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), file.size - done));
        const ssize_t n = readFully(fd, block.data(), want, done);
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            close(fd);
            m_writer->abandonEntry();
            errno = error;
            return false;
        }
        crc = libdeflate_crc32(crc, block.data(), static_cast<std::size_t>(n));
        if (cipher) {
            cipher->encrypt(block.data(), static_cast<std::size_t>(n));
        }
        m_writer->data(block.data(), static_cast<std::size_t>(n));
        done += static_cast<std::uint64_t>(n);
    }
    close(fd);
    record.crc = crc;
    record.size = done;
    record.compressedSize = done + (cipher ? kTraditionalHeaderSize : 0);
    m_writer->endEntry(record);
    return true;
}

} // namespace zipengine
