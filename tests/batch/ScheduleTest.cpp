// A batch's schedule: the systemd units it writes are valid and carry awkward paths intact, the
// timer is enabled and removed through systemctl (a stand-in that records its calls), a missing or
// failing systemctl gives its message and leaves no units, and the crontab line and next run time
// say the same schedule.

#include "batch/ScheduleInstaller.h"
#include "core/AppStrings.h"
#include "testkit/TestKit.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// A systemctl stand-in that appends its arguments to `log`, and prints a reason and fails when its
// second argument is `failOn`.
std::string fakeSystemctl(const testkit::TempDir& dir, const std::string& failOn = "none")
{
    const std::string script = dir / "bin/systemctl";
    testkit::writeFile(script, "#!/bin/sh\necho \"$*\" >>'" + (dir / "calls.log") + "'\nif [ \"$2\" = " + failOn +
                                   " ]; then echo 'Failed to connect to bus: No such file or directory'; exit 1; fi\n");
    ::chmod(script.c_str(), 0755);
    return script;
}

TSchedule daily(int hour, int minute)
{
    return {TScheduleKind::Daily, 0, hour, minute};
}

} // namespace

TEST(Schedule, units_pass_systemd_verify_and_carry_awkward_paths_quoted)
{
    ASSERT_TRUE(testkit::haveProgram("systemd-analyze")) << "scripts/packages.txt installs systemd";
    testkit::TempDir dir;
    // The program's folder has a blank and a "%"; one with a quote is started through env.
    for (const std::string folder : {"my 100% tools", "it's tools"}) {
        const std::string program = dir / (folder + "/vorland");
        testkit::writeFile(program, "#!/bin/sh\n");
        ::chmod(program.c_str(), 0755);
        for (const std::string name : {"plain.vrl", "my backup.vrl", "it's \"ours\".vrl", "100% $HOME ${X}.vrl",
                                       "back\\slash.vrl", ".hidden-one.vrl"}) {
            const std::string batch = dir / ("batches/" + name);
            TScheduleInstaller installer(program, batch, dir.path() / folder);
            installer.Systemctl = fakeSystemctl(dir);
            installer.Apply({TScheduleKind::Weekly, 6, 23, 5});
            const auto verify = testkit::runProcess(
                {"systemd-analyze", "verify", "--man=no", installer.ServiceFile(), installer.TimerFile()},
                {"SYSTEMD_LOG_COLOR=0"});
            EXPECT_EQ(verify.exitCode, 0) << name << ":\n" << verify.out << verify.err;
            EXPECT_EQ(verify.err.find("special characters"), std::string::npos) << verify.err;

            const std::string stem = fs::path(name).stem().string();
            const auto escaped = testkit::runProcess({"systemd-escape", "--", stem});
            EXPECT_EQ(installer.ServiceFile().filename().string().rfind(
                          "vorland-" + escaped.out.substr(0, escaped.out.size() - 1) + "-", 0),
                      0u)
                << installer.ServiceFile();
            EXPECT_EQ(installer.Current(), (TSchedule{TScheduleKind::Weekly, 6, 23, 5}));
            EXPECT_NE(
                testkit::readFile(installer.TimerFile()).find("\nOnCalendar=Sun *-*-* 23:05:00\nPersistent=true\n"),
                std::string::npos);
        }
    }
    // Systemd's own rules: "%%" for "%", "$$" for "$" in arguments, C escapes inside the quotes.
    const std::string service =
        testkit::readFile(TScheduleInstaller(dir / "my 100% tools/vorland", dir / "batches/100% $HOME ${X}.vrl",
                                             dir.path() / "my 100% tools")
                              .ServiceFile());
    EXPECT_NE(service.find("\nExecStart=\"" + (dir / "my 100%% tools/vorland") + "\" \"" +
                           (dir / "batches/100%% $$HOME $${X}.vrl") + "\" /B\n"),
              std::string::npos)
        << service;
    EXPECT_NE(service.find("\nEnvironment=VORLAND_CONSOLE=1\n"), std::string::npos);
    const std::string quoted = testkit::readFile(
        TScheduleInstaller(dir / "it's tools/vorland", dir / "batches/it's \"ours\".vrl", dir.path() / "it's tools")
            .ServiceFile());
    EXPECT_NE(quoted.find("\nExecStart=/usr/bin/env \"" + (dir / "it's tools/vorland") + "\" \"" +
                          (dir / "batches/it's \\\"ours\\\".vrl") + "\" /B\n"),
              std::string::npos)
        << quoted;
}

