#include "batch/RunSettings.h"

#include "batch/IniFile.h"
#include "core/AppStrings.h"
#include "core/CaptionText.h"
#include "core/PosixIo.h"

#include <cstdlib>
#include <unistd.h>

namespace {

constexpr const char* kSettingsGroup = "Initial";
constexpr const char* kCaptionFile = "CaptionList.txt";

std::string homeFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') {
        return value;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + fallback;
}

} // namespace

std::string RunSettingsFileName()
{
    return homeFolder("XDG_CONFIG_HOME", "/.config") + "/Orvane/Vorland.conf";
}

TRunSettings ReadRunSettings()
{
    TRunSettings settings;
    std::string text;
    ReadWholeFile(RunSettingsFileName(), text);
    const IniFile ini = IniFile::Parse(text);
    for (const IniFile::Section& section : ini.Sections()) {
        if (!SameNameIgnoringCase(section.Name, kSettingsGroup)) {
            continue;
        }
        settings.LanguageName = IniFile::ReadString(section, "LanguageName", {});
        const std::string days = IniFile::ReadString(section, "StaleDays", {});
        char* end = nullptr;
        const long value = std::strtol(days.c_str(), &end, 10);
        if (!days.empty() && *end == '\0' && value >= 1 && value <= 36500) {
            settings.StaleDays = static_cast<int>(value);
        }
        break;
    }
    // "English" is the built-in language, and a name must stay one folder below Languages.
    if (SameNameIgnoringCase(settings.LanguageName, "English") ||
        settings.LanguageName.find('/') != std::string::npos || settings.LanguageName == "." ||
        settings.LanguageName == "..") {
        settings.LanguageName.clear();
    }
    return settings;
}

std::string RunningProgramFolder()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return {};
    }
    const std::string program(path, static_cast<std::size_t>(n));
    return program.substr(0, program.find_last_of('/'));
}

std::vector<std::string> LanguageFolders(const std::string& programFolder)
{
    return {homeFolder("XDG_DATA_HOME", "/.local/share") + "/vorland/Languages", programFolder + "/Languages",
            programFolder + "/../share/vorland/Languages"};
}

bool LoadRunLanguage(const std::string& languageName, const std::vector<std::string>& folders)
{
    AppStrings().Reset();
    if (languageName.empty()) {
        return true;
    }
    for (const std::string& folder : folders) {
        TCaptionEntries entries;
        if (entries.LoadFromFile(folder + "/" + languageName + "/" + kCaptionFile)) {
            ApplyNumberedStrings(entries, AppStrings());
            return true;
        }
    }
    return false;
}
