#include "batch/p_BatchList.h"
#include "ui/p_fmain.h"
