// Updating, freshening and file choice: what is carried over, replaced and added.

#include "EngineHarness.h"
#include "testkit/TestKit.h"
#include "zipcomp/ZipBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace enginetest;
using testkit::TempDir;
using testkit::writeFile;
namespace fs = std::filesystem;

namespace {

constexpr std::time_t kOld = 1600000000; // a fixed past time for every source file

// The local time zipbuild gives its entries (2025-04-12 12:00:00): a file with this time and the
// entry's size is up to date.
std::time_t builderTime()
{
    std::tm t{};
    t.tm_year = 125;
    t.tm_mon = 3;
    t.tm_mday = 12;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

void makeTree(const std::string& root)
{
    writeFile(root + "/a.txt", std::string(5000, 'a'));
    writeFile(root + "/b.txt", "bee\n");
    writeFile(root + "/sub/c.txt", std::string(70000, 'c'));
    writeFile(root + "/sub/deeper/d.log", "log\n");
    for (const char* f : {"/a.txt", "/b.txt", "/sub/c.txt", "/sub/deeper/d.log"}) {
        testkit::setMTime(root + f, kOld);
    }
}

EngineOptions treeOptions(const TempDir& dir)
{
    EngineOptions options;
    options.archive = dir / "t.zip";
    options.rootDir = dir / "src";
    options.specs = {"*.*"};
    options.recurse = true;
    options.update = true;
    return options;
}

std::vector<std::string> names(const std::map<std::string, std::string>& entries)
{
    std::vector<std::string> out;
    for (const auto& [name, info] : entries) {
        out.push_back(name);
    }
    return out;
}

} // namespace

TEST(EngineUpdate, unchanged_tree_replaces_nothing_and_touched_file_only_itself)
{
    TempDir dir;
    makeTree(dir / "src");
    auto options = treeOptions(dir);
    ASSERT_EQ(runEngine(options).result, 4);
    const std::string first = testkit::readFile(options.archive);
    const auto before = entryDigests(options.archive);

    auto run = runEngine(options);
    EXPECT_EQ(run.result, 0);
    EXPECT_TRUE(run.newFiles().empty());
    EXPECT_TRUE(run.messages().empty());
    EXPECT_EQ(testkit::readFile(options.archive), first);

    writeFile(dir / "src/sub/c.txt", std::string(70000, 'C'));
    testkit::setMTime(dir / "src/sub/c.txt", kOld + 10);
    run = runEngine(options);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.newFiles(), std::vector<std::string>{"sub/c.txt"});
    const auto after = entryDigests(options.archive);
    ASSERT_EQ(names(after), names(before));
    for (const auto& [name, info] : before) {
        if (name == "sub/c.txt") {
            EXPECT_NE(after.at(name), info);
        } else {
            EXPECT_EQ(after.at(name), info) << name << " was not carried over byte for byte";
        }
    }
    expectReadersAccept(options.archive, dir / "src");

    // The entry keeps the exact second: one second newer is another time, though in the same
    // 2-second slot.
    testkit::setMTime(dir / "src/a.txt", kOld + 1);
    EXPECT_EQ(runEngine(options).newFiles(), std::vector<std::string>{"a.txt"});
}

TEST(EngineUpdate, entry_of_another_size_is_replaced_whatever_the_times_say)
{
    TempDir dir;
    makeTree(dir / "src");
    auto options = treeOptions(dir);
    ASSERT_EQ(runEngine(options).result, 4);
    // Rewritten within the same second (a file caught while it was written), and set back to an
    // older version: the size alone tells.
    writeFile(dir / "src/a.txt", std::string(7000, 'a'));
    testkit::setMTime(dir / "src/a.txt", kOld);
    writeFile(dir / "src/b.txt", "an older bee\n");
    testkit::setMTime(dir / "src/b.txt", kOld - 86400);
    EXPECT_EQ(runEngine(options).newFiles(), (std::vector<std::string>{"a.txt", "b.txt"}));
    // Freshen follows the same rule.
    options.update = false;
    options.freshen = true;
    writeFile(dir / "src/sub/c.txt", std::string(100, 'c'));
    testkit::setMTime(dir / "src/sub/c.txt", kOld);
    EXPECT_EQ(runEngine(options).newFiles(), std::vector<std::string>{"sub/c.txt"});
    expectReadersAccept(options.archive, dir / "src");
}

