#pragma once
// One run of a batch at a time: an advisory lock on the batch's lock file, held by the open file
// until Release or the end of the process. The kernel drops it when the process ends in any way, so
// a killed run never blocks the next. The file is opened close-on-exec: the Before and After
// commands a run starts do not inherit (and so never keep) the lock. One thread uses an instance.

#include <string>

class TRunLock
{
public:
    enum class TResult
    {
        Acquired, // this process holds the lock
        Busy,     // another run holds it
        Failed,   // the lock file cannot be used (the run may go on without it)
    };

    TRunLock() = default;
    ~TRunLock();
    TRunLock(const TRunLock&) = delete;
    TRunLock& operator=(const TRunLock&) = delete;

    // Tries to take the lock without waiting. On Acquired the file holds this process's id; on
    // Busy `holder` is the id the running process wrote (0 when unknown); on Failed `error` says
    // why.
    TResult Acquire(const std::string& fileName, long& holder, std::string& error);
    bool Held() const { return m_fd >= 0; }
    // True when some process holds the lock of that file (the file is left as it is).
    static bool IsHeld(const std::string& fileName);
    void Release();

private:
    int m_fd = -1;
};
