// zipengine-driver: runs one add operation of libzipengine.so (loaded from this program's folder)
// and prints every callback, one per line. For tests and benchmarks, not for users.
//
// Usage: zipengine-driver [options] ARCHIVE [SPEC...]
//   -C DIR        base folder of relative specifications
//   -r            recurse into subfolders (block flag; ">" before a spec forces it, "|" forbids it)
//   -u / -f       update / freshen
//   -e            encrypt;  -P PASSWORD  the block's password; a spec "pattern<pw" has its own
//   -x MASK       exclusion (repeatable)
//   -H            take hidden files;  -j  store names without folders;  -D  no folder entries
//   -m            move (delete the files once stored)
//   -0 ... -9     level (default 9)
//   -S SUFFIXES   store suffixes (".gif:.png"); "default" for the program's default list
//   -T DIR        temporary folder;  -z TEXT  archive comment
//   --stop-after N      answer "stop" to the N-th progress callback
//   --password-answer P answer P when the engine asks for a password
//   -q            print no progress (action 2) lines
//
// The block is built by the zip component's block builder, as for the program. Exit code: 0 when
// the operation ran to its end (files it had to skip are reported as action-4 lines with codes
// below ZIP_MSG_FATAL_FIRST), 1 when the engine stopped with a failure or on request (a code from
// ZIP_MSG_FATAL_FIRST on; the archive was left as it was), 2 for a usage error, 3 when the library
// cannot be loaded.

#include "zipcomp/ZipExecBlock.h"
#include "zipengine/ZipEngineApi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct DriverState
{
    long stopAfter = -1;
    long progressCount = 0;
    std::string passwordAnswer;
    bool quiet = false;
    bool failed = false; // a message from ZIP_MSG_FATAL_FIRST on came
};

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoLibrary = 3;

DriverState g_state;

int32_t onCallback(ZipCallbackRec* rec)
{
    if (rec->Action == ZIP_ACTION_PROGRESS) {
        ++g_state.progressCount;
    }
    if (rec->Action == ZIP_ACTION_MESSAGE && rec->Arg1 >= ZIP_MSG_FATAL_FIRST) {
        g_state.failed = true;
    }
    if (!(g_state.quiet && rec->Action == ZIP_ACTION_PROGRESS)) {
        std::printf("action=%d arg1=%d arg2=%d size=%lld text=%s\n", rec->Action, rec->Arg1, rec->Arg2,
                    static_cast<long long>(rec->Size64), rec->Text);
        std::fflush(stdout);
    }
    if (rec->Action == ZIP_ACTION_PASSWORD) {
        std::snprintf(rec->Text, ZIP_CALLBACK_TEXT_SIZE, "%.80s", g_state.passwordAnswer.c_str());
        rec->Arg1 = g_state.passwordAnswer.empty() ? 0 : 1;
        rec->Arg2 = 0;
    }
    if (rec->Action == ZIP_ACTION_PROGRESS && g_state.stopAfter >= 0 && g_state.progressCount >= g_state.stopAfter) {
        return -1;
    }
    return 0;
}

std::string ownFolder()
{
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) {
        return ".";
    }
    path.resize(static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/'));
}

int usage()
{
    std::fprintf(stderr, "usage: zipengine-driver [options] ARCHIVE [SPEC...] (see the source for options)\n");
    return kExitUsage;
}

// Fills the block's settings from the command line; false on a usage error.
bool readArguments(int argc, char** argv, ZipBlockSettings& settings)
{
    settings.callback = onCallback;
    settings.howToDelete = DeleteOpts::htdFinal;
    settings.options = {AddOpt::AddDirNames, AddOpt::AddSeparateDirs};
    std::string suffixes;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "-C" && (v = value())) {
            settings.rootDir = v;
        } else if (arg == "-r") {
            settings.options.Include(AddOpt::AddRecurseDirs);
        } else if (arg == "-u") {
            settings.options.Include(AddOpt::AddUpdate);
        } else if (arg == "-f") {
            settings.options.Include(AddOpt::AddFreshen);
        } else if (arg == "-e") {
            settings.options.Include(AddOpt::AddEncrypt);
        } else if (arg == "-P" && (v = value())) {
            settings.password = v;
        } else if (arg == "-x" && (v = value())) {
            settings.excludes.emplace_back(v);
        } else if (arg == "-H") {
            settings.options.Include(AddOpt::AddHiddenFiles);
        } else if (arg == "-j") {
            settings.options.Exclude(AddOpt::AddDirNames);
        } else if (arg == "-D") {
            settings.options.Exclude(AddOpt::AddSeparateDirs);
        } else if (arg == "-m") {
            settings.options.Include(AddOpt::AddMove);
        } else if (arg.size() == 2 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9') {
            settings.level = arg[1] - '0';
        } else if (arg == "-S" && (v = value())) {
            suffixes = v;
        } else if (arg == "-T" && (v = value())) {
            settings.tempDir = v;
        } else if (arg == "-z" && (v = value())) {
            settings.archiveComment = v;
        } else if (arg == "--stop-after" && (v = value())) {
            g_state.stopAfter = std::atol(v);
        } else if (arg == "--password-answer" && (v = value())) {
            g_state.passwordAnswer = v;
        } else if (arg == "-q") {
            g_state.quiet = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return false;
        } else if (settings.archivePath.empty()) {
            settings.archivePath = arg;
        } else {
            settings.specs.push_back(arg);
        }
    }
    if (settings.archivePath.empty()) {
        return false;
    }
    if (suffixes == "default") {
        // The program's default: every suffix but "exe".
        for (unsigned i = 0; i + 1 < ZIP_STORE_SUFFIX_COUNT; ++i) {
            settings.storeSuffixes.Include(static_cast<AddStoreExt>(i));
        }
    } else if (!ZipExecBlock::StoreSuffixSet(suffixes, settings.storeSuffixes)) {
        return false;
    }
    if (!settings.rootDir.empty() && settings.rootDir.back() != '/') {
        settings.rootDir += '/';
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    ZipBlockSettings settings;
    if (!readArguments(argc, argv, settings)) {
        return usage();
    }

    const std::string library = ownFolder() + "/libzipengine.so";
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", library.c_str(), dlerror());
        return kExitNoLibrary;
    }
    auto version = reinterpret_cast<GetZipEngineVersionFn>(dlsym(handle, ZIP_ENGINE_VERSION_EXPORT));
    auto exec = reinterpret_cast<ZipEngineExecFn>(dlsym(handle, ZIP_ENGINE_EXEC_EXPORT));
    if (version == nullptr || exec == nullptr) {
        std::fprintf(stderr, "%s lacks its exports\n", library.c_str());
        dlclose(handle);
        return kExitNoLibrary;
    }
    const int engineVersion = version();
    std::printf("version=%d\n", engineVersion);
    int32_t result = 0;
    {
        ZipExecBlock block(settings, engineVersion);
        result = exec(block.Data());
    }
    std::printf("result=%d\n", result);
    dlclose(handle);
    return g_state.failed ? kExitFailed : kExitDone;
}
