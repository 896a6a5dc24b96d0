#include <string>
#include <vector>

#include "app/Startup.h"
#include "gui/ProgramEntry.h"
#include "platform/CommandLine.h"

int zelk::gf_programEntry() { return gf_runProcess(platform::commandLineArguments()); }

// The Windows program enters through WinMain (gui/win32), with no console.
#ifndef _WIN32
int main() { return zelk::gf_programEntry(); }
#endif
