#pragma once
// The window program's command line, read before Qt starts so that --help and --version need no
// display. The program has no options of its own beyond those two; Qt's (-platform, -style, ...)
// are let through to Qt, and anything else is refused.

#include <string>
#include <vector>

namespace qv {

struct CommandLine {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    std::string error; // for Refuse: one line naming the argument
};

// Reads argv[1..]. An unknown option or a stray argument anywhere refuses the whole line, even
// after --help; otherwise --help wins over --version.
CommandLine ReadCommandLine(const std::vector<std::string>& args);

// The text --help prints.
std::string CommandLineHelp();

} // namespace qv
