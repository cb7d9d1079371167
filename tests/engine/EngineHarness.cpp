#include "EngineHarness.h"

#include "testkit/TestKit.h"
#include "zipcomp/ZipExecBlock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>

namespace enginetest {

namespace {

struct Library
{
    void* handle = nullptr;
    ZipEngineExecFn exec = nullptr;
    GetZipEngineVersionFn version = nullptr;

    Library()
    {
        const std::string path = (testkit::binDir() / "libzipengine.so").string();
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) {
            exec = reinterpret_cast<ZipEngineExecFn>(dlsym(handle, ZIP_ENGINE_EXEC_EXPORT));
            version = reinterpret_cast<GetZipEngineVersionFn>(dlsym(handle, ZIP_ENGINE_VERSION_EXPORT));
        }
    }
};

Library& library()
{
    static Library lib;
    return lib;
}

struct RunState
{
    const EngineOptions* options = nullptr;
    EngineResult* result = nullptr;
    int progressCount = 0;
};

int32_t recordCallback(ZipCallbackRec* rec)
{
    auto* state = static_cast<RunState*>(rec->Caller);
    Callback cb;
    cb.action = rec->Action;
    cb.arg1 = rec->Arg1;
    cb.arg2 = rec->Arg2;
    cb.size = rec->RecordVersion >= ZIP_CALLBACK_RECORD_WIDE ? rec->Size64 : rec->Arg2;
    cb.text.assign(rec->Text, strnlen(rec->Text, ZIP_CALLBACK_TEXT_SIZE));
    state->result->callbacks.push_back(cb);
    if (state->options->onCallback) {
        state->options->onCallback(cb);
    }
    if (rec->Action == ZIP_ACTION_PASSWORD) {
        const std::string& answer = state->options->passwordAnswer;
        std::snprintf(rec->Text, ZIP_CALLBACK_TEXT_SIZE, "%.80s", answer.c_str());
        rec->Arg1 = answer.empty() ? 0 : 1;
    }
    if (rec->Action == ZIP_ACTION_PROGRESS && state->options->stopAtProgress > 0 &&
        ++state->progressCount >= state->options->stopAtProgress) {
        return -1;
    }
    return 0;
}

} // namespace

std::vector<std::pair<int, std::string>> EngineResult::messages() const
{
    std::vector<std::pair<int, std::string>> out;
    for (const auto& cb : callbacks) {
        if (cb.action == ZIP_ACTION_MESSAGE) {
            out.emplace_back(cb.arg1, cb.text);
        }
    }
    return out;
}

std::vector<std::string> EngineResult::newFiles() const
{
    std::vector<std::string> out;
    for (const auto& cb : callbacks) {
        if (cb.action == ZIP_ACTION_NEW_FILE) {
            out.push_back(cb.text);
        }
    }
    return out;
}

int engineVersion()
{
    Library& lib = library();
    return lib.version != nullptr ? lib.version() : -1;
}

