#include "app/LongOptions.h"

#include <utility>

namespace {

using Command = TLongOptions::Command;

// Reads the arguments in one pass; the first usage fault met is the one reported.
class LongOptionReader
{
public:
    explicit LongOptionReader(const std::vector<std::string>& arguments) : m_arguments(arguments)
    {
        m_options.firstLongOption = arguments.size();
    }

    TLongOptions read()
    {
        for (std::size_t i = 0; i < m_arguments.size(); ++i) {
            const std::string& argument = m_arguments[i];
            const bool isLong = !m_namesOnly && (argument.rfind("--", 0) == 0 || argument == "-h");
            if (isLong && m_options.firstLongOption == m_arguments.size()) {
                m_options.firstLongOption = i;
            }
            if (!isLong) {
                if (m_options.firstLongOption < i) {
                    m_options.names.push_back(argument);
                }
            } else if (argument == "--") {
                m_namesOnly = true;
            } else if (!readCommand(i)) {
                readSetting(i);
            }
        }
        checkNames();
        return std::move(m_options);
    }

private:
    void fail(std::string error)
    {
        if (m_options.error.empty()) {
            m_options.error = std::move(error);
        }
    }

    void takeValue(std::size_t& i, std::string& into)
    {
        if (i + 1 >= m_arguments.size() || m_arguments[i + 1].empty()) {
            fail(m_arguments[i] + " needs a value");
            return;
        }
        into = m_arguments[++i];
    }

    void setCommand(Command command, std::size_t& i, std::string* value)
    {
        if (m_options.command != Command::None && m_options.command != Command::Help && command != Command::Help) {
            fail(m_commandName + " and " + m_arguments[i] + " exclude each other");
        }
        if (m_options.command != Command::Help) {
            m_options.command = command;
            m_commandName = m_arguments[i];
        }
        if (value != nullptr) {
            takeValue(i, *value);
        }
    }

    // Reads the command at i (and its value); false when the option there is not a command.
    bool readCommand(std::size_t& i)
    {
        const std::string& argument = m_arguments[i];
        if (argument == "--test") {
            setCommand(Command::Test, i, &m_options.archive);
        } else if (argument == "--restore") {
            setCommand(Command::Restore, i, &m_options.archive);
        } else if (argument == "--status") {
            setCommand(Command::Status, i, &m_options.batchFile);
        } else if (argument == "--version") {
            setCommand(Command::Version, i, nullptr);
        } else if (argument == "--help" || argument == "-h") {
            setCommand(Command::Help, i, nullptr);
        } else {
            return false;
        }
        return true;
    }

    // Reads the option at i that is not a command (and its value).
    void readSetting(std::size_t& i)
    {
        const std::string& argument = m_arguments[i];
        if (argument == "--batch") {
            m_options.batch = true;
        } else if (argument == "--to") {
            takeValue(i, m_options.destination);
        } else if (argument == "--password") {
            takeValue(i, m_options.password);
        } else if (argument == "--replace") {
            m_options.existing = TLongOptions::Existing::Replace;
        } else if (argument == "--skip") {
            m_options.existing = TLongOptions::Existing::Skip;
        } else if (argument == "--keep-both") {
            m_options.existing = TLongOptions::Existing::KeepBoth;
        } else {
            fail("unknown option " + argument);
        }
    }

    void checkNames()
    {
        // Names follow only --restore; other commands take none but the batch file named first.
        const bool takesNames = m_options.command == Command::Restore || m_options.command == Command::None;
        if (!takesNames && !m_options.names.empty() && m_options.command != Command::Help) {
            fail(m_commandName + " takes no argument " + m_options.names.front());
        }
        if (m_options.command == Command::None && !m_options.names.empty()) {
            fail("unexpected argument " + m_options.names.front());
        }
        if (m_options.command == Command::Restore && m_options.destination.empty()) {
            fail("--restore needs --to FOLDER");
        }
    }

    const std::vector<std::string>& m_arguments;
    TLongOptions m_options;
    std::string m_commandName; // the command as typed, for the texts of faults
    bool m_namesOnly = false;  // after "--"
};

} // namespace

TLongOptions ReadLongOptions(const std::vector<std::string>& arguments)
{
    return LongOptionReader(arguments).read();
}
