#include "batch/IniFile.h"
#include "batch/p_BatchList.h"
#include "core/CoreErrors.h"
#include "core/vk_tools.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using testkit::TempDir;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<TBatchEntry> entry(const std::string& name, const std::string& dir = "/src")
{
    return std::make_unique<TBatchEntry>(name, "/out/" + name + ".zip", dir, "*.txt", "bak", true, false, true);
}

} // namespace

TEST(BatchList, new_list_is_empty_with_update_on)
{
    TpxBatchList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Before, "");
    EXPECT_EQ(list.After, "");
    EXPECT_EQ(list.Password, "");
    EXPECT_TRUE(list.UpdateZip);
    EXPECT_FALSE(list.Running());
    list.SectionRunning = true;
    EXPECT_TRUE(list.Running());
}

TEST(BatchList, entry_constructor_takes_its_arguments_in_order)
{
    const TBatchEntry e("n", "z", "d", "s", "i", true, false, false);
    EXPECT_EQ(e.Name, "n");
    EXPECT_EQ(e.Zip, "z");
    EXPECT_EQ(e.Dir, "d");
    EXPECT_EQ(e.Suffix, "s");
    EXPECT_EQ(e.Ignore, "i");
    EXPECT_TRUE(e.Recurse);
    EXPECT_FALSE(e.DirName);
    EXPECT_FALSE(e.Compress);
    EXPECT_EQ(e.Comments, "");
}

TEST(BatchList, delete_moves_later_entries_up_and_rejects_bad_indexes)
{
    TpxBatchList list;
    EXPECT_EQ(list.AddEntry(entry("a")), 0);
    EXPECT_EQ(list.AddEntry(entry("b")), 1);
    EXPECT_EQ(list.AddEntry(entry("c")), 2);
    list.DeleteEntry(0);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Entries(0).Name, "b");
    EXPECT_EQ(list.Entries(1).Name, "c");
    EXPECT_THROW(list.DeleteEntry(2), std::out_of_range);
    EXPECT_THROW(list.DeleteEntry(-1), std::out_of_range);
    EXPECT_THROW(list.Entries(2), std::out_of_range);
    EXPECT_EQ(list.Count(), 2);
}

TEST(BatchList, clear_keeps_the_parameters)
{
    TpxBatchList list;
    list.Before = "b";
    list.After = "a";
    list.Password = "p";
    list.UpdateZip = false;
    list.AddEntry(entry("x"));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Before, "b");
    EXPECT_EQ(list.After, "a");
    EXPECT_EQ(list.Password, "p");
    EXPECT_FALSE(list.UpdateZip);
}

TEST(BatchFile, writer_produces_the_exact_layout)
{
    TpxBatchList list;
    list.Before = "  echo start ";
    list.After = "";
    list.Password = "";
    list.UpdateZip = false;
    list.AddEntry(std::make_unique<TBatchEntry>(" Docs ", "/out/docs.zip ", " /home/u/docs", "*.txt; *.md", "bak tmp",
                                                true, true, true));
    list.AddEntry(std::make_unique<TBatchEntry>("Copy", "/mirror", "/src", "", "", false, false, false));
    EXPECT_EQ(list.BatchFileText(), "[BatchParameters]\r\n"
                                    "Before=echo start\r\n"
                                    "After=\r\n"
                                    "Password=\r\n"
                                    "UpdateZip=0\r\n"
                                    "\r\n"
                                    "[Docs]\r\n"
                                    "Zip=/out/docs.zip\r\n"
                                    "Compress=1\r\n"
                                    "Dir=/home/u/docs\r\n"
                                    "Suffix=*.txt; *.md\r\n"
                                    "Ignore=bak tmp\r\n"
                                    "Recurse=1\r\n"
                                    "DirName=1\r\n"
                                    "Comments=\r\n"
                                    "\r\n"
                                    "[Copy]\r\n"
                                    "Zip=/mirror\r\n"
                                    "Compress=0\r\n"
                                    "Dir=/src\r\n"
                                    "Suffix=\r\n"
                                    "Ignore=\r\n"
                                    "Recurse=0\r\n"
                                    "DirName=0\r\n"
                                    "Comments=\r\n"
                                    "\r\n");
    TpxBatchList empty;
    EXPECT_EQ(empty.BatchFileText(), "[BatchParameters]\r\nBefore=\r\nAfter=\r\nPassword=\r\nUpdateZip=1\r\n\r\n");
    // Notifications of good runs are written only when asked for, so other files keep their bytes.
    empty.NotifySuccess = true;
    testkit::TempDir tmp;
    empty.SaveToFile(tmp / "notify.vrl");
    EXPECT_EQ(testkit::readFile(tmp / "notify.vrl"),
              "[BatchParameters]\r\nBefore=\r\nAfter=\r\nPassword=\r\nUpdateZip=1\r\nNotifySuccess=1\r\n\r\n");
    TpxBatchList loaded;
    loaded.LoadFromFile(tmp / "notify.vrl");
    EXPECT_TRUE(loaded.NotifySuccess);
}

