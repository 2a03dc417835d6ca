// A command-line tool's arguments and console, as UTF-8 on every system.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The arguments, the program's name first, in UTF-8: on Windows read again
// from the wide command line, which the ANSI code page would have mangled.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Lets the console show the UTF-8 the tools write (Windows; nothing elsewhere).
void useUtf8Console();

}  // namespace platform
