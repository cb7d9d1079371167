#pragma once
// Puts a batch's schedule in place as a systemd user timer: writes the service and timer units into
// the user's unit folder and enables the timer with `systemctl --user`, or disables and removes them.

#include "batch/BatchSchedule.h"
#include "core/CoreErrors.h"

#include <filesystem>
#include <string>
#include <vector>

// The user's service manager cannot take the schedule: systemctl is missing, the manager cannot be
// reached, or it refused. The text says which, with systemctl's own words; a crontab line is the
// way left to the user.
class EScheduleUnavailable : public EVorlandError
{
public:
    explicit EScheduleUnavailable(const std::string& text) : EVorlandError(text) {}
};

class TScheduleInstaller
{
public:
    // `program` is the program the timer runs, `batchFile` the batch's full path, `unitFolder` where
    // the units go (UserUnitFolder() for the real thing).
    TScheduleInstaller(std::string program, std::string batchFile, std::filesystem::path unitFolder);

    // $XDG_CONFIG_HOME/systemd/user, else ~/.config/systemd/user.
    static std::filesystem::path UserUnitFolder();

    // The program run to reach the user's service manager (looked up on PATH without a "/").
    std::string Systemctl = "systemctl";

    const std::string& Program() const { return m_program; }
    const std::string& BatchFile() const { return m_batchFile; }
    std::filesystem::path ServiceFile() const;
    std::filesystem::path TimerFile() const;

    // The schedule now in place: the one the timer file carries, Off without one.
    TSchedule Current() const;

    // Writes both units, reloads the manager and enables and starts the timer; Off removes them.
    // Throws EScheduleUnavailable when systemctl is missing, cannot reach the user's manager or
    // fails (units it had just written are removed again, so no half schedule stays), EInOutError
    // when a unit file cannot be written.
    void Apply(const TSchedule& schedule);
    // Disables the timer (when the manager can be reached) and removes both units and the timer's
    // enabling link. Throws EInOutError only when a file cannot be removed.
    void Remove();

private:
    // Runs systemctl --user with the arguments; its output, or throws EScheduleUnavailable with
    // the numbered text `failure` when it cannot start or ends non-zero.
    std::string systemctl(const std::vector<std::string>& arguments, int failure) const;
    void removeFiles() const;

    std::string m_program;
    std::string m_batchFile;
    std::filesystem::path m_unitFolder;
    std::string m_unitName;
};
