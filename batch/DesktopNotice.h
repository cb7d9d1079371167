#pragma once
// Desktop notifications through the freedesktop Notifications service on the user's session bus.
// Without a session bus or without the service nothing is shown and the caller goes on. May be
// called from any thread (each call opens its own connection).

#include <string>

struct TDesktopNotice
{
    std::string Title;   // the notification's summary line
    std::string Body;    // plain text; markup characters are escaped for services that read markup
    bool Urgent = false; // critical urgency: servers keep it until the user dismisses it
};

// Sends the notice and waits at most a few seconds for the service's answer. False, with the
// reason in `error`, when there is no session bus, no service, or the call failed.
bool SendDesktopNotice(const TDesktopNotice& notice, std::string& error);