TEST(Schedule, apply_enables_the_timer_and_remove_disables_and_deletes_it)
{
    testkit::TempDir dir;
    TScheduleInstaller installer("/usr/bin/vorland", dir / "daily.vrl", dir.path() / "units");
    installer.Systemctl = fakeSystemctl(dir);
    EXPECT_EQ(installer.Current().Kind, TScheduleKind::Off);
    installer.Apply(daily(2, 30));
    EXPECT_EQ(installer.Current(), daily(2, 30));
    const std::string unit = installer.TimerFile().filename().string();
    EXPECT_EQ(testkit::readFile(dir / "calls.log"), "--user show-environment\n--user daemon-reload\n--user enable " +
                                                        unit + "\n--user restart " + unit + "\n");
    // What `systemctl enable` makes; removing takes it away too, even when it points nowhere.
    fs::create_directories(dir.path() / "units/timers.target.wants");
    fs::create_symlink(installer.TimerFile(), dir.path() / "units/timers.target.wants" / unit);

    fs::remove(dir.path() / "calls.log");
    installer.Apply({});
    EXPECT_EQ(testkit::readFile(dir / "calls.log"), "--user disable --now " + unit + "\n--user daemon-reload\n");
    EXPECT_TRUE(fs::is_empty(dir.path() / "units/timers.target.wants"));
    EXPECT_FALSE(fs::exists(installer.ServiceFile()));
    EXPECT_FALSE(fs::exists(installer.TimerFile()));
    EXPECT_EQ(installer.Current().Kind, TScheduleKind::Off);
}

TEST(Schedule, missing_or_failing_systemctl_gives_its_message_and_leaves_no_units)
{
    testkit::TempDir dir;
    TScheduleInstaller installer("/usr/bin/vorland", dir / "daily.vrl", dir.path() / "units");
    const auto expectRefused = [&](const std::string& expected) {
        try {
            installer.Apply(daily(1, 0));
            ADD_FAILURE() << "no error for " << expected;
        } catch (const EScheduleUnavailable& error) {
            EXPECT_EQ(error.what(), expected);
        }
        EXPECT_FALSE(fs::exists(installer.ServiceFile()));
        EXPECT_FALSE(fs::exists(installer.TimerFile()));
    };
    installer.Systemctl = (dir / "nowhere/systemctl");
    expectRefused(AppString(sSystemctlMissing));
    installer.Systemctl = fakeSystemctl(dir, "show-environment");
    expectRefused("systemd's user service manager cannot be reached: Failed to connect to bus: No such file or "
                  "directory");
    installer.Systemctl = fakeSystemctl(dir, "enable");
    expectRefused("systemctl could not put the schedule in place: Failed to connect to bus: No such file or "
                  "directory");
}

TEST(Schedule, crontab_line_and_next_run_say_the_same_schedule)
{
    const TSchedule sunday{TScheduleKind::Weekly, 6, 4, 7};
    const std::string line = CrontabLine("/usr/bin/echo", "/home/me/it's 100%.vrl", sunday);
    ASSERT_EQ(line.rfind("7 4 * * 0 VORLAND_CONSOLE=1 ", 0), 0u) << line;
    // cron takes "\%" for "%", then hands the rest to sh: echo gets the path back intact.
    std::string command = line.substr(line.find("VORLAND_CONSOLE"));
    for (std::size_t at = command.find("\\%"); at != std::string::npos; at = command.find("\\%", at + 1)) {
        command.erase(at, 1);
    }
    const auto run = testkit::runProcess({"sh", "-c", command});
    EXPECT_EQ(run.out, "/home/me/it's 100%.vrl /B\n") << line;
    EXPECT_EQ(CrontabLine("/usr/bin/vorland", "/b.vrl", {}), "");

    std::tm wednesday{};
    wednesday.tm_year = 2026 - 1900;
    wednesday.tm_mon = 11;
    wednesday.tm_mday = 9;
    wednesday.tm_hour = 10;
    wednesday.tm_isdst = -1;
    const std::time_t now = std::mktime(&wednesday);
    const auto dayAndHour = [](std::time_t when) {
        std::tm local{};
        localtime_r(&when, &local);
        return std::to_string(local.tm_mday) + " " + std::to_string(local.tm_hour) + ":" + std::to_string(local.tm_min);
    };
    EXPECT_EQ(dayAndHour(NextRunTime(daily(11, 15), now)), "9 11:15");
    EXPECT_EQ(dayAndHour(NextRunTime(daily(10, 0), now)), "10 10:0");
    EXPECT_EQ(dayAndHour(NextRunTime({TScheduleKind::Weekly, 0, 9, 0}, now)), "14 9:0");
    EXPECT_EQ(dayAndHour(NextRunTime({TScheduleKind::Weekly, 2, 10, 1}, now)), "9 10:1");
    EXPECT_EQ(NextRunTime({}, now), 0);
}
