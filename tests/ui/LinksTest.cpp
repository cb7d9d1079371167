// Desktop launchers: the name and arguments for a batch, the desktop folder, the file's content and
// mode, replacement, the Exec line read back the way a desktop reads it, and the failures.

#include "ui/Links.h"

#include "core/ProcessUtils.h"
#include "testkit/TestKit.h"
#include "ui/UiTestKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// A home folder of its own for each test, with the user's folder settings in it.
class LinksTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        uitest::ensureApplication();
        saveEnv("HOME");
        saveEnv("XDG_CONFIG_HOME");
        saveEnv("XDG_DESKTOP_DIR");
        ::setenv("HOME", m_home.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_home / ".config").c_str(), 1);
        ::unsetenv("XDG_DESKTOP_DIR");
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved) {
            if (value.second) {
                ::setenv(name.c_str(), value.first.c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    void saveEnv(const char* name)
    {
        const char* value = std::getenv(name);
        m_saved[name] = {value != nullptr ? value : "", value != nullptr};
    }
    std::string home(const std::string& relative) const { return m_home / relative; }

    // The value of a key in the launcher's [Desktop Entry] group, as written.
    static std::string key(const std::string& launcher, const std::string& name)
    {
        std::istringstream lines(testkit::readFile(launcher));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind(name + "=", 0) == 0) {
                return line.substr(name.size() + 1);
            }
        }
        return "<missing>";
    }

    testkit::TempDir m_home;
    std::map<std::string, std::pair<std::string, bool>> m_saved;
};

// Undoes the key-file escapes and splits the Exec value into words as the Desktop Entry format
// says (the same rules a desktop applies before it starts the program).
std::vector<std::string> execWords(const std::string& value)
{
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            unescaped += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next == 's' ? ' ' : next;
            if (next != 'n' && next != 't' && next != 'r' && next != 's' && next != '\\') {
                unescaped.insert(unescaped.size() - 1, 1, '\\');
            }
        } else {
            unescaped += value[i];
        }
    }
    std::vector<std::string> words;
    std::string error;
    EXPECT_TRUE(SplitCommandLine(unescaped, words, error)) << error;
    for (auto& word : words) {
        std::string plain;
        for (std::size_t i = 0; i < word.size(); ++i) {
            plain += word[i];
            if (word[i] == '%') {
                EXPECT_TRUE(i + 1 < word.size() && word[i + 1] == '%') << "lone % in " << value;
                ++i;
            }
        }
        word = plain;
    }
    return words;
}

} // namespace

TEST(BatchShortcut, name_drops_the_folder_and_only_the_last_extension)
{
    EXPECT_EQ(BatchShortcutName("/srv/Backups/daily.vrl"), "daily Vorland");
    EXPECT_EQ(BatchShortcutName("/srv/Backups/my.week.vrl"), "my.week Vorland");
    EXPECT_EQ(BatchShortcutName("/srv/with dots.d/plain"), "plain Vorland");
    EXPECT_EQ(BatchShortcutName("/srv/.hidden"), "hidden Vorland");
    EXPECT_EQ(BatchShortcutArguments("/srv/my batch.vrl"), (std::vector<std::string>{"/srv/my batch.vrl", "/B"}));
}

TEST_F(LinksTest, desktop_folder_follows_the_user_dirs_setting_else_home_desktop)
{
    EXPECT_EQ(DesktopFolder(), home("Desktop"));
    testkit::writeFile(home(".config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    EXPECT_EQ(DesktopFolder(), home("Bureau"));
}

TEST_F(LinksTest, launcher_runs_the_program_on_the_batch_and_is_replaced_when_made_again)
{
    testkit::writeFile(home(".config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    fs::create_directories(home("Bureau"));
    const std::string batch = home("Backups/daily.vrl");
    const std::string made = CreateDesktopShortcut(BatchShortcutName(batch), BatchShortcutArguments(batch));
    EXPECT_EQ(made, home("Bureau/daily Vorland.desktop"));
    EXPECT_EQ(testkit::readFile(made).rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(key(made, "Type"), "Application");
    EXPECT_EQ(key(made, "Name"), "daily Vorland");
    EXPECT_NE(key(made, "Icon"), "<missing>");
    EXPECT_EQ(key(made, "Exec"), "\"" + ProgramPath() + "\" \"" + batch + "\" /B");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(made.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);

    const std::string other = home("Backups/daily.vrl.bak/../daily.vrl");
    CreateDesktopShortcut(BatchShortcutName(batch), BatchShortcutArguments(other));
    EXPECT_EQ(key(made, "Exec"), "\"" + ProgramPath() + "\" \"" + other + "\" /B");
    int files = 0;
    for (const auto& entry : fs::directory_iterator(home("Bureau"))) {
        ++files;
        EXPECT_EQ(entry.path().string(), made);
    }
    EXPECT_EQ(files, 1);
}

TEST_F(LinksTest, awkward_paths_come_back_whole_from_the_exec_line)
{
    const std::string batch = home("odd \"name\" $HOME `x` back\\slash 100%/new\nline.vrl");
    const std::string target = home("bin dir/vor land");
    const std::string made =
        CreateShortcut(target, home("Desktop"), BatchShortcutName(batch), BatchShortcutArguments(batch));
    EXPECT_EQ(execWords(key(made, "Exec")), (std::vector<std::string>{target, batch, "/B"}));
    EXPECT_EQ(key(made, "Name"), "new\\nline Vorland");
    // A batch file named like a switch is still passed as a file.
    EXPECT_EQ(DesktopExecValue("/p", {"/B", "/B"}), "\"/p\" \"/B\" /B");
}

TEST_F(LinksTest, missing_desktop_folder_is_made_when_its_parent_exists)
{
    const std::string made = CreateDesktopShortcut("x Vorland", {"/a.vrl", "/B"});
    EXPECT_EQ(made, home("Desktop/x Vorland.desktop"));
    EXPECT_TRUE(fs::is_regular_file(made));

    testkit::writeFile(home(".config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"$HOME/gone/Desktop\"\n");
    try {
        CreateDesktopShortcut("x Vorland", {"/a.vrl", "/B"});
        FAIL() << "no error";
    } catch (const ELinkError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(home("gone/Desktop/x Vorland.desktop")), std::string::npos) << text;
        EXPECT_NE(text.find("does not exist"), std::string::npos) << text;
    }
    EXPECT_FALSE(fs::exists(home("gone")));
}

TEST_F(LinksTest, a_launcher_that_cannot_be_written_is_reported_and_leaves_nothing_behind)
{
    // A folder in the way of the launcher's name: the rename fails whoever runs the test.
    fs::create_directories(home("Desktop/x Vorland.desktop/inside"));
    try {
        CreateDesktopShortcut("x Vorland", {"/a.vrl", "/B"});
        FAIL() << "no error";
    } catch (const ELinkError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(home("Desktop/x Vorland.desktop")), std::string::npos) << text;
        EXPECT_NE(text.find(std::strerror(EISDIR)), std::string::npos) << text;
    }
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(home("Desktop"))) {
        ++files;
    }
    EXPECT_EQ(files, 1);

    // The desktop "folder" is a file.
    testkit::writeFile(home("File"), "");
    testkit::writeFile(home(".config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"$HOME/File\"\n");
    EXPECT_THROW(CreateDesktopShortcut("x Vorland", {"/a.vrl", "/B"}), ELinkError);
}
