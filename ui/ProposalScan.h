#pragma once
// The extension proposals scan as the windows run it: a wait cursor, the windows kept painting and
// answering while the folders are read, and Esc stopping the scan with what was found so far.
// GUI thread only.

#include "ui/ExtensionProposals.h"

#include <string>

// Gathers the patterns of `dir` (recursively with `recurse`) into `list`; see GatherExtensions.
TExtensionScan ScanExtensionsResponsive(TExtensionList& list, const std::string& dir, bool recurse);
