#pragma once
// Finding and loading the zip engine library, and binding its exports: the two every engine has,
// and the read export of engines that read archives.

#include "zipengine/ZipEngineApi.h"
#include "zipengine/ZipReadApi.h"

#include <string>

// One loaded engine library. Not copyable; unloads itself when destroyed.
class ZipEngineLibrary
{
public:
    enum class LoadResult
    {
        Loaded,
        NotLoadable,
        NoExecExport,
        NoVersionExport
    };

    ZipEngineLibrary() = default;
    ~ZipEngineLibrary() { Unload(); }
    ZipEngineLibrary(const ZipEngineLibrary&) = delete;
    ZipEngineLibrary& operator=(const ZipEngineLibrary&) = delete;

    // The file name of the library on this platform.
    static const char* FileName();

    // The path to load: dllDirectory + "/" + FileName() when that is an existing regular file;
    // otherwise the same name in the folder of the running executable when it exists there, or in
    // ../lib/vorland from that folder (an installed tree); otherwise the bare name, found by the
    // system's library search.
    static std::string ChoosePath(const std::string& dllDirectory);

    // Loads the library at `path` and binds both exports, and the read export when the library has
    // it. On any failure nothing stays loaded and Error() describes the cause (the loader's own text
    // for NotLoadable). A library without the read export still loads: Read() is then null and
    // ReadError() names what is missing.
    LoadResult Load(const std::string& path);
    void Unload();

    bool IsLoaded() const { return m_handle != nullptr; }
    void* Handle() const { return m_handle; }
    const std::string& Error() const { return m_error; }
    const std::string& Path() const { return m_path; }

    ZipEngineExecFn Exec() const { return m_exec; }
    GetZipEngineVersionFn Version() const { return m_version; }
    ZipEngineReadFn Read() const { return m_read; }
    std::string ReadError() const { return m_path + ": no " ZIP_READ_EXPORT; }

private:
    void* m_handle = nullptr;
    ZipEngineExecFn m_exec = nullptr;
    GetZipEngineVersionFn m_version = nullptr;
    ZipEngineReadFn m_read = nullptr;
    std::string m_error;
    std::string m_path;
};
