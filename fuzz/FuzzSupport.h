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

// A small, well-formed airport file with two stands, where a target needs one.
inline constexpr const char* kSmallAirport =
    R"(<root><meta><info name="author" value="ZELK"/><info name="copyright" value="c"/><info name="sim" value="2"/>)"
    R"(</meta><parameters><parameter name="icao" value="EDDF"/><parameter name="publisher" value="Acme"/>)"
    R"(<parameter name="altitude" value="364"/></parameters><parkpositions>)"
    R"(<parkpos id="A1" typestr="GATE_HEAVY" latitude="50.0" longitude="8.0" radius="30"/>)"
    R"(<parkpos id="A2" typestr="GATE_SMALL" latitude="50.001" longitude="8.0" radius="20"/></parkpositions></root>)";

} // namespace zelk::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
