#pragma once
// Reader for initialisation-file text (the layout of batch files):
//
//   [Section]
//   Key=Value
//
// - Lines end with CR LF, LF or CR (mixed endings are fine). There are no length limits. A UTF-8
//   byte-order mark at the start of the text is skipped.
// - A line whose first non-blank byte is "[" starts a section; its name is the text between that
//   "[" and the last "]" of the line (the rest of the line when there is no "]"), without blanks
//   around it. Blanks are the bytes 0 to 32.
// - Inside a section, a line holding "=" is a key line: the key is the text before the first "=",
//   the value the text after it, both without surrounding blanks; a value that then starts and
//   ends with the same double or single quote (at least two bytes) loses that one pair of quotes.
//   Other lines, and every line before the first section, are ignored.
// - Section and key names are compared without regard to the case of a to z.
// - Sections are kept in file order. A section name that occurs more than once gives one section
//   per occurrence, each with its own keys, so nothing a hand-edited file holds is lost. Within
//   one section the first line of a key counts.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class IniFile
{
public:
    struct Section
    {
        std::string Name;
        std::vector<std::pair<std::string, std::string>> Values; // key, value, in file order
        // The line (from 1) of each value, parallel to Values, and of the section's header.
        std::vector<int> Lines;
        int Line = 0;
    };

    // Parses the text of a whole file.
    static IniFile Parse(std::string_view text);

    const std::vector<Section>& Sections() const { return m_sections; }

    // The value of a key of a section, or nullptr when the section has no such key.
    static const std::string* Find(const Section& section, std::string_view key);
    // The value of a key, or `fallback` when the key is missing.
    static std::string ReadString(const Section& section, std::string_view key, const std::string& fallback);
    // The value read as a boolean (ParseBoolean), or `fallback` when the key is missing or its
    // value is not a number.
    static bool ReadBool(const Section& section, std::string_view key, bool fallback);

    // Reads a whole number: an optional sign, then decimal digits, or hexadecimal digits after
    // "0x", "0X" or "$". Gives false when the text, as a whole, is not such a number (an empty
    // text, "yes", "2abc", "0x" alone). `nonZero` is set when the number is not 0; numbers of any
    // length are accepted.
    static bool ParseBoolean(std::string_view text, bool& nonZero);

private:
    std::vector<Section> m_sections;
};

// True when the two names are equal without regard to the case of a to z.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
