// Climbing out through its own layer's folder.
#include "framework/core/../../ui/p_fmain.h"
