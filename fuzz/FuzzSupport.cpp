#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include <fmt/format.h>

#include "core/Log.h"
#include "platform/ProcessId.h"
#include "support/ScopedEnv.h"

namespace zelk::fuzz {
namespace {

namespace fs = std::filesystem;

// Never destroyed: the clean-up at exit still needs it.
const fs::path& lf_workFolder()
{
    static const fs::path* const folder = [] {
        const auto* made =
            new fs::path(fs::temp_directory_path() / fmt::format("zelk-fuzz-{}", platform::currentProcessId()));
        fs::create_directories(*made);
        // The per-user folders (parameters.xml, the simulator's settings) are
        // the process's own, as a test program's are, never the user's.
        test::processConfigHome();
        std::atexit([] {
            std::error_code ec;
            fs::current_path(fs::temp_directory_path(), ec);
            fs::remove_all(lf_workFolder(), ec);
        });
        return made;
    }();
    return *folder;
}

} // namespace

void beginInput()
{
    fs::current_path(lf_workFolder());
    gf_logFile().close();
    if (!gf_logFile().open("Log.txt")) fail("cannot open the log");
}

std::string_view text(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

fs::path writeInput(const fs::path& relative, const std::uint8_t* data, std::size_t size)
{
    writeText(relative, text(data, size));
    return relative;
}

void writeText(const fs::path& relative, std::string_view bytes)
{
    if (relative.has_parent_path()) fs::create_directories(relative.parent_path());
    std::ofstream out(relative, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) fail(fmt::format("cannot write {}", relative.string()));
}

std::string readText(const fs::path& relative)
{
    std::ifstream in(relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void fail(std::string_view what)
{
    std::fprintf(stderr, "fuzz target failed: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

} // namespace zelk::fuzz
