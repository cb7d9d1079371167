#pragma once
// Loading a library at run time and finding a function in it (dlopen on Linux, LoadLibrary on
// Windows), and the folder of the running program, where such libraries are looked for first.

#include <string>

using ModuleHandle = void*;

// Loads the library at `path` (a bare name is searched the platform's way). Returns nullptr on
// failure, with the loader's own text (which names the file and the cause) in `error`. The library
// stays loaded until the process ends.
ModuleHandle OpenModule(const std::string& path, std::string& error);

// The address of the exported function `name` of a loaded library; nullptr on failure, with the
// loader's text in `error`.
void* ModuleFunction(ModuleHandle module, const char* name, std::string& error);

// The folder of the running program without a trailing separator; empty when it cannot be found.
std::string ProgramFolder();
