#pragma once
// The program's side of the window module: finding it, loading it and starting the windows through
// it. The module is looked for beside the program (the build tree), then in ../lib/vorland from the
// program's folder (an installed tree), then by its bare name through the system's library search.

#include <string>
#include <vector>

class TWindowsModule
{
public:
    // The module's file name on this platform.
    static const char* FileName();

    // The path to load, in the order above: the first candidate that is an existing regular file,
    // else the bare file name.
    static std::string ChoosePath(const std::string& programFolder);

    // Loads the module at `path` and finds its entries. False on failure, with one line in Error()
    // that names the module file and the loader's reason. A loaded module stays loaded.
    bool Load(const std::string& path);
    const std::string& Error() const { return m_error; }

    // Runs the program with windows through the loaded module (see WindowsEntry.h): the exit code, or
    // kDisplayLost before anything ran. `batchMode` is cleared when the batch file cannot be opened.
    int Run(int& argc, char** argv, const std::vector<std::string>& arguments, bool& batchMode) const;
    // Shows the usage text in a message box through the loaded module: 0, or kDisplayLost.
    int ShowUsage(int& argc, char** argv, const std::string& text) const;

private:
    void* m_entry = nullptr;
    void* m_usage = nullptr;
    std::string m_error;
};
