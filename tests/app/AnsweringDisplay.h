#pragma once
// A display socket that accepts connections and nothing more: the program takes the display as
// reachable and loads its window module, while the windows themselves go to Qt's offscreen platform
// (QT_QPA_PLATFORM=offscreen) or the test checks what happens when they cannot open.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class AnsweringDisplay
{
public:
    explicit AnsweringDisplay(const std::filesystem::path& socketPath) : m_path(socketPath.string())
    {
        sockaddr_un address{};
        EXPECT_LT(m_path.size(), sizeof(address.sun_path)) << m_path;
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_GE(m_fd, 0);
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, m_path.c_str(), std::min(m_path.size(), sizeof(address.sun_path) - 1));
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0) << m_path;
        EXPECT_EQ(::listen(m_fd, 16), 0);
    }
    ~AnsweringDisplay()
    {
        ::close(m_fd);
        ::unlink(m_path.c_str());
    }
    AnsweringDisplay(const AnsweringDisplay&) = delete;
    AnsweringDisplay& operator=(const AnsweringDisplay&) = delete;

    // The environment of a program that should find this display (and no other).
    std::vector<std::string> Environment() const
    {
        return {"WAYLAND_DISPLAY=" + m_path, "DISPLAY=", "VORLAND_CONSOLE=", "LD_LIBRARY_PATH="};
    }

private:
    std::string m_path;
    int m_fd = -1;
};
