#pragma once
// The options of the command line that begin with "--", read before anything else. Once one of
// them appears, no later argument is taken as a "/" switch: `--restore a.zip --to /bk/out` must not
// read "/bk/out" as "/B", nor a mask such as "/bin/*" as anything but a name.

#include <cstddef>
#include <string>
#include <vector>

struct TLongOptions
{
    enum class Command
    {
        None,
        Test,
        Restore
    };
    Command command = Command::None;
    std::string archive;
    std::string destination; // --to
    std::string password;    // --password
    enum class Existing
    {
        Skip,
        Replace,
        KeepBoth
    };
    Existing existing = Existing::Skip;
    std::vector<std::string> names; // names or masks to restore
    std::string error;              // a usage fault (a missing value, two commands)
    // Index of the first argument that begins with "--"; arguments from there on are never "/"
    // switches. The argument count when there is none.
    std::size_t firstLongOption = 0;
};

// Reads the arguments (without the program's name). Options this reader does not know are left to
// the rest of the command line's reading.
TLongOptions ReadLongOptions(const std::vector<std::string>& arguments);
