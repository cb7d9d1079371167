#pragma once
// The file-name pattern matcher shared by the program's file selection and the zip engine.

#include <string_view>

// True when the whole name matches the mask. Letters a to z are compared without regard to case
// (other bytes as they are). "*" matches any run of characters, also an empty one; "?" exactly one
// character; "[set]" one character of the set, "[^set]" one character outside it, "a-z" inside a
// set an inclusive range of character codes. A set that is not closed, or a "[" directly followed
// by the end of the mask, "[" or "]", never matches. Runs in O(mask x name) time whatever the input.
bool MatchesMask(std::string_view mask, std::string_view name);
