// The component driving the real engine library built beside the program.

#include "FakeEngineHarness.h"
#include "ZipBuilder.h"
#include "zipcomp/ZipComp.h"

#include <gtest/gtest.h>

#include <set>

namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const TZipComponent& zip)
{
    std::set<std::string> names;
    for (const auto& e : zip.Entries()) {
        names.insert(e.FileName);
    }
    return names;
}

class ZipCompEngineTest : public ::testing::Test
{
protected:
    ZipCompEngineTest()
    {
        zip.SetDLLDirectory(testkit::binDir().string());
        zip.SetUnattended(true);
        zip.OnMessage = [this](TZipComponent&, std::int32_t code, const std::string& text) {
            messages.push_back(std::to_string(code) + " " + text);
        };
        testkit::writeFile(tree / "a.txt", "alpha\n");
        testkit::writeFile(tree / "sub" / "b.txt", std::string(200000, 'b'));
        testkit::writeFile(tree / "sub" / "deeper" / "c.bin", testkit::randomBytes(70000, 11));
        testkit::writeFile(tree / "sub" / "skip.bak", "old");
        testkit::writeFile(tree / ".hidden", "h");
        archive = (dir.path() / "out.zip").string();
    }

    // The runner's settings for one section: update, folder names, hidden files, separate folders.
    void Prepare(bool recurse)
    {
        zip.SetZipFileName("");
        zip.SetZipFileName(archive);
        AddOpts options = AddOpts::FromBits(0x0891);
        options.Set(AddOpt::AddRecurseDirs, recurse);
        zip.SetAddOptions(options);
        zip.SetRootDir(tree.string());
        zip.FSpecArgs() = {"*.*"};
        zip.FSpecArgsExcl() = {"*.bak"};
    }

    testkit::TempDir dir;
    fs::path tree = dir.path() / "tree";
    std::string archive;
    TCountingPump pump;
    TZipComponent zip{nullptr, &pump};
    std::vector<std::string> messages;
};

} // namespace

TEST_F(ZipCompEngineTest, add_of_a_tree_then_entries_list_exactly_what_was_added)
{
    std::vector<std::string> started;
    std::int64_t announcedFiles = -1;
    zip.OnProgress = [&](TZipComponent&, ProgressType type, const std::string& name, std::int64_t size) {
        if (type == ProgressType::NewFile) {
            started.push_back(name);
        } else if (type == ProgressType::TotalFiles2Process) {
            announcedFiles = size;
        }
    };
    Prepare(true);
    zip.Add();
    ASSERT_EQ(zip.ProcessedCount(), 4) << (messages.empty() ? "" : messages.back());
    EXPECT_EQ(announcedFiles, 4);
    EXPECT_EQ(std::set<std::string>(started.begin(), started.end()),
              (std::set<std::string>{".hidden", "a.txt", "sub/b.txt", "sub/deeper/c.bin"}));
    EXPECT_EQ(Names(zip), (std::set<std::string>{".hidden", "a.txt", "sub/b.txt", "sub/deeper/c.bin"}));
    EXPECT_EQ(zip.SkippedDirCount(), 2) << "sub/ and sub/deeper/ are stored as folder entries";
    for (const auto& e : zip.Entries()) {
        EXPECT_EQ(e.UncompressedSize, fs::file_size(tree / e.FileName)) << e.FileName;
    }
    EXPECT_TRUE(zip.FSpecArgs().empty());
    EXPECT_FALSE(zip.Busy());
    EXPECT_EQ(zip.EngineHandle(), nullptr);
    EXPECT_GT(pump.Calls, 0);

    if (testkit::haveProgram("unzip")) {
        auto r = testkit::runProcess({"unzip", "-t", archive}, {}, 60);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    }

    // Nothing changed: an update adds nothing and keeps every entry.
    Prepare(true);
    zip.Add();
    EXPECT_EQ(zip.ProcessedCount(), 0);
    zip.SetZipFileName(archive);
    EXPECT_EQ(zip.Entries().size(), 4u);
}

