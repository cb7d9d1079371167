#pragma once
// The options of the command line that begin with "--" (and "-h"), read before anything else by
// this one reader. Once one of them appears, no later argument is taken as a "/" switch:
// `--restore a.zip --to /bk/out` must not read "/bk/out" as "/B", nor a mask such as "/bin/*" as
// anything but a name.

#include <cstddef>
#include <string>
#include <vector>

struct TLongOptions
{
    enum class Command
    {
        None,
        Test,    // --test ARCHIVE
        Restore, // --restore ARCHIVE --to FOLDER [NAME-OR-MASK...]
        Status,  // --status BATCHFILE
        Version, // --version
        Help     // --help, -h
    };
    Command command = Command::None;
    std::string archive;     // of --test and --restore
    std::string batchFile;   // of --status
    std::string destination; // --to
    std::string password;    // --password
    enum class Existing
    {
        Skip,
        Replace,
        KeepBoth
    };
    Existing existing = Existing::Skip;
    bool batch = false;             // --batch, another name of "/B"
    std::vector<std::string> names; // names or masks to restore
    std::string error;              // a usage fault (a missing value, two commands, an unknown option)
    // Index of the first argument that begins with "--"; arguments from there on are never "/"
    // switches. The argument count when there is none.
    std::size_t firstLongOption = 0;
};

// Reads the arguments (without the program's name).
TLongOptions ReadLongOptions(const std::vector<std::string>& arguments);
