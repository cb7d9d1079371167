#include "core/UiInterfaces.h"
#include "restore/ArchiveRestore.h"
#include "testkit/CoreDoubles.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <tuple>

using namespace testkit;

namespace {

ProcessResult vorland(const std::vector<std::string>& arguments, const fs::path& workDir = {})
{
    std::vector<std::string> argv{(binDir() / "vorland").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProcess(argv, {"DISPLAY=", "WAYLAND_DISPLAY="}, 600, workDir);
}

// Runs a Python snippet (archives no zip tool writes: hostile names, links, forced ZIP64).
void python(const std::string& code, const fs::path& workDir)
{
    const ProcessResult r = runProcess({"python3", "-c", code}, {}, 300, workDir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

void zipTree(const fs::path& folder, const std::string& archive, const std::vector<std::string>& options = {})
{
    std::vector<std::string> argv{"zip", "-qr"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {archive, "."});
    const ProcessResult r = runProcess(argv, {}, 300, folder);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

struct stat statOf(const fs::path& path)
{
    struct stat st = {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// Every file and folder under `source` is under `copy` with the same bytes, time and permissions.
void expectSameTree(const fs::path& source, const fs::path& copy)
{
    std::size_t count = 0;
    for (const auto& item : fs::recursive_directory_iterator(source)) {
        const fs::path other = copy / item.path().lexically_relative(source);
        ASSERT_TRUE(fs::exists(fs::symlink_status(other))) << other;
        const struct stat a = statOf(item.path());
        const struct stat b = statOf(other);
        EXPECT_EQ(a.st_mode, b.st_mode) << other;
        EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec) << other;
        if (S_ISREG(a.st_mode)) {
            EXPECT_TRUE(readFile(item.path()) == readFile(other)) << other;
        }
        ++count;
    }
    EXPECT_GT(count, 0u);
}

// A tree with the names and shapes backups meet: spaces, UTF-8 and bytes that are no UTF-8, empty
// folders, a large file that streams, modes other than the usual ones.
void makeTree(const fs::path& root)
{
    writeFile(root / "with space" / "a b.txt", "hello");
    writeFile(root / "sub" / "caf\xc3\xa9.txt", "caf\xc3\xa9");
    writeFile(root / "sub" / "bad\xff\xfe.txt", "not utf-8");
    writeFile(root / "large.bin", randomBytes(3u << 20, 1) + std::string(20u << 20, 'a'));
    fs::create_directories(root / "empty" / "nested empty");
    fs::permissions(root / "sub" / "bad\xff\xfe.txt", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(root / "sub", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    setMTime(root / "large.bin", 1577934245);
    setMTime(root / "empty" / "nested empty", 1262304000);
    setMTime(root / "sub", 1400000000);
}

} // namespace

TEST(RestoreCommand, restores_a_zip_archive_byte_for_byte_with_times_and_modes)
{
    TempDir dir;
    makeTree(dir.path() / "src");
    zipTree(dir.path() / "src", dir / "a.zip");
    EXPECT_EQ(vorland({"--test", dir / "a.zip"}).exitCode, 0);
    // The destination does not exist yet: it must not be taken for the batch switch "/B".
    const ProcessResult r = vorland({"--restore", dir / "a.zip", "--to", dir / "bk/out"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    expectSameTree(dir.path() / "src", dir.path() / "bk/out");
    // Only the entries named (a mask that begins with "/" included) are restored; one that matches
    // nothing is a problem.
    const ProcessResult some = vorland({"--restore", dir / "a.zip", "--to", dir / "part", "sub", "/nothing/*"});
    EXPECT_EQ(some.exitCode, 1) << some.err;
    EXPECT_NE(some.err.find("/nothing/*: no entry of " + (dir / "a.zip") + " matches it"), std::string::npos)
        << some.err;
    EXPECT_TRUE(fs::exists(dir.path() / "part" / "sub" / "caf\xc3\xa9.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "part" / "large.bin"));
}

TEST(RestoreCommand, reads_archives_of_other_writers)
{
    TempDir dir;
    const fs::path src = dir.path() / "src";
    writeFile(src / "text.txt", std::string(300000, 'x') + "end");
    writeFile(src / "random.bin", randomBytes(100000, 2));
    zipTree(src, dir / "encrypted.zip", {"-P", "secret"});
    zipTree(src, dir / "plain.zip");
    if (haveProgram("7z")) {
        ASSERT_EQ(runProcess({"7z", "a", "-tzip", "-bd", dir / "seven.zip", "."}, {}, 300, src).exitCode, 0);
    }
    python("import zipfile\n"
           "with zipfile.ZipFile('py64.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
           "    with z.open('text.txt', 'w', force_zip64=True) as f: f.write(open('src/text.txt','rb').read())\n"
           "    z.write('src/random.bin', 'random.bin', zipfile.ZIP_STORED)\n"
           // Data descriptors: written by zip reading standard input.
           "import subprocess\n"
           "subprocess.run(['zip', '-q', 'descriptors.zip', '-'], input=b'from a pipe' * 1000, check=True)\n"
           // A self-extractor: a program in front, offsets counting it or not.
           "data = open('plain.zip', 'rb').read()\n"
           "open('prefixed.zip', 'wb').write(b'MZ' + bytes(5000) + data)\n",
           dir.path());
    fs::copy_file(dir.path() / "prefixed.zip", dir.path() / "adjusted.zip");
    ASSERT_EQ(runProcess({"zip", "-qA", dir / "adjusted.zip"}).exitCode, 0);

    for (const char* name : {"plain.zip", "seven.zip", "py64.zip", "descriptors.zip", "prefixed.zip", "adjusted.zip"}) {
        if (fs::exists(dir.path() / name)) {
            const ProcessResult r = vorland({"--test", dir / name});
            EXPECT_EQ(r.exitCode, 0) << name << "\n" << r.err;
        }
    }
    const ProcessResult noPassword = vorland({"--test", dir / "encrypted.zip"});
    EXPECT_EQ(noPassword.exitCode, 1);
    EXPECT_NE(noPassword.err.find("text.txt"), std::string::npos) << noPassword.err;
    const ProcessResult r = vorland({"--restore", dir / "encrypted.zip", "--password", "secret", "--to", dir / "out"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    expectSameTree(src, dir.path() / "out");
}

TEST(RestoreCommand, refuses_names_and_links_that_lead_out_and_restores_the_rest)
{
    TempDir dir;
    python("import zipfile, stat\n"
           "with zipfile.ZipFile('evil.zip', 'w') as z:\n"
           "    for n in ['../x', '/etc/x', 'C:\\\\x', 'a\\\\..\\\\..\\\\x', 'good/ok.txt']: z.writestr(n, 'data')\n"
           "    for n, target in [('link', '../../outside'), ('good/inside', 'ok.txt')]:\n"
           "        i = zipfile.ZipInfo(n); i.create_system = 3; i.external_attr = (stat.S_IFLNK | 0o777) << 16\n"
           "        z.writestr(i, target)\n"
           // Through a link restored first, a later entry would reach out.
           "    i = zipfile.ZipInfo('up'); i.create_system = 3; i.external_attr = (stat.S_IFLNK | 0o777) << 16\n"
           "    z.writestr(i, '.')\n"
           "    z.writestr('up/through.txt', 'data')\n",
           dir.path());
    const fs::path sandbox = dir.path() / "sandbox";
    fs::create_directories(sandbox);
    const ProcessResult r = vorland({"--restore", dir / "evil.zip", "--to", (sandbox / "d").string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    for (const char* refused : {"../x:", "/etc/x:", "C:\\x:", "a\\..\\..\\x:", "link:"}) {
        EXPECT_NE(r.err.find(refused), std::string::npos) << refused << "\n" << r.err;
    }
    std::vector<std::string> written;
    for (const auto& item : fs::recursive_directory_iterator(dir.path())) {
        written.push_back(item.path().lexically_relative(dir.path()).string());
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"evil.zip", "sandbox", "sandbox/d", "sandbox/d/good",
                                                 "sandbox/d/good/inside", "sandbox/d/good/ok.txt", "sandbox/d/up"}));
    EXPECT_FALSE(fs::exists("/etc/x"));
}

TEST(RestoreCommand, test_names_damaged_entries_and_refuses_what_is_no_archive)
{
    TempDir dir;
    writeFile(dir.path() / "src" / "a.txt", std::string(100000, 'a'));
    writeFile(dir.path() / "src" / "b.txt", randomBytes(5000, 3));
    ASSERT_EQ(runProcess({"zip", "-q", dir / "good.zip", "a.txt", "b.txt"}, {}, 60, dir.path() / "src").exitCode, 0);
    const std::string good = readFile(dir.path() / "good.zip");
    // A flipped byte in a.txt's deflated data (bytes 63 to 177: after its local header and extra field).
    std::string flipped = good;
    flipped[100] = static_cast<char>(flipped[100] ^ 0xFF);
    writeFile(dir.path() / "flipped.zip", flipped);
    // The size b.txt's central header gives, one more than it holds.
    std::string sized = good;
    const std::size_t central = sized.rfind(std::string("PK\x01\x02", 4));
    sized[central + 24] = static_cast<char>(sized[central + 24] + 1);
    writeFile(dir.path() / "sized.zip", sized);
    writeFile(dir.path() / "truncated.zip", good.substr(0, good.size() - 30));
    writeFile(dir.path() / "text.zip", "this is no archive");

    const ProcessResult r1 = vorland({"--test", dir / "flipped.zip"});
    EXPECT_EQ(r1.exitCode, 1);
    EXPECT_NE(r1.err.find("a.txt"), std::string::npos) << r1.err;
    EXPECT_EQ(r1.err.find("b.txt"), std::string::npos) << r1.err;
    const ProcessResult r2 = vorland({"--test", dir / "sized.zip"});
    EXPECT_EQ(r2.exitCode, 1);
    EXPECT_NE(r2.err.find("b.txt"), std::string::npos) << r2.err;
    EXPECT_EQ(vorland({"--test", dir / "truncated.zip"}).exitCode, 2);
    EXPECT_EQ(vorland({"--test", dir / "text.zip"}).exitCode, 2);
    EXPECT_EQ(vorland({"--test", dir / "missing.zip"}).exitCode, 2);
    // A damaged entry is reported and skipped; the rest is restored.
    const ProcessResult r3 = vorland({"--restore", dir / "flipped.zip", "--to", dir / "out"});
    EXPECT_EQ(r3.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "a.txt"));
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "b.txt"));
}

TEST(RestoreCommand, existing_files_are_skipped_replaced_or_kept_beside)
{
    TempDir dir;
    writeFile(dir.path() / "src" / "f.txt", "archived");
    zipTree(dir.path() / "src", dir / "a.zip");
    const fs::path out = dir.path() / "out";
    writeFile(out / "f.txt", "local");
    EXPECT_EQ(vorland({"--restore", dir / "a.zip", "--to", out.string()}).exitCode, 0);
    EXPECT_EQ(readFile(out / "f.txt"), "local");
    EXPECT_EQ(vorland({"--restore", dir / "a.zip", "--to", out.string(), "--keep-both"}).exitCode, 0);
    EXPECT_EQ(readFile(out / "f.txt"), "local");
    EXPECT_EQ(readFile(out / "f (2).txt"), "archived");
    EXPECT_EQ(vorland({"--restore", dir / "a.zip", "--to", out.string(), "--replace"}).exitCode, 0);
    EXPECT_EQ(readFile(out / "f.txt"), "archived");
}

TEST(RestoreCore, a_stop_mid_restore_leaves_no_partial_file_under_any_name)
{
    TempDir dir;
    writeFile(dir.path() / "src" / "big.bin", randomBytes(40u << 20, 4));
    zipTree(dir.path() / "src", dir / "a.zip");
    ZipEngineLibrary engine;
    ASSERT_EQ(engine.Load((binDir() / ZipEngineLibrary::FileName()).string()), ZipEngineLibrary::LoadResult::Loaded);
    restore::RestoreRequest request;
    request.archive = dir / "a.zip";
    request.destination = dir / "out";
    int polls = 0;
    request.stopRequested = [&polls] { return ++polls > 5; };
    TQuietProgressView view;
    const restore::ReadOutcome outcome = restore::restoreArchive(engine, request, view);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.exitCode(), 3);
    EXPECT_TRUE(fs::is_empty(dir.path() / "out"));
}

TEST(RestoreCommand, restores_an_entry_past_4_GiB_as_a_sparse_file)
{
    if (std::getenv("FULL") == nullptr || std::string(std::getenv("FULL")) != "1") {
        GTEST_SKIP() << "set FULL=1 to zip and restore 4.5 GiB";
    }
    TempDir dir;
    const fs::path big = dir.path() / "src" / "sparse.img";
    writeFile(big, "start");
    fs::resize_file(big, (4ull << 30) + (512ull << 20));
    zipTree(dir.path() / "src", dir / "a.zip");
    const ProcessResult r = vorland({"--restore", dir / "a.zip", "--to", dir / "out"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const fs::path copy = dir.path() / "out" / "sparse.img";
    EXPECT_EQ(fs::file_size(copy), fs::file_size(big));
    EXPECT_LT(statOf(copy).st_blocks * 512, 64ll << 20);
}

namespace {

// A batch that zips and copies `src`, read back after writing.
void writeVerifyBatch(const fs::path& file, const fs::path& src, const fs::path& archive, const fs::path& copy)
{
    std::string text = "[BatchParameters]\r\nBefore=\r\nAfter=\r\nPassword=\r\nUpdateZip=1\r\nVerify=1\r\n\r\n";
    for (const auto& [name, target, compress] :
         {std::tuple{"Zip", archive.string(), "1"}, std::tuple{"Copy", copy.string(), "0"}}) {
        text += std::string("[") + name + "]\r\nZip=" + target + "\r\nCompress=" + compress +
                "\r\nDir=" + src.string() + "\r\nSuffix=\r\nIgnore=\r\nRecurse=1\r\nDirName=0\r\nComments=\r\n\r\n";
    }
    writeFile(file, text);
}

} // namespace

TEST(VerifyRun, a_new_archive_or_copy_that_does_not_read_back_is_reported_and_the_previous_one_stays)
{
    TempDir dir;
    const fs::path src = dir.path() / "src";
    const fs::path archive = dir.path() / "out" / "a.zip";
    const fs::path copy = dir.path() / "copy";
    writeFile(src / "a.txt", std::string(200000, 'a'));
    writeFile(src / "b.bin", randomBytes(50000, 5));
    writeVerifyBatch(dir.path() / "b.vrl", src, archive, copy);
    auto run = [&](const std::string& seam) {
        return runProcess({(binDir() / "vorland").string(), dir / "b.vrl", "/B"},
                          {"DISPLAY=", "WAYLAND_DISPLAY=", "VORLAND_FAULT_VERIFY=" + seam}, 300);
    };
    const ProcessResult first = run("");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    // Nothing changed, nothing written, nothing read: the damage the seam would do never happens.
    EXPECT_EQ(run("truncate").exitCode, 0);

    const std::string previous = readFile(archive);
    writeFile(src / "a.txt", std::string(200000, 'b'));
    setMTime(src / "a.txt", 1600000000);
    for (const char* seam : {"flip:a.txt", "size:a.txt", "truncate"}) {
        const ProcessResult r = run(seam);
        EXPECT_EQ(r.exitCode, 1) << seam << "\n" << r.err;
        EXPECT_NE(r.err.find(archive.string() + ": " + (std::string(seam) == "truncate" ? "" : "a.txt")),
                  std::string::npos)
            << seam << "\n"
            << r.err;
        EXPECT_TRUE(readFile(archive) == previous) << seam;
        EXPECT_EQ(std::distance(fs::directory_iterator(archive.parent_path()), fs::directory_iterator()), 1) << seam;
    }
    // The zip section of those runs failed; their copy sections copied the new a.txt.
    writeFile(src / "a.txt", std::string(200000, 'c'));
    setMTime(src / "a.txt", 1700000000);
    const ProcessResult copyRun = run("flip-copy");
    EXPECT_EQ(copyRun.exitCode, 1) << copyRun.err;
    EXPECT_NE(copyRun.err.find((copy / "a.txt").string()), std::string::npos) << copyRun.err;
    EXPECT_TRUE(readFile(copy / "a.txt") == std::string(200000, 'b'));
    // The zip section of that run read its archive back and kept it.
    EXPECT_EQ(vorland({"--test", archive.string()}).exitCode, 0);
    EXPECT_FALSE(readFile(archive) == previous);
}