TEST(EngineUpdate, freshen_replaces_newer_entries_and_adds_nothing)
{
    TempDir dir;
    makeTree(dir / "src");
    auto options = treeOptions(dir);
    options.specs = {"*.txt"};
    ASSERT_EQ(runEngine(options).result, 3);
    writeFile(dir / "src/new.txt", "new\n");
    writeFile(dir / "src/b.txt", "changed\n");
    options.update = false;
    options.freshen = true;
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.newFiles(), std::vector<std::string>{"b.txt"});
    const auto entries = entryDigests(options.archive);
    EXPECT_FALSE(entries.count("new.txt"));
    expectReadersAccept(options.archive, dir / "src");
}

TEST(EngineUpdate, without_update_chosen_files_are_recompressed_and_others_kept)
{
    TempDir dir;
    makeTree(dir / "src");
    auto options = treeOptions(dir);
    ASSERT_EQ(runEngine(options).result, 4);
    const auto before = entryDigests(options.archive);
    options.update = false;
    options.specs = {"a.txt"};
    options.recurse = false;
    options.level = 1;
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 1);
    const auto after = entryDigests(options.archive);
    EXPECT_EQ(names(after), names(before));
    EXPECT_EQ(after.at("sub/c.txt"), before.at("sub/c.txt"));
    EXPECT_NE(after.at("a.txt"), before.at("a.txt")); // level 1 sets other method flags
}

