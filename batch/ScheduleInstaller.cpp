#include "batch/ScheduleInstaller.h"

#include "core/AppStrings.h"
#include "core/ProcessUtils.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

namespace fs = std::filesystem;

namespace {

const char* const kTimersWanted = "timers.target.wants";

// The numbered text with its "%s" replaced by `value`.
std::string numbered(int number, const std::string& value)
{
    std::string text = AppString(number);
    const std::size_t mark = text.find("%s");
    if (mark != std::string::npos) {
        text.replace(mark, 2, value);
    }
    return text;
}

// systemctl's words without the trailing line break, on one line.
std::string firstLines(const std::string& output)
{
    std::string text = output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Written under a temporary name and renamed, so the manager never reads half a unit.
void writeUnit(const fs::path& file, const std::string& text)
{
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) {
        throw EInOutError(file.parent_path().string(), error.value(), AppString(sCannotWriteUnit));
    }
    const fs::path partial = file.string() + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            const int reason = errno;
            fs::remove(partial, error);
            throw EInOutError(file.string(), reason, AppString(sCannotWriteUnit));
        }
    }
    fs::rename(partial, file, error);
    if (error) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        throw EInOutError(file.string(), error.value(), AppString(sCannotWriteUnit));
    }
}

void removeUnit(const fs::path& file)
{
    std::error_code error;
    // symlink_status: the timer's enabling link is removed even when it points nowhere.
    if (fs::symlink_status(file, error).type() == fs::file_type::not_found) {
        return;
    }
    if (!fs::remove(file, error) && error) {
        throw EInOutError(file.string(), error.value(), AppString(sCannotRemoveUnit));
    }
}

} // namespace

TScheduleInstaller::TScheduleInstaller(std::string program, std::string batchFile, fs::path unitFolder)
    : m_program(std::move(program)), m_batchFile(std::move(batchFile)), m_unitFolder(std::move(unitFolder)),
      m_unitName(ScheduleUnitName(m_batchFile))
{
}

fs::path TScheduleInstaller::UserUnitFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return fs::path(config) / "systemd/user";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "") / ".config/systemd/user";
}

fs::path TScheduleInstaller::ServiceFile() const
{
    return m_unitFolder / (m_unitName + ".service");
}

fs::path TScheduleInstaller::TimerFile() const
{
    return m_unitFolder / (m_unitName + ".timer");
}

TSchedule TScheduleInstaller::Current() const
{
    std::error_code error;
    if (!fs::is_regular_file(TimerFile(), error)) {
        return {};
    }
    return ScheduleOfTimer(readText(TimerFile()));
}

std::string TScheduleInstaller::systemctl(const std::vector<std::string>& arguments, int failure) const
{
    std::vector<std::string> argv = {Systemctl, "--user"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const TProgramOutput run = RunProgram(argv);
    if (!run.Started) {
        throw EScheduleUnavailable(AppString(sSystemctlMissing));
    }
    if (run.ExitCode != 0) {
        std::string reason = firstLines(run.Output);
        if (reason.empty()) {
            reason = "exit code " + std::to_string(run.ExitCode);
        }
        throw EScheduleUnavailable(numbered(failure, reason));
    }
    return run.Output;
}

void TScheduleInstaller::Apply(const TSchedule& schedule)
{
    if (schedule.Kind == TScheduleKind::Off) {
        Remove();
        return;
    }
    // Asked first, so nothing is written for a manager that is not there.
    systemctl({"show-environment"}, sServiceManagerUnreachable);
    writeUnit(ServiceFile(), ServiceUnitText(m_program, m_batchFile));
    writeUnit(TimerFile(), TimerUnitText(m_batchFile, schedule));
    try {
        systemctl({"daemon-reload"}, sScheduleRefused);
        // An enabled timer keeps its old trigger until restarted.
        systemctl({"enable", m_unitName + ".timer"}, sScheduleRefused);
        systemctl({"restart", m_unitName + ".timer"}, sScheduleRefused);
    } catch (const EScheduleUnavailable&) {
        Remove();
        throw;
    }
}

void TScheduleInstaller::Remove()
{
    try {
        systemctl({"disable", "--now", m_unitName + ".timer"}, sScheduleRefused);
    } catch (const EScheduleUnavailable&) {
        // No manager to tell: the files go all the same, and with them the schedule.
    }
    removeFiles();
    try {
        systemctl({"daemon-reload"}, sScheduleRefused);
    } catch (const EScheduleUnavailable&) {
    }
}

void TScheduleInstaller::removeFiles() const
{
    removeUnit(m_unitFolder / kTimersWanted / (m_unitName + ".timer"));
    removeUnit(TimerFile());
    removeUnit(ServiceFile());
}
