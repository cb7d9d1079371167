#include "app/DisplayLoss.h"

#include "pathrules/PathRules.h"

#include <QGuiApplication>

#include <dirent.h>
#include <dlfcn.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The X client library's functions, from the copy the window system's plugin already loaded; the
// program itself does not link it.
struct TXcbFunctions
{
    int (*hasError)(void* connection) = nullptr;
    int (*fileDescriptor)(void* connection) = nullptr;
};

const TXcbFunctions& xcbFunctions()
{
    static const TXcbFunctions functions = [] {
        TXcbFunctions found;
        if (void* library = ::dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD)) {
            found.hasError = reinterpret_cast<int (*)(void*)>(::dlsym(library, "xcb_connection_has_error"));
            found.fileDescriptor = reinterpret_cast<int (*)(void*)>(::dlsym(library, "xcb_get_file_descriptor"));
        }
        return found;
    }();
    return functions;
}

} // namespace

bool DisplayConnectionBroken()
{
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    void* connection = x11 != nullptr ? x11->connection() : nullptr;
    const TXcbFunctions& xcb = xcbFunctions();
    if (connection == nullptr || xcb.hasError == nullptr) {
        return false;
    }
    if (xcb.hasError(connection) != 0) {
        return true;
    }
    // The server's end closed: known here at once, before the window system's reader has seen it,
    // which shortens the moment in which the window system would meet it first.
    if (xcb.fileDescriptor == nullptr) {
        return false;
    }
    pollfd socket{xcb.fileDescriptor(connection), POLLRDHUP, 0};
    return ::poll(&socket, 1, 0) > 0 && (socket.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

void RemoveOwnWorkFiles()
{
    DIR* descriptors = ::opendir("/proc/self/fd");
    if (descriptors == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(descriptors)) {
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        char target[4096];
        const ssize_t length = ::readlink(link.c_str(), target, sizeof(target) - 1);
        if (length <= 0 || target[0] != '/') {
            continue;
        }
        const std::string path(target, static_cast<std::size_t>(length));
        struct stat st
        {
        };
        if (isWorkFileName(path.substr(path.rfind('/') + 1)) && ::lstat(path.c_str(), &st) == 0 &&
            S_ISREG(st.st_mode)) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(descriptors);
}

TDisplayBoundView::TDisplayBoundView(std::unique_ptr<IProgressView> window, const bool& lost,
                                     void (*writeLine)(const std::string& text))
    : m_window(std::move(window)), m_lost(lost), m_writeLine(writeLine)
{
}

void TDisplayBoundView::Show()
{
    if (!m_lost) {
        m_window->Show();
    }
}

void TDisplayBoundView::Hide()
{
    if (!m_lost) {
        m_window->Hide();
    }
}

void TDisplayBoundView::SetBatchMax(int count)
{
    if (!m_lost) {
        m_window->SetBatchMax(count);
    }
}

void TDisplayBoundView::SetBatchPosition(int position)
{
    if (!m_lost) {
        m_window->SetBatchPosition(position);
    }
}

void TDisplayBoundView::StartSection(const std::string& name, const std::string& archive, const std::string& directory,
                                     int maximum)
{
    if (!m_lost) {
        m_window->StartSection(name, archive, directory, maximum);
    }
}

void TDisplayBoundView::SetZipPosition(int position)
{
    if (!m_lost) {
        m_window->SetZipPosition(position);
    }
}

void TDisplayBoundView::ArchiveComplete()
{
    if (!m_lost) {
        m_window->ArchiveComplete();
    }
}

void TDisplayBoundView::StartFile(const std::string& text, int maximum)
{
    if (!m_lost) {
        m_window->StartFile(text, maximum);
    }
}

void TDisplayBoundView::SetFilePosition(int position)
{
    if (!m_lost) {
        m_window->SetFilePosition(position);
    }
}

void TDisplayBoundView::FileComplete()
{
    if (!m_lost) {
        m_window->FileComplete();
    }
}

void TDisplayBoundView::ReportProblem(const std::string& text)
{
    if (m_lost) {
        m_writeLine(text);
    } else {
        m_window->ReportProblem(text);
    }
}

void TDisplayBoundView::ReportNotice(const std::string& text)
{
    if (m_lost) {
        m_writeLine(text);
    } else {
        m_window->ReportNotice(text);
    }
}
