#pragma once
// The extension patterns offered by the mask list dialogs' "..." button: "*" followed by the
// extension of every plain file of a section's folder ("*.doc"; "*" for a file without extension),
// each pattern once, sorted, both the order and the duplicate test disregarding letter case (the
// first form found wins). GUI thread only.

#include <functional>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

// The sorted, case-blind set of patterns gathered so far (the window's and the wizard's cache).
class TExtensionList
{
public:
    bool Empty() const { return m_patterns.empty(); }
    int Count() const { return static_cast<int>(m_patterns.size()); }
    void Clear();
    // Adds "*" + the extension of the file name (the part from its last "." on); a name without
    // "." adds "*". Nothing is added when the pattern is listed already in any letter case.
    void AddFoundExtension(const std::string& fileName);
    // The patterns in order.
    std::vector<std::string> Items() const;

private:
    std::map<std::string, std::string> m_patterns; // case-folded pattern -> first form found
    std::unordered_set<std::string> m_seen;        // every form met, to skip the folding quickly
};

// How a scan ended.
enum class TExtensionScan
{
    Complete, // every readable folder was visited
    Stopped,  // `keepGoing` said no; what was found so far is kept
    NoFolder  // the folder name is empty: nothing is scanned (never the whole file system)
};

// Adds the patterns of the plain files in `dir` (and, with `recurse`, of all its subfolders) to
// the list. Hidden and system files are left out; unreadable folders are skipped. `keepGoing` (may
// be empty) is asked every few hundred files; when it answers false the scan ends at once.
TExtensionScan GatherExtensions(TExtensionList& list, const std::string& dir, bool recurse,
                                const std::function<bool()>& keepGoing);
