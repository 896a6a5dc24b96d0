#include "platform/CommandLine.h"

#include <fstream>
#include <iterator>

namespace zelk::platform {

std::vector<std::string> commandLineArguments()
{
    // The kernel keeps the arguments NUL-separated, each ending in a NUL.
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> args;
    std::string::size_type start = 0;
    while (start < all.size()) {
        auto end = all.find('\0', start);
        if (end == std::string::npos) end = all.size();
        args.emplace_back(all, start, end - start);
        start = end + 1;
    }
    return args;
}

} // namespace zelk::platform
