#pragma once
// The window side of "process pending window messages": lets the windows repaint and react (the
// Abort button, the main window's commands) while the runner works on the GUI thread.

#include "core/UiInterfaces.h"

class TQtEventPump : public IEventPump
{
public:
    // Processes the pending events of the running application; does nothing without one. May
    // throw whatever an event handler throws (the silent stop among them).
    void ProcessMessages() override;
};
