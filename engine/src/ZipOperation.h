#pragma once
// One add operation: reads the parameter block, chooses the files, plans the new archive (entries
// carried over, replaced and added), compresses on worker threads, writes the temporary archive and
// puts it in place. Runs on the calling thread; raises EngineError or StopRequested on failure,
// leaving the previous archive untouched and no temporary file behind.

#include "Callbacks.h"
#include "zipengine/ZipEngineApi.h"

#include <cstdint>

namespace zipengine {

// Returns the number of files added or replaced.
std::int32_t runZipOperation(const ZipExecParams& block, CallbackChannel& channel);

} // namespace zipengine