TEST(EngineUpdate, recursion_names_and_exclusions)
{
    TempDir dir;
    makeTree(dir / "src");
    auto options = treeOptions(dir);
    options.update = false;

    options.recurse = false;
    options.archive = dir / "flat.zip";
    ASSERT_EQ(runEngine(options).result, 2);
    EXPECT_EQ(names(entryDigests(options.archive)), (std::vector<std::string>{"a.txt", "b.txt"}));

    // A line's own marker overrides the block's recursion; a folder part stays in the stored name.
    options.archive = dir / "marker.zip";
    options.specs = {">sub/*.txt", "|*.log"};
    ASSERT_EQ(runEngine(options).result, 1);
    EXPECT_EQ(names(entryDigests(options.archive)), (std::vector<std::string>{"sub/", "sub/c.txt"}));

    // Exclusions: by name without "/", by stored path with "/" ("*" spans folders), by full path.
    options.recurse = true;
    options.specs = {"*.*"};
    options.archive = dir / "excl.zip";
    options.excludes = {"b.*", "sub/*.log"};
    ASSERT_EQ(runEngine(options).result, 2);
    EXPECT_EQ(names(entryDigests(options.archive)), (std::vector<std::string>{"a.txt", "sub/", "sub/c.txt"}));
    options.archive = dir / "excl2.zip";
    options.excludes = {(dir / "src/sub") + "/*"};
    ASSERT_EQ(runEngine(options).result, 2);
    EXPECT_EQ(names(entryDigests(options.archive)), (std::vector<std::string>{"a.txt", "b.txt"}));

    // Stripped names, no folder entries, and a file named by two specs stored once.
    options.excludes.clear();
    options.archive = dir / "junk.zip";
    options.junkNames = true;
    options.specs = {"*.txt", "a.txt"};
    ASSERT_EQ(runEngine(options).result, 3);
    EXPECT_EQ(names(entryDigests(options.archive)), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    options.junkNames = false;
    options.noDirEntries = true;
    options.archive = dir / "nodirs.zip";
    ASSERT_EQ(runEngine(options).result, 3);
    EXPECT_EQ(names(entryDigests(options.archive)), (std::vector<std::string>{"a.txt", "b.txt", "sub/c.txt"}));

    // An absolute spec stores the full path without its leading "/".
    options.noDirEntries = true;
    options.archive = dir / "abs.zip";
    options.specs = {(dir / "src/sub") + "/c.txt"};
    ASSERT_EQ(runEngine(options).result, 1);
    const std::string stored = (dir / "src/sub/c.txt").substr(1);
    EXPECT_EQ(names(entryDigests(options.archive)), std::vector<std::string>{stored});
}

TEST(EngineUpdate, hidden_files_links_and_special_files)
{
    TempDir dir;
    const std::string root = dir / "src";
    writeFile(root + "/plain.txt", "plain\n");
    writeFile(root + "/.hidden.txt", "hidden\n");
    writeFile(root + "/.cfg/inner.txt", "inner\n");
    writeFile(dir / "outside/target.txt", "linked content\n");
    fs::create_symlink(dir / "outside/target.txt", root + "/link.txt");
    fs::create_symlink(dir / "outside", root + "/linkdir");
    ASSERT_EQ(mkfifo((root + "/pipe.txt").c_str(), 0600), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = root + "/sock.txt";
    if (sockPath.size() < sizeof addr.sun_path) {
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sockPath.c_str());
        ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    EngineOptions options;
    options.archive = dir / "h.zip";
    options.rootDir = root;
    options.specs = {"*.txt"};
    options.recurse = true;
    ASSERT_EQ(runEngine(options).result, 2);
    EXPECT_EQ(names(entryDigests(options.archive)), (std::vector<std::string>{"link.txt", "plain.txt"}));
    // The link was stored as its target's content.
    const auto shown = testkit::runProcess({"unzip", "-p", options.archive, "link.txt"});
    EXPECT_EQ(shown.out, "linked content\n");

    options.hidden = true;
    options.archive = dir / "h2.zip";
    ASSERT_EQ(runEngine(options).result, 4);
    EXPECT_EQ(names(entryDigests(options.archive)),
              (std::vector<std::string>{".cfg/", ".cfg/inner.txt", ".hidden.txt", "link.txt", "plain.txt"}));
    close(sock);
}

TEST(EngineUpdate, empty_folders_come_back_from_the_archive_and_links_to_folders_are_told)
{
    TempDir dir;
    makeTree(dir / "src");
    fs::create_directories(dir / "src/empty");
    fs::create_directories(dir / "src/sub/nested/empty");
    fs::create_directory_symlink(dir / "src/sub", dir / "src/linkdir");
    auto options = treeOptions(dir);
    auto run = runEngine(options);
    EXPECT_EQ(run.result, 4);
    const std::vector<std::pair<int, std::string>> notice = {
        {ZIP_MSG_DIR_LINK_SKIPPED, (dir / "src/linkdir") + ": a link to a folder; not followed"}};
    EXPECT_EQ(run.messages(), notice);
    const auto unzip = testkit::runProcess({"unzip", "-q", options.archive, "-d", dir / "out"});
    ASSERT_EQ(unzip.exitCode, 0) << unzip.out << unzip.err;
    EXPECT_TRUE(fs::is_directory(dir / "out/empty"));
    EXPECT_TRUE(fs::is_directory(dir / "out/sub/nested/empty"));
    EXPECT_FALSE(fs::exists(dir / "out/linkdir"));

    // Nothing changed: nothing is written.
    const std::string first = testkit::readFile(options.archive);
    run = runEngine(options);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.messages(), notice);
    EXPECT_EQ(testkit::readFile(options.archive), first);

    options.noDirEntries = true;
    options.archive = dir / "nodirs.zip";
    ASSERT_EQ(runEngine(options).result, 4);
    EXPECT_EQ(names(entryDigests(options.archive)),
              (std::vector<std::string>{"a.txt", "b.txt", "sub/c.txt", "sub/deeper/d.log"}));
}

TEST(EngineUpdate, archive_and_its_folder_inside_the_tree_are_never_added)
{
    TempDir dir;
    writeFile(dir / "a.txt", "a\n");
    EngineOptions options;
    options.archive = dir / "self.zip";
    options.rootDir = dir.path().string();
    options.specs = {"*"};
    ASSERT_EQ(runEngine(options).result, 1);
    options.update = false;
    ASSERT_EQ(runEngine(options).result, 1);
    EXPECT_EQ(names(entryDigests(options.archive)), std::vector<std::string>{"a.txt"});
}

TEST(EngineUpdate, archive_written_by_info_zip_is_updated_and_stays_readable)
{
    TempDir dir;
    makeTree(dir / "src");
    // Info-ZIP with a data descriptor (-fd streamed from stdin would be exotic); a plain recursive
    // archive with its own extra fields.
    const auto made = testkit::runProcess({"zip", "-r", "-q", "-X", dir / "iz.zip", "."}, {}, 120, dir / "src");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const auto streamed =
        testkit::runProcess({"sh", "-c", "printf 'from stdin\\n' | zip -q " + (dir / "iz.zip") + " -"});
    ASSERT_EQ(streamed.exitCode, 0) << streamed.err;
    const auto before = entryDigests(dir / "iz.zip");

    writeFile(dir / "src/sub/new.txt", "new\n");
    writeFile(dir / "src/b.txt", "changed b\n");
    auto options = treeOptions(dir);
    options.archive = dir / "iz.zip";
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 2);
    const auto after = entryDigests(options.archive);
    for (const auto& [name, info] : before) {
        ASSERT_TRUE(after.count(name)) << name;
        if (name != "b.txt") {
            EXPECT_EQ(after.at(name), info) << name;
        }
    }
    EXPECT_TRUE(after.count("sub/new.txt"));
    EXPECT_TRUE(after.count("-")); // the streamed entry of zip, with its data descriptor
    const auto u = testkit::runProcess({"unzip", "-t", options.archive});
    EXPECT_EQ(u.exitCode, 0) << u.out;
    const auto s = testkit::runProcess({"7z", "t", options.archive});
    EXPECT_EQ(s.exitCode, 0) << s.out;
    EXPECT_EQ(testkit::runProcess({"unzip", "-p", options.archive, "b.txt"}).out, "changed b\n");
    EXPECT_EQ(testkit::runProcess({"unzip", "-p", options.archive, "-"}).out, "from stdin\n");
}

