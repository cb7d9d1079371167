// Climbing out through its own layer's folder.
#include "core/../ui/p_fmain.h"
