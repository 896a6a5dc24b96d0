#pragma once

namespace zelk {

// The program's body from its entry point to its exit code. The program
// defines it (app/main.cpp); the Windows entry point (WinMain) calls it.
int gf_programEntry();

} // namespace zelk