TEST(EngineUpdate, move_deletes_sources_only_after_the_archive_is_in_place)
{
    TempDir dir;
    makeTree(dir / "src");
    auto options = treeOptions(dir);
    options.move = true;
    options.specs = {"*.txt"};
    ASSERT_EQ(runEngine(options).result, 3);
    EXPECT_FALSE(fs::exists(dir / "src/a.txt"));
    EXPECT_FALSE(fs::exists(dir / "src/sub/c.txt"));
    EXPECT_TRUE(fs::exists(dir / "src/sub/deeper/d.log"));
    EXPECT_EQ(testkit::runProcess({"unzip", "-t", options.archive}).exitCode, 0);

    // A failed run deletes nothing.
    writeFile(dir / "src/again.txt", "again\n");
    const auto failed = runEngine([&] {
        auto o = options;
        o.archive = dir / "missing-folder/t.zip";
        return o;
    }());
    EXPECT_EQ(failed.result, 0);
    EXPECT_TRUE(fs::exists(dir / "src/again.txt"));
}

namespace {

// Info-ZIP's test of the archive, quiet only when the archive holds together exactly: bytes in front
// of the zip part that its offsets do not count draw a warning.
void expectUnzipTestsCleanly(const std::string& archive)
{
    const auto u = testkit::runProcess({"unzip", "-t", archive});
    EXPECT_EQ(u.exitCode, 0) << u.out << u.err;
    EXPECT_EQ(u.out.find("warning"), std::string::npos) << u.out;
    EXPECT_EQ(u.err.find("warning"), std::string::npos) << u.err;
}

} // namespace

TEST(EngineUpdate, data_in_front_of_the_zip_part_is_kept_and_offsets_count_from_the_file_start)
{
    TempDir dir;
    makeTree(dir / "src");
    const std::string prefix = testkit::randomBytes(30000, 7);

    // An archive of another tool behind the prefix, its offsets adjusted to count the prefix.
    const auto made = testkit::runProcess({"zip", "-r", "-q", "-X", dir / "plain.zip", "."}, {}, 120, dir / "src");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    writeFile(dir / "t.zip", prefix + testkit::readFile(dir / "plain.zip"));
    const auto adjusted = testkit::runProcess({"zip", "-A", "-q", dir / "t.zip"});
    ASSERT_EQ(adjusted.exitCode, 0) << adjusted.out << adjusted.err;
    expectUnzipTestsCleanly(dir / "t.zip");

    writeFile(dir / "src/b.txt", "changed b\n");
    writeFile(dir / "src/sub/new.txt", "new\n");
    auto options = treeOptions(dir);
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 2);
    const std::string after = testkit::readFile(options.archive);
    ASSERT_GT(after.size(), prefix.size());
    EXPECT_TRUE(after.compare(0, prefix.size(), prefix) == 0);
    EXPECT_EQ(after.substr(prefix.size(), 4), "PK\3\4");
    expectUnzipTestsCleanly(options.archive);
    expectReadersAccept(options.archive, dir / "src");

    // A prefix in front of an archive without entries (the end record alone, its directory offset
    // counting the prefix), as a new self-extractor starts out.
    std::string end = "PK\5\6" + std::string(18, '\0');
    for (int i = 0; i < 4; ++i) {
        end[16 + i] = static_cast<char>((prefix.size() >> (8 * i)) & 0xFF); // directory offset
    }
    writeFile(dir / "e.zip", prefix + end);
    options.archive = dir / "e.zip";
    EXPECT_EQ(runEngine(options).result, 5);
    const std::string filled = testkit::readFile(options.archive);
    EXPECT_TRUE(filled.compare(0, prefix.size(), prefix) == 0);
    expectUnzipTestsCleanly(options.archive);
    expectReadersAccept(options.archive, dir / "src");
}