TEST(BatchFile, password_is_trimmed_then_scrambled)
{
    TpxBatchList list;
    list.Password = "  abc\t";
    const std::string text = list.BatchFileText();
    EXPECT_NE(text.find("Password=" + ScramblePassword("abc", ScrambleKey()) + "\r\n"), std::string::npos);
}

TEST(BatchFile, save_then_load_gives_back_the_batch)
{
    TempDir tmp;
    TpxBatchList list;
    list.Before = "sh -c \"echo before\"";
    list.After = "'quoted'";
    list.Password = "pa ss w0rd!";
    list.UpdateZip = false;
    list.AddEntry(std::make_unique<TBatchEntry>("  First ", " /a.zip", "/src dir ", "\"my file.txt\";*.c", "o", true,
                                                true, true));
    list.AddEntry(std::make_unique<TBatchEntry>("Second]x", "/copy", "/s", "", "", false, false, false));
    list.AddEntry(std::make_unique<TBatchEntry>("First", "", "", "", "", false, false, true));
    list.Entries(0).Comments = "dropped";
    const std::string big(100 * 1024, 'v');
    list.Entries(2).Dir = big;
    list.SaveToFile(tmp / "b.vrl");
    EXPECT_EQ(testkit::readFile(tmp / "b.vrl").substr(testkit::readFile(tmp / "b.vrl").size() - 4), "\r\n\r\n");

    TpxBatchList loaded;
    loaded.LoadFromFile(tmp / "b.vrl");
    EXPECT_EQ(loaded.Before, list.Before);
    EXPECT_EQ(loaded.After, "'quoted'");
    EXPECT_EQ(loaded.Password, "pa ss w0rd!");
    EXPECT_FALSE(loaded.UpdateZip);
    ASSERT_EQ(loaded.Count(), 3);
    const TBatchEntry& a = loaded.Entries(0);
    EXPECT_EQ(a.Name, "First");
    EXPECT_EQ(a.Zip, "/a.zip");
    EXPECT_EQ(a.Dir, "/src dir");
    EXPECT_EQ(a.Suffix, "\"my file.txt\";*.c");
    EXPECT_EQ(a.Ignore, "o");
    EXPECT_TRUE(a.Recurse);
    EXPECT_TRUE(a.DirName);
    EXPECT_TRUE(a.Compress);
    EXPECT_EQ(a.Comments, "");
    EXPECT_EQ(loaded.Entries(1).Name, "Second]x");
    EXPECT_FALSE(loaded.Entries(1).Compress);
    // Two sections of one name stay two entries, each with its own values.
    EXPECT_EQ(loaded.Entries(2).Name, "First");
    EXPECT_EQ(loaded.Entries(2).Dir, big);
    EXPECT_EQ(loaded.Entries(2).Zip, "");

    // Saving what was loaded writes the same bytes.
    loaded.SaveToFile(tmp / "c.vrl");
    EXPECT_EQ(testkit::readFile(tmp / "c.vrl"), testkit::readFile(tmp / "b.vrl"));
}

TEST(BatchFile, hand_written_file_in_odd_layout)
{
    TempDir tmp;
    testkit::writeFile(tmp / "odd.vrl", "stray=line before any section\n"
                                        "  [ job one ]  trailing\r"
                                        "  ZIP =  \" /x.zip \"  \r\n"
                                        "compress=0x0\n"
                                        "RECURSE = 2\n"
                                        "dirname=yes\n"
                                        "Dir='/d'\n"
                                        "Dir=/second-ignored\n"
                                        "no equals sign here\n"
                                        "[empty]\n"
                                        "[batchparameters]\n"
                                        "before= run it \n"
                                        "updatezip=yes\n"
                                        "password=\n"
                                        "[Last]\r\n"
                                        "Compress=\r\n"
                                        "Recurse=$1f\r\n"
                                        "DirName=2abc");
    TpxBatchList list;
    list.Password = "kept?";
    list.After = "old after";
    list.UpdateZip = false;
    list.LoadFromFile(tmp / "odd.vrl");
    ASSERT_EQ(list.Count(), 3);
    const TBatchEntry& one = list.Entries(0);
    EXPECT_EQ(one.Name, "job one");
    EXPECT_EQ(one.Zip, " /x.zip ");
    EXPECT_FALSE(one.Compress);
    EXPECT_TRUE(one.Recurse);
    EXPECT_FALSE(one.DirName); // "yes" is no number: the default
    EXPECT_EQ(one.Dir, "/d");
    const TBatchEntry& empty = list.Entries(1);
    EXPECT_EQ(empty.Name, "empty");
    EXPECT_EQ(empty.Zip, "");
    EXPECT_EQ(empty.Dir, "");
    EXPECT_FALSE(empty.Recurse);
    EXPECT_FALSE(empty.DirName);
    EXPECT_TRUE(empty.Compress);
    EXPECT_TRUE(list.Entries(2).Compress); // empty value: the default
    EXPECT_TRUE(list.Entries(2).Recurse);
    EXPECT_FALSE(list.Entries(2).DirName); // "2abc" is no number
    // The parameter section may stand anywhere; missing keys take the defaults.
    EXPECT_EQ(list.Before, "run it");
    EXPECT_EQ(list.After, "");
    EXPECT_EQ(list.Password, "");
    EXPECT_TRUE(list.UpdateZip);
}

