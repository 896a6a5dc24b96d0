#include <windows.h>

#include "gui/ProgramEntry.h"

// The Windows program's entry: a window program, no console.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return zelk::gf_programEntry(); }
