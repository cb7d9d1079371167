// End-to-end runs of the program: batch files written by the test, `vorland FILE /B` started as a
// separate process without a display, and the archives, copies, exit codes and command order
// checked from outside.

#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct Section
{
    std::string name;
    std::string zip;
    bool compress = true;
    std::string dir;
    std::string suffix;
    std::string ignore;
    bool recurse = true;
    bool dirName = false;
};

struct Batch
{
    std::string before;
    std::string after;
    bool updateZip = true;
    std::vector<Section> sections;
};

void writeBatch(const std::string& file, const Batch& batch)
{
    std::string text = "[BatchParameters]\r\nBefore=" + batch.before + "\r\nAfter=" + batch.after +
                       "\r\nPassword=\r\nUpdateZip=" + (batch.updateZip ? "1" : "0") + "\r\n\r\n";
    for (const auto& s : batch.sections) {
        text += "[" + s.name + "]\r\nZip=" + s.zip + "\r\nCompress=" + (s.compress ? "1" : "0") + "\r\nDir=" + s.dir +
                "\r\nSuffix=" + s.suffix + "\r\nIgnore=" + s.ignore + "\r\nRecurse=" + (s.recurse ? "1" : "0") +
                "\r\nDirName=" + (s.dirName ? "1" : "0") + "\r\nComments=\r\n\r\n";
    }
    testkit::writeFile(file, text);
}

std::string vorland()
{
    return (testkit::binDir() / "vorland").string();
}

// Runs the program without a display, as an unattended run does.
testkit::ProcessResult run(const std::vector<std::string>& args, std::vector<std::string> env = {},
                           const fs::path& workDir = {})
{
    std::vector<std::string> argv{vorland()};
    argv.insert(argv.end(), args.begin(), args.end());
    env.push_back("DISPLAY=");
    env.push_back("WAYLAND_DISPLAY=");
    return testkit::runProcess(argv, env, 120, workDir);
}

// Entry name -> (content, local date_time) as Python's zipfile reads them; fails on a bad archive.
std::map<std::string, std::pair<std::string, std::string>> zipContents(const std::string& archive)
{
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for i in z.infolist():\n"
        "    if i.is_dir(): continue\n"
        "    d = z.read(i)\n"
        "    print(i.filename + '\\t' + d.hex() + '\\t' + '%04d%02d%02d%02d%02d%02d' % i.date_time)\n";
    const auto result = testkit::runProcess({"python3", "-c", script, archive});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, std::pair<std::string, std::string>> entries;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab1 = line.find('\t');
        const auto tab2 = line.find('\t', tab1 + 1);
        std::string hex = line.substr(tab1 + 1, tab2 - tab1 - 1);
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        }
        entries[line.substr(0, tab1)] = {bytes, line.substr(tab2 + 1)};
    }
    return entries;
}

void expectUnzipTestPasses(const std::string& archive)
{
    const auto result = testkit::runProcess({"unzip", "-t", archive});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
}

ino_t inodeOf(const fs::path& file)
{
    struct stat st
    {
    };
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return st.st_ino;
}

time_t mtimeOf(const fs::path& file)
{
    struct stat st
    {
    };
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return st.st_mtime;
}

// A small source tree with files at three levels and fixed times.
void makeTree(const fs::path& root)
{
    testkit::writeFile(root / "a.txt", "alpha\n");
    testkit::writeFile(root / "b.dat", testkit::randomBytes(70'000, 1));
    testkit::writeFile(root / "sub/c.txt", "gamma gamma gamma\n");
    testkit::writeFile(root / "sub/deep/d.txt", std::string(5000, 'd'));
    testkit::writeFile(root / ".hidden", "hidden file\n");
    for (const char* f : {"a.txt", "b.dat", "sub/c.txt", "sub/deep/d.txt", ".hidden"}) {
        testkit::setMTime(root / f, 1'600'000'000);
    }
}

std::string markerCommand(const fs::path& markers, const std::string& word, const std::string& condition = "true")
{
    return "sh -c \"" + condition + " && echo " + word + " >> '" + markers.string() + "'\"";
}

class BatchRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(vorland())) << "the program is not built";
        ASSERT_TRUE(fs::exists(testkit::binDir() / "libzipengine.so")) << "the engine is not built";
        makeTree(src);
    }

    testkit::TempDir tmp;
    fs::path src = tmp.path() / "src";
    std::string batchFile = tmp / "test.vrl";
};

} // namespace

