#pragma once
// A batch's run schedule and the texts that carry it out: a systemd user service that runs the
// batch in console mode and a timer that starts the service (or, where the user has no service
// manager, a crontab line). Pure text work on the values given; nothing is read or written here.

#include <ctime>
#include <string>

enum class TScheduleKind
{
    Off,
    Daily,
    Weekly
};

struct TSchedule
{
    TScheduleKind Kind = TScheduleKind::Off;
    int Weekday = 0; // weekly runs: 0 Monday ... 6 Sunday
    int Hour = 0;    // 0-23, local time
    int Minute = 0;  // 0-59

    bool operator==(const TSchedule&) const = default;
};

// The text escaped as systemd-escape does for one unit name part: "/" becomes "-", a leading "."
// and every byte other than ASCII letters, digits, ":", "_" and "." becomes "\xNN".
std::string SystemdEscape(const std::string& text);

// The unit name (without ".service" or ".timer") of the batch's schedule: "vorland-", the escaped
// file name without its extension (cut to a safe length), "-" and a hash of the whole path, so two
// batches of the same name in different folders get different units.
std::string ScheduleUnitName(const std::string& batchFile);

// One word of an ExecStart= line, quoted by systemd's rules: in double quotes, with "\" and '"'
// and control characters C-escaped, "%" doubled (specifiers) and, unless it is the program's own
// word, "$" doubled (variable expansion).
std::string QuoteExecWord(const std::string& word, bool programWord);

// The OnCalendar= value of a schedule ("*-*-* 02:30:00", "Mon *-*-* 02:30:00"); empty for Off.
std::string CalendarExpression(const TSchedule& schedule);

// The service unit: runs `program batchFile /B` once, in console mode (VORLAND_CONSOLE=1).
std::string ServiceUnitText(const std::string& program, const std::string& batchFile);
// The timer unit for the service of the same name; Persistent, so a run missed while the user's
// service manager was not running happens when it next starts.
std::string TimerUnitText(const std::string& batchFile, const TSchedule& schedule);
// The schedule a timer unit written by TimerUnitText carries; Off when the text has none it knows.
TSchedule ScheduleOfTimer(const std::string& timerText);

// The crontab line that runs the batch on the schedule (shell-quoted words, "%" escaped for cron);
// empty for Off.
std::string CrontabLine(const std::string& program, const std::string& batchFile, const TSchedule& schedule);

// The next local time after `now` at which the schedule runs; 0 for Off.
std::time_t NextRunTime(const TSchedule& schedule, std::time_t now);
