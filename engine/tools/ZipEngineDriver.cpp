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
};

DriverState g_state;

int32_t onCallback(ZipCallbackRec* rec)
{
    if (rec->Action == ZIP_ACTION_PROGRESS) {
        ++g_state.progressCount;
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
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    ZipExecParams block;
    std::memset(&block, 0, sizeof block);
    block.Version = ZIP_ENGINE_INTERFACE_VERSION;
    block.Callback = onCallback;
    block.Level = 9;
    block.AlwaysTrue56 = -1;
    block.AlwaysTrue80 = -1;
    block.Check = ZIP_EXEC_CHECK_VALUE;
    std::string rootDir, password, suffixes, tempDir, comment, archive;
    std::vector<std::string> excludes, specs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "-C" && (v = value())) {
            rootDir = v;
        } else if (arg == "-r") {
            block.Recurse = 0xFFFF;
        } else if (arg == "-u") {
            block.Update = -1;
        } else if (arg == "-f") {
            block.Freshen = -1;
        } else if (arg == "-e") {
            block.Encrypt = -1;
        } else if (arg == "-P" && (v = value())) {
            password = v;
        } else if (arg == "-x" && (v = value())) {
            excludes.emplace_back(v);
        } else if (arg == "-H") {
            block.HiddenFiles = -1;
        } else if (arg == "-j") {
            block.JunkDirNames = -1;
        } else if (arg == "-D") {
            block.NoDirEntries = -1;
        } else if (arg == "-m") {
            block.Move = -1;
        } else if (arg.size() == 2 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9') {
            block.Level = arg[1] - '0';
        } else if (arg == "-S" && (v = value())) {
            suffixes = v;
        } else if (arg == "-T" && (v = value())) {
            tempDir = v;
        } else if (arg == "-z" && (v = value())) {
            comment = v;
        } else if (arg == "--stop-after" && (v = value())) {
            g_state.stopAfter = std::atol(v);
        } else if (arg == "--password-answer" && (v = value())) {
            g_state.passwordAnswer = v;
        } else if (arg == "-q") {
            g_state.quiet = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return usage();
        } else if (archive.empty()) {
            archive = arg;
        } else {
            specs.push_back(arg);
        }
    }
    if (archive.empty()) {
        return usage();
    }
    if (suffixes == "default") {
        suffixes = ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar";
    }
    if (block.Update) {
        block.Freshen = 0;
    }

    // The file specification records, built as the zip component builds them.
    std::vector<ZipSpecData> records(specs.size());
    std::vector<std::string> patterns(specs.size()), ownPasswords(specs.size());
    for (std::size_t i = 0; i < specs.size(); ++i) {
        std::string line = specs[i];
        ZipSpecData& rec = records[i];
        std::memset(&rec, 0, sizeof rec);
        rec.Recurse = block.Recurse;
        rec.Encrypt = block.Encrypt;
        if (!line.empty() && (line[0] == '>' || line[0] == '|')) {
            rec.Recurse = line[0] == '>' ? 0xFFFF : 0;
            line.erase(0, 1);
        }
        const auto lt = line.find('<');
        bool own = false;
        if (lt != std::string::npos) {
            ownPasswords[i] = line.substr(lt + 1);
            line.erase(lt);
            own = true;
            rec.Encrypt = ownPasswords[i].empty() ? 0 : 0xFFFF;
        }
        patterns[i] = line;
        rec.FileSpec = patterns[i].c_str();
        rec.Password = own ? (ownPasswords[i].empty() ? nullptr : ownPasswords[i].c_str())
                           : (password.empty() ? nullptr : password.c_str());
        rec.RootDir = rootDir.empty() ? nullptr : rootDir.c_str();
    }
    std::vector<const char*> excludePointers;
    for (const auto& e : excludes) {
        excludePointers.push_back(e.c_str());
    }
    block.Password = password.empty() ? nullptr : password.c_str();
    block.StoreSuffixes = suffixes.empty() ? nullptr : suffixes.c_str();
    block.SpecCount = static_cast<int32_t>(records.size());
    block.Specs = records.data();
    block.ArchivePath = archive.c_str();
    block.TempDir = tempDir.empty() ? nullptr : tempDir.c_str();
    block.ArchiveComment = comment.empty() ? nullptr : comment.c_str();
    block.ExcludeCount = static_cast<int32_t>(excludePointers.size());
    block.Excludes = excludePointers.data();

    const std::string library = ownFolder() + "/libzipengine.so";
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", library.c_str(), dlerror());
        return 3;
    }
    auto version = reinterpret_cast<GetZipEngineVersionFn>(dlsym(handle, ZIP_ENGINE_VERSION_EXPORT));
    auto exec = reinterpret_cast<ZipEngineExecFn>(dlsym(handle, ZIP_ENGINE_EXEC_EXPORT));
    if (version == nullptr || exec == nullptr) {
        std::fprintf(stderr, "%s lacks its exports\n", library.c_str());
        return 3;
    }
    std::printf("version=%d\n", version());
    const int32_t result = exec(&block);
    std::printf("result=%d\n", result);
    dlclose(handle);
    return 0;
}
