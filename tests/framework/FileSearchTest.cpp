#include "core/FileSearch.h"
#include "core/CoreErrors.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using testkit::TempDir;

namespace {

// A tree with every kind of entry the walk must take or leave out.
void makeTree(const fs::path& root)
{
    testkit::writeFile(root / "a.txt", "a");
    testkit::writeFile(root / "README", "readme");
    testkit::writeFile(root / ".hidden", "h");
    testkit::writeFile(root / ".hdir/inside.txt", "h");
    testkit::writeFile(root / "sub/b.txt", "bb");
    testkit::writeFile(root / "sub/deep/c.txt", "ccc");
    testkit::writeFile(root / "sub2/d.TXT", "d");
    ASSERT_EQ(::mkfifo((root / "fifo.txt").c_str(), 0600), 0);
    fs::create_symlink(root / "a.txt", root / "link.txt");
    fs::create_symlink(root / "sub", root / "linkdir");
    fs::create_symlink(root, root / "sub/loop");
    fs::create_symlink(root / "missing", root / "dangling.txt");
}

std::vector<std::string> relativePaths(const fs::path& root, const std::string& mask, bool recurse)
{
    std::vector<std::string> found;
    auto onFile = [&](const std::string& path, const TSearchRec& record) {
        EXPECT_EQ(fs::path(path).filename().string(), record.Name);
        found.push_back(fs::path(path).lexically_relative(root).string());
    };
    // The link that leads nowhere and the links to folders (not followed) are reported, nothing else.
    auto onError = [](const std::string& path, int error) {
        const std::string name = fs::path(path).filename().string();
        EXPECT_EQ(error, name == "dangling.txt" ? ENOENT : EISDIR) << path;
        EXPECT_TRUE(name == "dangling.txt" || name == "linkdir" || name == "loop") << path;
    };
    if (recurse) {
        FindFilesRecursive((root / mask).string(), onFile, onError);
    } else {
        FindFiles((root / mask).string(), onFile, onError);
    }
    return found;
}

} // namespace

TEST(FileSearch, one_folder_takes_plain_files_and_links_to_files_in_name_order)
{
    TempDir tmp;
    makeTree(tmp.path());
    EXPECT_EQ(relativePaths(tmp.path(), "*.*", false), (std::vector<std::string>{"README", "a.txt", "link.txt"}));
    EXPECT_EQ(relativePaths(tmp.path(), "*.txt", false), (std::vector<std::string>{"a.txt", "link.txt"}));
    EXPECT_EQ(relativePaths(tmp.path(), "readme", false), (std::vector<std::string>{"README"}));
    EXPECT_EQ(relativePaths(tmp.path(), "nothing*", false), (std::vector<std::string>{}));
}

TEST(FileSearch, subtrees_come_before_their_parent_and_links_to_folders_are_not_entered)
{
    TempDir tmp;
    makeTree(tmp.path());
    EXPECT_EQ(relativePaths(tmp.path(), "*.*", true),
              (std::vector<std::string>{"sub/deep/c.txt", "sub/b.txt", "sub2/d.TXT", "README", "a.txt", "link.txt"}));
    EXPECT_EQ(relativePaths(tmp.path(), "*.txt", true),
              (std::vector<std::string>{"sub/deep/c.txt", "sub/b.txt", "sub2/d.TXT", "a.txt", "link.txt"}));
}

TEST(FileSearch, a_link_that_leads_nowhere_goes_to_the_error_callback_and_without_one_is_passed_by)
{
    TempDir tmp;
    makeTree(tmp.path());
    std::vector<std::string> problems;
    std::vector<std::string> found;
    auto onFile = [&](const std::string& path, const TSearchRec&) { found.push_back(path); };
    FindFiles((tmp.path() / "*.txt").string(), onFile,
              [&](const std::string& path, int error) { problems.push_back(path + " " + std::to_string(error)); });
    EXPECT_EQ(problems,
              std::vector<std::string>{(tmp.path() / "dangling.txt").string() + " " + std::to_string(ENOENT)});
    EXPECT_NO_THROW(FindFiles((tmp.path() / "*.txt").string(), onFile));
    EXPECT_EQ(found.size(), 4u);
}

