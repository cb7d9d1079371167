#pragma once
// Caption files read without a window toolkit: their bytes (UTF-8, or Windows-1252 when the bytes
// are not valid UTF-8, so files written on the older platform still load), their lines (CR LF, LF
// or CR) and their name=value entries. The windows' caption tables and the console's numbered
// strings both read caption files through this unit. Plain functions; any thread.

#include "core/AppStrings.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The text of a caption file as UTF-8: valid UTF-8 as it is (a leading byte-order mark dropped),
// anything else decoded as Windows-1252.
std::string DecodeCaptionBytes(std::string_view bytes);

// The text split into lines at CR LF, LF or CR; a last line without an ending counts.
std::vector<std::string> SplitCaptionLines(std::string_view text);

// The entries of a caption file: name=value lines. The name is everything before the first "=",
// the value everything after it (so a value may hold "="); names match without regard to the case
// of A to Z and the first line of a name counts; blanks are kept. Lines without "=" are ignored.
class TCaptionEntries
{
public:
    void Clear() { m_values.clear(); }
    bool IsEmpty() const { return m_values.empty(); }
    void SetLines(const std::vector<std::string>& lines);
    // Replaces the entries by those of a file; false (and no change) when it cannot be read.
    bool LoadFromFile(const std::string& fileName);
    // The value of a name; empty when the name is missing or its value is empty.
    std::string Value(std::string_view name) const;

private:
    std::unordered_map<std::string, std::string> m_values;
};

// Puts the default texts back into the table, then every "strings.N" of the entries that has a
// text over its number.
void ApplyNumberedStrings(const TCaptionEntries& entries, TvkStringList& strings);
