// Replays inputs through a target's entry without libFuzzer: each argument is a
// file or a folder of files (the seed corpus, the minimised findings), or
// "N:file" for the byte N followed by the file (a seed of seeds.txt). A crash,
// an uncaught exception or a failed round trip ends the program abnormally.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "FuzzSupport.h"

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    std::vector<std::pair<unsigned char, fs::path>> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string text = argv[i];
        if (const auto colon = text.find(':'); colon > 0 && colon <= 3 &&
                                               text.find_first_not_of("0123456789") == colon) {
            seeds.emplace_back(static_cast<unsigned char>(std::stoi(text.substr(0, colon))),
                               fs::absolute(text.substr(colon + 1)));
            continue;
        }
        const fs::path arg = fs::absolute(text);
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else if (fs::is_regular_file(arg)) {
            inputs.push_back(arg);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    const auto replay = [](const fs::path& input, std::vector<char> bytes) {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
            std::exit(2);
        }
        bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        std::printf("%s\n", input.string().c_str());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };
    for (const auto& [selector, file] : seeds) replay(file, std::vector<char>{static_cast<char>(selector)});
    for (const fs::path& input : inputs) replay(input, {});
    std::printf("%zu inputs replayed\n", seeds.size() + inputs.size());
    return 0;
}
