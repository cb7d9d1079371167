#pragma once
// Small text and path operations shared by the framework and the program, and the keyed password
// scrambling of batch files. Directory walking (FileSearch.h), file times (FileTime.h) and the
// name matcher (MaskMatch.h) have units of their own and are included here for convenience.
// All functions are plain and may be called from any thread.

#include "core/FileSearch.h"
#include "core/FileTime.h"
#include "maskmatch/MaskMatch.h"

#include <string>
#include <string_view>

// The path separator of the platform.
inline constexpr char kPathDelimiter = '/';

// Scrambles a password with a key: a keyed, reversible byte transformation (not encryption).
// Every byte is added to the key byte of its position (the key repeats), modulo 255, then
// complemented. The result has the same length. With an empty key only the complement is taken.
std::string ScramblePassword(std::string_view password, std::string_view key);

// Reverses ScramblePassword with the same key. The byte 255 cannot survive the round trip: it
// comes back as 0 (the addition is modulo 255).
std::string UnscramblePassword(std::string_view scrambled, std::string_view key);

// The text without any "&" (captions carry "&" before their accelerator letter).
std::string StripAmpersands(std::string_view text);

// The path with one trailing separator added when it does not already end with one. The empty
// path stays empty (it names no folder).
std::string IncludeTrailingPathDelimiter(std::string_view path);

// True when the bytes 0 to 32 count as blanks for trimming (the batch file's rule).
inline bool IsBlankByte(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// The text without leading and trailing bytes 0 to 32.
std::string_view TrimBlanks(std::string_view text);

// The text as it may go to a terminal or a log: control characters (bytes 0 to 31 and 127, and the
// C1 controls U+0080 to U+009F) and bytes that are not part of valid UTF-8 are written as "\xHH",
// so that a file or section name cannot move the cursor, recolour or clear the screen. Everything
// else, other languages' letters included, stays as it is.
std::string EscapeControls(std::string_view text);

// EscapeControls of each line of the text; the line feeds between lines stay.
std::string EscapeControlsByLine(std::string_view text);
