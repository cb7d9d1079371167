// Editor benchmark (offscreen windows):
//  1. opening a batch file of 10,000 sections in the main window and selecting the last section,
//     painted, against loading the same file into the batch list alone (the floor);
//  2. the extension proposals scan of a tree of 100,000 files, through the window's responsive scan
//     (counting how often the window could repaint during it), against `find -type f` on the tree;
//  3. "source": leaving the Source page after pasting 5 MB of batch text (median of 3);
//  4. "suffix MB": opening a batch whose Suffix= value holds MB megabytes, with the peak memory of
//     the process against the file's size (one run per process, so the peak is this run's).
// Usage: QT_QPA_PLATFORM=offscreen EditorBench [folder for the generated files] [source | suffix MB]

#include "batch/p_BatchList.h"
#include "ui/ExtensionProposals.h"
#include "ui/ProposalScan.h"
#include "ui/p_fmain.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <sys/resource.h>
#include <vector>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kSections = 10000;
constexpr int kTopDirs = 100;
constexpr int kSubDirs = 10;
constexpr int kFilesPerDir = 100; // 100,000 files
constexpr int kExtensions = 37;

double Seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of this thread: what the work costs whatever else the machine runs.
double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void WriteBatch(const fs::path& file)
{
    std::ofstream out(file, std::ios::binary);
    out << "[BatchParameters]\r\nBefore=\r\nAfter=\r\nPassword=\r\nUpdateZip=1\r\n\r\n";
    for (int i = 0; i < kSections; ++i) {
        out << "[Section " << i << "]\r\nZip=/backup/s" << i << ".zip\r\nCompress=1\r\nDir=/data/s" << i
            << "\r\nSuffix=*.doc;*.txt\r\nIgnore=*.tmp\r\nRecurse=1\r\nDirName=0\r\nComments=\r\n\r\n";
    }
}

void WriteTree(const fs::path& root)
{
    if (fs::exists(root / "done"))
        return;
    int n = 0;
    for (int t = 0; t < kTopDirs; ++t) {
        for (int s = 0; s < kSubDirs; ++s) {
            const fs::path dir = root / ("t" + std::to_string(t)) / ("s" + std::to_string(s));
            fs::create_directories(dir);
            for (int f = 0; f < kFilesPerDir; ++f, ++n)
                std::ofstream(dir / ("f" + std::to_string(f) + ".e" + std::to_string(n % kExtensions)));
        }
    }
    std::ofstream(root / "done");
}

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Repaint(QWidget& window)
{
    window.repaint();
    QApplication::processEvents();
}

// Pastes about 5 MB of sections on the Source page and leaves it, three times.
int SourcePage()
{
    std::string text = "[BatchParameters]\nBefore=\nAfter=\nPassword=\nUpdateZip=1\n\n";
    for (int i = 0; text.size() < 5u * 1024 * 1024; ++i) {
        text += "[Pasted " + std::to_string(i) + "]\nZip=/backup/p" + std::to_string(i) +
                ".zip\nCompress=1\nDir=/data/p\nSuffix=*.doc;*.txt\nIgnore=\nRecurse=1\nDirName=0\nComments=\n\n";
    }
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int run = 0; run < 3; ++run) {
        TFrmSaveZip window;
        window.show();
        window.PageControl->setCurrentIndex(2);
        Repaint(window);
        window.idBatch->selectAll();
        window.idBatch->insertPlainText(QString::fromStdString(text));
        Repaint(window);
        const double cpuBefore = ThreadCpuSeconds();
        times.push_back(Seconds([&] {
            window.PageControl->setCurrentIndex(0);
            Repaint(window);
        }));
        cpuTimes.push_back(ThreadCpuSeconds() - cpuBefore);
        std::printf("  run %d: %d sections\n", run + 1, window.BatchList().Count());
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    std::printf("leave the Source page after pasting %.1f MB: %.3f s (median of 3; %.3f to %.3f s), "
                "processor time %.3f s (median; a busy machine stretches only the first)\n",
                static_cast<double>(text.size()) / (1024 * 1024), times[1], times[0], times[2], cpuTimes[1]);
    return 0;
}

