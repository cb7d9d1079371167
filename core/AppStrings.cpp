#include "core/AppStrings.h"

#include <cstddef>
#include <utility>

namespace {

struct TDefaultText
{
    int number;
    const char* text;
};

constexpr TDefaultText kDefaultTexts[] = {
    {0, "Language to add"},
    {1, "Name :"},
    {2, "About"},
    {3, "Edit about file"},
    {4, "OK"},
    {5, "Cancel"},
    {6, "Add"},
    {7, "Delete"},
    {8, "Replace"},
    {9, "Zip it"},
    {10, "Save batch file ?"},
    {11, "New"},
    {12, "Abort"},
    {13, "Cancel zip ?"},
    {14, "Adding"},
    {15, "Initializing file list ..."},
    {16, "Adding files"},
    {17, "Processing archive ..."},
    {18, "Processing"},
    {19, "Archive complete"},
    {20, "%s already exists"},
    {21, "Add files"},
    {22, "Exclude files"},
    {23, "Zip name"},
    {24, "Dir archive"},
    {25, "Select the zip file where the selected files will be archived."},
    {26, "Select the directory where the selected files will be copied."},

    // 30 to 69: the editor's messages.
    {30, "The character \"%s\" cannot be stored in this batch file: the file is written in Latin-1 (ISO 8859-1), "
         "which does not have it."},
    {31, "This password cannot be kept: its scrambled form in the batch file would hold a line break. Please "
         "choose another password."},
    {32, "A line break cannot be stored in a value of the batch file."},
    {33, "%s was changed by another program since it was opened or saved here. Yes: reload it (the changes made "
         "here are lost). No: replace it with the batch shown here. Cancel: do not save."},
    {34, "The Source page cannot show the batch: %s"},
    {35, "The Source page shows this batch read-only: a value holds a paragraph separator (U+2029), which the "
         "text editor would turn into a line break."},
    {50, "%s is a translation that comes with the program. A new language of that name would be used "
         "in its place. Create it anyway ?"},
    {51, "A section needs a name."},

    // 70 to 99: the messages of runs.
    {85, "%s: a link to a folder, not followed"},
    {86, "the display went away"},

    // 100 to 199: the desktop: notifications, run logs, status, schedules.
    {100, "Run summary: %1 section(s) run, %2 skipped; %3 archive(s) written; %4 file(s) copied, %5 unchanged."},
    {101, "No problems."},
    {102, "%1 problem(s):"},
    {103, "sections skipped"},
    {104, "failed commands"},
    {105, "unreadable folders or files"},
    {106, "files not copied"},
    {107, "unusable target folders"},
    {108, "zip errors"},
    {109, "archives removed (nothing to add)"},
    {110, "files changed while read"},
    {111, "Stopped by the user %1; the rest of the batch was not run."},
    {112, "Stopped by an error %1: %2"},
    {113, "before the first section"},
    {114, "in section \"%1\""},
    {115, "Backup \"%1\" had problems"},
    {116, "Backup \"%1\" was stopped by an error"},
    {117, "Backup \"%1\" was stopped"},
    {118, "Backup \"%1\" completed"},
    {119, "%1 problem(s). The log of the run: %2"},
    {120, "The batch %1 is being run already (process %2); this run was not started."},
    {121, "Last run: %1, %2."},
    {122, "completed without problems"},
    {123, "finished with problems"},
    {124, "stopped by an error"},
    {125, "stopped by the user"},
    {126, "did not end (the process was killed or the computer stopped)"},
    {127, "running now"},
    {128, "This batch has never been run."},
    {129, "Last run without problems: %1."},
    {130, "Last run without problems: never."},
    {131, "No run without problems for more than %1 day(s)."},
    {132, "Cannot read the batch file %1: %2"},
    {133, "Log: %1"},
    {134, "%1 notice(s)."},
    {150, "The schedule needs systemd's user service manager, and its command systemctl was not found."},
    {151, "systemd's user service manager cannot be reached: %s"},
    {152, "systemctl could not put the schedule in place: %s"},
    {153, "To run this batch on this schedule with cron instead, add this line to your crontab (crontab -e):"},
    {154, "Next run: %s"},
    {155, "This batch is not scheduled."},
    {156, "Cannot write the schedule file"},
    {157, "Cannot remove the schedule file"},
    {158, "No program to show web pages was found. The help page is the file %s"},
    {159, "Schedule"},
    {160, "Before command could not be started (%1): %2"},
    {161, "After command could not be started (%1): %2"},
    {162, "Before command ended with exit code %1: %2"},
    {163, "After command ended with exit code %1: %2"},
    {164, "Section \"%1\" not run: %2"},
    {165, "Section \"%1\" skipped: no source directory"},
    {166, "Section \"%1\" skipped: no archive name"},
    {167, "Section \"%1\" skipped: no target directory"},
    {168, "Section \"%1\": nothing to add; the previous archive \"%2\" was removed"},
    {169, "%1: cannot follow the link: %2; skipped"},
    {170, "Cannot read \"%1\": %2"},
    {171, "%1: changed size while it was read; copied as read"},
    {172, "Unable to create directory \"%1\": %2"},
    {173, "[BatchParameters] %1; nothing was run"},

    // 200 to 259: verifying and restoring.
    {200, "%s: %s does not read back as it was written (%s); the previous archive was kept"},
    {201, "%s: the new copy does not read back as it was read from %s; the previous copy was kept"},
    {202, "%s: not restored: its name leads outside the destination folder"},
    {203, "%s: not restored: the link leads outside the destination folder"},
    {204, "%s: %s: damaged, not restored (%s)"},
    {205, "%s: not restored: %s"},
    {206, "%s exists; kept as it is"},
    {207, "%s cannot be read as an archive: %s"},
    {208, "%d restored, %d kept as they were, %d problems"},
    {209, "Testing"},
    {210, "Restoring"},
    {211, "%s: %s: %s"},
    {212, "%d entries tested, %d bad"},
    {213, "The zip engine cannot read archives (%s)"},
    {215, "Restore from %s"},
    {216, "%s already exists."},
    {217, "Keep both"},
    {218, "Skip"},
    {219, "Do this for all"},
    {220, "Password of %s"},
    {221, "Choose the folder to restore into"},
    {222, "%d entries"},
    {223, "Name"},
    {224, "Size"},
    {225, "Date"},
    {226, "%s: no entry of %s matches it"},
    {214,
     "vorland --test ARCHIVE | vorland --restore ARCHIVE --to FOLDER [--replace|--skip|--keep-both] [NAME-OR-MASK...]"},
};

const std::vector<std::string>& defaultTable()
{
    static const std::vector<std::string> table = [] {
        std::vector<std::string> texts(kAppStringCount);
        for (const TDefaultText& entry : kDefaultTexts) {
            texts[static_cast<std::size_t>(entry.number)] = entry.text;
        }
        return texts;
    }();
    return table;
}

} // namespace

