#pragma once
// The console's "process pending messages": SIGINT, SIGTERM and SIGHUP only set a flag (their
// handlers do nothing else); the pump, called by the runner at its fixed points, sees the flag and
// hands the signal to the program's reaction (ask "Cancel zip ?" or stop at once).

#include "core/UiInterfaces.h"

#include <functional>

class TConsoleEventPump : public IEventPump
{
public:
    // Installs the SIGINT, SIGTERM and SIGHUP handlers; the destructor puts the previous ones back.
    // One instance at a time.
    explicit TConsoleEventPump(std::function<void(int signal)> onSignal);
    ~TConsoleEventPump() override;
    TConsoleEventPump(const TConsoleEventPump&) = delete;
    TConsoleEventPump& operator=(const TConsoleEventPump&) = delete;

    // Hands a signal that arrived since the last call to the reaction (at most one per call).
    void ProcessMessages() override;

    // The signal that arrived and was not handled yet, 0 for none.
    static int PendingSignal();

private:
    std::function<void(int)> m_onSignal;
};
