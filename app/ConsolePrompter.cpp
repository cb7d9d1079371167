#include "app/ConsolePrompter.h"

#include "core/vk_tools.h"

#include <cctype>
#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string lowered(std::string text)
{
    for (auto& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

TConsolePrompter::TConsolePrompter(std::FILE* in, std::FILE* out, bool interactive)
    : m_in(in), m_out(out), m_interactive(interactive)
{
}

bool TConsolePrompter::awaitInput()
{
    if (!m_giveUp || ::fileno(m_in) < 0) {
        return true;
    }
    // A terminal hands over one line per read, so nothing of the answer waits in the stream's
    // buffer yet: the descriptor alone says whether it has come.
    pollfd input{::fileno(m_in), POLLIN, 0};
    for (;;) {
        if (m_giveUp()) {
            std::fputc('\n', m_out);
            return false;
        }
        if (::poll(&input, 1, 100) != 0) {
            return true;
        }
    }
}

bool TConsolePrompter::readLine(std::string& line, bool echo)
{
    line.clear();
    if (!awaitInput()) {
        return false;
    }
    termios saved{};
    const int fd = ::fileno(m_in);
    const bool hide = !echo && ::tcgetattr(fd, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(fd, TCSANOW, &quiet);
    }
    bool got = false;
    for (;;) {
        const int c = std::fgetc(m_in);
        if (c == EOF) {
            if (std::ferror(m_in) && errno == EINTR) {
                std::clearerr(m_in);
                continue;
            }
            break;
        }
        got = true;
        if (c == '\n') {
            break;
        }
        if (c != '\r') {
            line += static_cast<char>(c);
        }
    }
    if (hide) {
        ::tcsetattr(fd, TCSANOW, &saved);
        std::fputc('\n', m_out);
    }
    return got;
}

bool TConsolePrompter::Confirm(const std::string& text)
{
    if (!m_interactive) {
        return false;
    }
    if (m_beforeQuestion) {
        m_beforeQuestion();
    }
    std::fprintf(m_out, "%s (y/N) ", EscapeControls(text).c_str());
    std::fflush(m_out);
    std::string answer;
    if (!readLine(answer, true)) {
        return false;
    }
    answer = lowered(answer);
    return answer == "y" || answer == "yes";
}

YesNoCancel TConsolePrompter::ConfirmYesNoCancel(const std::string& text)
{
    if (!m_interactive) {
        return YesNoCancel::Cancel;
    }
    if (m_beforeQuestion) {
        m_beforeQuestion();
    }
    std::fprintf(m_out, "%s (y/n/C) ", EscapeControls(text).c_str());
    std::fflush(m_out);
    std::string answer;
    if (!readLine(answer, true)) {
        return YesNoCancel::Cancel;
    }
    answer = lowered(answer);
    if (answer == "y" || answer == "yes") {
        return YesNoCancel::Yes;
    }
    if (answer == "n" || answer == "no") {
        return YesNoCancel::No;
    }
    return YesNoCancel::Cancel;
}

void TConsolePrompter::ShowMessage(const std::string& text, bool isError)
{
    if (m_beforeQuestion) {
        m_beforeQuestion();
    }
    std::fprintf(m_out, "%s%s\n", isError ? "Error: " : "", EscapeControls(text).c_str());
    std::fflush(m_out);
}

PasswordResult TConsolePrompter::AskPassword(const std::string& title, const std::string& prompt, int buttons,
                                             std::string& answer)
{
    if (!m_interactive || (buttons & kPwButtonOk) == 0) {
        return PasswordResult::Cancel;
    }
    if (m_beforeQuestion) {
        m_beforeQuestion();
    }
    std::fprintf(m_out, "%s - %s ", EscapeControls(title).c_str(), EscapeControls(prompt).c_str());
    std::fflush(m_out);
    std::string line;
    if (!readLine(line, false) || line.empty()) {
        return PasswordResult::Cancel;
    }
    answer = line;
    return PasswordResult::Ok;
}

bool TConsolePrompter::AskVolume(const std::string& prompt)
{
    if (!m_interactive) {
        return false;
    }
    if (m_beforeQuestion) {
        m_beforeQuestion();
    }
    std::fprintf(m_out, "%s (y/N) ", EscapeControls(prompt).c_str());
    std::fflush(m_out);
    std::string answer;
    return readLine(answer, true) && (lowered(answer) == "y" || lowered(answer) == "yes");
}
