#include "framework/core/AppStrings.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<const char*, kAppStringCount> kDefaultTexts = {
    "Language to add",
    "Name :",
    "About",
    "Edit about file",
    "OK",
    "Cancel",
    "Add",
    "Delete",
    "Replace",
    "Zip it",
    "Save batch file ?",
    "New",
    "Abort",
    "Cancel zip ?",
    "Adding",
    "Initializing file list ...",
    "Adding files",
    "Processing archive ...",
    "Processing",
    "Archive complete",
    "%s already exists",
    "Add files",
    "Exclude files",
    "Zip name",
    "Dir archive",
    "Select the zip file where the selected files will be archived.",
    "Select the directory where the selected files will be copied.",
};

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
    m_texts.assign(kDefaultTexts.begin(), kDefaultTexts.end());
}

std::string TvkStringList::DefaultText(int number)
{
    if (number < 0 || number >= kAppStringCount) {
        return {};
    }
    return kDefaultTexts[static_cast<std::size_t>(number)];
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
