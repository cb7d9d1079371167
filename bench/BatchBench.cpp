// Batch model benchmark: loading a batch file of 10,000 sections (against Python's configparser on
// the same file), and walking a tree of 100,000 files with FindFilesRecursive (against find).
// Usage: BatchBench [folder for the generated files]   (default: the system's temporary folder)

#include "batch/p_BatchList.h"
#include "core/FileSearch.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kSections = 10000;
constexpr int kTopDirs = 100;
constexpr int kSubDirs = 10;
constexpr int kFilesPerDir = 100; // 100 x 10 x 100 = 100,000 files
constexpr int kRepeats = 3;

// Best wall time of several runs, in seconds.
double bestOf(const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

// Runs a shell command line and returns the first line it prints.
std::string runShell(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char line[256];
        if (std::fgets(line, sizeof line, pipe) != nullptr) {
            out = line;
        }
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
        }
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

std::string quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

void benchLoad(const fs::path& work)
{
    const fs::path file = work / "big.vrl";
    TpxBatchList list;
    list.Before = "sh -c 'echo start'";
    list.Password = "abc";
    for (int i = 0; i < kSections; ++i) {
        const std::string n = std::to_string(i);
        list.AddEntry(std::make_unique<TBatchEntry>("Section " + n, "/backup/archive" + n + ".zip",
                                                    "/home/user/data/" + n, "*.txt;*.doc;\"my file.odt\"", "bak tmp",
                                                    i % 2 == 0, i % 3 == 0, i % 5 != 0));
    }
    const double save = bestOf([&] { list.SaveToFile(file.string()); });
    int count = 0;
    const double load = bestOf([&] {
        TpxBatchList loaded;
        loaded.LoadFromFile(file.string());
        count = loaded.Count();
    });
    std::printf("Batch file: %d sections, %.1f KB\n", count, static_cast<double>(fs::file_size(file)) / 1024.0);
    std::printf("  SaveToFile (with fsync)       %8.1f ms\n", save * 1000);
    std::printf("  LoadFromFile                  %8.1f ms\n", load * 1000);

    const std::string python = "python3 -c \"import configparser,sys,time; c=configparser.ConfigParser(strict=False, "
                               "interpolation=None); t=time.perf_counter(); c.read(sys.argv[1]); "
                               "print(time.perf_counter()-t, len(c.sections()))\" " +
                               quoted(file) + " 2>/dev/null";
    double peer = 1e300;
    std::string peerOut;
    for (int i = 0; i < kRepeats; ++i) {
        peerOut = runShell(python);
        if (!peerOut.empty()) {
            peer = std::min(peer, std::atof(peerOut.c_str()));
        }
    }
    if (peer < 1e300) {
        std::printf("  python3 configparser read     %8.1f ms  (sections: %s)\n", peer * 1000,
                    peerOut.substr(peerOut.find(' ') + 1).c_str());
        std::printf("  ratio configparser / LoadFromFile: %.2f\n", peer / load);
    } else {
        std::printf("  python3 not available: no peer figure\n");
    }
}

void makeTree(const fs::path& root)
{
    const fs::path done = root.string() + ".done";
    if (fs::exists(done)) {
        return;
    }
    for (int t = 0; t < kTopDirs; ++t) {
        for (int s = 0; s < kSubDirs; ++s) {
            const fs::path dir = root / ("d" + std::to_string(t)) / ("s" + std::to_string(s));
            fs::create_directories(dir);
            for (int f = 0; f < kFilesPerDir; ++f) {
                std::ofstream(dir / ("file" + std::to_string(f) + ".txt")) << f;
            }
        }
    }
    std::ofstream(done) << "";
}

void benchWalk(const fs::path& work)
{
    const fs::path root = work / "tree";
    makeTree(root);
    long found = 0;
    long long bytes = 0;
    auto walk = [&] {
        found = 0;
        bytes = 0;
        FindFilesRecursive((root / "*.*").string(), [&](const std::string&, const TSearchRec& record) {
            ++found;
            bytes += record.Size;
        });
    };
    walk(); // warm the cache
    const double ours = bestOf(walk);
    long named = 0;
    const double namesOnly = bestOf([&] {
        named = 0;
        FindFilesRecursiveWith(TSearchDetails::NamesOnly, (root / "*.*").string(),
                               [&](const std::string&, const TSearchRec&) { ++named; });
    });
    std::string findCount;
    const double find = bestOf([&] { findCount = runShell("find " + quoted(root) + " -type f | wc -l"); });
    std::string findStatCount;
    const double findStat =
        bestOf([&] { findStatCount = runShell("find " + quoted(root) + " -type f -printf '%s %T@\\n' | wc -l"); });
    std::printf("Tree walk: %ld files (%lld bytes) found by FindFilesRecursive\n", found, bytes);
    std::printf("  FindFilesRecursive (name, size, time)    %8.1f ms\n", ours * 1000);
    std::printf("  FindFilesRecursive (names only)          %8.1f ms  (%ld files)\n", namesOnly * 1000, named);
    std::printf("  find -type f | wc -l                     %8.1f ms  (%s files)\n", find * 1000, findCount.c_str());
    std::printf("  find -type f -printf '%%s %%T@' | wc -l    %8.1f ms  (%s files)\n", findStat * 1000,
                findStatCount.c_str());
    std::printf("  ratio find -type f / FindFilesRecursive names only: %.2f\n", find / namesOnly);
    std::printf("  ratio find -printf size and time / FindFilesRecursive full: %.2f\n", findStat / ours);
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const fs::path work = base / ("vorland-batchbench-" + std::to_string(::getpid()));
    fs::create_directories(work);
    benchLoad(work);
    benchWalk(work);
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
