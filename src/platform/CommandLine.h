#pragma once

#include <string>
#include <vector>

namespace zelk::platform {

// The arguments the process was started with, in UTF-8, the program as given
// first. Windows: the process's UTF-16 command line split by the system's
// rules, so names outside the ANSI code page survive (the narrow argv of main
// would have lost them). Elsewhere: the arguments as the system keeps them.
// Empty when they cannot be read.
std::vector<std::string> commandLineArguments();

} // namespace zelk::platform
