#include "core/FileOps.h"

#include "core/CoreErrors.h"
#include "pathrules/PathRules.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

timespec mtimeOf(const std::string& path)
{
    struct stat st
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mtim;
}

std::vector<std::string> namesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(CopyFileKeepTime, copies_content_mode_and_modification_time)
{
    testkit::TempDir dir;
    const std::string source = dir / "src.bin";
    const std::string target = dir / "out/dst.bin";
    const std::string data = testkit::randomBytes(3 * 1024 * 1024 + 17, 7);
    testkit::writeFile(source, data);
    testkit::setMTime(source, 1'000'000'001);
    ::chmod(source.c_str(), 0640);
    fs::create_directories(dir.path() / "out");
    testkit::writeFile(target, "old content");

    std::string error;
    ASSERT_TRUE(CopyFileKeepTime(source, target, error)) << error;
    EXPECT_EQ(testkit::readFile(target), data);
    EXPECT_EQ(mtimeOf(target).tv_sec, 1'000'000'001);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(namesIn(dir.path() / "out"), std::vector<std::string>{"dst.bin"});
}

TEST(CopyFileKeepTime, missing_source_names_the_file_and_leaves_the_target)
{
    testkit::TempDir dir;
    const std::string target = dir / "dst";
    testkit::writeFile(target, "keep me");
    std::string error;
    EXPECT_FALSE(CopyFileKeepTime(dir / "missing", target, error));
    EXPECT_NE(error.find(dir / "missing"), std::string::npos);
    EXPECT_NE(error.find("No such file"), std::string::npos);
    EXPECT_EQ(testkit::readFile(target), "keep me");
}

TEST(CopyFileKeepTime, a_target_that_is_a_folder_is_refused_and_nothing_is_left_behind)
{
    testkit::TempDir dir;
    testkit::writeFile(dir / "src", "x");
    fs::create_directories(dir.path() / "dst/inner");
    std::string error;
    EXPECT_FALSE(CopyFileKeepTime(dir / "src", dir / "dst", error));
    EXPECT_NE(error.find("Cannot replace"), std::string::npos);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"dst", "src"}));
}

TEST(ForceDirectories, creates_missing_parents_and_refuses_an_empty_path)
{
    testkit::TempDir dir;
    EXPECT_TRUE(ForceDirectories(dir / "a/b/c"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "a/b/c"));
    EXPECT_TRUE(ForceDirectories(dir / "a/b/c"));
    try {
        ForceDirectories("");
        FAIL() << "an empty path must raise";
    } catch (const EVorlandError& e) {
        EXPECT_STREQ(e.what(), "Unable to create directory");
    }
    testkit::writeFile(dir / "file", "x");
    std::string error;
    EXPECT_FALSE(ForceDirectories(dir / "file/sub", error));
    EXPECT_NE(error.find(dir / "file/sub"), std::string::npos);
    // Any depth the path length allows, also past a thousand missing levels.
    std::string deep = dir / "deep";
    for (int level = 0; level < 1200; ++level) {
        deep += "/d";
    }
    EXPECT_TRUE(ForceDirectories(deep + "/", error)) << error;
    EXPECT_TRUE(fs::is_directory(deep));
}

TEST(DeleteFiles, deletes_permanently_and_never_cuts_a_long_path)
{
    testkit::TempDir dir;
    // A path longer than 255 characters whose first 255 characters name another file: cutting
    // the path would delete the wrong file.
    std::string longDir = dir / std::string(200, 'd');
    fs::create_directories(longDir);
    const std::string shortName = longDir + "/" + std::string(255 - longDir.size() - 1, 'f');
    const std::string longName = shortName + "-the-real-one";
    testkit::writeFile(shortName, "innocent");
    testkit::writeFile(longName, "doomed");
    EXPECT_TRUE(DeleteFiles(longName, false, false));
    EXPECT_FALSE(fs::exists(longName));
    EXPECT_TRUE(fs::exists(shortName));
}

TEST(PathHelpers, folder_part_and_absolute_paths)
{
    EXPECT_EQ(ExtractFileDir("archive.zip"), "");
    EXPECT_EQ(ExtractFileDir("/archive.zip"), "/");
    EXPECT_EQ(ExtractFileDir("/a/b//c.zip"), "/a/b");
    EXPECT_EQ(ExtractFileDir("rel/c.zip"), "rel");
    EXPECT_EQ(folderOf("archive.zip"), ".");
    EXPECT_EQ(folderOf("//archive.zip"), "/");
    // The engine, the copies and the runner's selection all skip exactly these names.
    EXPECT_TRUE(isWorkFileName("a.zip.vorland-tmp-Ab12Cd"));
    EXPECT_TRUE(isWorkFileName(".vorland-copy-Ab12Cd"));
    EXPECT_FALSE(isWorkFileName(".vorland-tmp-Ab12Cd"));
    EXPECT_FALSE(isWorkFileName("a.zip.vorland-tmp-Ab12C"));
    EXPECT_FALSE(isWorkFileName(".vorland-copy-Ab12Cd.txt"));
    EXPECT_EQ(AbsolutePath("/a/./b/../c/"), "/a/c");
    EXPECT_EQ(AbsolutePath("x/y"), (fs::current_path() / "x/y").string());
    EXPECT_EQ(AbsolutePath("/"), "/");
}

TEST(PathHelpers, dot_dot_after_a_link_leads_where_the_system_goes_and_links_are_otherwise_kept)
{
    testkit::TempDir tmp;
    const fs::path root = fs::canonical(tmp.path());
    fs::create_directories(root / "elsewhere" / "inner");
    fs::create_directories(root / "elsewhere" / "data");
    fs::create_directories(root / "data");
    fs::create_directory_symlink(root / "elsewhere" / "inner", root / "lk");
    // lk/.. is "elsewhere", as the system sees it, not the folder that holds the link.
    EXPECT_EQ(AbsolutePath((root / "lk/../data").string()), (root / "elsewhere/data").string());
    EXPECT_EQ(AbsolutePath((root / "lk/./inner2/..").string()), (root / "lk").string()); // no such folder
    EXPECT_EQ(AbsolutePath((root / "lk/sub").string()), (root / "lk/sub").string());
    EXPECT_EQ(AbsolutePath((root / "missing/../data").string()), (root / "data").string());
    // Files and folders that the system lists the same way as the result.
    EXPECT_EQ(fs::canonical(root / "lk/../data"), fs::path(AbsolutePath((root / "lk/../data").string())));
}

TEST(WorkDirectory, gives_a_writable_folder_and_work_files_are_removed)
{
    const std::string dir = WorkDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    std::string path;
    {
        TWorkFile first;
        TWorkFile second;
        path = first.Path();
        EXPECT_NE(first.Path(), second.Path());
        EXPECT_EQ(first.Path().rfind(dir, 0), 0U);
        EXPECT_TRUE(fs::exists(path));
    }
    EXPECT_FALSE(fs::exists(path));
}
