#include <cstdio>

#include "core/BuildInfo.h"

int main()
{
    std::printf("%s %s\n", zelk::kProgramName, zelk::kProgramVersionText);
    return 0;
}