TEST_F(ZipCompEngineTest, cancel_from_on_progress_stops_the_engine_and_keeps_the_old_archive)
{
    Prepare(false);
    zip.Add();
    ASSERT_EQ(zip.ProcessedCount(), 2) << (messages.empty() ? "" : messages.back());
    const std::string before = testkit::readFile(archive);

    zip.OnProgress = [](TZipComponent& sender, ProgressType type, const std::string&, std::int64_t) {
        if (type == ProgressType::NewFile) {
            sender.SetCancel(true);
        }
    };
    Prepare(true);
    zip.Add();
    EXPECT_EQ(zip.ProcessedCount(), 0);
    EXPECT_FALSE(zip.Cancel());
    EXPECT_EQ(testkit::readFile(archive), before) << "a stopped update leaves the previous archive as it was";
    zip.SetZipFileName(archive);
    EXPECT_EQ(Names(zip), (std::set<std::string>{".hidden", "a.txt"}));
}

TEST_F(ZipCompEngineTest, encrypted_entries_are_flagged_and_open_with_the_password)
{
    Prepare(true);
    AddOpts options = zip.AddOptions();
    options.Include(AddOpt::AddEncrypt);
    zip.SetAddOptions(options);
    zip.SetPassword("s3cret");
    zip.Add();
    ASSERT_EQ(zip.ProcessedCount(), 4) << (messages.empty() ? "" : messages.back());
    for (const auto& e : zip.Entries()) {
        EXPECT_TRUE(e.Encrypted) << e.FileName;
    }
    if (testkit::haveProgram("unzip")) {
        auto r = testkit::runProcess({"unzip", "-t", "-P", "s3cret", archive}, {}, 60);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    }
}

TEST_F(ZipCompEngineTest, end_records_inside_the_archive_comment_are_comment_text)
{
    // A record whose fields run past the file, and an empty directory stated at offset 0: both are
    // only text of the real archive's comment, which the component reads and the engine updates.
    const std::string fakes[] = {std::string("PK\x05\x06", 4) + std::string(18, '\xFF'),
                                 std::string("PK\x05\x06", 4) + std::string(18, '\0')};
    for (const std::string& fake : fakes) {
        zipbuild::Options options;
        options.comment = "before " + fake;
        const std::string original = zipbuild::Build({{"old.txt", "old entry"}, {"keep/me.txt", "kept"}}, options);
        testkit::writeFile(archive, original);
        messages.clear();
        Prepare(false);
        EXPECT_TRUE(messages.empty()) << messages.front();
        EXPECT_EQ(Names(zip), (std::set<std::string>{"old.txt", "keep/me.txt"}));
        // The comment the engine is told to keep ends at its first zero byte.
        const std::string kept = options.comment.substr(0, options.comment.find('\0'));
        EXPECT_EQ(zip.ArchiveComment(), kept);

        zip.Add();
        EXPECT_EQ(zip.ProcessedCount(), 2) << (messages.empty() ? "" : messages.back());
        EXPECT_TRUE(messages.empty()) << messages.front();
        EXPECT_EQ(Names(zip), (std::set<std::string>{"old.txt", "keep/me.txt", ".hidden", "a.txt"}));
        // The common readers take the record in the comment for the end as well: they see the
        // archive only without its comment.
        std::string after = testkit::readFile(archive);
        ASSERT_GT(after.size(), kept.size() + 22);
        EXPECT_EQ(after.substr(after.size() - kept.size()), kept);
        after.resize(after.size() - kept.size());
        after[after.size() - 2] = after[after.size() - 1] = '\0';
        testkit::writeFile(dir.path() / "uncommented.zip", after);
        if (testkit::haveProgram("unzip")) {
            auto r = testkit::runProcess({"unzip", "-t", (dir.path() / "uncommented.zip").string()}, {}, 60);
            EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        }
    }
}
