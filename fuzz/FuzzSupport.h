#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// What every parser target shares: a private working folder for the process
// (the program's relative paths land there), its Log.txt started again for
// each input so that the log stays small, and the input as bytes, text or a file.
namespace zelk::fuzz {

// Creates the folder on the first call, changes into it and restarts Log.txt.
// Call at the start of each input.
void beginInput();

std::string_view text(const std::uint8_t* data, std::size_t size);

// Writes the input to a file below the working folder (folders made as needed)
// and returns its relative path.
std::filesystem::path writeInput(const std::filesystem::path& relative, const std::uint8_t* data, std::size_t size);
void writeText(const std::filesystem::path& relative, std::string_view bytes);
std::string readText(const std::filesystem::path& relative);

// Stops the target with a message: a round trip that lost or changed records.
[[noreturn]] void fail(std::string_view what);

} // namespace zelk::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
