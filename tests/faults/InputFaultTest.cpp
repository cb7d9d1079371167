// Odd input and what the program says about it: a source folder named through a link and "..", NUL
// bytes in batch values, control characters in names, a byte-order mark before the first section,
// and the wording and counting of the run summary.

#include "batch/p_BatchList.h"
#include "faults/FaultKit.h"

#include <gtest/gtest.h>

namespace {

using faultkit::fs::path;
using testkit::writeFile;

bool mentions(const faultkit::RunResult& run, const std::string& text)
{
    return run.output.find(text) != std::string::npos;
}

class InputFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(faultkit::fs::exists(faultkit::VorlandPath())) << faultkit::VorlandPath();
        writeFile(src / "one.txt", "first file\n");
    }

    testkit::TempDir tmp;
    path src = tmp.path() / "src";
    path out = tmp.path() / "out";
    path batch = tmp.path() / "batch.vrl";
};

TEST_F(InputFaults, a_source_folder_with_a_link_before_dot_dot_is_the_folder_the_system_shows)
{
    writeFile(tmp.path() / "elsewhere" / "data" / "right.txt", "the folder the system shows\n");
    faultkit::fs::create_directories(tmp.path() / "elsewhere" / "inner");
    writeFile(tmp.path() / "data" / "wrong.txt", "the folder beside the link\n");
    faultkit::fs::create_directory_symlink(tmp.path() / "elsewhere" / "inner", tmp.path() / "lk");
    const std::string dir = (tmp.path() / "lk" / ".." / "data").string();
    const path copy = tmp.path() / "copy";
    faultkit::WriteBatch(
        batch, {faultkit::ZipSection("Zip", out / "a.zip", dir), faultkit::CopySection("Copy", copy, dir)}, true);
    const auto run = faultkit::RunBatch(batch);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(faultkit::ArchiveNames(out / "a.zip"), std::vector<std::string>{"right.txt"});
    EXPECT_EQ(faultkit::TreeDifference(faultkit::ReadTree(copy), {{"right.txt", "the folder the system shows\n"}}), "");
}

TEST_F(InputFaults, a_nul_byte_in_a_value_is_an_error_naming_line_and_key_and_nothing_is_cut)
{
    const std::string good = "[Good]\r\nZip=" + (out / "good.zip").string() + "\r\nDir=" + src.string() + "\r\n";
    const std::string evil =
        "[Evil]\r\nDir=" + src.string() + "\r\nZip=" + (out / "a").string() + std::string(1, '\0') + "evil.zip\r\n";
    // Lines: 1 [BatchParameters], 2 UpdateZip, 3 [Evil], 4 Dir, 5 Zip.
    writeFile(batch, "[BatchParameters]\r\nUpdateZip=1\r\n" + evil + good);
    const auto run = faultkit::RunBatch(batch);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(mentions(run, "Section \"Evil\" not run: line 5: the value of Zip holds a NUL byte")) << run.output;
    EXPECT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"good.zip"});

    // In the parameters nothing runs at all: a cut command or password is worse than none.
    const path marker = tmp.path() / "marker";
    writeFile(batch, "[BatchParameters]\r\nUpdateZip=1\r\nBefore=touch " + marker.string() + std::string(1, '\0') +
                         "x\r\n" + good);
    faultkit::fs::remove_all(out);
    const auto stopped = faultkit::RunBatch(batch);
    EXPECT_EQ(stopped.exitCode, 2) << stopped.output;
    EXPECT_TRUE(mentions(stopped, "line 3: the value of Before holds a NUL byte")) << stopped.output;
    EXPECT_FALSE(faultkit::fs::exists(marker));
    EXPECT_FALSE(faultkit::fs::exists(out));
}

TEST_F(InputFaults, control_characters_of_names_reach_the_output_escaped)
{
    // A file that cannot be read is named in a problem line; its name and the section's carry
    // escape sequences and a line break.
    writeFile(src / "red\x1b[31mfile\nx.txt", "unreadable\n");
    faultkit::Section section = faultkit::ZipSection("Clear\x1b[2J", out / "a.zip", src.string());
    faultkit::WriteBatch(batch, {section}, true);
    const auto run = faultkit::RunBatch(batch, {"VORLAND_FAULT_READ_MATCH=red"});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << run.output;
    EXPECT_TRUE(mentions(run, "red\\x1b[31mfile\\x0ax.txt")) << run.output;
    EXPECT_TRUE(mentions(run, "Section \"Clear\\x1b[2J\"")) << run.output;
}

