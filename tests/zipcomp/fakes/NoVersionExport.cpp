// A library that exports ZipEngineExec but not GetZipEngineVersion.
#include "zipengine/ZipEngineApi.h"

extern "C" __attribute__((visibility("default"))) int32_t ZipEngineExec(void* /*params*/)
{
    return 0;
}
