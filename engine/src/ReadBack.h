#pragma once
// Reading a freshly written archive back before it replaces the old one: every entry written by
// this call is decompressed (and decrypted) and checked against the CRC-32 and size of its central
// header, and every entry's local header against the directory. The file is synced and its cached
// pages dropped first where the system allows, so the check reads what reached the disk.
//
// Test seam (read at each call; nothing happens when unset):
//   VORLAND_FAULT_VERIFY=flip:NAME   a byte in the middle of entry NAME's data is inverted on disk
//                        size:NAME   entry NAME's central header gives one byte more than it holds
//                        truncate    the archive loses its last 100 bytes
//   applied to the new archive after it was written and synced, before it is read back.

#include <string>
#include <vector>

namespace zipengine {

struct ReadBackEntry
{
    std::string name;
    std::string password; // empty when not encrypted
};

// Reads back the archive at `path`. Raises EngineError(ZIP_MSG_VERIFY_FAILED) with the text
// "<entry name>\n<cause>" (no name when the archive as a whole does not read back).
void readBack(const std::string& path, const std::vector<ReadBackEntry>& written);

} // namespace zipengine
