#pragma once
// The functions the window module exports: the start-up with a display (the batch editor, or the
// unattended run of a batch that shows only the progress window), and the usage text's box. The
// program loads the module only when it opens windows, so a run in the console never maps the window
// libraries.
//
// Only plain C types cross between the program and the module; nothing is thrown across.

// Returned, before anything ran, when the display refused the connection.
constexpr int kDisplayLost = -1;

// The exported names, and the file of the module on this platform.
#define VORLAND_WINDOWS_ENTRY "VorlandRunWithWindows"
#define VORLAND_USAGE_ENTRY "VorlandShowUsage"
#ifdef _WIN32
#define VORLAND_WINDOWS_MODULE "vorland-windows.dll"
#else
#define VORLAND_WINDOWS_MODULE "libvorland-windows.so"
#endif

#ifdef _WIN32
#define VORLAND_WINDOWS_EXPORT __declspec(dllexport)
#else
#define VORLAND_WINDOWS_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// Runs the program with windows and returns the process's exit code, or kDisplayLost. argc and argv
// are handed to the application object (which may take its own options out of them); `arguments`
// are the command-line arguments without the program name, as the start-up read them.
// `*batchMode` is the start-up's BatchMode, set to 0 when the batch file cannot be opened.
typedef int (*VorlandRunWithWindowsFn)(int* argc, char** argv, int argumentCount, const char* const* arguments,
                                       int* batchMode);

// Shows `text` (lines ended by CR LF) in a plain message box with an OK button and returns once it was
// closed: 0, or kDisplayLost when no window could be shown.
typedef int (*VorlandShowUsageFn)(int* argc, char** argv, const char* text);
}
