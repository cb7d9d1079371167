#include "batch/RunStateFiles.h"

#include "batch/IniFile.h"
#include "core/AppStrings.h"
#include "core/FileOps.h"
#include "core/PosixIo.h"
#include "pathrules/PathRules.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kStateSection = "RunState";
// Longest part of a batch file's name kept in the names of its run files.
constexpr std::size_t kNameLength = 48;
// A numbered string takes "%1" to "%9".
constexpr std::int64_t kMaxStopErrorArguments = 9;

std::uint64_t fnv1a(const std::string& text)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::string baseNameWithoutExtension(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

// Summaries hold line feeds and any byte; the state file keeps one value per line.
std::string escapeValue(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string unescapeValue(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::int64_t readNumber(const IniFile::Section& section, const char* key)
{
    const std::string text = IniFile::ReadString(section, key, "0");
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    return errno != 0 || end == text.c_str() || *end != '\0' ? 0 : value;
}

} // namespace

std::string RunStateFolder()
{
    const char* stateHome = std::getenv("XDG_STATE_HOME");
    // Relative values are to be ignored, as the base directory rules say.
    if (stateHome != nullptr && stateHome[0] == '/') {
        return std::string(stateHome) + "/vorland";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.local/state/vorland";
}

TRunFiles RunFilesOf(const std::string& batchFile)
{
    const std::string full = followLinks(AbsolutePath(batchFile));
    std::string name;
    for (const char c : baseNameWithoutExtension(full).substr(0, kNameLength)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.';
        name += plain ? c : '_';
    }
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(fnv1a(full)));
    const std::string stem = RunStateFolder() + "/" + (name.empty() ? "batch" : name) + "-" + hash;
    return {stem + ".log", stem + ".state", stem + ".lock"};
}

bool MakeRunStateFolder(std::string& error)
{
    if (!ForceDirectories(RunStateFolder(), error)) {
        return false;
    }
    ::chmod(RunStateFolder().c_str(), 0700);
    return true;
}

TRunState ReadRunState(const std::string& fileName)
{
    TRunState state;
    std::string text;
    ReadWholeFile(fileName, text);
    const IniFile ini = IniFile::Parse(text);
    for (const IniFile::Section& section : ini.Sections()) {
        if (!SameNameIgnoringCase(section.Name, kStateSection)) {
            continue;
        }
        state.BatchFile = IniFile::ReadString(section, "Batch", {});
        state.LastStart = readNumber(section, "LastStart");
        state.LastEnd = readNumber(section, "LastEnd");
        state.Running = readNumber(section, "Running") != 0;
        state.LastExitCode = static_cast<int>(readNumber(section, "LastExitCode"));
        TRunSummary& summary = state.Summary;
        summary.SectionsRun = static_cast<int>(readNumber(section, "SectionsRun"));
        summary.SectionsSkipped = static_cast<int>(readNumber(section, "SectionsSkipped"));
        summary.ArchivesWritten = static_cast<int>(readNumber(section, "ArchivesWritten"));
        summary.FilesCopied = static_cast<int>(readNumber(section, "FilesCopied"));
        summary.FilesUnchanged = static_cast<int>(readNumber(section, "FilesUnchanged"));
        for (std::size_t kind = 0; kind < summary.Problems.size(); ++kind) {
            summary.Problems[kind] = static_cast<int>(readNumber(section, ("Problems" + std::to_string(kind)).c_str()));
        }
        summary.CurrentSection = unescapeValue(IniFile::ReadString(section, "Section", {}));
        summary.StoppedByUser = readNumber(section, "StoppedByUser") != 0;
        summary.StopError = unescapeValue(IniFile::ReadString(section, "StopError", {}));
        // The stop error's numbered string, for showing it in the user's language; states written
        // before it was kept have the English text alone.
        const std::int64_t number = readNumber(section, "StopErrorNumber");
        const std::int64_t count = readNumber(section, "StopErrorArguments");
        if (number > 0 && number < kAppStringCount && TvkStringList::IsUsed(static_cast<int>(number)) && count >= 0 &&
            count <= kMaxStopErrorArguments) {
            summary.StopErrorNumber = static_cast<int>(number);
            for (std::int64_t i = 1; i <= count; ++i) {
                const std::string key = "StopErrorArgument" + std::to_string(i);
                summary.StopErrorArguments.push_back(unescapeValue(IniFile::ReadString(section, key, {})));
            }
        }
        state.LastSuccess = readNumber(section, "LastSuccess");
        break;
    }
    return state;
}

bool WriteRunState(const std::string& fileName, const TRunState& state, std::string& error)
{
    std::string text = std::string("[") + kStateSection + "]\n";
    text += "Batch=" + escapeValue(state.BatchFile) + "\n";
    text += "LastStart=" + std::to_string(state.LastStart) + "\n";
    text += "LastEnd=" + std::to_string(state.LastEnd) + "\n";
    text += "Running=" + std::string(state.Running ? "1" : "0") + "\n";
    text += "LastExitCode=" + std::to_string(state.LastExitCode) + "\n";
    const TRunSummary& summary = state.Summary;
    text += "SectionsRun=" + std::to_string(summary.SectionsRun) + "\n";
    text += "SectionsSkipped=" + std::to_string(summary.SectionsSkipped) + "\n";
    text += "ArchivesWritten=" + std::to_string(summary.ArchivesWritten) + "\n";
    text += "FilesCopied=" + std::to_string(summary.FilesCopied) + "\n";
    text += "FilesUnchanged=" + std::to_string(summary.FilesUnchanged) + "\n";
    for (std::size_t kind = 0; kind < summary.Problems.size(); ++kind) {
        text += "Problems" + std::to_string(kind) + "=" + std::to_string(summary.Problems[kind]) + "\n";
    }
    text += "Section=" + escapeValue(summary.CurrentSection) + "\n";
    text += "StoppedByUser=" + std::string(summary.StoppedByUser ? "1" : "0") + "\n";
    text += "StopError=" + escapeValue(summary.StopError) + "\n";
    if (summary.StopErrorNumber > 0) {
        text += "StopErrorNumber=" + std::to_string(summary.StopErrorNumber) + "\n";
        text += "StopErrorArguments=" + std::to_string(summary.StopErrorArguments.size()) + "\n";
        for (std::size_t i = 0; i < summary.StopErrorArguments.size(); ++i) {
            text +=
                "StopErrorArgument" + std::to_string(i + 1) + "=" + escapeValue(summary.StopErrorArguments[i]) + "\n";
        }
    }
    text += "LastSuccess=" + std::to_string(state.LastSuccess) + "\n";

    // Flushed and renamed over the old state: a killed process or a crash leaves one or the other.
    const int result = replaceFileWhole(fileName, text, 0600);
    if (result != 0) {
        error = fileName + ": cannot write the run state: " + std::strerror(result);
        return false;
    }
    return true;
}

std::string FormatRunTime(std::int64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    ::localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}
