#pragma once
// The UTF-8 rules the program's texts share: which bytes are UTF-8, and a character written as it.

#include <string>
#include <string_view>

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Appends `c`, a character of the Basic Multilingual Plane, as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
