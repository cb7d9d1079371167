#pragma once
// The user's settings that runs without windows need, read from the settings store's file without
// the window toolkit ("$XDG_CONFIG_HOME/Orvane/Vorland.conf", group "Initial", as the windows write
// it): the chosen language, whose numbered strings the console's notifications use, and the number
// of days after which a batch without a run without problems is called stale. Plain functions.

#include <string>
#include <vector>

// Days without a run without problems after which a batch is stale, when the user set none.
inline constexpr int kDefaultStaleDays = 7;

struct TRunSettings
{
    std::string LanguageName;          // the chosen language's folder name; empty: English
    int StaleDays = kDefaultStaleDays; // at least 1
};

// The settings file's path.
std::string RunSettingsFileName();
// The settings as stored; missing or unusable values give the defaults.
TRunSettings ReadRunSettings();

// The folder of the running program; empty when unknown.
std::string RunningProgramFolder();

// The Languages folders, in the order the windows look in them: the user's own, the one beside the
// program, the installed one.
std::vector<std::string> LanguageFolders(const std::string& programFolder);

// Loads the numbered strings of the language into AppStrings() from the first of the folders that
// holds "<language>/CaptionList.txt"; English (the defaults) for an empty name. False when the
// language's caption file cannot be found or read (the table then holds the English texts).
bool LoadRunLanguage(const std::string& languageName, const std::vector<std::string>& folders);
