#include "batch/p_BatchList.h"

#include "batch/BatchFile.h"
#include "batch/IniFile.h"
#include "batch/vk_textline.h"
#include "core/CoreErrors.h"
#include "core/vk_tools.h"

#include <cerrno>
#include <stdexcept>
#include <utility>

namespace {

constexpr std::string_view kParameterSection = kParameterSectionName;
constexpr std::string_view kLineEnd = "\r\n";

// ---- writing -------------------------------------------------------------------------------------

bool holdsLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// The reader drops blanks (bytes 0 to 32) around a value and then one pair of matching quotes. A
// value that starts or ends with a blank, or starts and ends with the same quote, is therefore
// written inside one more pair of double quotes, so that it reads back unchanged.
std::string protectValue(std::string_view value)
{
    const bool blankEnds = !value.empty() && (IsBlankByte(value.front()) || IsBlankByte(value.back()));
    const bool quotePair =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    if (blankEnds || quotePair) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

[[noreturn]] void refuse(const std::string& what)
{
    throw EVorlandError("The batch cannot be saved: " + what);
}

void putValue(std::string& out, std::string_view section, std::string_view key, std::string_view rawValue)
{
    const std::string_view value = TrimBlanks(rawValue);
    if (holdsLineBreak(value)) {
        refuse("the value of " + std::string(key) + " in section [" + std::string(section) + "] holds a line break.");
    }
    out += key;
    out += '=';
    out += protectValue(value);
    out += kLineEnd;
}

void putBool(std::string& out, std::string_view key, bool value)
{
    out += key;
    out += value ? "=1" : "=0";
    out += kLineEnd;
}

// The scrambled password as it goes into the file. Its bytes are arbitrary: blanks or quotes at its
// ends are protected by quotes; a line break inside it cannot be stored, so such a password is
// refused rather than written damaged.
std::string scrambledPasswordValue(const std::string& password)
{
    const std::string_view plain = TrimBlanks(password);
    if (plain.empty()) {
        return {};
    }
    const std::string scrambled = ScramblePassword(plain, ScrambleKey());
    if (holdsLineBreak(scrambled)) {
        refuse("the password cannot be stored in the batch file (its scrambled form holds a line break). "
               "Please choose another password.");
    }
    return protectValue(scrambled);
}

void checkIndex(int index, int count)
{
    if (index < 0 || index >= count) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
}

} // namespace

TBatchEntry::TBatchEntry(std::string name, std::string zip, std::string dir, std::string suffix, std::string ignore,
                         bool recurse, bool dirName, bool compress)
    : Name(std::move(name)), Zip(std::move(zip)), Compress(compress), Dir(std::move(dir)), Suffix(std::move(suffix)),
      Ignore(std::move(ignore)), Recurse(recurse), DirName(dirName)
{
}

std::string ScrambleKey()
{
    return "KoMaTrUsE";
}

TpxBatchList::TpxBatchList() = default;
TpxBatchList::~TpxBatchList() = default;

TBatchEntry& TpxBatchList::Entries(int index) const
{
    checkIndex(index, Count());
    return *EntryList[static_cast<std::size_t>(index)];
}

void TpxBatchList::Clear()
{
    EntryList.clear();
}

int TpxBatchList::AddEntry(std::unique_ptr<TBatchEntry> entry)
{
    if (!entry) {
        throw std::invalid_argument("AddEntry: no entry");
    }
    EntryList.push_back(std::move(entry));
    return Count() - 1;
}

void TpxBatchList::DeleteEntry(int index)
{
    checkIndex(index, Count());
    EntryList.erase(EntryList.begin() + index);
}

namespace {

// The first NUL byte in a section's lines, as "line N: the value of KEY holds a NUL byte"; empty
// when there is none. Such a value would be cut at the NUL wherever it is used as a path or mask.
std::string nulDefect(const IniFile::Section& section)
{
    if (section.Name.find('\0') != std::string::npos) {
        return "line " + std::to_string(section.Line) + ": the section name holds a NUL byte";
    }
    for (std::size_t i = 0; i < section.Values.size(); ++i) {
        const auto& [key, value] = section.Values[i];
        if (key.find('\0') != std::string::npos || value.find('\0') != std::string::npos) {
            const int line = i < section.Lines.size() ? section.Lines[i] : 0;
            return "line " + std::to_string(line) + ": the value of " + key.substr(0, key.find('\0')) +
                   " holds a NUL byte";
        }
    }
    return {};
}

} // namespace

void TpxBatchList::LoadFromFile(const std::string& fileName)
{
    std::string text;
    if (fileName.empty() || !ReadBatchFile(fileName, text)) {
        Clear();
        return;
    }
    LoadFromText(text);
}

void TpxBatchList::ResetParameters()
{
    Before.clear();
    After.clear();
    Password.clear();
    UpdateZip = true;
    ParametersDefect.clear();
}

void TpxBatchList::LoadFromText(std::string_view text)
{
    const IniFile file = IniFile::Parse(text);

    // Several parameter sections read as one: the first line of a key counts.
    IniFile::Section parameters;
    bool haveParameters = false;
    std::vector<std::unique_ptr<TBatchEntry>> entries;
    for (const IniFile::Section& section : file.Sections()) {
        if (SameNameIgnoringCase(section.Name, kParameterSection)) {
            haveParameters = true;
            parameters.Values.insert(parameters.Values.end(), section.Values.begin(), section.Values.end());
            parameters.Lines.insert(parameters.Lines.end(), section.Lines.begin(), section.Lines.end());
            continue;
        }
        entries.push_back(std::make_unique<TBatchEntry>(
            section.Name, IniFile::ReadString(section, "Zip", {}), IniFile::ReadString(section, "Dir", {}),
            IniFile::ReadString(section, "Suffix", {}), IniFile::ReadString(section, "Ignore", {}),
            IniFile::ReadBool(section, "Recurse", false), IniFile::ReadBool(section, "DirName", false),
            IniFile::ReadBool(section, "Compress", true)));
        entries.back()->Defect = nulDefect(section);
    }

    EntryList = std::move(entries);
    ParametersDefect = nulDefect(parameters);
    if (haveParameters) {
        Before = IniFile::ReadString(parameters, "Before", {});
        After = IniFile::ReadString(parameters, "After", {});
        // The reader has already dropped the blanks around the value; blanks inside quotes belong to
        // the scrambled password and are kept.
        const std::string scrambled = IniFile::ReadString(parameters, "Password", {});
        Password = scrambled.empty() ? std::string() : UnscramblePassword(scrambled, ScrambleKey());
        UpdateZip = IniFile::ReadBool(parameters, "UpdateZip", true);
        NotifySuccess = IniFile::ReadBool(parameters, "NotifySuccess", false);
        Verify = IniFile::ReadBool(parameters, "Verify", false);
    }
}

std::string TpxBatchList::BatchFileText() const
{
    std::string out;
    out += "[";
    out += kParameterSection;
    out += "]";
    out += kLineEnd;
    putValue(out, kParameterSection, "Before", Before);
    putValue(out, kParameterSection, "After", After);
    out += "Password=";
    out += scrambledPasswordValue(Password);
    out += kLineEnd;
    putBool(out, "UpdateZip", UpdateZip);
    if (NotifySuccess) {
        putBool(out, "NotifySuccess", true);
    }
    // Written only when set, so that batch files that do not use it keep their bytes.
    if (Verify) {
        putBool(out, "Verify", Verify);
    }
    out += kLineEnd;

    for (const auto& entry : EntryList) {
        const std::string_view name = TrimBlanks(entry->Name);
        if (holdsLineBreak(name)) {
            refuse("the name of section [" + std::string(name) + "] holds a line break.");
        }
        if (SameNameIgnoringCase(name, kParameterSection)) {
            refuse("a section cannot be named " + std::string(kParameterSection) + ".");
        }
        out += "[";
        out += name;
        out += "]";
        out += kLineEnd;
        putValue(out, name, "Zip", entry->Zip);
        putBool(out, "Compress", entry->Compress);
        putValue(out, name, "Dir", entry->Dir);
        putValue(out, name, "Suffix", entry->Suffix);
        putValue(out, name, "Ignore", entry->Ignore);
        putBool(out, "Recurse", entry->Recurse);
        putBool(out, "DirName", entry->DirName);
        // Comments are never set and never read back; the key is written empty.
        out += "Comments=";
        out += kLineEnd;
        out += kLineEnd;
    }
    return out;
}

void TpxBatchList::SaveToFile(const std::string& fileName) const
{
    const std::string text = BatchFileText();
    if (fileName.empty()) {
        throw EInOutError(fileName, ENOENT, "Cannot save the batch file");
    }
    WriteBatchFile(fileName, text);
}

bool CanStorePassword(std::string_view password)
{
    const std::string_view plain = TrimBlanks(password);
    return plain.empty() || !holdsLineBreak(ScramblePassword(plain, ScrambleKey()));
}

void BuildMaskList(const TBatchEntry& entry, std::string_view text, std::vector<std::string>& masks, bool complete)
{
    const std::size_t first = masks.size();
    BuildMaskList(text, masks, complete);
    if (entry.Compress && entry.DirName) {
        const std::string prefix = IncludeTrailingPathDelimiter(entry.Dir);
        for (std::size_t i = first; i < masks.size(); ++i) {
            masks[i].insert(0, prefix);
        }
    }
}

std::string DefaultZipMask(const TBatchEntry& entry)
{
    if (entry.Compress && entry.DirName) {
        return IncludeTrailingPathDelimiter(entry.Dir) + "*.*";
    }
    return "*.*";
}

bool MatchesMaskList(const std::vector<std::string>& masks, std::string_view name, bool whenEmpty)
{
    if (masks.empty()) {
        return whenEmpty;
    }
    for (const std::string& mask : masks) {
        if (MatchesMask(mask, name)) {
            return true;
        }
    }
    return false;
}
