#include "batch/DesktopNotice.h"

#include <cstdint>
#include <cstring>
#include <systemd/sd-bus.h>

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
// A service that does not answer must not hold up the end of a backup for long.
constexpr std::uint64_t kCallTimeoutMicroseconds = 5'000'000;
// The program's desktop entry and icon name.
constexpr const char* kDesktopEntry = "vorland";

std::string escapeMarkup(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string errorText(const char* what, int result)
{
    return std::string(what) + ": " + std::strerror(-result);
}

// Owns the connection and the messages of one call.
struct TBusCall
{
    sd_bus* bus = nullptr;
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~TBusCall()
    {
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        sd_bus_message_unref(call);
        sd_bus_flush_close_unref(bus);
    }
};

} // namespace

bool SendDesktopNotice(const TDesktopNotice& notice, std::string& error)
{
    TBusCall c;
    int r = sd_bus_open_user(&c.bus);
    if (r < 0) {
        error = errorText("no session bus", r);
        return false;
    }
    r = sd_bus_message_new_method_call(c.bus, &c.call, kService, kPath, kInterface, "Notify");
    // Arguments: application name, id to replace, icon, summary, body, actions, hints, timeout.
    // No actions: the run that sends the notice ends at once, and no process would be left to
    // answer a click.
    if (r >= 0) {
        r = sd_bus_message_append(c.call, "susss", "Vorland", 0U, kDesktopEntry, notice.Title.c_str(),
                                  escapeMarkup(notice.Body).c_str());
    }
    if (r >= 0) {
        r = sd_bus_message_append(c.call, "as", 0);
    }
    if (r >= 0) {
        const auto urgency = static_cast<std::uint8_t>(notice.Urgent ? 2 : 1);
        r = sd_bus_message_append(c.call, "a{sv}", 2, "urgency", "y", urgency, "desktop-entry", "s", kDesktopEntry);
    }
    if (r >= 0) {
        // -1: the server's own display time.
        r = sd_bus_message_append(c.call, "i", -1);
    }
    if (r < 0) {
        error = errorText("cannot build the notification", r);
        return false;
    }
    r = sd_bus_call(c.bus, c.call, kCallTimeoutMicroseconds, &c.error, &c.reply);
    if (r < 0) {
        error = sd_bus_error_is_set(&c.error)
                    ? std::string(c.error.name) + ": " + (c.error.message ? c.error.message : "")
                    : errorText("notification not sent", r);
        return false;
    }
    return true;
}
