#include "ui/ExtensionProposals.h"

#include "core/FileSearch.h"
#include "core/vk_tools.h"

#include <QString>

namespace {

// Files between two questions to `keepGoing`: often enough for a repaint every few milliseconds,
// rare enough that the question costs nothing next to reading the folders.
constexpr int kFilesPerCheck = 256;

struct TScanStopped
{
};

std::string PatternOf(const std::string& fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return "*";
    return "*" + fileName.substr(dot);
}

} // namespace

void TExtensionList::Clear()
{
    m_patterns.clear();
    m_seen.clear();
}

void TExtensionList::AddFoundExtension(const std::string& fileName)
{
    std::string pattern = PatternOf(fileName);
    if (!m_seen.insert(pattern).second)
        return;
    const std::string key = QString::fromLocal8Bit(pattern).toCaseFolded().toStdString();
    m_patterns.try_emplace(key, std::move(pattern));
}

std::vector<std::string> TExtensionList::Items() const
{
    std::vector<std::string> items;
    items.reserve(m_patterns.size());
    for (const auto& entry : m_patterns)
        items.push_back(entry.second);
    return items;
}

TExtensionScan GatherExtensions(TExtensionList& list, const std::string& dir, bool recurse,
                                const std::function<bool()>& keepGoing)
{
    if (TrimBlanks(dir).empty())
        return TExtensionScan::NoFolder;
    const std::string mask = IncludeTrailingPathDelimiter(dir) + "*.*";
    int untilCheck = kFilesPerCheck;
    const TFoundFileProc onFile = [&](const std::string&, const TSearchRec& record) {
        list.AddFoundExtension(record.Name);
        if (--untilCheck == 0) {
            untilCheck = kFilesPerCheck;
            if (keepGoing && !keepGoing())
                throw TScanStopped{};
        }
    };
    const TSearchErrorProc skipUnreadable = [](const std::string&, int) {};
    try {
        if (recurse)
            FindFilesRecursiveWith(TSearchDetails::NamesOnly, mask, onFile, skipUnreadable);
        else
            FindFilesWith(TSearchDetails::NamesOnly, mask, onFile, skipUnreadable);
    } catch (const TScanStopped&) {
        return TExtensionScan::Stopped;
    }
    return TExtensionScan::Complete;
}
