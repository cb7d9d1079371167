#include "app/LongOptions.h"

#include <utility>

TLongOptions ReadLongOptions(const std::vector<std::string>& arguments)
{
    using Command = TLongOptions::Command;
    TLongOptions options;
    options.firstLongOption = arguments.size();
    bool namesOnly = false;
    auto fail = [&](std::string error) {
        if (options.error.empty()) {
            options.error = std::move(error);
        }
    };
    auto takeValue = [&](std::size_t& i, std::string& into) {
        if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
            fail(arguments[i] + " needs a value");
            return;
        }
        into = arguments[++i];
    };
    std::string commandName;
    auto setCommand = [&](Command command, std::size_t& i, std::string* value) {
        if (options.command != Command::None && options.command != Command::Help && command != Command::Help) {
            fail(commandName + " and " + arguments[i] + " exclude each other");
        }
        if (options.command != Command::Help) {
            options.command = command;
            commandName = arguments[i];
        }
        if (value != nullptr) {
            takeValue(i, *value);
        }
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool isLong = !namesOnly && (argument.rfind("--", 0) == 0 || argument == "-h");
        if (isLong && options.firstLongOption == arguments.size()) {
            options.firstLongOption = i;
        }
        if (!isLong) {
            if (options.firstLongOption < i) {
                options.names.push_back(argument);
            }
        } else if (argument == "--") {
            namesOnly = true;
        } else if (argument == "--test") {
            setCommand(Command::Test, i, &options.archive);
        } else if (argument == "--restore") {
            setCommand(Command::Restore, i, &options.archive);
        } else if (argument == "--status") {
            setCommand(Command::Status, i, &options.batchFile);
        } else if (argument == "--version") {
            setCommand(Command::Version, i, nullptr);
        } else if (argument == "--help" || argument == "-h") {
            setCommand(Command::Help, i, nullptr);
        } else if (argument == "--batch") {
            options.batch = true;
        } else if (argument == "--to") {
            takeValue(i, options.destination);
        } else if (argument == "--password") {
            takeValue(i, options.password);
        } else if (argument == "--replace") {
            options.existing = TLongOptions::Existing::Replace;
        } else if (argument == "--skip") {
            options.existing = TLongOptions::Existing::Skip;
        } else if (argument == "--keep-both") {
            options.existing = TLongOptions::Existing::KeepBoth;
        } else {
            fail("unknown option " + argument);
        }
    }
    // Names follow only --restore; other commands take none but the batch file named first.
    const bool takesNames = options.command == Command::Restore || options.command == Command::None;
    if (!takesNames && !options.names.empty() && options.command != Command::Help) {
        fail(commandName + " takes no argument " + options.names.front());
    }
    if (options.command == Command::None && !options.names.empty()) {
        fail("unexpected argument " + options.names.front());
    }
    if (options.command == Command::Restore && options.destination.empty()) {
        fail("--restore needs --to FOLDER");
    }
    return options;
}