TEST(FileSearch, search_record_has_size_time_and_attributes)
{
    TempDir tmp;
    const fs::path big = tmp.path() / "big.bin";
    testkit::writeFile(big, "");
    fs::resize_file(big, 5LL * 1024 * 1024 * 1024); // sparse, past 32 bits
    testkit::setMTime(big, 1700000001);
    ::chmod(big.c_str(), 0444);
    fs::create_symlink(big, tmp.path() / "link.bin");
    std::vector<TSearchRec> records;
    FindFiles((tmp.path() / "*.*").string(), [&](const std::string&, const TSearchRec& r) { records.push_back(r); });
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Name, "big.bin");
    EXPECT_EQ(records[0].Size, 5LL * 1024 * 1024 * 1024);
    EXPECT_EQ(records[0].MTime, 1700000001);
    EXPECT_DOUBLE_EQ(records[0].Time, FileTimeToDateTime(1700000000));
    EXPECT_EQ(records[0].Attr, faReadOnly);
    EXPECT_EQ(records[1].Size, records[0].Size);
    EXPECT_EQ(records[1].Attr, faReadOnly | faSymLink);
}

TEST(FileSearch, relative_masks_are_taken_from_the_current_folder)
{
    TempDir tmp;
    testkit::writeFile(tmp.path() / "x/one.txt", "1");
    const fs::path old = fs::current_path();
    fs::current_path(tmp.path());
    std::vector<std::string> found;
    auto collect = [&](const std::string& path, const TSearchRec&) { found.push_back(path); };
    FindFiles("x/*.*", collect);
    fs::current_path(tmp.path() / "x");
    FindFiles("*.txt", collect);
    fs::current_path(old);
    const std::string expected = (fs::canonical(tmp.path()) / "x/one.txt").string();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(fs::canonical(found[0]).string(), expected);
    EXPECT_EQ(found[0].front(), '/');
    EXPECT_EQ(found[1], found[0]);
}

TEST(FileSearch, unreadable_folders_are_reported_not_skipped)
{
    TempDir tmp;
    std::vector<std::pair<std::string, int>> problems;
    auto onError = [&](const std::string& path, int error) { problems.emplace_back(path, error); };
    auto ignore = [](const std::string&, const TSearchRec&) {};
    FindFilesRecursive((tmp.path() / "missing/*.*").string(), ignore, onError);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].first, (tmp.path() / "missing/").string());
    EXPECT_EQ(problems[0].second, ENOENT);
    try {
        FindFiles((tmp.path() / "missing/*.*").string(), ignore);
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos);
        EXPECT_EQ(e.SystemError(), ENOENT);
    }

    if (::geteuid() != 0) { // root reads every folder
        testkit::writeFile(tmp.path() / "t/locked/x.txt", "x");
        testkit::writeFile(tmp.path() / "t/open/y.txt", "y");
        ::chmod((tmp.path() / "t/locked").c_str(), 0);
        problems.clear();
        std::vector<std::string> found;
        FindFilesRecursive((tmp.path() / "t/*.*").string(),
                           [&](const std::string& p, const TSearchRec&) { found.push_back(p); }, onError);
        ::chmod((tmp.path() / "t/locked").c_str(), 0755);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].second, EACCES);
        EXPECT_EQ(found.size(), 1u);
    }
}

TEST(FileSearch, an_error_raised_by_the_callback_ends_the_walk)
{
    TempDir tmp;
    testkit::writeFile(tmp.path() / "a/1.txt", "1");
    testkit::writeFile(tmp.path() / "b/2.txt", "2");
    int calls = 0;
    EXPECT_THROW(FindFilesRecursive((tmp.path() / "*.*").string(),
                                    [&](const std::string&, const TSearchRec&) {
                                        ++calls;
                                        throw ESilentStop();
                                    }),
                 ESilentStop);
    EXPECT_EQ(calls, 1);
}

TEST(FileSearch, names_only_finds_the_same_files)
{
    TempDir tmp;
    makeTree(tmp.path());
    std::vector<std::string> found;
    std::vector<int> attributes;
    FindFilesRecursiveWith(TSearchDetails::NamesOnly, (tmp.path() / "*.*").string(),
                           [&](const std::string& path, const TSearchRec& record) {
                               found.push_back(fs::path(path).lexically_relative(tmp.path()).string());
                               attributes.push_back(record.Attr);
                               EXPECT_EQ(record.Size, 0);
                           });
    EXPECT_EQ(found, relativePaths(tmp.path(), "*.*", true));
    EXPECT_EQ(attributes, (std::vector<int>{0, 0, 0, 0, 0, faSymLink}));
}
