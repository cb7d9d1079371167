// Archives written by the engine, read back by Info-ZIP unzip, 7-Zip and Python's zipfile.

#include "EngineHarness.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <string>

using namespace enginetest;
using testkit::TempDir;
using testkit::writeFile;

namespace {

std::string textLines(std::size_t lines, std::uint32_t seed)
{
    std::string out;
    std::uint32_t x = seed;
    for (std::size_t i = 0; i < lines; ++i) {
        x = x * 1103515245u + 12345u;
        out += "line " + std::to_string(i) + " value " + std::to_string(x % 1000) + " of the report\n";
    }
    return out;
}

// A small tree with the usual kinds of content.
void makeMixedTree(const std::string& root)
{
    writeFile(root + "/readme.txt", textLines(200, 1));
    writeFile(root + "/empty.dat", "");
    writeFile(root + "/src/main.cpp", textLines(3000, 2));
    writeFile(root + "/src/deep/er/notes.md", textLines(10, 3));
    writeFile(root + "/bin/random.bin", testkit::randomBytes(300000, 4));
    writeFile(root + "/bin/picture.png", textLines(100, 5)); // compressible, but stored by its suffix
    writeFile(root + "/Ünïcødé/名前.txt", "non-ASCII names\n");
    writeFile(root + "/large/log.txt", textLines(150000, 6)); // past the whole-file limit: streamed
}

const std::string kSuffixes = ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar";

} // namespace

TEST(EngineInterop, exports_version_160)
{
    EXPECT_EQ(engineVersion(), 160);
}

TEST(EngineInterop, mixed_tree_at_every_level_is_read_back_bit_exact)
{
    TempDir dir;
    const std::string root = dir / "src";
    makeMixedTree(root);
    for (const int level : {0, 1, 6, 9}) {
        SCOPED_TRACE("level " + std::to_string(level));
        EngineOptions options;
        options.archive = dir / ("level" + std::to_string(level) + ".zip");
        options.rootDir = root;
        options.specs = {"*.*"};
        options.recurse = true;
        options.level = level;
        options.storeSuffixes = kSuffixes;
        const auto run = runEngine(options);
        EXPECT_EQ(run.result, 8);
        EXPECT_TRUE(run.messages().empty());
        expectReadersAccept(options.archive, root);
        const auto entries = entryDigests(options.archive);
        EXPECT_EQ(entries.size(), 14u); // 8 files, 6 folders
        ASSERT_TRUE(entries.count("Ünïcødé/名前.txt"));
        ASSERT_TRUE(entries.count("src/deep/er/"));
        // Method: stored at level 0, for the stored suffixes and where deflate does not shrink.
        EXPECT_EQ(entries.at("bin/picture.png").substr(0, 1), "0");
        EXPECT_EQ(entries.at("bin/random.bin").substr(0, 1), "0");
        EXPECT_EQ(entries.at("src/main.cpp").substr(0, 1), level == 0 ? "0" : "8");
        EXPECT_EQ(entries.at("large/log.txt").substr(0, 1), level == 0 ? "0" : "8");
        // Non-ASCII names carry the UTF-8 flag (bit 11), plain ones do not.
        const auto& unicode = entries.at("Ünïcødé/名前.txt");
        const int flags = std::stoi(unicode.substr(unicode.find('\t') + 1));
        EXPECT_TRUE(flags & 0x800);
        const auto& plain = entries.at("readme.txt");
        EXPECT_FALSE(std::stoi(plain.substr(plain.find('\t') + 1)) & 0x800);
    }
    expectSevenZipExtractsSame(dir / "level9.zip", root, dir / "out7z");
}