TEST(EngineUpdate, prefix_glued_on_without_adjusting_offsets_leaves_the_archive_as_it_is)
{
    TempDir dir;
    makeTree(dir / "src");
    const auto made = testkit::runProcess({"zip", "-r", "-q", "-X", dir / "plain.zip", "."}, {}, 120, dir / "src");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string glued = testkit::randomBytes(30000, 8) + testkit::readFile(dir / "plain.zip");
    writeFile(dir / "t.zip", glued);
    writeFile(dir / "src/b.txt", "changed b\n");
    const auto run = runEngine(treeOptions(dir));
    EXPECT_EQ(run.result, 0);
    bool named = false;
    for (const auto& [code, message] : run.messages()) {
        named = named || (code == ZIP_MSG_BAD_ARCHIVE && message.find(dir / "t.zip") != std::string::npos);
    }
    EXPECT_TRUE(named);
    EXPECT_EQ(testkit::readFile(dir / "t.zip"), glued);
}

TEST(EngineUpdate, end_records_inside_the_archive_comment_are_comment_text)
{
    // One record whose fields run past the file, one that states an empty directory at offset 0:
    // taking either for the archive's end would refuse the archive or drop its entries.
    const std::string fakes[] = {std::string("PK\5\6", 4) + std::string(18, '\xFF'),
                                 std::string("PK\5\6", 4) + std::string(18, '\0')};
    for (const std::string& fake : fakes) {
        TempDir dir;
        makeTree(dir / "src");
        zipbuild::Options built;
        built.comment = "note " + fake + " end";
        writeFile(dir / "t.zip", zipbuild::Build({{"old.txt", "old entry"}}, built));
        const auto run = runEngine(treeOptions(dir));
        EXPECT_EQ(run.result, 4);
        EXPECT_TRUE(run.messages().empty()) << run.messages().front().second;

        const std::string after = testkit::readFile(dir / "t.zip");
        ASSERT_GT(after.size(), built.comment.size() + 22);
        EXPECT_EQ(after.substr(after.size() - built.comment.size()), built.comment) << "the comment is kept";
        // The common readers take the record in the comment for the end as well, so they are shown
        // the archive without its comment.
        std::string uncommented = after.substr(0, after.size() - built.comment.size());
        uncommented[uncommented.size() - 2] = uncommented[uncommented.size() - 1] = '\0';
        writeFile(dir / "uncommented.zip", uncommented);
        expectUnzipTestsCleanly(dir / "uncommented.zip");
        const auto entries = entryDigests(dir / "uncommented.zip");
        EXPECT_EQ(entries.count("old.txt"), 1u) << "the old entry is carried over";
        EXPECT_EQ(entries.count("sub/deeper/d.log"), 1u);
    }
}

TEST(EngineUpdate, files_dated_outside_the_dos_range_are_unchanged_for_the_next_update)
{
    TempDir dir;
    makeTree(dir / "src");
    // June 2200, 2150 (after the last MS-DOS year 2107), 1975 and 1960 (before its first year 1980).
    constexpr std::time_t kJune2200 = 7272374400;
    const std::vector<std::pair<std::string, std::time_t>> odd = {{"future.txt", kJune2200},
                                                                  {"later.txt", 5680281600},
                                                                  {"seventies.txt", 157766400},
                                                                  {"sixties.txt", -315619200}};
    for (const auto& [name, time] : odd) {
        writeFile(dir / ("src/" + name), name + "\n");
        testkit::setMTime(dir / ("src/" + name), time);
    }
    auto options = treeOptions(dir);
    ASSERT_EQ(runEngine(options).result, 8);
    const std::string first = testkit::readFile(options.archive);
    for (int round = 0; round < 2; ++round) {
        const auto run = runEngine(options);
        EXPECT_EQ(run.result, 0);
        EXPECT_TRUE(run.newFiles().empty()) << testing::PrintToString(run.newFiles());
        EXPECT_EQ(testkit::readFile(options.archive), first);
    }
    // A later time that the MS-DOS date still tells apart is a change: June 2200 becomes August.
    testkit::setMTime(dir / "src/future.txt", kJune2200 + 60 * 86400);
    EXPECT_EQ(runEngine(options).newFiles(), std::vector<std::string>{"future.txt"});
}