EngineResult runEngine(const EngineOptions& options)
{
    EngineResult result;
    Library& lib = library();
    if (lib.exec == nullptr) {
        ADD_FAILURE() << "cannot load libzipengine.so from " << testkit::binDir() << ": " << dlerror();
        return result;
    }
    RunState state{&options, &result, 0};

    // The block as the zip component builds it.
    ZipBlockSettings settings;
    settings.caller = &state;
    settings.callback = recordCallback;
    settings.password = options.password;
    if (!ZipExecBlock::StoreSuffixSet(options.storeSuffixes, settings.storeSuffixes)) {
        ADD_FAILURE() << "store suffixes the component cannot give: " << options.storeSuffixes;
        return result;
    }
    settings.options.Set(AddOpt::AddEncrypt, options.encrypt);
    settings.options.Set(AddOpt::AddHiddenFiles, options.hidden);
    settings.options.Set(AddOpt::AddSeparateDirs, !options.noDirEntries);
    settings.options.Set(AddOpt::AddDirNames, !options.junkNames);
    settings.options.Set(AddOpt::AddRecurseDirs, options.recurse);
    settings.options.Set(AddOpt::AddMove, options.move);
    settings.options.Set(AddOpt::AddUpdate, options.update);
    settings.options.Set(AddOpt::AddFreshen, options.freshen);
    settings.level = options.level;
    settings.specs = options.specs;
    settings.excludes = options.excludes;
    settings.archivePath = options.archive;
    settings.tempDir = options.tempDir;
    settings.archiveComment = options.comment;
    settings.rootDir =
        options.rootDir.empty() || options.rootDir.back() == '/' ? options.rootDir : options.rootDir + "/";
    settings.howToDelete = DeleteOpts::htdFinal;
    ZipExecBlock block(settings, lib.version != nullptr ? lib.version() : ZIP_ENGINE_INTERFACE_VERSION);

    result.result = lib.exec(block.Data());
    return result;
}

CheckResult checkZip(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"python3", (testkit::sourceDir() / "tests/engine/check_zip.py").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto run = testkit::runProcess(argv, {}, 600);
    return {run.exitCode, run.out + run.err};
}

} // namespace enginetest

namespace enginetest {

std::map<std::string, std::string> entryDigests(const std::string& archive, const std::string& password)
{
    std::vector<std::string> args = {archive, "--no-test"};
    if (!password.empty()) {
        args.insert(args.end(), {"--password", password});
    }
    const auto check = checkZip(args);
    EXPECT_EQ(check.exitCode, 0) << check.out;
    std::map<std::string, std::string> out;
    std::size_t pos = 0;
    while (pos < check.out.size()) {
        auto end = check.out.find('\n', pos);
        if (end == std::string::npos) {
            end = check.out.size();
        }
        const std::string line = check.out.substr(pos, end - pos);
        const auto tab = line.find('\t');
        if (tab != std::string::npos) {
            out[line.substr(0, tab)] = line.substr(tab + 1);
        }
        pos = end + 1;
    }
    return out;
}

void expectReadersAccept(const std::string& archive, const std::string& root, const std::string& password)
{
    std::vector<std::string> unzip = {"unzip", "-t", "-q"};
    if (!password.empty()) {
        unzip.insert(unzip.end(), {"-P", password});
    }
    unzip.push_back(archive);
    const auto u = testkit::runProcess(unzip, {}, 600);
    EXPECT_EQ(u.exitCode, 0) << "unzip -t " << archive << ":\n" << u.out << u.err;

    std::vector<std::string> seven = {"7z", "t", "-p" + password, archive};
    const auto s = testkit::runProcess(seven, {}, 600);
    EXPECT_EQ(s.exitCode, 0) << "7z t " << archive << ":\n" << s.out << s.err;

    std::vector<std::string> args = {archive};
    if (!root.empty()) {
        args.insert(args.end(), {"--root", root});
    }
    if (!password.empty()) {
        args.insert(args.end(), {"--password", password});
    }
    const auto p = checkZip(args);
    EXPECT_EQ(p.exitCode, 0) << "zipfile " << archive << ":\n" << p.out;
}

void expectSevenZipExtractsSame(const std::string& archive, const std::string& root, const std::string& into,
                                const std::string& password)
{
    const auto s = testkit::runProcess({"7z", "x", "-y", "-p" + password, "-o" + into, archive}, {}, 600);
    ASSERT_EQ(s.exitCode, 0) << s.out << s.err;
    namespace fs = std::filesystem;
    std::size_t compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(into)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const auto relative = fs::relative(entry.path(), into);
        EXPECT_EQ(testkit::readFile(entry.path()), testkit::readFile(fs::path(root) / relative)) << relative;
        ++compared;
    }
    EXPECT_GT(compared, 0u);
}

std::vector<std::string> folderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace enginetest
