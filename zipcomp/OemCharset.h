#pragma once
// Entry names written by MS-DOS and OS/2 hosts use the OEM code page (437). This program's texts
// are UTF-8, so such names are turned into UTF-8 for display.

#include <cstdint>
#include <string>

#include "zipcomp/ZipTypes.h"

namespace oem {

// Code page 437 to UTF-8: bytes below 128 stay, every other byte becomes its character.
std::string Cp437ToUtf8(const std::string& text);

// Whether a name or comment of an entry is in the OEM code page: never when the entry says it is
// UTF-8 (flag bit 11); otherwise when the code page setting is cpOEM, or cpAuto and the host is
// MS-DOS, or the host is OS/2 HPFS (6), or it is NTFS (11) written by version 5.0.
bool IsOemText(CodePageOpts codePage, std::uint8_t hostSystem, std::uint8_t madeByVersion, std::uint16_t flags);

} // namespace oem
