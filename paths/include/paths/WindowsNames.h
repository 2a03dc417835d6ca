// Names a Windows folder cannot hold. A library installed on Linux is checked
// by the same rule, so that a package which breaks on its users' systems is
// refused everywhere.
#pragma once

#include <string>
#include <string_view>

namespace paths {

// Why Windows refuses `name` (one component of a path, UTF-8), in Portuguese;
// empty when it takes it. Refused: an empty name, control characters, any of
// \ / : * ? " < > | (a ':' names a stream of another file), a last character
// that is a dot or a blank, and the device names CON, PRN, AUX, NUL, COM0-9
// and LPT0-9 in any letter case, with or without an extension ("NUL.PNG").
std::string windowsNameProblem(std::string_view name);

}  // namespace paths
