// A core file climbing out of its folder.
#include "../ui/p_fmain.h"
