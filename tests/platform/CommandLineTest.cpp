#include "platform/CommandLine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zelk::platform {
namespace {

TEST(CommandLine, MatchesTheArgumentsThatMainReceived)
{
    // The test program is started by ctest with gtest options, so there is
    // more than the program name to compare.
    const std::vector<std::string> mainArgs = ::testing::internal::GetArgvs();
    const std::vector<std::string> args = commandLineArguments();
    ASSERT_EQ(args.size(), mainArgs.size());
    ASSERT_FALSE(args.empty());
    // The program itself may be spelled differently (path, extension); the
    // name is the same.
    EXPECT_EQ(std::filesystem::path(args[0]).stem(), std::filesystem::path(mainArgs[0]).stem());
    for (std::size_t i = 1; i < args.size(); ++i) EXPECT_EQ(args[i], mainArgs[i]) << "argument " << i;
}

#ifdef _WIN32

std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// Starts this test program again with the given arguments after its own
// filter; the second run writes what it received, one argument per line.
TEST(CommandLine, ArgumentsOutsideTheAnsiCodePageArriveAsUtf8)
{
    const char* childOut = std::getenv("ZELK_COMMAND_LINE_OUT");
    if (childOut != nullptr) {
        std::ofstream out(std::filesystem::u8path(childOut), std::ios::binary);
        for (const std::string& a : commandLineArguments()) out << a << '\n';
        ASSERT_TRUE(out.good());
        return;
    }

    const auto outFile = std::filesystem::temp_directory_path() /
                         ("zelk-command-line-" + std::to_string(::GetCurrentProcessId()) + ".txt");
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring line = L"\"" + std::wstring(self) + L"\"" +
                        L" --gtest_filter=CommandLine.ArgumentsOutsideTheAnsiCodePageArriveAsUtf8" +
                        L" \"Z\u00fcrich \u2708\" \"two words\" \u03a9mega \"\U0001F6EB\"";
    ASSERT_TRUE(::SetEnvironmentVariableW(L"ZELK_COMMAND_LINE_OUT", outFile.c_str()));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    ::SetEnvironmentVariableW(L"ZELK_COMMAND_LINE_OUT", nullptr);
    ASSERT_TRUE(started) << ::GetLastError();
    ::WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);

    std::vector<std::string> got;
    {
        std::ifstream in(outFile, std::ios::binary);
        for (std::string l; std::getline(in, l);) got.push_back(l);
    }
    std::filesystem::remove(outFile);
    const std::vector<std::string> expected = {
        "--gtest_filter=CommandLine.ArgumentsOutsideTheAnsiCodePageArriveAsUtf8",
        utf8(u8"Z\u00fcrich \u2708"), "two words", utf8(u8"\u03a9mega"), utf8(u8"\U0001F6EB")};
    ASSERT_EQ(got.size(), expected.size() + 1);
    EXPECT_EQ(std::filesystem::path(got[0]).stem(), std::filesystem::path(self).stem());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(got[i + 1], expected[i]) << "argument " << i + 1;
}

#endif

} // namespace
} // namespace zelk::platform
