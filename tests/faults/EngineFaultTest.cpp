// The zip engine under faults, driven through its command-line driver: awkward source trees, a
// full disk (a file-size limit), failing writes and unreadable files. Whatever happens, the
// previous archive stays as it was, no temporary file is left, and every problem is reported with
// the file's name.

#include "faults/FaultKit.h"
#include "zipengine/ZipEngineApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using faultkit::fs::path;
using testkit::TempDir;
using testkit::writeFile;

struct EngineMessage
{
    int code = 0;
    std::string text;
};

struct DriverRun
{
    faultkit::RunResult process;
    int result = -1; // the engine's result, -1 when the driver did not print one
    std::vector<EngineMessage> messages;
};

// Runs zipengine-driver with the arguments; parses its "action=4" lines and its result.
DriverRun runDriver(const std::vector<std::string>& arguments, const std::vector<std::string>& env = {},
                    long long fileSizeLimit = -1)
{
    std::vector<std::string> argv = {(testkit::binDir() / "zipengine-driver").string(), "-q"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    DriverRun run;
    run.process = faultkit::Run(argv, env, fileSizeLimit, 120);
    std::istringstream lines(run.process.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("result=", 0) == 0) {
            run.result = std::stoi(line.substr(7));
        } else if (line.rfind("action=4 ", 0) == 0) {
            EngineMessage message;
            message.code = std::stoi(line.substr(line.find("arg1=") + 5));
            message.text = line.substr(line.find("text=") + 5);
            run.messages.push_back(message);
        }
    }
    return run;
}