// Opens a batch whose one section's Suffix= holds `megabytes` MB of masks.
int LongSuffix(const fs::path& work, int megabytes)
{
    const fs::path file = work / ("suffix" + std::to_string(megabytes) + ".vrl");
    {
        std::ofstream out(file, std::ios::binary);
        out << "[BatchParameters]\r\nBefore=\r\nAfter=\r\nPassword=\r\nUpdateZip=1\r\n\r\n[Long]\r\nZip="
            << (work / "long.zip").string() << "\r\nCompress=1\r\nDir=" << work.string() << "\r\nSuffix=";
        const std::size_t size = static_cast<std::size_t>(megabytes) * 1024 * 1024;
        std::size_t written = 0;
        for (int i = 0; written < size; ++i) {
            const std::string mask = "*.e" + std::to_string(i) + ";";
            out << mask;
            written += mask.size();
        }
        out << "\r\nIgnore=\r\nRecurse=0\r\nDirName=0\r\nComments=\r\n\r\n";
    }
    const double before = PeakMegabytes();
    TFrmSaveZip window;
    window.show();
    Repaint(window);
    const double open = Seconds([&] {
        window.SetFileName(file.string());
        window.SelectSection(0);
        Repaint(window);
    });
    const double fileMegabytes = static_cast<double>(fs::file_size(file)) / (1024 * 1024);
    std::printf("open a batch of %.1f MB with a %d MB Suffix=: %.3f s, peak memory %.0f MB (%.0f MB before; %.1f "
                "times the file)\n",
                fileMegabytes, megabytes, open, PeakMegabytes(), before, (PeakMegabytes() - before) / fileMegabytes);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const fs::path work = (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) / "vorland-editor-bench";
    fs::create_directories(work);
    const std::string mode = argc > 2 ? argv[2] : "";
    if (mode == "source")
        return SourcePage();
    if (mode == "suffix")
        return LongSuffix(work, argc > 3 ? std::atoi(argv[3]) : 50);
    const fs::path batchFile = work / "big.vrl";
    WriteBatch(batchFile);

    const double floor = Seconds([&] {
        TpxBatchList batch;
        batch.LoadFromFile(batchFile.string());
    });
    TFrmSaveZip window;
    window.show();
    QApplication::processEvents();
    double open = 0;
    double total = Seconds([&] {
        open = Seconds([&] { window.SetFileName(batchFile.string()); });
        window.SelectSection(window.BatchList().Count() - 1);
        window.repaint();
        QApplication::processEvents();
    });
    std::printf("open %d sections and select the last: %.3f s (open %.3f s; batch list alone %.3f s, ratio %.1f)\n",
                window.BatchList().Count(), total, open, floor, total / floor);
    for (int style : {0, 1, 3}) {
        const double restyle = Seconds([&] {
            window.SetViewStyle(style);
            window.repaint();
            QApplication::processEvents();
        });
        std::printf("  view style %d with %d sections: %.3f s\n", style, kSections, restyle);
    }

    const fs::path tree = work / "tree";
    WriteTree(tree);
    const std::string find = "find '" + tree.string() + "' -type f > /dev/null";
    const double findTime = Seconds([&] {
        if (std::system(find.c_str()) != 0)
            std::printf("find failed\n");
    });
    TExtensionList list;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        window.repaint();
    });
    ticker.start(16);
    const double scan = Seconds([&] { ScanExtensionsResponsive(list, tree.string(), true); });
    ticker.stop();
    std::printf("proposals scan of %d files: %.3f s, %d patterns, %d repaints during the scan (find: %.3f s, ratio "
                "%.2f)\n",
                kTopDirs * kSubDirs * kFilesPerDir, scan, list.Count(), ticks, findTime, scan / findTime);
    return 0;
}
