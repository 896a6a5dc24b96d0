// Turns a plain XML data set into the ".enc" form the program reads:
//   zelk_encrypt <data set.xml> <target.enc>
// The build runs it for every data set in data/. A data set that is not
// well-formed XML, or larger than the limit its reader accepts, fails the
// build here instead of failing at run time.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "core/EncryptedFile.h"
#include "core/Strings.h"

namespace {

using namespace zelk;

std::uint64_t lf_limitFor(const std::filesystem::path& target)
{
    const std::string stem = path_to_utf8(target.stem());
    if (stem == "dbase") return kDbasePlaintextLimit;
    if (stem == "AIG-regcodes") return kRegcodesPlaintextLimit;
    if (stem == "airports") return kAirportsPlaintextLimit;
    if (stem == "archives") return kArchivesPlaintextLimit;
    if (stem == "wktraffic") return kWeeklyTrafficPlaintextLimit;
    return kArchiveAirportFilePlaintextLimit;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: zelk_encrypt <data set.xml> <target.enc>\n", stderr);
        return 2;
    }
    try {
        const std::filesystem::path source = gf_utf8ToPath(argv[1]);
        const std::filesystem::path target = gf_utf8ToPath(argv[2]);

        std::ifstream in(source, std::ios::binary);
        if (!in) throw std::runtime_error(fmt::format("cannot open {}", path_to_utf8(source)));
        const std::string plain{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) throw std::runtime_error(fmt::format("cannot read {}", path_to_utf8(source)));

        const std::uint64_t limit = lf_limitFor(target);
        if (plain.size() > limit)
            throw std::runtime_error(fmt::format("{} has {} bytes, more than the {} its reader accepts",
                                                 path_to_utf8(source), plain.size(), limit));
        pugi::xml_document doc;
        const auto parsed = doc.load_buffer(plain.data(), plain.size());
        if (!parsed)
            throw std::runtime_error(fmt::format("{} is not well-formed XML: {} at offset {}", path_to_utf8(source),
                                                 parsed.description(), parsed.offset));

        gf_writeEncryptedFile(plain, target);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelk_encrypt: %s\n", e.what());
        return 1;
    }
}