bool reported(const DriverRun& run, int code, const std::string& part)
{
    for (const auto& m : run.messages) {
        if (m.code == code && m.text.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// A folder with an archive of two small files, made by the engine itself.
struct ArchiveFixture
{
    TempDir tmp;
    path src = tmp.path() / "src";
    path out = tmp.path() / "out";
    path archive = out / "backup.zip";
    std::string before;

    ArchiveFixture()
    {
        writeFile(src / "one.txt", "first file\n");
        writeFile(src / "two.txt", "second file\n");
        faultkit::fs::create_directories(out);
        const DriverRun first = runDriver({"-C", src.string() + "/", archive.string(), "*.txt"});
        EXPECT_EQ(first.result, 2) << first.process.output;
        before = testkit::readFile(archive);
    }

    // The previous archive is byte for byte as it was and nothing else is in its folder.
    void expectUntouched() const
    {
        EXPECT_EQ(testkit::readFile(archive), before);
        EXPECT_EQ(faultkit::FolderNames(out), std::vector<std::string>{"backup.zip"});
    }
};

TEST(EngineFaults, full_disk_leaves_the_previous_archive_and_names_it)
{
    ArchiveFixture f;
    // 2 MiB of incompressible data cannot fit under a 256 KiB limit.
    writeFile(f.src / "big.bin", testkit::randomBytes(2 << 20, 7));
    const DriverRun run = runDriver({"-C", f.src.string() + "/", f.archive.string(), "*.*"}, {}, 256 << 10);
    EXPECT_EQ(run.result, 0) << run.process.output;
    EXPECT_TRUE(reported(run, ZIP_MSG_WRITE_FAILED, f.archive.string())) << run.process.output;
    EXPECT_NE(run.process.output.find("File too large"), std::string::npos) << run.process.output;
    f.expectUntouched();
    EXPECT_TRUE(faultkit::ArchiveTestsOk(f.archive));
}

TEST(EngineFaults, a_write_error_at_any_point_leaves_the_previous_archive)
{
    ArchiveFixture f;
    writeFile(f.src / "big.bin", testkit::randomBytes(300000, 8));
    writeFile(f.src / "text.txt", std::string(200000, 'x'));
    // From the first byte of a local header to the end record.
    for (const char* after : {"0", "1", "29", "31", "4096", "65536", "150000", "300100", "300400"}) {
        SCOPED_TRACE(after);
        const DriverRun run = runDriver({"-C", f.src.string() + "/", f.archive.string(), "*.*"},
                                        {std::string("VORLAND_FAULT_WRITE_AFTER=") + after});
        EXPECT_EQ(run.result, 0) << run.process.output;
        EXPECT_TRUE(reported(run, ZIP_MSG_WRITE_FAILED, f.archive.string())) << run.process.output;
        f.expectUntouched();
    }
    // Without the fault the same operation goes through.
    const DriverRun run = runDriver({"-C", f.src.string() + "/", f.archive.string(), "*.*"});
    EXPECT_EQ(run.result, 4) << run.process.output;
    EXPECT_TRUE(faultkit::ArchiveTestsOk(f.archive));
}

TEST(EngineFaults, an_unreadable_file_is_reported_and_the_rest_is_stored)
{
    ArchiveFixture f;
    writeFile(f.src / "secret.txt", "cannot be read\n");
    writeFile(f.src / "three.txt", "third file\n");
    const DriverRun run =
        runDriver({"-C", f.src.string() + "/", f.archive.string(), "*.txt"}, {"VORLAND_FAULT_READ_MATCH=secret"});
    EXPECT_TRUE(reported(run, ZIP_MSG_FILE_SKIPPED, (f.src / "secret.txt").string())) << run.process.output;
    EXPECT_TRUE(faultkit::ArchiveTestsOk(f.archive));
    EXPECT_EQ(faultkit::ArchiveNames(f.archive), (std::vector<std::string>{"one.txt", "three.txt", "two.txt"}));
}

void makeSocket(const path& where)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = where.string();
    ASSERT_LT(name.size(), sizeof address.sun_path);
    name.copy(address.sun_path, name.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

// A folder below `root` whose path is `length` bytes long, made of folders of up to 200 bytes.
path deepFolder(const path& root, std::size_t length)
{
    path folder = root;
    while (folder.string().size() < length) {
        const std::size_t left = length - folder.string().size() - 1;
        folder /= std::string(std::clamp<std::size_t>(left, 1, 200), 'd');
    }
    faultkit::fs::create_directories(folder);
    return folder;
}

TEST(EngineFaults, awkward_trees_are_stored_without_hanging_or_looping)
{
    TempDir tmp;
    const path src = tmp.path() / "src";
    const path archive = tmp.path() / "awkward.zip";
    writeFile(src / "plain.txt", "plain\n");
    writeFile(src / "sub" / "inner.txt", "inner\n");
    faultkit::fs::create_directory_symlink("..", src / "sub" / "loop");
    faultkit::fs::create_symlink("selfloop", src / "selfloop");
    faultkit::fs::create_symlink("plain.txt", src / "link.txt");
    ASSERT_EQ(::mkfifo((src / "pipe.txt").c_str(), 0644), 0);
    makeSocket(src / "sock.txt");
    writeFile(src / "new\nline.txt", "newline\n");
    writeFile(src / "bad\xff\xfe.txt", "not utf-8\n");
    const std::string longName = std::string(251, 'n') + ".txt";
    writeFile(src / longName, "long name\n");
    const path deep = deepFolder(src, 3995);
    writeFile(deep / "deep.txt", "deep\n");
    ASSERT_GE((deep / "deep.txt").string().size(), 4000u);

    const DriverRun run = runDriver({"-C", src.string() + "/", "-r", "-D", archive.string(), "*.*"});
    ASSERT_FALSE(run.process.timedOut) << "the engine hung (a FIFO opened for reading?)";
    EXPECT_EQ(run.process.exitCode, 0) << run.process.output;
    EXPECT_TRUE(reported(run, ZIP_MSG_FILE_SKIPPED, "selfloop")) << run.process.output;
    std::string report;
    ASSERT_TRUE(faultkit::ArchiveTestsOk(archive, &report)) << report;

    const std::string deepName = faultkit::fs::relative(deep / "deep.txt", src).string();
    std::vector<std::string> expected = {"bad\xff\xfe.txt", "link.txt",      longName, "new\nline.txt",
                                         "plain.txt",       "sub/inner.txt", deepName};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(faultkit::ArchiveNames(archive).size(), expected.size());
    // unzip lists names with control characters escaped; Python's reader gives them as stored.
    const auto listing =
        testkit::runProcess({"python3", "-c",
                             "import sys, zipfile\n"
                             "z = zipfile.ZipFile(sys.argv[1])\n"
                             "assert z.testzip() is None\n"
                             "for i in z.infolist():\n"
                             "    raw = i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')\n"
                             "    sys.stdout.buffer.write(raw + b'\\0')\n",
                             archive.string()});
    ASSERT_EQ(listing.exitCode, 0) << listing.err;
    std::vector<std::string> names;
    std::istringstream stored(listing.out);
    for (std::string name; std::getline(stored, name, '\0');) {
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
}

} // namespace
