// A core file reaching into the windowed framework by a name that starts like its own folder.
#include "framework/config.h"
