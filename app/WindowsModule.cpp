#include "app/WindowsModule.h"

#include "app/ModuleLoading.h"
#include "app/WindowsEntry.h"
#include "pathrules/PathRules.h"

const char* TWindowsModule::FileName()
{
    return VORLAND_WINDOWS_MODULE;
}

std::string TWindowsModule::ChoosePath(const std::string& programFolder)
{
    if (!programFolder.empty()) {
        for (const char* folder : {"/", "/../lib/vorland/"}) {
            std::string candidate = programFolder + folder + FileName();
            if (isRegularFile(candidate)) {
                return candidate;
            }
        }
    }
    return FileName();
}

bool TWindowsModule::Load(const std::string& path)
{
    m_entry = nullptr;
    m_usage = nullptr;
    std::string why;
    ModuleHandle module = OpenModule(path, why);
    if (module != nullptr) {
        m_entry = ModuleFunction(module, VORLAND_WINDOWS_ENTRY, why);
    }
    if (m_entry != nullptr) {
        m_usage = ModuleFunction(module, VORLAND_USAGE_ENTRY, why);
    }
    if (m_entry == nullptr || m_usage == nullptr) {
        m_entry = nullptr;
        m_error = "cannot load the window module " + path + " (" + why + ")";
        return false;
    }
    m_error.clear();
    return true;
}

int TWindowsModule::Run(int& argc, char** argv, const std::vector<std::string>& arguments, bool& batchMode) const
{
    std::vector<const char*> texts;
    texts.reserve(arguments.size());
    for (const auto& argument : arguments) {
        texts.push_back(argument.c_str());
    }
    int batch = batchMode ? 1 : 0;
    const auto entry = reinterpret_cast<VorlandRunWithWindowsFn>(m_entry);
    const int code = entry(&argc, argv, static_cast<int>(texts.size()), texts.data(), &batch);
    batchMode = batch != 0;
    return code;
}

int TWindowsModule::ShowUsage(int& argc, char** argv, const std::string& text) const
{
    const auto entry = reinterpret_cast<VorlandShowUsageFn>(m_usage);
    return entry(&argc, argv, text.c_str());
}
