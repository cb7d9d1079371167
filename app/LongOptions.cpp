#include "app/LongOptions.h"

TLongOptions ReadLongOptions(const std::vector<std::string>& arguments)
{
    TLongOptions options;
    options.firstLongOption = arguments.size();
    bool namesOnly = false;
    auto takeValue = [&](std::size_t& i, std::string& into) {
        if (i + 1 >= arguments.size()) {
            options.error = arguments[i] + " needs a value";
            return;
        }
        into = arguments[++i];
    };
    auto setCommand = [&](TLongOptions::Command command, std::size_t& i) {
        if (options.command != TLongOptions::Command::None) {
            options.error = "--test and --restore exclude each other";
        }
        options.command = command;
        takeValue(i, options.archive);
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool isLong = !namesOnly && argument.rfind("--", 0) == 0;
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
            setCommand(TLongOptions::Command::Test, i);
        } else if (argument == "--restore") {
            setCommand(TLongOptions::Command::Restore, i);
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
        }
    }
    if (options.command == TLongOptions::Command::Test && !options.names.empty() && options.error.empty()) {
        options.error = "--test takes one archive";
    }
    if (options.command == TLongOptions::Command::Restore && options.destination.empty() && options.error.empty()) {
        options.error = "--restore needs --to FOLDER";
    }
    return options;
}
