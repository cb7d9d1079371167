// The two exports of libzipengine.so. Nothing but plain data crosses them: every error inside is
// turned into one action-4 message and a result of 0.

#include "Callbacks.h"
#include "EngineError.h"
#include "ZipOperation.h"
#include "zipengine/ZipEngineApi.h"

#include <new>

#define ZIPENGINE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Reports the failure; a callback that itself fails at this point is ignored.
void reportFailure(zipengine::CallbackChannel& channel, ZipEngineMessageCode code, const std::string& text)
{
    try {
        channel.message(code, text);
    } catch (...) {
    }
}

} // namespace

ZIPENGINE_EXPORT int32_t GetZipEngineVersion(void)
{
    return ZIP_ENGINE_INTERFACE_VERSION;
}

ZIPENGINE_EXPORT int32_t ZipEngineExec(void* params)
{
    if (params == nullptr) {
        return 0;
    }
    const auto& block = *static_cast<const ZipExecParams*>(params);
    zipengine::CallbackChannel channel(block.Callback, block.Handle, block.Caller);
    try {
        return zipengine::runZipOperation(block, channel);
    } catch (const zipengine::EngineError& e) {
        reportFailure(channel, e.code(), e.what());
    } catch (const std::bad_alloc&) {
        reportFailure(channel, ZIP_MSG_NO_MEMORY, "out of memory; the archive was not changed");
    } catch (const std::exception& e) {
        reportFailure(channel, ZIP_MSG_INTERNAL, std::string(e.what()) + "; the archive was not changed");
    } catch (...) {
        reportFailure(channel, ZIP_MSG_INTERNAL, "unexpected failure; the archive was not changed");
    }
    return 0;
}
