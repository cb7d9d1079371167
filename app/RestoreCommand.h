#pragma once
// `vorland --test ARCHIVE` and `vorland --restore ARCHIVE --to FOLDER [NAME-OR-MASK...]`, without
// windows: progress and problems on standard error as in a batch run.

#include "app/LongOptions.h"

// Runs the command; returns the exit code: 0 all good, 1 problems (each named on standard error),
// 2 the archive cannot be read, is no archive, or the command line is wrong, 3 stopped by a signal.
int RunRestoreCommand(const TLongOptions& options);
