#include "zipcomp/ZipEngineLoader.h"

#include "pathrules/PathRules.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

std::string ExecutableFolder()
{
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return {};
    }
    std::string path(buffer.data(), static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

const char* ZipEngineLibrary::FileName()
{
    return "libzipengine.so";
}

std::string ZipEngineLibrary::ChoosePath(const std::string& dllDirectory)
{
    if (!dllDirectory.empty()) {
        std::string candidate = dllDirectory + "/" + FileName();
        if (isRegularFile(candidate)) {
            return candidate;
        }
    }
    const std::string exeFolder = ExecutableFolder();
    if (!exeFolder.empty()) {
        std::string candidate = exeFolder + "/" + FileName();
        if (isRegularFile(candidate)) {
            return candidate;
        }
        // An installed tree keeps the engine in <prefix>/lib/vorland beside <prefix>/bin. Asked by
        // path, so the program finds it also where dlopen would not read the program's run path
        // (under a sanitizer's dlopen, for one).
        candidate = exeFolder + "/../lib/vorland/" + FileName();
        if (isRegularFile(candidate)) {
            return candidate;
        }
    }
    return FileName();
}

ZipEngineLibrary::LoadResult ZipEngineLibrary::Load(const std::string& path)
{
    Unload();
    m_path = path;
    ::dlerror();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = ::dlerror();
        m_error = why != nullptr ? why : path;
        return LoadResult::NotLoadable;
    }
    auto exec = reinterpret_cast<ZipEngineExecFn>(::dlsym(handle, ZIP_ENGINE_EXEC_EXPORT));
    auto version = reinterpret_cast<GetZipEngineVersionFn>(::dlsym(handle, ZIP_ENGINE_VERSION_EXPORT));
    if (exec == nullptr || version == nullptr) {
        ::dlclose(handle);
        m_error = std::string(path) + ": " + (exec == nullptr ? ZIP_ENGINE_EXEC_EXPORT : ZIP_ENGINE_VERSION_EXPORT);
        return exec == nullptr ? LoadResult::NoExecExport : LoadResult::NoVersionExport;
    }
    m_handle = handle;
    m_exec = exec;
    m_version = version;
    m_read = reinterpret_cast<ZipEngineReadFn>(::dlsym(handle, ZIP_READ_EXPORT));
    m_error.clear();
    return LoadResult::Loaded;
}

void ZipEngineLibrary::Unload()
{
    if (m_handle != nullptr) {
        ::dlclose(m_handle);
    }
    m_handle = nullptr;
    m_exec = nullptr;
    m_version = nullptr;
    m_read = nullptr;
}
