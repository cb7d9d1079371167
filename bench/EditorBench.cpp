// Editor benchmark (offscreen windows):
//  1. opening a batch file of 10,000 sections in the main window and selecting the last section,
//     painted, against loading the same file into the batch list alone (the floor);
//  2. the extension proposals scan of a tree of 100,000 files, through the window's responsive scan
//     (counting how often the window could repaint during it), against `find -type f` on the tree.
// Usage: QT_QPA_PLATFORM=offscreen EditorBench [folder for the generated files]

#include "batch/p_BatchList.h"
#include "ui/ExtensionProposals.h"
#include "ui/ProposalScan.h"
#include "ui/p_fmain.h"

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const fs::path work = (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) / "vorland-editor-bench";
    fs::create_directories(work);
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
