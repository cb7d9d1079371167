// A window reaching into the engine's private sources.
#include "engine/src/ZipOperation.h"