TEST(BatchFile, file_without_parameter_section_keeps_the_parameters)
{
    TempDir tmp;
    testkit::writeFile(tmp / "e.vrl", "[A]\nZip=/a.zip\n[B]\nZip=/b.zip\n");
    TpxBatchList list;
    list.Before = "b";
    list.Password = "p";
    list.UpdateZip = false;
    list.LoadFromFile(tmp / "e.vrl");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Entries(1).Zip, "/b.zip");
    EXPECT_EQ(list.Before, "b");
    EXPECT_EQ(list.Password, "p");
    EXPECT_FALSE(list.UpdateZip);
}

TEST(BatchFile, missing_file_empties_the_list_and_keeps_the_parameters)
{
    TempDir tmp;
    TpxBatchList list;
    list.AddEntry(entry("x"));
    list.Before = "b";
    list.CancelRequested = true; // left over from a cancelled run: loading ignores it
    list.LoadFromFile(tmp / "none.vrl");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Before, "b");
    list.AddEntry(entry("x"));
    list.LoadFromFile("");
    EXPECT_EQ(list.Count(), 0);

    testkit::writeFile(tmp / "one.vrl", "[A]\n");
    list.LoadFromFile(tmp / "one.vrl");
    EXPECT_EQ(list.Count(), 1);
}

TEST(BatchFile, unreadable_file_is_an_error_naming_it_and_changes_nothing)
{
    TempDir tmp;
    TpxBatchList list;
    list.AddEntry(entry("x"));
    fs::create_directory(tmp.path() / "folder.vrl");
    try {
        list.LoadFromFile(tmp / "folder.vrl");
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("folder.vrl"), std::string::npos) << e.what();
        EXPECT_EQ(e.SystemError(), EISDIR);
    }
    EXPECT_EQ(list.Count(), 1);
    // A FIFO would block the load (and a device might never end): refused at once.
    ASSERT_EQ(::mkfifo((tmp / "fifo.vrl").c_str(), 0600), 0);
    try {
        list.LoadFromFile(tmp / "fifo.vrl");
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("fifo.vrl"), std::string::npos) << e.what();
    }
    EXPECT_THROW(list.LoadFromFile("/dev/zero"), EInOutError);
    EXPECT_EQ(list.Count(), 1);
}

