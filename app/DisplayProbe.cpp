#include "app/DisplayProbe.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool socketAnswers(const std::string& path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    const bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return answers;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

bool DisplayReachable()
{
    const std::string wayland = environment("WAYLAND_DISPLAY");
    if (!wayland.empty()) {
        const std::string path = wayland.front() == '/' ? wayland : environment("XDG_RUNTIME_DIR") + "/" + wayland;
        if (socketAnswers(path)) {
            return true;
        }
    }
    const std::string display = environment("DISPLAY");
    const std::size_t colon = display.rfind(':');
    if (display.empty() || colon == std::string::npos) {
        return false;
    }
    const std::string host = display.substr(0, colon);
    if (!host.empty() && host != "unix") {
        // A display over the network (ssh forwarding): the window system finds out.
        return true;
    }
    const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
    return socketAnswers("/tmp/.X11-unix/X" + number);
}
