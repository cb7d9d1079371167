#include "Callbacks.h"

#include "EngineError.h"

#include <algorithm>
#include <cstring>

namespace zipengine {

std::string errnoText(int error)
{
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in the buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

namespace {

std::int32_t cut32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

ZipCallbackRec CallbackChannel::makeRecord(ZipCallbackAction action, std::int32_t arg1, std::int64_t size,
                                           const std::string& text) const
{
    ZipCallbackRec record;
    std::memset(&record, 0, sizeof record);
    record.Handle = m_handle;
    record.Caller = m_caller;
    record.RecordVersion = ZIP_CALLBACK_RECORD_WIDE;
    record.Action = action;
    record.Arg1 = arg1;
    record.Arg2 = cut32(size);
    record.Size64 = size;
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(ZIP_CALLBACK_TEXT_SIZE - 1));
    std::memcpy(record.Text, text.data(), length);
    return record;
}

void CallbackChannel::send(ZipCallbackRec& record, bool mayStop)
{
    if (m_callback == nullptr) {
        return;
    }
    if (m_callback(&record) != 0) {
        m_stopped = true;
    }
    if (m_stopped && mayStop) {
        throw StopRequested();
    }
}

void CallbackChannel::totals(std::uint64_t files, std::uint64_t bytes)
{
    auto count = makeRecord(ZIP_ACTION_TOTAL_FILES, 0, static_cast<std::int64_t>(files), {});
    send(count, true);
    auto size = makeRecord(ZIP_ACTION_TOTAL_SIZE, 0, static_cast<std::int64_t>(bytes), {});
    send(size, true);
}

void CallbackChannel::newFile(const std::string& name, std::uint64_t size)
{
    m_pending = 0;
    auto record = makeRecord(ZIP_ACTION_NEW_FILE, 0, static_cast<std::int64_t>(size), name);
    send(record, true);
}

void CallbackChannel::progress(std::uint64_t bytes, bool force)
{
    auto report = [this](std::uint64_t count) {
        auto record = makeRecord(ZIP_ACTION_PROGRESS, 0, static_cast<std::int64_t>(count), {});
        send(record, true);
    };
    // No report covers more than kReportStep: what is pending goes out before it would, and a larger
    // step is told in parts.
    if (m_pending > 0 && m_pending + bytes > kReportStep) {
        report(m_pending);
        m_pending = 0;
    }
    while (bytes > kReportStep) {
        report(kReportStep);
        bytes -= kReportStep;
    }
    m_pending += bytes;
    if (m_pending == 0 || (!force && m_pending < kReportStep)) {
        return;
    }
    const std::uint64_t count = m_pending;
    m_pending = 0;
    report(count);
}

void CallbackChannel::endOfBatch()
{
    auto record = makeRecord(ZIP_ACTION_END_OF_BATCH, 0, 0, {});
    send(record, false);
}

void CallbackChannel::message(ZipEngineMessageCode code, const std::string& text)
{
    auto record = makeRecord(ZIP_ACTION_MESSAGE, code, 0, text);
    send(record, code < ZIP_MSG_FATAL_FIRST);
}

std::string CallbackChannel::askPassword(const std::string& forFile)
{
    if (m_callback == nullptr) {
        return {};
    }
    auto record = makeRecord(ZIP_ACTION_PASSWORD, 1, 1, forFile);
    record.IsZipAction = 1;
    const std::int32_t answer = m_callback(&record);
    if (answer != 0) {
        m_stopped = true;
        throw StopRequested();
    }
    if (record.Action == 0 || record.Arg1 != 1) {
        return {};
    }
    record.Text[ZIP_CALLBACK_TEXT_SIZE - 1] = '\0';
    return std::string(record.Text, strnlen(record.Text, 80));
}

} // namespace zipengine
