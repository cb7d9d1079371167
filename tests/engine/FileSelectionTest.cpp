// The engine's choice of files, compiled in from its source: the same tree walked by the caller
// alone and with folders read ahead on several threads.
#include "engine/src/FileSelection.h"
#include "engine/src/FolderReader.h"

#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace zipengine;
namespace fs = std::filesystem;

struct Outcome
{
    std::vector<std::string> files; // stored name, full path, size, time, mode, spec
    std::vector<std::string> directories;
    std::vector<std::string> reports;
};

Outcome choose(SelectionOptions options, unsigned threads)
{
    options.walkThreads = threads;
    Outcome out;
    const Selection selection = selectFiles(options, [&out](int code, const std::string& text) {
        out.reports.push_back(std::to_string(code) + " " + text);
    });
    for (const auto& file : selection.files) {
        out.files.push_back(selection.storedName(file) + " | " + selection.fullPath(file) + " | " +
                            std::to_string(file.size) + " " + std::to_string(file.mtime) + " " +
                            std::to_string(file.mode) + " " + std::to_string(file.specIndex));
    }
    for (const auto& dir : selection.directories) {
        out.directories.push_back(dir.storedName + " | " + dir.fullPath);
    }
    return out;
}

bool hasFile(const Outcome& outcome, const std::string& stored)
{
    return std::any_of(outcome.files.begin(), outcome.files.end(), [&](const std::string& line) {
        return line.compare(0, stored.size() + 3, stored + " | ") == 0;
    });
}

