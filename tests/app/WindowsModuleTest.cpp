// The windows live in a module loaded at run time: the program itself needs no window library, finds
// the module beside itself or in an installed tree, and still runs a batch in the console when the
// module is missing or broken.

#include "app/WindowsModule.h"
#include "app/AnsweringDisplay.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string neededLibraries(const fs::path& file)
{
    const auto result = testkit::runProcess({"readelf", "-d", "-W", file.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string needed;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("(NEEDED)") != std::string::npos) {
            needed += line.substr(line.find('[')) + "\n";
        }
    }
    return needed;
}

class WindowsModule : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testkit::writeFile(tmp / "src/a.txt", testkit::randomBytes(3000, 7));
        testkit::writeFile(tmp / "src/sub/b.txt", "b\n");
        testkit::writeFile(batchFile, "[BatchParameters]\r\nUpdateZip=1\r\n\r\n[one]\r\nZip=" + archive +
                                          "\r\nCompress=1\r\nDir=" + (tmp / "src") + "\r\nRecurse=1\r\n");
    }

    // A copy of the program and its engine in a folder of their own, without the module.
    fs::path lonelyProgram()
    {
        const fs::path bin = tmp.path() / "bin";
        fs::create_directories(bin);
        for (const char* file : {"vorland", "libzipengine.so"}) {
            fs::copy_file(testkit::binDir() / file, bin / file);
        }
        return bin / "vorland";
    }

    void expectArchiveWritten()
    {
        const auto test = testkit::runProcess({"unzip", "-tq", archive});
        EXPECT_EQ(test.exitCode, 0) << test.out << test.err;
        fs::remove(archive);
    }

    testkit::TempDir tmp;
    const std::string batchFile = tmp / "daily.vrl";
    const std::string archive = tmp / "out.zip";
    AnsweringDisplay display{tmp.path() / "display"};
};

} // namespace

TEST(WindowsModuleFiles, the_program_needs_no_window_library_and_the_module_holds_them)
{
    const std::string program = neededLibraries(testkit::binDir() / "vorland");
    EXPECT_NE(program.find("libc.so"), std::string::npos) << program;
    EXPECT_EQ(program.find("Qt"), std::string::npos) << program;
    const std::string module = neededLibraries(testkit::binDir() / TWindowsModule::FileName());
    EXPECT_NE(module.find("libQt6Widgets"), std::string::npos) << module;
}

TEST(WindowsModuleFiles, the_module_is_looked_for_beside_the_program_then_in_the_installed_tree)
{
    testkit::TempDir tree;
    const fs::path bin = tree.path() / "bin";
    fs::create_directories(bin);
    EXPECT_EQ(TWindowsModule::ChoosePath(bin.string()), TWindowsModule::FileName());
    EXPECT_EQ(TWindowsModule::ChoosePath(""), TWindowsModule::FileName());

    const std::string installed = (bin / "../lib/vorland" / TWindowsModule::FileName()).string();
    testkit::writeFile(installed, "x");
    EXPECT_EQ(TWindowsModule::ChoosePath(bin.string()), installed);

    const std::string beside = (bin / TWindowsModule::FileName()).string();
    testkit::writeFile(beside, "x");
    EXPECT_EQ(TWindowsModule::ChoosePath(bin.string()), beside);
    // A folder of that name is no module.
    fs::remove(beside);
    fs::create_directory(beside);
    EXPECT_EQ(TWindowsModule::ChoosePath(bin.string()), installed);
}

TEST_F(WindowsModule, a_batch_on_a_display_runs_through_the_module)
{
    auto env = display.Environment();
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("XDG_CONFIG_HOME=" + (tmp / "config"));
    const auto run = testkit::runProcess({(testkit::binDir() / "vorland").string(), batchFile, "/B"}, env);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("vorland:"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No problems."), std::string::npos) << run.err;
    expectArchiveWritten();
}

TEST_F(WindowsModule, without_its_module_the_program_runs_a_batch_in_the_console_and_the_editor_refuses)
{
    const fs::path program = lonelyProgram();
    const auto run = testkit::runProcess({program.string(), batchFile, "/B"}, display.Environment());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("vorland: cannot load the window module libvorland-windows.so (libvorland-windows.so: "
                           "cannot open shared object file: No such file or directory); running without windows\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("No problems."), std::string::npos) << run.err;
    expectArchiveWritten();

    const auto editor = testkit::runProcess({program.string(), batchFile}, display.Environment());
    EXPECT_EQ(editor.exitCode, 2);
    EXPECT_NE(editor.err.find("libvorland-windows.so"), std::string::npos) << editor.err;
    EXPECT_NE(editor.err.find("the batch editor cannot open its windows\n"), std::string::npos) << editor.err;
    EXPECT_EQ(editor.err.find("needs a display"), std::string::npos) << editor.err;

    // Without a display nothing is looked for.
    const auto console = testkit::runProcess({program.string(), batchFile, "/B"}, {"DISPLAY=", "WAYLAND_DISPLAY="});
    EXPECT_EQ(console.exitCode, 0) << console.err;
    EXPECT_EQ(console.err.find("vorland:"), std::string::npos) << console.err;
    expectArchiveWritten();
}

TEST_F(WindowsModule, a_broken_module_is_named_with_the_loaders_reason)
{
    const fs::path program = lonelyProgram();
    const fs::path module = program.parent_path() / TWindowsModule::FileName();

    // Not a library at all.
    testkit::writeFile(module, "not a library\n");
    auto run = testkit::runProcess({program.string(), batchFile, "/B"}, display.Environment());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("vorland: cannot load the window module " + module.string() + " (" + module.string()),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("running without windows\n"), std::string::npos) << run.err;
    expectArchiveWritten();

    // A library without the module's entry.
    fs::remove(module);
    fs::copy_file(program.parent_path() / "libzipengine.so", module);
    run = testkit::runProcess({program.string(), batchFile, "/B"}, display.Environment());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("VorlandRunWithWindows"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("running without windows\n"), std::string::npos) << run.err;
    expectArchiveWritten();
}
