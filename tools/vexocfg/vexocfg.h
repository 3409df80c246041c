// vexocfg: edits vexo's settings in the registry as its settings program would, and tells the
// running vexo to reload them.
#pragma once

#include <string>
#include <vector>

namespace vexocfg {

enum ExitCode {
    kExitSuccess = 0,
    kExitRefused = 1, // a name, value or file that the settings cannot hold
    kExitUsage = 2,   // an unknown command or option, or the wrong number of arguments
    kExitFailure = 3, // the registry or a file could not be read or written
};

} // namespace vexocfg

// args: the arguments after the program's name, in UTF-8. What it prints goes to out and
// err, in UTF-8 with "\n" line ends. Returns one of the exit codes above.
int RunVexoCfg(const std::vector<std::string>& args, std::string& out, std::string& err);
