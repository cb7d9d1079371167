// Installing into a prefix: every file lands where the program and the desktop look for it, the
// installed program finds its engine and runs a batch, the menu entry, the software-centre entry and
// the manual page are valid, *.vrl files get their own type, and the Debian package holds the
// documents.

#include "app/AnsweringDisplay.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

class InstallTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_prefix = new testkit::TempDir();
        const auto result = testkit::runProcess({env("VORLAND_CMAKE"), "--install", env("VORLAND_BUILD_DIR"),
                                                 "--prefix", (s_prefix->path() / "usr").string()},
                                                {}, 300);
        ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    }
    static void TearDownTestSuite()
    {
        delete s_prefix;
        s_prefix = nullptr;
    }
    static fs::path prefix() { return s_prefix->path() / "usr"; }
    static testkit::TempDir* s_prefix;
};

testkit::TempDir* InstallTest::s_prefix = nullptr;

} // namespace

TEST_F(InstallTest, files_land_in_their_places)
{
    for (const char* file :
         {"bin/vorland", "lib/vorland/libzipengine.so", "lib/vorland/libvorland-windows.so",
          "share/applications/vorland.desktop", "share/mime/packages/vorland.xml",
          "share/icons/hicolor/scalable/apps/vorland.svg", "share/icons/hicolor/48x48/apps/vorland.png",
          "share/vorland/help.html", "share/man/man1/vorland.1.gz", "share/metainfo/org.orvane.Vorland.metainfo.xml",
          "share/doc/vorland/copyright"}) {
        EXPECT_TRUE(fs::is_regular_file(prefix() / file)) << file;
    }
    struct stat st
    {
    };
    ASSERT_EQ(::stat((prefix() / "bin/vorland").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXOTH);
    const std::string entry = testkit::readFile(prefix() / "share/applications/vorland.desktop");
    EXPECT_NE(entry.find("\nExec=vorland %f\n"), std::string::npos);
    EXPECT_NE(entry.find("\nMimeType=application/x-vorland-batch;\n"), std::string::npos);
    if (testkit::haveProgram("desktop-file-validate")) {
        const auto check =
            testkit::runProcess({"desktop-file-validate", (prefix() / "share/applications/vorland.desktop").string()});
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        EXPECT_EQ(check.out + check.err, "");
    }
}

TEST_F(InstallTest, installed_program_finds_its_engine_and_runs_a_batch)
{
    testkit::TempDir work;
    testkit::writeFile(work / "src/a.txt", testkit::randomBytes(5000, 1));
    testkit::writeFile(work / "src/b.txt", "b");
    testkit::writeFile(work / "daily.vrl",
                       "[BatchParameters]\r\nUpdateZip=1\r\n\r\n[one]\r\nZip=" + (work / "out.zip") +
                           "\r\nCompress=1\r\nDir=" + (work / "src") + "\r\nRecurse=1\r\n");
    // Moved elsewhere, the tree still works: the engine is found relative to the program.
    const fs::path moved = work.path() / "moved";
    fs::copy(prefix(), moved, fs::copy_options::recursive);
    const auto run = testkit::runProcess({(moved / "bin/vorland").string(), work / "daily.vrl", "/B"},
                                         {"DISPLAY=", "WAYLAND_DISPLAY=", "LD_LIBRARY_PATH="}, 120);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const auto test = testkit::runProcess({"unzip", "-tq", work / "out.zip"});
    EXPECT_EQ(test.exitCode, 0) << test.out << test.err;

    // On a display the moved program finds its window module too (the windows go offscreen).
    fs::remove(work / "out.zip");
    AnsweringDisplay display(work.path() / "display");
    auto env = display.Environment();
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("XDG_CONFIG_HOME=" + (work / "config"));
    const auto windowed = testkit::runProcess({(moved / "bin/vorland").string(), work / "daily.vrl", "/B"}, env, 120);
    EXPECT_EQ(windowed.exitCode, 0) << windowed.err;
    EXPECT_EQ(windowed.err.find("vorland:"), std::string::npos) << windowed.err;
    EXPECT_EQ(testkit::runProcess({"unzip", "-tq", work / "out.zip"}).exitCode, 0);
}

TEST_F(InstallTest, batch_files_get_their_own_type)
{
    ASSERT_TRUE(fs::is_regular_file(prefix() / "share/mime/mime.cache")) << "update-mime-database did not run";
    testkit::TempDir work;
    testkit::writeFile(work / "daily.vrl", "[BatchParameters]\r\n");
    const auto info =
        testkit::runProcess({"gio", "info", "-a", "standard::content-type", work / "daily.vrl"},
                            {"XDG_DATA_DIRS=" + (prefix() / "share").string(), "XDG_DATA_HOME=" + (work / "none")});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("standard::content-type: application/x-vorland-batch"), std::string::npos) << info.out;
}

TEST_F(InstallTest, manual_page_and_software_centre_entry_are_valid)
{
    const auto man =
        testkit::runProcess({"man", "-P", "cat", "vorland"},
                            {"MANPATH=" + (prefix() / "share/man").string(), "MANWIDTH=100", "LC_ALL=C.UTF-8"});
    EXPECT_EQ(man.exitCode, 0) << man.err;
    for (const char* part : {"EXIT STATUS", "ENVIRONMENT", "FILES", "SCHEDULING", "--status", "enable-linger"}) {
        EXPECT_NE(man.out.find(part), std::string::npos) << part << " missing from:\n" << man.out;
    }
    const auto lint = testkit::runProcess(
        {"man", "--warnings", "-l", "-P", "cat", (prefix() / "share/man/man1/vorland.1.gz").string()},
        {"LC_ALL=C.UTF-8"});
    EXPECT_EQ(lint.err, "");

    const auto metainfo = testkit::runProcess({"appstreamcli", "validate", "--no-net",
                                               (prefix() / "share/metainfo/org.orvane.Vorland.metainfo.xml").string()});
    EXPECT_EQ(metainfo.exitCode, 0) << metainfo.out << metainfo.err;
}

TEST_F(InstallTest, debian_package_holds_the_licence_manual_metainfo_and_help)
{
    testkit::TempDir out;
    // The Maintainer is the builder's; this one only shows that the variable reaches the package.
    const auto pack =
        testkit::runProcess({env("VORLAND_CPACK"), "-G", "DEB", "-B", out.path().string(), "--config",
                             env("VORLAND_BUILD_DIR") + "/CPackConfig.cmake", "-D",
                             "CPACK_PACKAGE_CONTACT=Package test", "-D", "CPACK_VORLAND_ALLOW_TEST_HOOKS=ON"},
                            {}, 600);
    ASSERT_EQ(pack.exitCode, 0) << pack.out << pack.err;
    fs::path deb;
    for (const auto& entry : fs::directory_iterator(out.path())) {
        if (entry.path().extension() == ".deb") {
            deb = entry.path();
        }
    }
    ASSERT_FALSE(deb.empty()) << pack.out;
    const auto list = testkit::runProcess({"dpkg-deb", "-c", deb.string()});
    for (const char* file : {"./usr/share/doc/vorland/copyright", "./usr/share/man/man1/vorland.1.gz",
                             "./usr/share/metainfo/org.orvane.Vorland.metainfo.xml", "./usr/share/vorland/help.html",
                             "./usr/bin/vorland"}) {
        EXPECT_NE(list.out.find(std::string(file) + "\n"), std::string::npos) << file << " not in:\n" << list.out;
    }
    EXPECT_EQ(testkit::runProcess({"dpkg-deb", "-f", deb.string(), "Maintainer"}).out, "Package test\n");
}