TEST(BatchFile, failed_save_keeps_the_previous_file_and_names_it)
{
    TempDir tmp;
    TpxBatchList list;
    list.AddEntry(entry("x"));
    list.SaveToFile(tmp / "keep.vrl");
    const std::string before = testkit::readFile(tmp / "keep.vrl");

    // A path whose parent is a file.
    try {
        list.SaveToFile(tmp / "keep.vrl/inner.vrl");
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("keep.vrl/inner.vrl"), std::string::npos) << e.what();
        EXPECT_EQ(e.SystemError(), ENOTDIR);
    }
    // A value that cannot be stored: nothing is written, the previous file stays.
    list.Entries(0).Dir = "/a\nb";
    EXPECT_THROW(list.SaveToFile(tmp / "keep.vrl"), EVorlandError);
    EXPECT_EQ(testkit::readFile(tmp / "keep.vrl"), before);

    // A folder that cannot be written (only meaningful when not running as root).
    if (::geteuid() != 0) {
        list.Entries(0).Dir = "/changed";
        ::chmod(tmp.path().c_str(), 0555);
        EXPECT_THROW(list.SaveToFile(tmp / "keep.vrl"), EInOutError);
        ::chmod(tmp.path().c_str(), 0755);
        EXPECT_EQ(testkit::readFile(tmp / "keep.vrl"), before);
    }
    // No temporary file is left behind.
    int files = 0;
    for (const auto& item : fs::directory_iterator(tmp.path())) {
        (void)item;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(BatchFile, save_keeps_the_file_mode_and_writes_through_links)
{
    TempDir tmp;
    TpxBatchList list;
    list.SaveToFile(tmp / "real.vrl");
    ::chmod((tmp / "real.vrl").c_str(), 0640);
    fs::create_symlink(tmp / "real.vrl", tmp / "link.vrl");
    list.Before = "new";
    list.SaveToFile(tmp / "link.vrl");
    EXPECT_TRUE(fs::is_symlink(tmp.path() / "link.vrl"));
    EXPECT_NE(testkit::readFile(tmp / "real.vrl").find("Before=new"), std::string::npos);
    struct stat info = {};
    ASSERT_EQ(::stat((tmp / "real.vrl").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(BatchFile, values_that_would_not_read_back_are_refused_or_protected)
{
    TpxBatchList list;
    list.AddEntry(entry("BatchParameters"));
    EXPECT_THROW(list.BatchFileText(), EVorlandError);
    list.Entries(0).Name = "x\ry";
    EXPECT_THROW(list.BatchFileText(), EVorlandError);
    list.Entries(0).Name = "ok";
    list.Before = "a\rb";
    EXPECT_THROW(list.BatchFileText(), EVorlandError);
    list.Before = "\"quoted program\"";
    EXPECT_NE(list.BatchFileText().find("Before=\"\"quoted program\"\"\r\n"), std::string::npos);
}

TEST(BatchFile, every_password_reads_back_whole_or_is_refused)
{
    // The scrambled bytes are arbitrary: blanks and quotes at the ends, and line breaks, all occur.
    // Every byte is tried alone and at both ends of a longer password.
    TempDir tmp;
    int refused = 0;
    int protectedByQuotes = 0;
    for (int b = 1; b <= 254; ++b) {
        const std::string byte(1, static_cast<char>(b));
        for (const std::string& password : {byte, byte + "middle", std::string("middle") + byte + "x"}) {
            if (IsBlankByte(password.front()) || IsBlankByte(password.back())) {
                continue; // trimmed before scrambling
            }
            TpxBatchList list;
            list.Password = password;
            const std::string scrambled = ScramblePassword(password, ScrambleKey());
            if (scrambled.find_first_of("\r\n") != std::string::npos) {
                try {
                    (void)list.BatchFileText();
                    ADD_FAILURE() << "byte " << b << " accepted";
                } catch (const EVorlandError& e) {
                    EXPECT_NE(std::string(e.what()).find("password"), std::string::npos);
                }
                ++refused;
                continue;
            }
            protectedByQuotes += IsBlankByte(scrambled.front()) || IsBlankByte(scrambled.back()) ? 1 : 0;
            testkit::writeFile(tmp / "p.vrl", list.BatchFileText());
            TpxBatchList loaded;
            loaded.LoadFromFile(tmp / "p.vrl");
            EXPECT_EQ(loaded.Password, password) << "byte " << b;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(protectedByQuotes, 0);
}

TEST(BatchFile, printable_passwords_never_need_refusing)
{
    // "secret" scrambles to a text that ends with a control byte; it still comes back whole.
    TempDir tmp;
    for (int b = 33; b <= 126; ++b) {
        TpxBatchList list;
        list.Password = std::string("secre") + static_cast<char>(b);
        testkit::writeFile(tmp / "p.vrl", list.BatchFileText());
        TpxBatchList loaded;
        loaded.LoadFromFile(tmp / "p.vrl");
        EXPECT_EQ(loaded.Password, list.Password);
    }
}

TEST(BatchFile, parameter_sections_read_as_one_with_the_first_key_winning)
{
    TempDir tmp;
    testkit::writeFile(tmp / "p.vrl", "[BatchParameters]\nBefore=one\n[A]\n[BATCHPARAMETERS]\nBefore=two\nAfter=x\n");
    TpxBatchList list;
    list.LoadFromFile(tmp / "p.vrl");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Before, "one");
    EXPECT_EQ(list.After, "x");
}

TEST(IniReader, booleans_are_whole_numbers)
{
    bool value = false;
    EXPECT_TRUE(IniFile::ParseBoolean("0x0", value));
    EXPECT_FALSE(value);
    EXPECT_TRUE(IniFile::ParseBoolean("0XfF", value));
    EXPECT_TRUE(value);
    EXPECT_TRUE(IniFile::ParseBoolean("$10", value));
    EXPECT_TRUE(value);
    EXPECT_TRUE(IniFile::ParseBoolean("-1", value));
    EXPECT_TRUE(value);
    EXPECT_TRUE(IniFile::ParseBoolean("00000000000000000000000000", value));
    EXPECT_FALSE(value);
    EXPECT_TRUE(IniFile::ParseBoolean("99999999999999999999999999", value));
    EXPECT_TRUE(value);
    for (const char* bad : {"", "yes", "2abc", "0x", "$", "-", " 1", "0x1g", "1.0"}) {
        EXPECT_FALSE(IniFile::ParseBoolean(bad, value)) << bad;
    }
}