TvkStringList::TvkStringList()
{
    Reset();
}

int TvkStringList::Count() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_texts.size());
}

std::string TvkStringList::Get(int number) const
{
    std::lock_guard lock(m_mutex);
    if (number < 0 || number >= static_cast<int>(m_texts.size())) {
        return {};
    }
    return m_texts[static_cast<std::size_t>(number)];
}

bool TvkStringList::Set(int number, std::string text)
{
    std::lock_guard lock(m_mutex);
    if (number < 0 || number >= static_cast<int>(m_texts.size())) {
        return false;
    }
    m_texts[static_cast<std::size_t>(number)] = std::move(text);
    return true;
}

void TvkStringList::Reset()
{
    std::lock_guard lock(m_mutex);
    m_texts = defaultTable();
}

std::string TvkStringList::DefaultText(int number)
{
    if (number < 0 || number >= kAppStringCount) {
        return {};
    }
    return defaultTable()[static_cast<std::size_t>(number)];
}

bool TvkStringList::IsUsed(int number)
{
    return !DefaultText(number).empty();
}

TvkStringList& AppStrings()
{
    static TvkStringList table;
    return table;
}

std::string AppString(int number)
{
    return AppStrings().Get(number);
}

namespace {

template <typename TArguments> std::string fillFrom(std::string_view pattern, const TArguments& arguments)
{
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (index < arguments.size()) {
                out += *(arguments.begin() + static_cast<std::ptrdiff_t>(index));
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

} // namespace

std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> arguments)
{
    return fillFrom(pattern, arguments);
}

std::string FillTextFrom(std::string_view pattern, const std::vector<std::string>& arguments)
{
    return fillFrom(pattern, arguments);
}

std::string AppText(int number, std::initializer_list<std::string_view> arguments)
{
    return FillText(AppString(number), arguments);
}

std::string EnglishText(int number, std::initializer_list<std::string_view> arguments)
{
    return FillText(TvkStringList::DefaultText(number), arguments);
}
