#include "batch/BatchDocument.h"
#include "batch/p_BatchList.h"
#include "core/CoreErrors.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <unistd.h>

using testkit::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string kParameters = "[BatchParameters]\r\nBefore=b\r\nAfter=\r\nPassword=\r\nUpdateZip=1\r\n\r\n";

std::string section(const std::string& name, const std::string& dir)
{
    return "[" + name + "]\r\nZip=/z.zip\r\nCompress=1\r\nDir=" + dir +
           "\r\nSuffix=\r\nIgnore=\r\nRecurse=0\r\nDirName=0\r\nComments=\r\n\r\n";
}

} // namespace

TEST(BatchDocument, shown_and_typed_source_text_gives_back_the_same_bytes_in_either_encoding)
{
    TempDir dir;
    TpxBatchList list;
    TBatchDocument document(list);
    // A no-break space, a line separator, a lone CR and LF line ends are all the file's own.
    const std::string utf8 = kParameters + section("a", "/x\xC2\xA0y/\xE2\x80\xA8z") + "; hand\rmade\n";
    testkit::writeFile(dir / "u.vrl", utf8);
    document.Open(dir / "u.vrl");
    EXPECT_FALSE(document.Latin1());
    EXPECT_EQ(list.Entries(0).Dir, "/x\xC2\xA0y/\xE2\x80\xA8z");
    const std::string shown = document.SourceShownText();
    EXPECT_EQ(shown.substr(shown.size() - 12), "; hand\nmade\n");
    std::string expected = utf8;
    expected.replace(expected.size() - 12, 12, "; hand\r\nmade\r\n");
    EXPECT_EQ(document.TypedSourceBytes(shown), expected);

    const std::string latin = kParameters + section("\xC9t\xE9", "/\xE9t\xE9\xA0");
    testkit::writeFile(dir / "l.vrl", latin);
    document.Open(dir / "l.vrl");
    EXPECT_TRUE(document.Latin1());
    EXPECT_EQ(document.ShownText(list.Entries(0).Dir), "/\xC3\xA9t\xC3\xA9\xC2\xA0");
    EXPECT_EQ(document.TypedSourceBytes(document.SourceShownText()), latin);
    EXPECT_FALSE(document.DiffersFromFile());
    EXPECT_EQ(document.StoredText("\xC3\xA0 l\xC3\xA0"), "\xE0 l\xE0");
    try {
        document.StoredText("5 \xE2\x82\xAC");
        ADD_FAILURE() << "the euro sign has no Latin-1 form";
    } catch (const EVorlandError& e) {
        EXPECT_NE(std::string(e.what()).find("\"\xE2\x82\xAC\" cannot be stored"), std::string::npos) << e.what();
    }
    // New keeps the parameters, and with them the encoding.
    document.New();
    EXPECT_TRUE(document.Latin1());
    EXPECT_EQ(list.Before, "b");
}

TEST(BatchDocument, a_failed_open_changes_nothing_and_another_file_starts_from_default_parameters)
{
    TempDir dir;
    TpxBatchList list;
    TBatchDocument document(list);
    testkit::writeFile(dir / "a.vrl", kParameters + section("a", "/a"));
    document.Open(dir / "a.vrl");
    list.Password = "kept";
    fs::create_directory(dir / "folder.vrl");
    EXPECT_THROW(document.Open(dir / "folder.vrl"), EInOutError);
    EXPECT_EQ(document.FileName(), dir / "a.vrl");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Password, "kept");

    testkit::writeFile(dir / "bare.vrl", section("b", "/b"));
    document.Open(dir / "bare.vrl");
    EXPECT_EQ(list.Password, "");
    EXPECT_EQ(list.Before, "");
}

TEST(BatchDocument, changed_on_disk_compares_the_content_and_a_save_is_the_new_reference)
{
    TempDir dir;
    TpxBatchList list;
    TBatchDocument document(list);
    const std::string file = dir / "b.vrl";
    testkit::writeFile(file, kParameters);
    document.Open(file);
    testkit::setMTime(file, 1000000);
    EXPECT_FALSE(document.ChangedOnDisk()) << "only the time changed";
    std::string other = kParameters;
    other.replace(other.find("Before=b"), 8, "Before=c");
    testkit::writeFile(file, other);
    testkit::setMTime(file, 1000000);
    EXPECT_TRUE(document.ChangedOnDisk());
    document.Save(file, document.ListBytes());
    EXPECT_FALSE(document.ChangedOnDisk());
    EXPECT_FALSE(document.DiffersFromFile());
}

TEST(BatchDocument, a_save_removes_temporary_files_of_killed_saves_but_not_one_being_written_nor_others)
{
    TempDir dir;
    TpxBatchList list;
    TBatchDocument document(list);
    const std::string file = dir / "b.vrl";
    testkit::writeFile(dir / "b.vrl.vorland-tmp-Killed", "half");
    testkit::writeFile(dir / "b.vrl.vorland-tmp-Locked", "busy");
    testkit::writeFile(dir / "b.vrl.backup", "mine");
    testkit::writeFile(dir / "c.vrl.vorland-tmp-Killed", "other batch");
    const int held = ::open((dir / "b.vrl.vorland-tmp-Locked").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    document.Save(file, document.ListBytes());
    ::close(held);
    EXPECT_FALSE(fs::exists(dir / "b.vrl.vorland-tmp-Killed"));
    EXPECT_TRUE(fs::exists(dir / "b.vrl.vorland-tmp-Locked"));
    EXPECT_EQ(testkit::readFile(dir / "b.vrl.backup"), "mine");
    EXPECT_TRUE(fs::exists(dir / "c.vrl.vorland-tmp-Killed"));
    EXPECT_EQ(testkit::readFile(file), list.BatchFileText());
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 4u) << "the save's own temporary file is gone";

    // A failed save names the file and gives its reason once, and keeps the document's name.
    try {
        document.Save(dir / "no/such/x.vrl", "x");
        ADD_FAILURE();
    } catch (const EInOutError& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.find("No such file"), text.rfind("No such file")) << text;
        EXPECT_NE(text.find("x.vrl"), std::string::npos) << text;
    }
    EXPECT_EQ(document.FileName(), file);
}
