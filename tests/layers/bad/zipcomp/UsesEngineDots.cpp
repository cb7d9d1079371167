// Climbing out through an allowed folder.
#include "zipengine/../../ui/p_fmain.h"
