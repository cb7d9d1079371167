#pragma once
// Turning stored entry names into paths under a destination folder, refusing every name that could
// lead out of it.

#include <optional>
#include <string>
#include <string_view>

namespace restore {

// The entry name as a relative path: backslashes taken as folder separators, "." and empty
// components dropped, no trailing "/". Empty when the name could lead outside the destination: an
// absolute path, a drive letter ("C:"), a ".." component, a NUL byte, or nothing left at all. The
// name's bytes are kept as they are (names that are not valid UTF-8 too).
std::optional<std::string> safeRelativePath(std::string_view name);

// Whether a symbolic link at `linkPath` (relative to the destination) with target `target` stays
// inside the destination when followed: a relative target whose ".." never climb above it.
bool linkStaysInside(std::string_view linkPath, std::string_view target);

// Whether the stored name (or one of its parent folders) is chosen by `pattern`: the same relative
// path, or a mask matching it (the program's matcher, "*" also across "/"), or the name of the
// entry's last component when the pattern has no "/".
bool nameChosen(std::string_view relativePath, std::string_view pattern);

} // namespace restore
