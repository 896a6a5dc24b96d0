#include "support/TempDir.h"

#include <fstream>
#include <random>
#include <sstream>

namespace zelk::test {

void TempDirTest::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::random_device rd;
    std::string name = std::string("zelk-") + info->test_suite_name() + "-" + info->name() + "-" +
                       std::to_string(rd());
    for (auto& c : name) {
        if (c == '/' || c == '\\') c = '_';
    }
    dir_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(dir_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
}

void TempDirTest::TearDown()
{
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(dir_, ec);
}

std::string readAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeAll(const std::filesystem::path& p, std::string_view bytes)
{
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace zelk::test