TEST(EngineUpdate, files_dated_after_2038_keep_their_exact_time_whatever_the_time_zone)
{
    TempDir dir;
    constexpr std::time_t kJune2200 = 7272374400;
    constexpr std::time_t kMay2050 = 2535000000;
    writeFile(dir / "src/future.txt", "future\n");
    testkit::setMTime(dir / "src/future.txt", kJune2200);
    writeFile(dir / "src/later.txt", "later\n");
    testkit::setMTime(dir / "src/later.txt", kMay2050);
    auto options = treeOptions(dir);
    const char* zone = std::getenv("TZ");
    const std::string saved = zone != nullptr ? zone : "";
    const auto setZone = [](const char* value) {
        setenv("TZ", value, 1);
        tzset();
    };
    setZone("UTC0");
    ASSERT_EQ(runEngine(options).result, 2);
    const std::string first = testkit::readFile(options.archive);
    for (const char* other : {"JST-9", "EST5EDT"}) {
        setZone(other);
        EXPECT_TRUE(runEngine(options).newFiles().empty()) << other;
    }
    if (zone != nullptr) {
        setZone(saved.c_str());
    } else {
        unsetenv("TZ");
        tzset();
    }
    EXPECT_EQ(testkit::readFile(options.archive), first);
    // Past the last MS-DOS time the entry holds that time, not the file's day in 2107.
    const auto shown = testkit::runProcess(
        {"python3", "-c", "import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).getinfo('future.txt').date_time)",
         options.archive});
    EXPECT_EQ(shown.out, "(2107, 12, 31, 23, 59, 58)\n") << shown.err;
}

TEST(EngineUpdate, every_entry_of_a_name_written_twice_by_another_tool_is_replaced)
{
    TempDir dir;
    writeFile(dir / "twice.zip",
              zipbuild::Build({{"a.txt", "first old a\n"}, {"b.txt", "bee\n"}, {"a.txt", "second old a\n"}}));
    writeFile(dir / "src/a.txt", "new a\n");
    EngineOptions options;
    options.archive = dir / "twice.zip";
    options.rootDir = dir / "src";
    options.specs = {"a.txt"};
    options.update = true;
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 1);
    const auto entries = entryDigests(options.archive);
    EXPECT_EQ(names(entries), (std::vector<std::string>{"a.txt", "b.txt"}));
    // One a.txt is left, the new one in the first one's place, whichever entry a reader takes.
    const auto listing = testkit::runProcess({"unzip", "-Z1", options.archive});
    EXPECT_EQ(listing.out, "a.txt\nb.txt\n");
    const auto python = testkit::runProcess(
        {"python3", "-c", "import sys, zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read('a.txt').decode())",
         options.archive});
    EXPECT_EQ(python.out, "new a\n") << python.err;
    EXPECT_EQ(testkit::runProcess({"unzip", "-p", options.archive, "b.txt"}).out, "bee\n");

    // An unchanged file leaves the archive as it is, duplicates included.
    const std::string kept = zipbuild::Build({{"a.txt", "one\n"}, {"a.txt", "two\n"}});
    writeFile(options.archive, kept);
    writeFile(dir / "src/a.txt", "one\n");
    testkit::setMTime(dir / "src/a.txt", builderTime());
    EXPECT_EQ(runEngine(options).result, 0);
    EXPECT_EQ(testkit::readFile(options.archive), kept);
}

