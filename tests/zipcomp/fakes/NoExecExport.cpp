// A library that exports GetZipEngineVersion but not ZipEngineExec.
#include "zipengine/ZipEngineApi.h"

extern "C" __attribute__((visibility("default"))) int32_t GetZipEngineVersion(void)
{
    return 160;
}
