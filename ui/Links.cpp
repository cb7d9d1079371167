#include "ui/Links.h"

#include "pathrules/PathRules.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Helpers that answer at once; a hung one must not freeze the window.
constexpr int kHelperTimeout = 5000; // milliseconds

// Word added to a batch file's name to name its launcher.
const char* const kProductWord = " Vorland";
const char* const kLauncherExtension = ".desktop";
// Icon name of the installed program in the icon theme.
const char* const kIconName = "vorland";

std::string systemReason(int error)
{
    return std::strerror(error);
}

[[noreturn]] void fail(const std::string& path, const std::string& reason)
{
    throw ELinkError("Cannot create the desktop shortcut \"" + path + "\": " + reason);
}

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    return home != nullptr ? home : "";
}

// Runs a helper program; its standard output without the trailing line break, or nothing when it
// is missing, fails or hangs.
bool runHelper(const QString& program, const QStringList& arguments, std::string* output)
{
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(kHelperTimeout)) {
        process.kill();
        process.waitForFinished(kHelperTimeout);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return false;
    }
    if (output != nullptr) {
        QByteArray bytes = process.readAllStandardOutput();
        while (bytes.endsWith('\n') || bytes.endsWith('\r')) {
            bytes.chop(1);
        }
        *output = bytes.toStdString();
    }
    return true;
}

// The icon of the installed program (an absolute file, so the launcher shows it also where the
// icon theme lacks it), else the theme's name for it.
std::string programIcon()
{
    const fs::path programFolder = fs::path(ProgramPath()).parent_path();
    for (const char* relative : {"../share/icons/hicolor/scalable/apps/vorland.svg", "vorland.svg"}) {
        std::error_code error;
        const fs::path candidate = fs::weakly_canonical(programFolder / relative, error);
        if (!error && fs::is_regular_file(candidate, error)) {
            return candidate.string();
        }
    }
    return kIconName;
}

// Quotes one word of an Exec value: inside double quotes, the characters " ` $ and \ take a
// backslash. Switches ("/B") need no quotes and stay as the user knows them.
std::string quoteExecWord(const std::string& word, bool always)
{
    bool isSwitch = !always && word.size() >= 2 && word[0] == '/';
    for (std::size_t i = 1; isSwitch && i < word.size(); ++i) {
        isSwitch = std::isalpha(static_cast<unsigned char>(word[i])) != 0;
    }
    if (isSwitch) {
        return word;
    }
    std::string quoted = "\"";
    for (const char c : word) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// Makes the folder when it is missing and its parent exists (a desktop folder that was never made,
// or was deleted); a missing parent is reported.
void ensureFolder(const std::string& folder, const std::string& launcher)
{
    struct stat st
    {
    };
    if (::stat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            fail(launcher, "\"" + folder + "\" is not a folder");
        }
        return;
    }
    if (errno != ENOENT) {
        fail(launcher, systemReason(errno));
    }
    const std::string parent = fs::path(folder).parent_path().string();
    if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        fail(launcher, "the desktop folder \"" + folder + "\" does not exist");
    }
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        fail(launcher, "the desktop folder \"" + folder + "\" cannot be created: " + systemReason(errno));
    }
}

} // namespace

std::string DesktopFolder()
{
    std::string answer;
    if (runHelper(QStringLiteral("xdg-user-dir"), {QStringLiteral("DESKTOP")}, &answer) && !answer.empty() &&
        answer.front() == '/') {
        return answer;
    }
    const char* configured = std::getenv("XDG_DESKTOP_DIR");
    if (configured != nullptr && configured[0] == '/') {
        return configured;
    }
    return homeFolder() + "/Desktop";
}

std::string ProgramPath()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        return self.string();
    }
    return QCoreApplication::applicationFilePath().toStdString();
}

std::string CreateDesktopShortcut(const std::string& name, const std::vector<std::string>& arguments,
                                  const std::string& applicationTitle)
{
    const std::string launcherName = name.empty() ? applicationTitle : name;
    return CreateShortcut(ProgramPath(), DesktopFolder(), launcherName, arguments);
}

std::string CreateShortcut(const std::string& target, const std::string& folder, const std::string& name,
                           const std::vector<std::string>& arguments)
{
    std::error_code error;
    const std::string fullTarget = fs::absolute(target, error).lexically_normal().string();
    const fs::path fullFolder =
        fs::absolute(folder.empty() ? fs::path(".") : fs::path(folder), error).lexically_normal();
    std::string folderText = fullFolder.string();
    while (folderText.size() > 1 && folderText.back() == '/') {
        folderText.pop_back();
    }
    const std::string shortcutFile = (fs::path(folderText) / (name + kLauncherExtension)).string();
    ensureFolder(folderText, shortcutFile);
    CreateShellLink(fullTarget, shortcutFile, name, arguments);
    return shortcutFile;
}

void CreateShellLink(const std::string& target, const std::string& shortcutFile, const std::string& name,
                     const std::vector<std::string>& arguments)
{
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Version=1.0\n";
    text += "Name=" + DesktopStringValue(name) + "\n";
    text += "Exec=" + DesktopExecValue(target, arguments) + "\n";
    text += "Icon=" + DesktopStringValue(programIcon()) + "\n";
    text += "Terminal=false\n";
    if (const int error = replaceFileWhole(shortcutFile, text, 0755); error != 0) {
        fail(shortcutFile, systemReason(error));
    }
    // GNOME's desktop runs a launcher only when it carries this mark; elsewhere gio is missing or
    // the mark is meaningless, and the launcher works without it.
    runHelper(QStringLiteral("gio"),
              {QStringLiteral("set"), QString::fromStdString(shortcutFile), QStringLiteral("metadata::trusted"),
               QStringLiteral("true")},
              nullptr);
}

std::string DesktopExecValue(const std::string& target, const std::vector<std::string>& arguments)
{
    std::string line = quoteExecWord(target, true);
    bool first = true;
    for (const auto& argument : arguments) {
        // The first argument is a file (the batch): always quoted, even when it looks like a switch.
        line += " " + quoteExecWord(argument, first);
        first = false;
    }
    std::string value;
    for (const char c : DesktopStringValue(line)) {
        value += c;
        if (c == '%') {
            value += '%';
        }
    }
    return value;
}

std::string DesktopStringValue(const std::string& text)
{
    std::string value;
    for (const char c : text) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\r':
            value += "\\r";
            break;
        case '\t':
            value += "\\t";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::string BatchShortcutName(const std::string& batchFile)
{
    std::string name = fs::path(batchFile).filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    // A launcher whose name begins with "." would be hidden on the desktop.
    while (!name.empty() && name.front() == '.') {
        name.erase(0, 1);
    }
    return name + kProductWord;
}

std::vector<std::string> BatchShortcutArguments(const std::string& batchFile)
{
    return {batchFile, "/B"};
}