bool hasReport(const Outcome& outcome, const std::string& part)
{
    return std::any_of(outcome.reports.begin(), outcome.reports.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

// Removes a tree whose paths may be longer than the system takes, through descriptors only.
void removeTreeAt(int parentFd, const char* name)
{
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        unlinkat(parentFd, name, 0);
        return;
    }
    DIR* dir = fdopendir(fd);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    for (const auto& child : names) {
        removeTreeAt(fd, child.c_str());
    }
    closedir(dir);
    unlinkat(parentFd, name, AT_REMOVEDIR);
}

// A tree with everything the walk treats apart, in the middle of many ordinary folders.
class WalkTree
{
public:
    explicit WalkTree(const fs::path& root) : m_root(root)
    {
        for (int i = 0; i < 40; ++i) {
            const std::string folder = "d" + std::to_string(100 + i) + "/";
            for (int j = 0; j < 12; ++j) {
                write(folder + "f" + std::to_string(j) + ".txt", std::string(static_cast<std::size_t>(i + j), 'x'));
            }
            write(folder + "other.dat", "dat");
            write(folder + "sub/f0.txt", "below " + folder);
            write(folder + "sub/deeper/f0.txt", "two below " + folder);
        }
        write("d105/.hidden.txt", "hidden file");
        write(".hidden/f0.txt", "in a hidden folder");
        fs::create_symlink("../d100/f3.txt", root / "d106/link.txt");
        fs::create_directory_symlink("../d101", root / "d107/linkdir");
        fs::create_symlink("nowhere.txt", root / "d108/dangling.txt");
        fs::create_symlink("loop.txt", root / "d108/loop.txt");
        EXPECT_EQ(mkfifo((root / "d109/pipe.txt").c_str(), 0644), 0);
        // Never taken: the archive itself (by its identity), its temporary files and work files.
        write("d110/archive.zip", "archive");
        write("d110/archive.zip.tmp1.txt", "temporary archive");
        write("d110/f.txt.vorland-tmp-a1b2c3", "work file");
        // An unreadable folder (readable all the same when the test runs as root).
        write("d111/locked/f0.txt", "locked");
        fs::permissions(root / "d111/locked", fs::perms::none);
        // A folder whose path is too long to open, in the middle of the walk.
        makeLongChain();
        // A chain of 300 folders, a file in each.
        std::string deep = "d112/deep";
        for (int depth = 3; depth <= 300; ++depth) { // "d112" is at depth 1
            deep += "/a";
            write(deep + "/deep" + std::to_string(depth) + ".txt", "deep");
        }
    }
    ~WalkTree()
    {
        std::error_code ec;
        fs::permissions(m_root / "d111/locked", fs::perms::owner_all, ec);
        const int fd = open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        removeTreeAt(fd, "d113");
        close(fd);
    }
    WalkTree(const WalkTree&) = delete;
    WalkTree& operator=(const WalkTree&) = delete;

    std::pair<dev_t, ino_t> identity(const std::string& relative) const
    {
        struct stat st;
        EXPECT_EQ(stat((m_root / relative).c_str(), &st), 0);
        return {st.st_dev, st.st_ino};
    }

private:
    void write(const std::string& relative, const std::string& bytes) { testkit::writeFile(m_root / relative, bytes); }

    void makeLongChain()
    {
        write("d113/f0.txt", "before the long chain");
        int fd = open((m_root / "d113").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const std::string longName(200, 'L');
        for (int level = 0; level < 22 && fd >= 0; ++level) {
            EXPECT_EQ(mkdirat(fd, longName.c_str(), 0755), 0);
            const int below = openat(fd, longName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            close(fd);
            fd = below;
        }
        const int file = openat(fd, "f0.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        EXPECT_GE(file, 0);
        close(file);
        close(fd);
    }

    fs::path m_root;
};

SelectionOptions treeOptions(const testkit::TempDir& temp, const WalkTree& tree)
{
    SelectionOptions options;
    options.specs.push_back({"*.txt", temp.path().native(), true});
    options.never.push_back(tree.identity("d110/archive.zip"));
    options.tempPrefix = "archive.zip.tmp";
    return options;
}

TEST(FileSelection, walk_read_ahead_on_threads_chooses_and_reports_as_the_caller_alone)
{
    testkit::TempDir temp;
    WalkTree tree(temp.path());

    SelectionOptions plain = treeOptions(temp, tree);
    plain.specs[0].pattern = "*";
    plain.excludes = {"d102/*", "f11.txt", "*.dat"};

    // Several specs with names stripped of their folders: one name from many folders,
    // reported in the order of the walk; a spec naming nothing; hidden files taken.
    SelectionOptions stripped = treeOptions(temp, tree);
    stripped.specs.push_back({"f1*", temp.path().native(), true});
    stripped.specs.push_back({"d100/missing.txt", temp.path().native(), true});
    const std::string absolute = temp / "d104/*";
    stripped.specs.push_back({absolute, "", false});
    stripped.junkDirNames = true;
    stripped.hiddenFiles = true;

    for (const SelectionOptions* options : {&plain, &stripped}) {
        const Outcome alone = choose(*options, 1);
        ASSERT_GT(alone.files.size(), options == &plain ? 400u : 10u);
        ASSERT_GT(alone.reports.size(), options == &plain ? 2u : 400u);
        for (const unsigned threads : {2u, 3u, 8u}) {
            SCOPED_TRACE("threads " + std::to_string(threads));
            const Outcome ahead = choose(*options, threads);
            EXPECT_EQ(ahead.files, alone.files);
            EXPECT_EQ(ahead.directories, alone.directories);
            EXPECT_EQ(ahead.reports, alone.reports);
        }
    }

    // The rules themselves, walked ahead.
    const Outcome out = choose(plain, 4);
    EXPECT_TRUE(hasFile(out, "d100/f0.txt"));
    EXPECT_TRUE(hasFile(out, "d139/sub/deeper/f0.txt"));
    EXPECT_FALSE(hasFile(out, "d100/other.dat"));
    EXPECT_FALSE(hasFile(out, "d102/f0.txt"));
    EXPECT_FALSE(hasFile(out, "d100/f11.txt"));
    EXPECT_FALSE(hasFile(out, "d105/.hidden.txt"));
    EXPECT_FALSE(hasFile(out, ".hidden/f0.txt"));
    EXPECT_TRUE(hasFile(out, "d106/link.txt"));
    EXPECT_FALSE(hasFile(out, "d107/linkdir/f0.txt"));
    EXPECT_FALSE(hasFile(out, "d109/pipe.txt"));
    EXPECT_FALSE(hasFile(out, "d110/archive.zip"));
    EXPECT_FALSE(hasFile(out, "d110/archive.zip.tmp1.txt"));
    EXPECT_FALSE(hasFile(out, "d110/f.txt.vorland-tmp-a1b2c3"));
    EXPECT_TRUE(hasFile(out, "d113/f0.txt"));
    EXPECT_TRUE(hasReport(out, "d108/dangling.txt: cannot follow the link: No such file or directory; skipped"));
    EXPECT_TRUE(hasReport(out, "d108/loop.txt: cannot follow the link: Too many levels of symbolic links"));
    EXPECT_TRUE(hasReport(out, "File name too long; its files were skipped"));
    if (geteuid() != 0) {
        EXPECT_TRUE(hasReport(out, "d111/locked: Permission denied; its files were skipped"));
    }
    EXPECT_TRUE(hasReport(out, "d107/linkdir: a link to a folder; not followed"));
    std::string deep = "d112/deep";
    for (int depth = 3; depth <= 300; ++depth) {
        deep += "/a";
        EXPECT_TRUE(hasFile(out, deep + "/deep" + std::to_string(depth) + ".txt")) << depth;
    }

    const Outcome strippedOut = choose(stripped, 4);
    EXPECT_TRUE(hasFile(strippedOut, ".hidden.txt"));
    EXPECT_TRUE(hasReport(strippedOut, "d101/f0.txt: skipped, another file is already stored under the name f0.txt"));
    EXPECT_TRUE(hasReport(strippedOut, "d100/missing.txt: no such file; skipped"));
}

TEST(FileSelection, folders_removed_while_the_walk_reads_ahead_are_reported_or_missed)
{
    testkit::TempDir temp;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 150; ++i) {
            for (int j = 0; j < 8; ++j) {
                testkit::writeFile(temp / ("t/d" + std::to_string(i) + "/s/f" + std::to_string(j) + ".txt"), "x");
            }
        }
        std::atomic<bool> walking{true};
        std::thread remover([&] {
            for (int i = 149; i >= 0 && walking; --i) {
                std::error_code ec;
                fs::remove_all(temp / ("t/d" + std::to_string(i)), ec);
            }
        });
        SelectionOptions options;
        options.specs.push_back({"t/*", temp.path().native(), true});
        const Outcome out = choose(options, 4);
        walking = false;
        remover.join();
        for (const auto& line : out.files) {
            EXPECT_EQ(line.compare(0, 3, "t/d"), 0) << line;
        }
        for (const auto& line : out.reports) {
            EXPECT_NE(line.find("cannot list the folder " + temp.path().string() + "/t/d"), std::string::npos) << line;
        }
    }
}

TEST(FileSelection, specs_of_one_folder_walked_once_take_what_a_walk_each_would_in_their_order)
{
    testkit::TempDir temp;
    for (const char* name :
         {"a.txt", "b.LOG", "a", "sub/b.log", "sub/a", "sub/c.txt", "sub/d.Tar.gz", "x/a.bin", "empty/"}) {
        std::string(name).back() == '/' ? (void)fs::create_directories(temp / name)
                                        : testkit::writeFile(temp / name, name);
    }
    SelectionOptions options;
    for (const char* pattern :
         {"*.txt", "B.log", "*.log", "*.txt", "missing.txt", "a.*", "sub/c.txt", "*.GZ", "*.tar.gz", "a", "*"}) {
        options.specs.push_back({pattern, temp.path().native(), true});
    }
    // Each spec alone, the paths an earlier one took left out: what they take together.
    std::vector<std::string> expected;
    std::vector<std::string> expectedReports;
    for (std::size_t i = 0; i < options.specs.size(); ++i) {
        SelectionOptions one = options;
        one.specs = {options.specs[i]};
        const Outcome alone = choose(one, 1);
        for (const std::string& line : alone.files) {
            const std::string file = line.substr(0, line.rfind(' ')) + " " + std::to_string(i);
            if (std::none_of(expected.begin(), expected.end(), [&](const std::string& taken) {
                    return taken.substr(0, taken.rfind(' ')) == file.substr(0, file.rfind(' '));
                })) {
                expected.push_back(file);
            }
        }
        expectedReports.insert(expectedReports.end(), alone.reports.begin(), alone.reports.end());
    }
    ASSERT_EQ(expected.size(), 8u);
    for (const unsigned threads : {1u, 3u}) {
        const Outcome together = choose(options, threads);
        EXPECT_EQ(together.files, expected);
        EXPECT_EQ(together.reports, expectedReports);
        EXPECT_EQ(together.directories.size(), 3u); // sub/, x/ and the empty folder
    }
}

TEST(FileSelection, a_stop_from_the_report_ends_the_walk_and_its_readers)
{
    testkit::TempDir temp;
    for (int i = 0; i < 100; ++i) {
        testkit::writeFile(temp / ("d" + std::to_string(i) + "/a.txt"), "a");
        fs::create_symlink("gone.txt", temp.path() / ("d" + std::to_string(i) + "/b.txt"));
    }
    SelectionOptions options;
    options.specs.push_back({"*", temp.path().native(), true});
    options.walkThreads = 4;
    int reports = 0;
    EXPECT_THROW(selectFiles(options,
                             [&reports](int, const std::string&) {
                                 ++reports;
                                 throw std::runtime_error("stop");
                             }),
                 std::runtime_error);
    EXPECT_EQ(reports, 1);
}

// Reads a whole tree through the reader, as the walk does: each Folder entry is followed by the
// folder below it.
void takeAll(FolderReader& reader, std::vector<std::string>& order)
{
    const FolderListing listing = reader.next();
    order.push_back(listing.path);
    for (const auto& entry : listing.entries) {
        if (entry.kind == FolderEntry::Folder) {
            takeAll(reader, order);
        }
    }
}

TEST(FolderReader, workers_hand_folders_over_in_walk_order_within_the_read_ahead_limit)
{
    testkit::TempDir temp;
    for (int a = 0; a < 5; ++a) {
        for (int b = 0; b < 5; ++b) {
            for (int c = 0; c < 4; ++c) {
                testkit::writeFile(
                    temp / ("r/" + std::to_string(a) + "/" + std::to_string(b) + "/" + std::to_string(c) + "/f.txt"),
                    "f");
            }
            testkit::writeFile(temp / ("r/" + std::to_string(a) + "/" + std::to_string(b) + "/g.txt"), "g");
        }
    }
    FolderWalkRules rules;
    rules.namePattern = "*";
    rules.recurse = true;
    const std::string root = temp / "r";

    std::vector<std::string> alone;
    {
        FolderReader reader(root, rules, 0);
        takeAll(reader, alone);
    }
    ASSERT_EQ(alone.size(), 1u + 5 + 25 + 100);
    EXPECT_EQ(alone[1], root + "/0");
    EXPECT_EQ(alone[2], root + "/0/0");
    EXPECT_EQ(alone[3], root + "/0/0/0");

    // A limit of a few names: the readers (three workers and the caller) may only ever start the
    // folder to be taken next, or any folder while fewer names than that are held; so no more than
    // about a folder each is held beyond the limit, where reading freely holds most of the tree.
    for (const std::size_t limit : {std::size_t{1}, std::size_t{8}, std::size_t{100000}}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        FolderReader reader(root, rules, 3, ReadAheadLimit{limit, std::size_t{1} << 30});
        // A slow caller: the workers read all they may before the walk goes on.
        std::vector<std::string> order{reader.next().path};
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (int a = 0; a < 5; ++a) {
            takeAll(reader, order);
        }
        EXPECT_EQ(order, alone);
        const std::size_t largestFolder = 5;
        EXPECT_LE(reader.peakHeldNames(), limit + 5 * largestFolder);
    }
}

TEST(FolderReader, a_reader_left_midway_stops_its_workers)
{
    testkit::TempDir temp;
    for (int i = 0; i < 300; ++i) {
        testkit::writeFile(temp / ("d" + std::to_string(i) + "/s/f.txt"), "f");
    }
    FolderWalkRules rules;
    rules.namePattern = "*";
    rules.recurse = true;
    FolderReader reader(temp.path().string(), rules, 4);
    const FolderListing root = reader.next();
    EXPECT_EQ(root.entries.size(), 300u);
    const FolderListing first = reader.next();
    EXPECT_EQ(first.path, temp / "d0");
}

} // namespace
