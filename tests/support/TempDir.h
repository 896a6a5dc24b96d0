#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace zelk::test {

// A fresh folder per test, made the working folder while the test runs, so that
// the program's relative paths ("Log.txt", "input/...") land inside it and
// tests running in parallel never share files.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path file(const std::string& name) const { return dir_ / name; }

private:
    std::filesystem::path dir_;
    std::filesystem::path previous_;
};

// Whole contents of a file as bytes in a string; empty when it cannot be read.
std::string readAll(const std::filesystem::path& p);
void writeAll(const std::filesystem::path& p, std::string_view bytes);

} // namespace zelk::test
