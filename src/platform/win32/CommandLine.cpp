#include "platform/CommandLine.h"
#include "platform/win32/WinText.h"

#include <windows.h>
#include <shellapi.h>

namespace zelk::platform {

std::vector<std::string> commandLineArguments()
{
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    if (argv == nullptr) return args;
    try {
        args.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) args.push_back(win32::toUtf8(argv[i]));
    } catch (...) {
        ::LocalFree(argv);
        throw;
    }
    ::LocalFree(argv);
    return args;
}

} // namespace zelk::platform
