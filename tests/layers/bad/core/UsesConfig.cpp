// A core file reaching into the windowed framework.
#include "framework/config.h"
