#include "app/ModuleLoading.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <vector>

#ifdef _WIN32

namespace {

std::string lastError()
{
    char* text = nullptr;
    const DWORD code = ::GetLastError();
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = text != nullptr ? text : "error " + std::to_string(code);
    ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
        result.pop_back();
    }
    return result;
}

} // namespace

ModuleHandle OpenModule(const std::string& path, std::string& error)
{
    HMODULE module = ::LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = path + ": " + lastError();
    }
    return reinterpret_cast<ModuleHandle>(module);
}

void* ModuleFunction(ModuleHandle module, const char* name, std::string& error)
{
    FARPROC function = ::GetProcAddress(reinterpret_cast<HMODULE>(module), name);
    if (function == nullptr) {
        error = std::string(name) + ": " + lastError();
    }
    return reinterpret_cast<void*>(function);
}

std::string ProgramFolder()
{
    std::vector<char> buffer(32768);
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    const std::string path(buffer.data(), n);
    const auto separator = path.find_last_of("\\/");
    return n == 0 || separator == std::string::npos ? std::string() : path.substr(0, separator);
}

#else

ModuleHandle OpenModule(const std::string& path, std::string& error)
{
    ::dlerror();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = ::dlerror();
        error = why != nullptr ? why : path;
    }
    return module;
}

void* ModuleFunction(ModuleHandle module, const char* name, std::string& error)
{
    ::dlerror();
    void* function = ::dlsym(module, name);
    if (function == nullptr) {
        const char* why = ::dlerror();
        error = why != nullptr ? why : name;
    }
    return function;
}

std::string ProgramFolder()
{
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return {};
    }
    const std::string path(buffer.data(), static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

#endif
