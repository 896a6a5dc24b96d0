#include <string>
#include <vector>

#include "app/Startup.h"
#include "platform/CommandLine.h"

#ifdef _WIN32
int wmain()
#else
int main()
#endif
{
    return zelk::gf_runProcess(zelk::platform::commandLineArguments());
}
