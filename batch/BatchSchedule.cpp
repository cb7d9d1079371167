#include "batch/BatchSchedule.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Unit names may be 255 bytes long; the batch's name takes at most this many after escaping, which
// leaves room for the prefix, the hash and ".service".
constexpr std::size_t kMaxEscapedName = 160;
const char* const kUnitPrefix = "vorland-";
// Program that starts another program given as its first argument: used when the program's own
// path has characters systemd refuses in an executable's name.
const char* const kEnvProgram = "/usr/bin/env";
const char* const kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

bool isAsciiAlnum(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string hexByte(unsigned char c)
{
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02x", c);
    return text;
}

std::string escapeChar(unsigned char c, bool first)
{
    if (c == '/') {
        return "-";
    }
    if ((c == '.' && first) || !(isAsciiAlnum(c) || c == ':' || c == '_' || c == '.')) {
        return hexByte(c);
    }
    return std::string(1, static_cast<char>(c));
}

std::uint32_t pathHash(const std::string& text)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const unsigned char c : text) {
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

std::string twoDigits(int value)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

// A value of a unit file line that is not otherwise parsed (Description=): specifiers doubled, line
// breaks and other control characters shown as blanks, so the value stays on its line.
std::string plainUnitValue(const std::string& text)
{
    std::string value;
    for (const unsigned char c : text) {
        if (c == '%') {
            value += "%%";
        } else if (c < 0x20 || c == 0x7f || c == '\\') {
            value += ' ';
        } else {
            value += static_cast<char>(c);
        }
    }
    return value;
}

std::string description(const std::string& batchFile)
{
    return "Description=Vorland batch " + plainUnitValue(fs::path(batchFile).filename().string()) + "\n";
}

// Characters systemd 252 refuses in an executable's name (and then refuses the unit).
bool unsafeProgramPath(const std::string& path)
{
    for (const unsigned char c : path) {
        if (c < 0x20 || c == 0x7f || c == '"' || c == '\'' || c == '\\') {
            return true;
        }
    }
    return false;
}

std::string shellQuote(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

} // namespace

std::string SystemdEscape(const std::string& text)
{
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i) {
        escaped += escapeChar(static_cast<unsigned char>(text[i]), i == 0);
    }
    return escaped;
}

std::string ScheduleUnitName(const std::string& batchFile)
{
    const std::string stem = fs::path(batchFile).stem().string();
    std::string escaped;
    for (std::size_t i = 0; i < stem.size(); ++i) {
        const std::string part = escapeChar(static_cast<unsigned char>(stem[i]), i == 0);
        if (escaped.size() + part.size() > kMaxEscapedName) {
            break;
        }
        escaped += part;
    }
    char hash[9];
    std::snprintf(hash, sizeof hash, "%08x", static_cast<unsigned>(pathHash(batchFile)));
    return kUnitPrefix + escaped + (escaped.empty() ? "" : "-") + hash;
}

std::string QuoteExecWord(const std::string& word, bool programWord)
{
    std::string quoted = "\"";
    for (const unsigned char c : word) {
        switch (c) {
        case '\\':
            quoted += "\\\\";
            break;
        case '"':
            quoted += "\\\"";
            break;
        case '%':
            quoted += "%%";
            break;
        case '$':
            quoted += programWord ? "$" : "$$";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                quoted += hexByte(c);
            } else {
                quoted += static_cast<char>(c);
            }
        }
    }
    return quoted + "\"";
}

std::string CalendarExpression(const TSchedule& schedule)
{
    const std::string time = twoDigits(schedule.Hour) + ":" + twoDigits(schedule.Minute) + ":00";
    switch (schedule.Kind) {
    case TScheduleKind::Daily:
        return "*-*-* " + time;
    case TScheduleKind::Weekly:
        return std::string(kWeekdays[schedule.Weekday % 7]) + " *-*-* " + time;
    case TScheduleKind::Off:
        break;
    }
    return {};
}

std::string ServiceUnitText(const std::string& program, const std::string& batchFile)
{
    std::string command = unsafeProgramPath(program) ? std::string(kEnvProgram) + " " + QuoteExecWord(program, false)
                                                     : QuoteExecWord(program, true);
    command += " " + QuoteExecWord(batchFile, false) + " /B";
    return "[Unit]\n" + description(batchFile) +
           "\n"
           "[Service]\n"
           "Type=oneshot\n"
           "Environment=VORLAND_CONSOLE=1\n"
           "ExecStart=" +
           command + "\n";
}

std::string TimerUnitText(const std::string& batchFile, const TSchedule& schedule)
{
    return "[Unit]\n" + description(batchFile) +
           "\n"
           "[Timer]\n"
           "OnCalendar=" +
           CalendarExpression(schedule) +
           "\n"
           "Persistent=true\n"
           "\n"
           "[Install]\n"
           "WantedBy=timers.target\n";
}

TSchedule ScheduleOfTimer(const std::string& timerText)
{
    std::istringstream lines(timerText);
    std::string line;
    const std::string key = "OnCalendar=";
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size(), key) != 0) {
            continue;
        }
        std::string value = line.substr(key.size());
        TSchedule schedule;
        schedule.Kind = TScheduleKind::Daily;
        for (int day = 0; day < 7; ++day) {
            if (value.compare(0, 4, std::string(kWeekdays[day]) + " ") == 0) {
                schedule.Kind = TScheduleKind::Weekly;
                schedule.Weekday = day;
                value.erase(0, 4);
            }
        }
        int hour = -1;
        int minute = -1;
        if (std::sscanf(value.c_str(), "*-*-* %2d:%2d:00", &hour, &minute) == 2 && hour >= 0 && hour < 24 &&
            minute >= 0 && minute < 60) {
            schedule.Hour = hour;
            schedule.Minute = minute;
            return schedule;
        }
    }
    return {};
}

std::string CrontabLine(const std::string& program, const std::string& batchFile, const TSchedule& schedule)
{
    if (schedule.Kind == TScheduleKind::Off) {
        return {};
    }
    const std::string day =
        schedule.Kind == TScheduleKind::Weekly ? std::to_string((schedule.Weekday % 7 + 1) % 7) : "*";
    std::string line = std::to_string(schedule.Minute) + " " + std::to_string(schedule.Hour) + " * * " + day +
                       " VORLAND_CONSOLE=1 " + shellQuote(program) + " " + shellQuote(batchFile) + " /B";
    // cron turns an unescaped "%" into a line break.
    std::string escaped;
    for (const char c : line) {
        if (c == '%') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

std::time_t NextRunTime(const TSchedule& schedule, std::time_t now)
{
    if (schedule.Kind == TScheduleKind::Off) {
        return 0;
    }
    std::tm today{};
    localtime_r(&now, &today);
    // tm_wday counts from Sunday; the schedule's weekdays from Monday.
    const int todayFromMonday = (today.tm_wday + 6) % 7;
    for (int ahead = 0; ahead <= 7; ++ahead) {
        if (schedule.Kind == TScheduleKind::Weekly && (todayFromMonday + ahead) % 7 != schedule.Weekday % 7) {
            continue;
        }
        std::tm run = today;
        run.tm_mday += ahead;
        run.tm_hour = schedule.Hour;
        run.tm_min = schedule.Minute;
        run.tm_sec = 0;
        run.tm_isdst = -1;
        const std::time_t when = std::mktime(&run);
        if (when > now) {
            return when;
        }
    }
    return 0;
}