TEST_F(BatchRun, runs_before_then_every_section_in_order_then_after)
{
    const fs::path markers = tmp.path() / "markers";
    const std::string archive = tmp / "out/archive.zip";
    const fs::path copy = tmp.path() / "copy";
    Batch batch;
    // Each command records that it ran, and checks the state of the run it should see.
    batch.before = markerCommand(markers, "before", "test ! -e '" + archive + "'");
    batch.after =
        markerCommand(markers, "after", "test -f '" + archive + "' && test -f '" + (copy / "sub/c.txt").string() + "'");
    batch.sections.push_back({"Zip it", archive, true, src.string(), "", "", true, false});
    batch.sections.push_back({"Copy it", copy.string(), false, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);

    const auto result = run({batchFile, "/B"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(testkit::readFile(markers), "before\nafter\n");

    expectUnzipTestPasses(archive);
    const auto entries = zipContents(archive);
    ASSERT_EQ(entries.size(), 5U) << result.err; // hidden files are zipped
    EXPECT_EQ(entries.at("a.txt").first, "alpha\n");
    EXPECT_EQ(entries.at("sub/deep/d.txt").first, std::string(5000, 'd'));
    EXPECT_EQ(entries.at("b.dat").first, testkit::randomBytes(70'000, 1));

    // The copy: same tree without the hidden file, same contents, same modification times.
    for (const char* f : {"a.txt", "b.dat", "sub/c.txt", "sub/deep/d.txt"}) {
        EXPECT_EQ(testkit::readFile(copy / f), testkit::readFile(src / f)) << f;
        EXPECT_EQ(mtimeOf(copy / f), 1'600'000'000) << f;
    }
    EXPECT_FALSE(fs::exists(copy / ".hidden"));
    EXPECT_NE(result.err.find("Section \"Zip it\""), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("No problems."), std::string::npos) << result.err;
}

TEST_F(BatchRun, a_second_run_on_an_unchanged_tree_changes_nothing_and_a_touched_file_alone_is_redone)
{
    const std::string archive = tmp / "out/archive.zip";
    const fs::path copy = tmp.path() / "copy";
    Batch batch;
    batch.sections.push_back({"Zip", archive, true, src.string(), "", "", true, false});
    batch.sections.push_back({"Copy", copy.string(), false, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);
    ASSERT_EQ(run({batchFile, "/B"}).exitCode, 0);

    const auto firstEntries = zipContents(archive);
    const std::string firstArchive = testkit::readFile(archive);
    std::map<std::string, ino_t> inodes;
    for (const char* f : {"a.txt", "b.dat", "sub/c.txt", "sub/deep/d.txt"}) {
        inodes[f] = inodeOf(copy / f);
    }

    // Unchanged: no file copied (each copy would be a new file), no entry replaced.
    auto second = run({batchFile, "/B"});
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(second.err.find("0 file(s) copied, 4 unchanged"), std::string::npos) << second.err;
    for (const auto& [f, inode] : inodes) {
        EXPECT_EQ(inodeOf(copy / f), inode) << f;
    }
    EXPECT_EQ(zipContents(archive), firstEntries);

    // One file touched (newer time, same content and size): only that file is copied and only its
    // entry gets the new time.
    testkit::setMTime(src / "sub/c.txt", 1'700'000'000);
    auto third = run({batchFile, "/B"});
    EXPECT_EQ(third.exitCode, 0) << third.err;
    EXPECT_NE(third.err.find("1 file(s) copied, 3 unchanged"), std::string::npos) << third.err;
    for (const auto& [f, inode] : inodes) {
        if (f == "sub/c.txt") {
            EXPECT_NE(inodeOf(copy / f), inode);
            EXPECT_EQ(mtimeOf(copy / f), 1'700'000'000);
        } else {
            EXPECT_EQ(inodeOf(copy / f), inode) << f;
        }
    }
    const auto thirdEntries = zipContents(archive);
    ASSERT_EQ(thirdEntries.size(), firstEntries.size());
    for (const auto& [name, entry] : firstEntries) {
        if (name == "sub/c.txt") {
            EXPECT_NE(thirdEntries.at(name).second, entry.second);
        } else {
            EXPECT_EQ(thirdEntries.at(name), entry) << name;
        }
    }
    expectUnzipTestPasses(archive);
}

TEST_F(BatchRun, rebuild_keeps_no_old_entries_and_writes_no_archive_when_nothing_matches)
{
    const std::string archive = tmp / "out/archive.zip";
    Batch batch;
    batch.sections.push_back({"Zip", archive, true, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);
    ASSERT_EQ(run({batchFile, "/B"}).exitCode, 0);
    ASSERT_EQ(zipContents(archive).size(), 5U);

    fs::remove(src / "b.dat");
    fs::remove_all(src / "sub");
    batch.updateZip = false;
    writeBatch(batchFile, batch);
    auto rebuilt = run({batchFile, "/B"});
    EXPECT_EQ(rebuilt.exitCode, 0) << rebuilt.err;
    const auto entries = zipContents(archive);
    EXPECT_EQ(entries.size(), 2U);
    EXPECT_TRUE(entries.count("a.txt") == 1 && entries.count(".hidden") == 1);
    expectUnzipTestPasses(archive);

    // Nothing matches: a rebuild ends without an archive, and nothing is left beside it. Removing the
    // last backup is a problem of the run.
    batch.sections[0].suffix = "*.nothing";
    writeBatch(batchFile, batch);
    auto empty = run({batchFile, "/B"});
    EXPECT_EQ(empty.exitCode, 1) << empty.err;
    EXPECT_NE(empty.err.find("Section \"Zip\": nothing to add; the previous archive \"" + archive + "\" was removed"),
              std::string::npos)
        << empty.err;
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_TRUE(fs::is_empty(tmp.path() / "out"));

    // A tree of empty folders only: their entries are the archive, which is written and kept.
    fs::remove_all(src);
    fs::create_directories(src / "empty/inner");
    batch.sections[0].suffix = "";
    writeBatch(batchFile, batch);
    auto folders = run({batchFile, "/B"});
    EXPECT_EQ(folders.exitCode, 0) << folders.err;
    EXPECT_NE(folders.err.find("1 archive(s) written"), std::string::npos) << folders.err;
    const auto unzip = testkit::runProcess({"unzip", "-q", archive, "-d", tmp.path() / "restored"});
    EXPECT_EQ(unzip.exitCode, 0) << unzip.err;
    EXPECT_TRUE(fs::is_directory(tmp.path() / "restored/empty/inner"));
}

TEST_F(BatchRun, a_bare_archive_name_stops_the_run_with_unable_to_create_directory)
{
    const fs::path markers = tmp.path() / "markers";
    Batch batch;
    batch.after = markerCommand(markers, "after");
    batch.sections.push_back({"Bare", "bare.zip", true, src.string(), "", "", true, false});
    batch.sections.push_back({"Next", (tmp.path() / "copy").string(), false, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);

    const auto result = run({batchFile, "/B"}, {}, tmp.path());
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_NE(result.err.find("Unable to create directory"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(tmp.path() / "bare.zip"));
    EXPECT_FALSE(fs::exists(tmp.path() / "copy"));
    EXPECT_FALSE(fs::exists(markers));
}

TEST_F(BatchRun, a_stop_while_the_before_command_hangs_ends_the_command_and_runs_nothing_more)
{
    const fs::path markers = tmp.path() / "markers";
    Batch batch;
    // The command stops the program and then hangs; the program must end it rather than wait.
    batch.before = "sh -c \"kill -TERM $PPID; exec sleep 60\"";
    batch.after = markerCommand(markers, "after");
    batch.sections.push_back({"First", (tmp.path() / "copy1").string(), false, src.string(), "", "", true, false});
    batch.sections.push_back({"Second", (tmp.path() / "copy2").string(), false, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);

    const auto start = std::chrono::steady_clock::now();
    const auto result = run({batchFile, "/B"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(result.exitCode, 3) << result.err;
    EXPECT_FALSE(fs::exists(tmp.path() / "copy1"));
    EXPECT_FALSE(fs::exists(tmp.path() / "copy2"));
    EXPECT_FALSE(fs::exists(markers));
    EXPECT_NE(result.err.find("Stopped by the user before the first section"), std::string::npos) << result.err;
}

TEST_F(BatchRun, a_copy_target_inside_its_source_is_left_out_and_a_link_to_a_folder_is_a_notice)
{
    fs::create_directory_symlink(src / "sub", src / "linked");
    Batch batch;
    batch.sections.push_back({"Inside", (src / "backup").string(), false, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);
    for (int round = 0; round < 3; ++round) {
        const auto result = run({batchFile, "/B"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.err.find((src / "linked").string() + ": a link to a folder, not followed\n"),
                  std::string::npos)
            << result.err;
        EXPECT_NE(result.err.find("No problems.\n1 notice(s).\n"), std::string::npos) << result.err;
    }
    EXPECT_EQ(testkit::readFile(src / "backup/sub/deep/d.txt"), std::string(5000, 'd'));
    EXPECT_FALSE(fs::exists(src / "backup/backup"));
    EXPECT_FALSE(fs::exists(src / "backup/linked"));
}

TEST_F(BatchRun, a_copy_walks_a_tree_deeper_than_the_open_file_limit)
{
    // 1,500 levels under a limit of 1,024 open files: a walk holding one folder per level fails.
    fs::path deep = tmp.path() / "deep";
    for (int level = 0; level < 1500; ++level) {
        deep /= "d";
        if (level == 700) {
            testkit::writeFile(deep / "middle.txt", "middle\n");
        }
    }
    testkit::writeFile(deep / "bottom.txt", "bottom\n");
    Batch batch;
    batch.sections.push_back(
        {"Deep", (tmp.path() / "copy").string(), false, (tmp.path() / "deep").string(), "", "", true, false});
    writeBatch(batchFile, batch);
    const auto result =
        testkit::runProcess({"sh", "-c", "ulimit -n 1024 && exec \"$0\" \"$1\" /B", vorland(), batchFile},
                            {"DISPLAY=", "WAYLAND_DISPLAY="});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string below = deep.string().substr((tmp.path() / "deep").string().size());
    EXPECT_EQ(testkit::readFile(tmp.path() / ("copy" + below) / "bottom.txt"), "bottom\n");
    EXPECT_NE(result.err.find("2 file(s) copied"), std::string::npos) << result.err;
}

TEST_F(BatchRun, a_missing_batch_file_gives_the_start_up_message_and_exit_code_2)
{
    const std::string missing = tmp / "no-such.vrl";
    const auto result = run({missing, "/b"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err,
              "Pellamar - Vorland\n" + missing + " : unable to open Batch filename\nBatch mode cancelled.\n");

    // "/B" first: the switch is taken as the file name.
    const auto switchFirst = run({"/B", batchFile});
    EXPECT_EQ(switchFirst.exitCode, 2);
    EXPECT_NE(switchFirst.err.find("/B : unable to open Batch filename"), std::string::npos) << switchFirst.err;

    // A folder is not a batch file.
    const auto folder = run({tmp.path().string(), "/Batch"});
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_NE(folder.err.find(tmp.path().string() + " : unable to open Batch filename"), std::string::npos);
}

TEST_F(BatchRun, usage_switch_anywhere_prints_the_usage_and_does_nothing_else)
{
    const fs::path markers = tmp.path() / "markers";
    Batch batch;
    batch.before = markerCommand(markers, "before");
    batch.sections.push_back({"Copy", (tmp.path() / "copy").string(), false, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);
    const std::string usage = "Pellamar - Vorland\nOptions :\nFileName : Batch filename\n/B : Batch mode\n"
                              "--batch : Batch mode (as /B)\n--status FileName : Last result of the batch\n"
                              "--version : Version\n--test Archive : Test every entry of an archive\n"
                              "--restore Archive --to Folder [--replace|--skip|--keep-both] [--password P] "
                              "[Names] : Restore from an archive\n/?, --help, -h : This text\n";
    for (const auto& args : std::vector<std::vector<std::string>>{{"/?"},
                                                                  {batchFile, "/B", "/?"},
                                                                  {batchFile, "/?help", "/B"},
                                                                  {"/?", batchFile},
                                                                  {batchFile, "--help"},
                                                                  {"-h"}}) {
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, usage);
        EXPECT_EQ(result.err, "");
    }
    // After an option that begins with "--" nothing is a "/" switch: what cannot be read is refused
    // with the usage text, and nothing runs.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {batchFile, "--batch", "/B"}, {batchFile, "--bach"}, {"--status", batchFile, "--version"}, {"--status"}}) {
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 2) << args.back();
        EXPECT_NE(result.err.find("/?, --help, -h : This text"), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(markers));
    EXPECT_FALSE(fs::exists(tmp.path() / "copy"));
}

TEST_F(BatchRun, failed_copies_are_reported_the_others_copied_and_the_old_target_kept)
{
    const fs::path copy = tmp.path() / "copy";
    Batch batch;
    batch.sections.push_back({"Copy", copy.string(), false, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);

    // An unreadable source file.
    auto unreadable = run({batchFile, "/B"}, {"VORLAND_FAULT_READ_MATCH=b.dat"});
    EXPECT_EQ(unreadable.exitCode, 1) << unreadable.err;
    EXPECT_NE(unreadable.err.find("Cannot open \"" + (src / "b.dat").string() + "\": Permission denied"),
              std::string::npos)
        << unreadable.err;
    EXPECT_NE(unreadable.err.find("1 files not copied"), std::string::npos) << unreadable.err;
    EXPECT_FALSE(fs::exists(copy / "b.dat"));
    EXPECT_EQ(testkit::readFile(copy / "sub/deep/d.txt"), std::string(5000, 'd'));
    EXPECT_EQ(testkit::readFile(copy / "a.txt"), "alpha\n");

    // A write failure part-way: the previous copy stays whole and no temporary file is left.
    testkit::writeFile(copy / "b.dat", "previous copy");
    auto failedWrite = run({batchFile, "/B"}, {"VORLAND_FAULT_COPY_WRITE_AFTER=1000"});
    EXPECT_EQ(failedWrite.exitCode, 1) << failedWrite.err;
    EXPECT_NE(failedWrite.err.find("Cannot write \"" + (copy / "b.dat").string() + "\": Input/output error"),
              std::string::npos)
        << failedWrite.err;
    EXPECT_EQ(testkit::readFile(copy / "b.dat"), "previous copy");
    for (const auto& e : fs::recursive_directory_iterator(copy)) {
        EXPECT_EQ(e.path().filename().string().rfind(".vorland", 0), std::string::npos) << e.path();
    }
}

TEST_F(BatchRun, failing_commands_and_skipped_sections_are_reported_and_the_run_goes_on)
{
    const fs::path copy = tmp.path() / "copy";
    Batch batch;
    batch.before = "vorland-no-such-program --now";
    batch.after = "sh -c \"exit 4\"";
    batch.sections.push_back({"No source", copy.string(), false, "", "", "", true, false});
    batch.sections.push_back({"Copy", copy.string(), false, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);

    const auto result = run({batchFile, "/B"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("Before command could not be started"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("After command ended with exit code 4"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Section \"No source\" skipped"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::exists(copy / "sub/deep/d.txt"));
}

TEST_F(BatchRun, a_relative_source_folder_is_copied_with_its_structure)
{
    Batch batch;
    batch.sections.push_back({"Relative", "out/copy", false, "./src/../src", "*.txt", "", true, false});
    writeBatch(batchFile, batch);
    const auto result = run({batchFile, "/B"}, {}, tmp.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(testkit::readFile(tmp.path() / "out/copy/sub/c.txt"), "gamma gamma gamma\n");
    EXPECT_EQ(testkit::readFile(tmp.path() / "out/copy/a.txt"), "alpha\n");
    EXPECT_FALSE(fs::exists(tmp.path() / "out/copy/b.dat"));
}

TEST_F(BatchRun, a_batch_file_path_beginning_with_b_is_no_batch_switch_and_batch_is_another_name)
{
    const fs::path markers = tmp.path() / "markers";
    Batch batch;
    batch.before = markerCommand(markers, "before");
    writeBatch(batchFile, batch);
    // "/bin/../.." leads back to the root whether /bin is a folder or a link to usr/bin.
    const std::string fromB = "/bin/../.." + fs::absolute(batchFile).string();
    ASSERT_TRUE(fs::exists(fromB));
    const auto noSwitch = run({fromB});
    EXPECT_EQ(noSwitch.exitCode, 2) << noSwitch.err;
    EXPECT_NE(noSwitch.err.find("editor"), std::string::npos) << noSwitch.err;
    EXPECT_FALSE(fs::exists(markers));
    // A path that exists is no switch anywhere; "/B" alone, "/batch" and --batch are.
    EXPECT_EQ(run({batchFile, fromB}).exitCode, 2);
    EXPECT_FALSE(fs::exists(markers));
    for (const char* batchSwitch : {"--batch", "/batch", "/B"}) {
        const auto result = run({fromB, batchSwitch});
        EXPECT_EQ(result.exitCode, 0) << batchSwitch << "\n" << result.err;
        EXPECT_EQ(testkit::readFile(markers), "before\n");
        fs::remove(markers);
    }
}

TEST(StartUp, without_the_batch_switch_it_says_the_editor_is_missing)
{
    std::vector<std::string> argv{vorland()};
    const auto result = testkit::runProcess(argv, {"DISPLAY=", "WAYLAND_DISPLAY="});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("editor"), std::string::npos);
}

TEST_F(BatchRun, engine_problems_are_reported_with_their_number_and_a_failed_rebuild_keeps_the_old_archive)
{
    const std::string archive = tmp / "out/archive.zip";
    Batch batch;
    batch.sections.push_back({"Zip", archive, true, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);
    ASSERT_EQ(run({batchFile, "/B"}).exitCode, 0);
    const std::string previous = testkit::readFile(archive);

    // An unreadable file is skipped by the engine: reported with its number, the rest is zipped.
    testkit::setMTime(src / "a.txt", 1'700'000'000);
    testkit::setMTime(src / "b.dat", 1'700'000'000);
    auto skipped = run({batchFile, "/B"}, {"VORLAND_FAULT_READ_MATCH=b.dat"});
    EXPECT_EQ(skipped.exitCode, 1) << skipped.err;
    EXPECT_NE(skipped.err.find("b.dat"), std::string::npos) << skipped.err;
    EXPECT_NE(skipped.err.find("zip errors"), std::string::npos) << skipped.err;
    EXPECT_NE(skipped.err.find("\n["), std::string::npos) << skipped.err;
    expectUnzipTestPasses(archive);
    const std::string afterSkip = testkit::readFile(archive);

    // A rebuild whose archive cannot be written: the previous archive comes back whole.
    batch.updateZip = false;
    writeBatch(batchFile, batch);
    auto failed = run({batchFile, "/B"}, {"VORLAND_FAULT_WRITE_AFTER=100"});
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    EXPECT_EQ(testkit::readFile(archive), afterSkip);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(tmp.path() / "out")) {
        left.push_back(e.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"archive.zip"});
    EXPECT_NE(previous, "");
}

TEST_F(BatchRun, messages_of_the_zip_component_show_their_number)
{
    // The program without its engine beside it: the component says so, the copy section still runs.
    const fs::path lonely = tmp.path() / "bin/vorland";
    fs::create_directories(lonely.parent_path());
    fs::copy_file(vorland(), lonely);
    fs::permissions(lonely, fs::perms::owner_all);
    Batch batch;
    batch.sections.push_back({"Zip", tmp / "out/a.zip", true, src.string(), "", "", true, false});
    batch.sections.push_back({"Copy", tmp / "copy", false, src.string(), "", "", true, false});
    writeBatch(batchFile, batch);
    const auto result =
        testkit::runProcess({lonely.string(), batchFile, "/B"}, {"DISPLAY=", "WAYLAND_DISPLAY=", "LD_LIBRARY_PATH="});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("\n[106"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("libzipengine.so"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(tmp.path() / "out/a.zip"));
    EXPECT_TRUE(fs::exists(tmp.path() / "copy/a.txt"));
}
