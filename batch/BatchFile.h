#pragma once
// A batch file on disk: read whole, and replaced whole.

#include <string>
#include <string_view>

// Reads the whole file into `text`; false when it does not exist. Raises EInOutError naming the file
// when it exists but cannot be read, or is no plain file (a folder, or a FIFO or device that could
// block or never end).
bool ReadBatchFile(const std::string& fileName, std::string& text);

// Replaces the file with `bytes`: a new file beside it (through a symbolic link, beside the file the
// link leads to), with the old file's permissions, flushed to disk and renamed over the old one. On
// failure it raises EInOutError naming the file and the system's reason; the new file is removed and
// the old one is untouched.
//
// The new file is named "<file name>.vorland-tmp-XXXXXX" and locked while it is written. Such files
// that nobody holds locked are what saves that were killed left behind: they are removed first. A
// file another program is writing under that name keeps its lock and is left alone; other files
// beside the batch file ("b.vrl.backup") are never touched.
void WriteBatchFile(const std::string& fileName, std::string_view bytes);

// The name part that marks the temporary files of WriteBatchFile.
inline constexpr std::string_view kBatchTempMarker = ".vorland-tmp-";