TEST_F(InputFaults, a_byte_order_mark_before_the_first_section_keeps_its_keys)
{
    TpxBatchList list;
    list.Password = "secret";
    list.UpdateZip = false;
    list.AddEntry(
        std::make_unique<TBatchEntry>("Zip", (out / "a.zip").string(), src.string(), "", "", true, false, true));
    list.SaveToFile(batch.string());
    writeFile(batch, "\xEF\xBB\xBF" + testkit::readFile(batch));
    const auto run = faultkit::RunBatch(batch);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // Written with the password: the right one opens it, a wrong one does not.
    const auto right = testkit::runProcess({"unzip", "-tq", "-P", "secret", (out / "a.zip").string()});
    EXPECT_EQ(right.exitCode, 0) << right.out << right.err;
    const auto wrong = testkit::runProcess({"unzip", "-tq", "-P", "wrong", (out / "a.zip").string()});
    EXPECT_NE(wrong.exitCode, 0) << "the archive was written without the password";
}

TEST_F(InputFaults, the_summary_says_no_problems_only_for_a_run_without_any_and_counts_a_damaged_archive_once)
{
    // A damaged archive: the reader's message, alone (no "no archive name" after it).
    const path archive = out / "a.zip";
    writeFile(archive, "this is not a zip archive at all");
    faultkit::WriteBatch(batch, {faultkit::ZipSection("Zip", archive, src)}, true);
    const auto damaged = faultkit::RunBatch(batch);
    EXPECT_EQ(damaged.exitCode, 1) << damaged.output;
    EXPECT_TRUE(mentions(damaged, "[11036]")) << damaged.output;
    EXPECT_FALSE(mentions(damaged, "[10102]")) << damaged.output;
    EXPECT_TRUE(mentions(damaged, "\n1 problem(s): 1 zip errors.\n")) << damaged.output;
    EXPECT_EQ(testkit::readFile(archive), "this is not a zip archive at all");

    // Damage inside the directory, past its first header: the engine's reading of the directory finds
    // it, the archive stays as it was, one problem.
    faultkit::fs::remove(archive);
    writeFile(src / "two.txt", "second file\n");
    ASSERT_EQ(faultkit::RunBatch(batch).exitCode, 0);
    std::string bytes = testkit::readFile(archive);
    bytes[bytes.rfind(std::string("PK\x01\x02", 4))] = 'X';
    writeFile(archive, bytes);
    writeFile(src / "three.txt", "third file\n");
    const auto inside = faultkit::RunBatch(batch);
    EXPECT_EQ(inside.exitCode, 1) << inside.output;
    EXPECT_TRUE(mentions(inside, "the archive " + archive.string() + " is damaged")) << inside.output;
    EXPECT_TRUE(mentions(inside, "\n1 problem(s): 1 zip errors.\n")) << inside.output;
    EXPECT_EQ(testkit::readFile(archive), bytes);

    // Stopped before any problem: no "No problems." in front of "Stopped by ...".
    std::string text = testkit::readFile(batch);
    text.replace(text.find("Before="), 7, "Before=sh -c \"kill -TERM $PPID\"");
    writeFile(batch, text);
    const auto stopped = faultkit::RunBatch(batch);
    EXPECT_EQ(stopped.exitCode, 3) << stopped.output;
    EXPECT_TRUE(mentions(stopped, "Stopped by the user")) << stopped.output;
    EXPECT_FALSE(mentions(stopped, "No problems.")) << stopped.output;

    faultkit::fs::remove(archive);
    faultkit::WriteBatch(batch, {faultkit::ZipSection("Zip", archive, src)}, true);
    const auto clean = faultkit::RunBatch(batch);
    EXPECT_EQ(clean.exitCode, 0) << clean.output;
    EXPECT_TRUE(mentions(clean, "No problems.")) << clean.output;
}

} // namespace
