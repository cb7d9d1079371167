#include "zipcomp/ZipMessages.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>
#include <vector>

namespace zipmsg {

namespace {

struct Entry
{
    int id;
    const char* text;
};

// Sorted by identifier (LookupText searches it by halves).
constexpr std::array kTable{
    Entry{10101, "The zip engine call failed: "},
    Entry{10102, "No archive file name is set."},
    Entry{10103, "Not enough memory."},
    Entry{10104, "The two passwords differ."},
    Entry{10105, "Copying: "},
    Entry{10150, "A new password is needed, but no one can be asked (unattended run)."},
    Entry{10151, "A password is needed, but no one can be asked (unattended run)."},
    Entry{10152, "&OK"},
    Entry{10153, "&Cancel"},
    Entry{10154, "Password"},
    Entry{10155, "Enter the password:"},
    Entry{10156, "Enter the password again:"},
    Entry{10157, "Cancel &all"},
    Entry{10158, "&Abort"},
    Entry{10201, "Cannot position at the central directory or read an entry's extra field."},
    Entry{10202, "Error while reading the archive directory: "},
    Entry{10203, "Warning: the central directory is not where the end record says; the archive may carry data in "
                 "front of it."},
    Entry{10204, "Warning: extra bytes follow the end of the zip archive."},
    Entry{10301, "Nothing to add: no file specification given."},
    Entry{10302, "Encryption is asked for, but there is no password (unattended run)."},
    Entry{10303, "A multi-volume archive cannot be updated or freshened."},
    Entry{10304, "The self-extracting archive could not be created (result %d)."},
    Entry{10601, "The zip engine library is loaded."},
    Entry{10602, "The zip engine library does not export ZipEngineExec."},
    Entry{10603, "The zip engine library does not export GetZipEngineVersion."},
    Entry{10604, "The zip engine library cannot be loaded."},
    Entry{10801, "The self-extractor texts are too long."},
    Entry{10802, "The self-extractor stub file was not found."},
    Entry{10803, "Only an archive whose name ends in .zip can be converted to a self-extractor."},
    Entry{10899, "This operation is not available in this build: "},
    Entry{11001, "Cannot open the archive volume %s."},
    Entry{11003, "Not a valid drive: %s"},
    Entry{11004, "The drive %s does not exist."},
    Entry{11005, "Cannot set the volume label."},
    Entry{11006, "No answer to the volume request."},
    Entry{11007, "The volume request was refused."},
    Entry{11008, "Cannot position in the archive while searching for the end record."},
    Entry{11009, "Cannot create the volume file."},
    Entry{11010, "Cannot write to the volume."},
    Entry{11011, "Cannot read the archive while searching for the end record."},
    Entry{11012, "A local header is cut short."},
    Entry{11013, "A central directory entry is cut short."},
    Entry{11014, "A local header has a bad signature."},
    Entry{11015, "A central directory entry has a bad signature."},
    Entry{11016, "A local header's file name is cut short."},
    Entry{11017, "A central directory entry's file name is cut short."},
    Entry{11018, "A local extra field is cut short."},
    Entry{11019, "A central extra field is cut short."},
    Entry{11020, "A data descriptor is cut short."},
    Entry{11021, "An entry's compressed data is cut short."},
    Entry{11022, "An entry comment is cut short."},
    Entry{11023, "The archive comment is cut short."},
    Entry{11024, "Error while writing the volumes: "},
    Entry{11025, "A volume or an overwrite question cannot be answered in an unattended run."},
    Entry{11026, "A central directory entry has no local header of the same name."},
    Entry{11029, "Cannot write a central header."},
    Entry{11030, "Cannot write the end record."},
    Entry{11032, "This disk has not enough free space available"},
    Entry{11033, "Please insert last disk in set"},
    Entry{11034, "Please insert disk volume %.1d of %.1d"},
    Entry{11035, "\r\nin drive: %s"},
    Entry{11036, "This is not a zip archive: no end-of-central-directory record was found."},
    Entry{11037, "No end record was found: this is the first disk of a multi-volume set; insert the last disk."},
    Entry{11038, "No end record was found: this is disk %d of a multi-volume set; insert the last disk."},
    Entry{11039, "Overwrite previous file %s"},
    Entry{11040, "Overwrite previous disk no %d"},
    Entry{11041, "A multi-volume archive cannot have an .exe name."},
    Entry{11042, "Cannot copy an entry's data."},
    Entry{11043, "Cannot skip the old end record."},
    Entry{11044, "Cannot copy the archive comment."},
    Entry{11045, "No end record was found in this volume of a multi-volume set; insert the last disk."},
    Entry{11046, "Please insert disk volume %.1d"},
    Entry{11047, "Central directory"},
};

constexpr bool TableIsSorted()
{
    for (std::size_t i = 1; i < kTable.size(); ++i) {
        if (kTable[i - 1].id >= kTable[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(TableIsSorted(), "message table must be sorted by identifier");

const std::array<int, kTable.size()> kIds = [] {
    std::array<int, kTable.size()> ids{};
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        ids[i] = kTable[i].id;
    }
    return ids;
}();

// Finds the first printf-like conversion; returns its start and length, or npos.
std::pair<std::size_t, std::size_t> FindConversion(const std::string& text, char& kind)
{
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%') {
            continue;
        }
        if (text[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '.' ||
                                   text[j] == '-' || text[j] == '+' || text[j] == ' ')) {
            ++j;
        }
        if (j < text.size() && (text[j] == 'd' || text[j] == 's' || text[j] == 'u')) {
            kind = text[j];
            return {i, j - i + 1};
        }
    }
    return {std::string::npos, 0};
}

// Inserts the values at the successive conversions, then turns "%%" into "%". Conversions beyond
// the values given stay as they stand.
std::string InsertAll(const std::string& text, const std::vector<std::string>& values)
{
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        if (text[i] == '%' && next < values.size()) {
            char kind = 0;
            auto [pos, len] = FindConversion(text.substr(i), kind);
            if (pos == 0) {
                out += values[next++];
                i += len - 1;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

} // namespace

std::optional<std::string> LookupText(int id)
{
    auto it = std::lower_bound(kTable.begin(), kTable.end(), id, [](const Entry& e, int v) { return e.id < v; });
    if (it == kTable.end() || it->id != id) {
        return std::nullopt;
    }
    return std::string(it->text);
}

std::string MissingText(int id)
{
    return "The message table is probably not linked to the executable\nMissing String ID is: " + std::to_string(id);
}

const int* TableIds(std::size_t& count)
{
    count = kIds.size();
    return kIds.data();
}

std::string FormatText(const std::string& text, const std::string& value)
{
    return InsertAll(text, {value});
}

std::string FormatText(const std::string& text, std::int64_t value)
{
    return InsertAll(text, {std::to_string(value)});
}

std::string FormatText(const std::string& text, std::int64_t first, std::int64_t second)
{
    return InsertAll(text, {std::to_string(first), std::to_string(second)});
}

} // namespace zipmsg

namespace {

std::string TextOf(int id)
{
    return zipmsg::LookupText(id).value_or(zipmsg::MissingText(id));
}

} // namespace

EZipComponent::EZipComponent(int messageId, bool showDialog)
    : EVorlandError(TextOf(messageId)), m_messageId(messageId), m_showDialog(showDialog)
{
}

EZipComponent::EZipComponent(int messageId, std::int64_t value)
    : EVorlandError(zipmsg::FormatText(TextOf(messageId), value)), m_messageId(messageId), m_showDialog(true)
{
}

EZipComponent::EZipComponent(int messageId, const std::string& value)
    : EVorlandError(zipmsg::FormatText(TextOf(messageId), value)), m_messageId(messageId), m_showDialog(true)
{
}