TEST(EngineInterop, unzip_lists_unix_permissions_and_local_times)
{
    TempDir dir;
    writeFile(dir / "src/tool.sh", "#!/bin/sh\necho hi\n");
    ASSERT_EQ(chmod((dir / "src/tool.sh").c_str(), 0750), 0);
    // 2021-03-04 05:06:08 in the local time zone.
    struct tm t = {};
    t.tm_year = 121;
    t.tm_mon = 2;
    t.tm_mday = 4;
    t.tm_hour = 5;
    t.tm_min = 6;
    t.tm_sec = 8;
    t.tm_isdst = -1;
    testkit::setMTime(dir / "src/tool.sh", mktime(&t));
    EngineOptions options;
    options.archive = dir / "perm.zip";
    options.rootDir = dir / "src";
    options.specs = {"*"};
    ASSERT_EQ(runEngine(options).result, 1);
    const auto listing = testkit::runProcess({"unzip", "-Z", "-T", options.archive});
    EXPECT_NE(listing.out.find("-rwxr-x---"), std::string::npos) << listing.out;
    EXPECT_NE(listing.out.find("20210304.050608"), std::string::npos) << listing.out;
    EXPECT_NE(listing.out.find("unx"), std::string::npos) << listing.out;
}

TEST(EngineInterop, encrypted_with_every_printable_character_as_password)
{
    TempDir dir;
    const std::string root = dir / "src";
    makeMixedTree(root);
    std::string password;
    for (char c = ' '; c <= '~'; ++c) {
        password += c;
    }
    // The block's password is cut to 81 characters by the component; take the part it would pass
    // and use the rest of the characters as a second run's own password.
    const std::string first = password.substr(0, 80);
    const std::string second = password.substr(80) + password.substr(0, 20);
    EngineOptions options;
    options.archive = dir / "enc.zip";
    options.rootDir = root;
    options.specs = {"*.*"};
    options.recurse = true;
    options.encrypt = true;
    options.password = first;
    options.storeSuffixes = kSuffixes;
    ASSERT_EQ(runEngine(options).result, 8);
    expectReadersAccept(options.archive, root, first);
    expectSevenZipExtractsSame(options.archive, root, dir / "out", first);
    for (const auto& [name, info] : entryDigests(options.archive, first)) {
        if (name.back() != '/') {
            const int flags = std::stoi(info.substr(info.find('\t') + 1));
            EXPECT_TRUE(flags & 1) << name;
        }
    }
    // The wrong password is refused.
    const auto wrong = testkit::runProcess({"unzip", "-t", "-P", "wrong", options.archive});
    EXPECT_NE(wrong.exitCode, 0);

    EngineOptions own = options;
    own.archive = dir / "own.zip";
    own.password.clear();
    own.encrypt = false;
    own.specs = {"src/*.cpp<" + second, "readme.txt"};
    ASSERT_EQ(runEngine(own).result, 2);
    const auto entries = entryDigests(own.archive, second);
    EXPECT_TRUE(std::stoi(entries.at("src/main.cpp").substr(2)) & 1);
    EXPECT_FALSE(std::stoi(entries.at("readme.txt").substr(2)) & 1);
    const auto u = testkit::runProcess({"unzip", "-t", "-P", second, own.archive});
    EXPECT_EQ(u.exitCode, 0) << u.out;
}

TEST(EngineInterop, password_is_asked_for_when_encrypting_without_one)
{
    TempDir dir;
    writeFile(dir / "src/a.txt", textLines(10, 7));
    EngineOptions options;
    options.archive = dir / "asked.zip";
    options.rootDir = dir / "src";
    options.specs = {"*.txt"};
    options.encrypt = true;
    options.passwordAnswer = "given";
    auto run = runEngine(options);
    ASSERT_EQ(run.result, 1);
    // The totals open the operation; the question comes before any file.
    ASSERT_GE(run.callbacks.size(), 3u);
    EXPECT_EQ(run.callbacks[0].action, ZIP_ACTION_TOTAL_FILES);
    EXPECT_EQ(run.callbacks[1].action, ZIP_ACTION_TOTAL_SIZE);
    EXPECT_EQ(run.callbacks[2].action, ZIP_ACTION_PASSWORD);
    EXPECT_EQ(testkit::runProcess({"unzip", "-t", "-P", "given", options.archive}).exitCode, 0);

    // No answer: nothing is written and the reason is given.
    options.archive = dir / "refused.zip";
    options.passwordAnswer.clear();
    run = runEngine(options);
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.messages().size(), 1u);
    EXPECT_EQ(run.messages()[0].first, ZIP_MSG_NO_PASSWORD);
    EXPECT_NE(run.messages()[0].second.find("refused.zip"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(options.archive));
}

