#include "app/ConsoleEventPump.h"

#include <atomic>
#include <csignal>

namespace {

// Lock-free, so the handler may touch it.
std::atomic<int> g_pendingSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
struct sigaction g_previousInt
{
};
struct sigaction g_previousTerm
{
};
struct sigaction g_previousHup
{
};

extern "C" void noteSignal(int signal)
{
    g_pendingSignal.store(signal);
}

} // namespace

TConsoleEventPump::TConsoleEventPump(std::function<void(int)> onSignal) : m_onSignal(std::move(onSignal))
{
    g_pendingSignal.store(0);
    struct sigaction action
    {
    };
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume: the flag is looked at by the pump, not by whoever was waiting.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &g_previousInt);
    sigaction(SIGTERM, &action, &g_previousTerm);
    // A closed terminal or session stops the run as SIGTERM does.
    sigaction(SIGHUP, &action, &g_previousHup);
}

TConsoleEventPump::~TConsoleEventPump()
{
    sigaction(SIGINT, &g_previousInt, nullptr);
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    sigaction(SIGHUP, &g_previousHup, nullptr);
}

void TConsoleEventPump::ProcessMessages()
{
    const int signal = g_pendingSignal.exchange(0);
    if (signal == 0) {
        return;
    }
    if (m_onSignal) {
        m_onSignal(signal);
    }
}

int TConsoleEventPump::PendingSignal()
{
    return g_pendingSignal.load();
}
