#pragma once
// The engine's side of the callback protocol. Every call goes out on the thread that called
// ZipEngineExec; the channel is not thread-safe and is only used by that thread.

#include "zipengine/ZipEngineApi.h"

#include <cstdint>
#include <string>

namespace zipengine {

class CallbackChannel
{
public:
    // callback may be null: every report then succeeds and nothing is asked.
    CallbackChannel(ZipCallbackFn callback, void* handle, void* caller)
        : m_callback(callback), m_handle(handle), m_caller(caller)
    {
    }

    // Actions 5 and 6: the number of files and the bytes that will be processed.
    void totals(std::uint64_t files, std::uint64_t bytes);
    // Action 1: a file starts (its stored name and size).
    void newFile(const std::string& name, std::uint64_t size);
    // Action 2: bytes done since the previous report. Reports are merged until at least kReportStep
    // bytes are pending unless `force` is set (a file's end); none covers more than kReportStep.
    void progress(std::uint64_t bytes, bool force);
    // Action 3.
    void endOfBatch();
    // Action 4. Messages never stop the operation by their answer being ignored: a nonzero answer
    // still stops it (raises StopRequested) except for fatal codes, where the operation ends anyway.
    void message(ZipEngineMessageCode code, const std::string& text);
    // Action 8: asks for a new password for adding. Returns the answer, empty when none was given.
    std::string askPassword(const std::string& forFile);

    // True once any callback answered nonzero.
    bool stopped() const { return m_stopped; }

    // Progress is reported at least this often (bytes).
    static constexpr std::uint64_t kReportStep = 1024 * 1024;

private:
    // Sends one record; raises StopRequested on a nonzero answer when `mayStop`.
    void send(ZipCallbackRec& record, bool mayStop);
    ZipCallbackRec makeRecord(ZipCallbackAction action, std::int32_t arg1, std::int64_t size,
                              const std::string& text) const;

    ZipCallbackFn m_callback;
    void* m_handle;
    void* m_caller;
    std::uint64_t m_pending = 0;
    bool m_stopped = false;
};

} // namespace zipengine
