// ZIP64: an entry past 4 GiB (a sparse file, so the test stays fast) and more than 65,535 entries.

#include "EngineHarness.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace enginetest;
using testkit::TempDir;
using testkit::writeFile;

TEST(EngineLarge, file_past_four_gibibytes_is_read_back_by_every_reader)
{
    TempDir dir;
    const std::string big = dir / "src/huge.img";
    writeFile(big, "");
    {
        const int fd = open(big.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        // A few real bytes near the start and past the 4 GiB mark, holes elsewhere.
        const std::string marker = "marker bytes";
        ASSERT_EQ(pwrite(fd, marker.data(), marker.size(), 12345), static_cast<ssize_t>(marker.size()));
        ASSERT_EQ(pwrite(fd, marker.data(), marker.size(), (4ll << 30) + 777), static_cast<ssize_t>(marker.size()));
        ASSERT_EQ(ftruncate(fd, (4ll << 30) + (300ll << 20)), 0);
        close(fd);
    }
    writeFile(dir / "src/small.txt", "small\n");
    EngineOptions options;
    options.archive = dir / "big.zip";
    options.rootDir = dir / "src";
    options.specs = {"*"};
    options.level = 1;
    const auto run = runEngine(options);
    ASSERT_EQ(run.result, 2);
    // Sizes past 2 GiB reach the caller exactly through the wide record.
    bool sawHugeSize = false;
    for (const auto& cb : run.callbacks) {
        if (cb.action == ZIP_ACTION_NEW_FILE && cb.text == "huge.img") {
            sawHugeSize = cb.size == (4ll << 30) + (300ll << 20);
        }
    }
    EXPECT_TRUE(sawHugeSize);
    expectReadersAccept(options.archive, "");
    const auto listing = testkit::runProcess({"unzip", "-l", options.archive});
    EXPECT_NE(listing.out.find("4609540096"), std::string::npos) << listing.out;

    // Updated with one more file: the huge entry is carried over as it is.
    writeFile(dir / "src/later.txt", "later\n");
    options.update = true;
    EXPECT_EQ(runEngine(options).result, 1);
    expectReadersAccept(options.archive, "");
}

TEST(EngineLarge, more_than_65535_entries)
{
    TempDir dir;
    const std::string root = dir / "src";
    for (int d = 0; d < 66; ++d) {
        for (int f = 0; f < 1000; ++f) {
            writeFile(root + "/d" + std::to_string(d) + "/" + std::to_string(f), std::to_string(f));
        }
    }
    EngineOptions options;
    options.archive = dir / "count.zip";
    options.rootDir = root;
    options.specs = {"*"};
    options.recurse = true;
    options.noDirEntries = true;
    ASSERT_EQ(runEngine(options).result, 66000);
    expectReadersAccept(options.archive, root);
    const auto listing = testkit::runProcess({"unzip", "-l", options.archive});
    EXPECT_NE(listing.out.find("66000 files"), std::string::npos) << listing.out.substr(listing.out.size() - 200);
}