TEST(EngineUpdate, progress_comes_at_least_every_mib_for_files_of_any_size)
{
    TempDir dir;
    constexpr std::int64_t kMiB = 1 << 20;
    // Sizes that are no whole MiB: below, inside and above the size compressed in one piece;
    // compressible text, bytes deflate cannot shrink, and a suffix that is stored.
    const std::vector<std::pair<std::string, std::int64_t>> files = {{"a.txt", kMiB + kMiB / 2 + 7},
                                                                     {"b.bin", 2 * kMiB + 12345},
                                                                     {"c.txt", 4 * kMiB - 1},
                                                                     {"d.bin", 5 * kMiB + 333},
                                                                     {"e.zip", 3 * kMiB + 1}};
    for (const auto& [name, size] : files) {
        const bool text = name.back() == 't';
        writeFile(dir / ("src/" + name),
                  text ? std::string(static_cast<std::size_t>(size), 'x')
                       : testkit::randomBytes(static_cast<std::size_t>(size), static_cast<std::uint32_t>(size)));
    }
    EngineOptions options;
    options.archive = dir / "p.zip";
    options.rootDir = dir / "src";
    options.specs = {"*.*"};
    options.storeSuffixes = ".zip";
    const auto run = runEngine(options);
    ASSERT_EQ(run.result, static_cast<int>(files.size()));
    std::map<std::string, std::int64_t> done;
    std::string current;
    for (const auto& callback : run.callbacks) {
        if (callback.action == ZIP_ACTION_NEW_FILE) {
            current = callback.text;
        } else if (callback.action == ZIP_ACTION_PROGRESS) {
            EXPECT_LE(callback.size, kMiB) << current;
            EXPECT_GT(callback.size, 0) << current;
            done[current] += callback.size;
        }
    }
    for (const auto& [name, size] : files) {
        EXPECT_EQ(done[name], size) << name;
    }
}

TEST(EngineUpdate, entries_kept_out_of_their_order_in_the_file_or_apart_from_each_other_keep_their_data)
{
    // Kept entries that lie one after another are copied together; here the central directory lists
    // them in another order than their data, and unowned bytes lie between two of them.
    TempDir dir;
    std::vector<zipbuild::Entry> entries;
    std::vector<std::string> expected;
    fs::create_directories(dir / "src");
    for (int i = 0; i < 30; ++i) {
        const std::string name = "e" + std::to_string(10 + i) + ".txt";
        entries.emplace_back(name, "content of " + name + "\n");
        writeFile(dir / ("src/" + name), entries.back().data);
        testkit::setMTime(dir / ("src/" + name), builderTime());
    }
    entries[10].gapAfter = "bytes no entry owns";
    zipbuild::Options layout;
    for (std::size_t i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}) {
        layout.centralOrder.push_back(i);
    }
    for (std::size_t i = 10; i < 20; ++i) {
        layout.centralOrder.push_back(i);
    }
    for (const std::size_t i : layout.centralOrder) {
        expected.push_back(entries[i].name);
    }
    expected.push_back("new.txt");
    std::string listing;
    for (const auto& name : expected) {
        listing += name + "\n";
    }
    writeFile(dir / "t.zip", zipbuild::Build(entries, layout));
    writeFile(dir / "src/e25.txt", "changed in the middle of a run of kept entries\n");
    writeFile(dir / "src/new.txt", "new\n");

    const auto run = runEngine(treeOptions(dir));
    EXPECT_EQ(run.result, 2);
    EXPECT_EQ(run.newFiles(), (std::vector<std::string>{"e25.txt", "new.txt"}));
    expectReadersAccept(dir / "t.zip", dir / "src");
    EXPECT_EQ(testkit::runProcess({"unzip", "-Z1", dir / "t.zip"}).out, listing);
}

TEST(EngineUpdate, one_spec_walking_out_of_its_base_stores_each_name_once)
{
    // "../*" from the base walks the folder above it: files outside the base are stored with their full
    // path, files inside it relative to it, and the two can meet. The first one met is stored; the
    // other is reported and skipped, as for two specs.
    TempDir dir;
    const std::string outside = dir / "top/y.txt";
    writeFile(outside, "outside\n");
    const std::string inside = dir / ("top/base/" + (dir / "top").substr(1) + "/y.txt");
    writeFile(inside, "inside\n");
    EngineOptions options;
    options.archive = dir / "out/t.zip";
    fs::create_directories(dir / "out");
    options.rootDir = dir / "top/base";
    options.specs = {"../*.txt"};
    options.recurse = true;
    options.noDirEntries = true;
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 1);
    const std::string stored = outside.substr(1);
    EXPECT_EQ(names(entryDigests(options.archive)), std::vector<std::string>{stored});
    bool reported = false;
    for (const auto& [code, text] : run.messages()) {
        reported = reported || text.find("already stored under the name " + stored) != std::string::npos;
    }
    EXPECT_TRUE(reported);
}