TEST(EngineInterop, ten_thousand_small_files)
{
    TempDir dir;
    const std::string root = dir / "src";
    for (int i = 0; i < 10000; ++i) {
        writeFile(root + "/d" + std::to_string(i % 50) + "/f" + std::to_string(i) + ".txt",
                  "file " + std::to_string(i) + "\n" + std::string(static_cast<std::size_t>(i % 300), 'x'));
    }
    EngineOptions options;
    options.archive = dir / "many.zip";
    options.rootDir = root;
    options.specs = {"*.txt"};
    options.recurse = true;
    const auto run = runEngine(options);
    EXPECT_EQ(run.result, 10000);
    EXPECT_EQ(run.newFiles().size(), 10000u);
    expectReadersAccept(options.archive, root);
    EXPECT_EQ(entryDigests(options.archive).size(), 10050u);
}

TEST(EngineInterop, empty_file_alone_and_empty_selection)
{
    TempDir dir;
    writeFile(dir / "src/nothing", "");
    EngineOptions options;
    options.archive = dir / "one.zip";
    options.rootDir = dir / "src";
    options.specs = {"nothing"};
    ASSERT_EQ(runEngine(options).result, 1);
    expectReadersAccept(options.archive, dir / "src");

    // Nothing matches: no archive is made, and an existing one stays as it is.
    options.specs = {"*.none"};
    const std::string before = testkit::readFile(options.archive);
    auto run = runEngine(options);
    EXPECT_EQ(run.result, 0);
    ASSERT_FALSE(run.messages().empty());
    EXPECT_EQ(run.messages()[0].first, ZIP_MSG_NOTHING_TO_DO);
    EXPECT_EQ(testkit::readFile(options.archive), before);
    options.archive = dir / "none.zip";
    run = runEngine(options);
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(std::filesystem::exists(options.archive));
}

TEST(EngineInterop, archive_comment_is_kept)
{
    TempDir dir;
    writeFile(dir / "src/a.txt", "a\n");
    EngineOptions options;
    options.archive = dir / "c.zip";
    options.rootDir = dir / "src";
    options.specs = {"a.txt"};
    options.comment = "weekly backup";
    ASSERT_EQ(runEngine(options).result, 1);
    const auto listing = testkit::runProcess({"unzip", "-z", options.archive});
    EXPECT_NE(listing.out.find("weekly backup"), std::string::npos) << listing.out;
}

TEST(EngineInterop, large_file_compressed_in_chunks_is_one_valid_stream)
{
    // Chunks of every kind of content, so that their last blocks end at every bit position: text,
    // random bytes (stored blocks), runs of one byte, and mixtures.
    TempDir dir;
    std::string data;
    for (std::uint32_t i = 0; i < 24; ++i) {
        const std::size_t piece = 1000000 + i * 7919;
        switch (i % 4) {
        case 0:
            data += textLines(piece / 40, i).substr(0, piece);
            break;
        case 1:
            data += testkit::randomBytes(piece, i);
            break;
        case 2:
            data += std::string(piece, static_cast<char>(i));
            break;
        default:
            data += testkit::randomBytes(piece / 2, i) + textLines(piece / 80, i).substr(0, piece / 2);
        }
    }
    writeFile(dir / "src/mixed.bin", data);
    for (const int level : {1, 6, 9}) {
        SCOPED_TRACE("level " + std::to_string(level));
        EngineOptions options;
        options.archive = dir / ("mixed" + std::to_string(level) + ".zip");
        options.rootDir = dir / "src";
        options.specs = {"mixed.bin"};
        options.level = level;
        ASSERT_EQ(runEngine(options).result, 1);
        EXPECT_EQ(entryDigests(options.archive).at("mixed.bin").substr(0, 1), "8");
        expectReadersAccept(options.archive, dir / "src");
    }
}
