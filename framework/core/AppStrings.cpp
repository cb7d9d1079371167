#include "framework/core/AppStrings.h"

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
    {50, "%s is a translation that comes with the program. A new language of that name would be used "
         "in its place. Create it anyway ?"},
    {51, "A section needs a name."},

    // 70 to 99: the messages of runs.

    // 100 to 199: the desktop: notifications, run logs, status, schedules.

    // 200 to 259: verifying and restoring.
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
