// What the download server hands over: the first byte picks versions.json (read
// and every entry taken as the update check takes it), the update archive
// (unzipped as the update does, then the installer's version read), or a PE
// file's version resource.
#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "core/PeVersion.h"
#include "update/ProgramUpdate.h"
#include "update/UpdateCheck.h"

using namespace zelk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    fuzz::beginInput();
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    switch (data[0] % 3) {
    case 0:
        if (const auto doc = lf_readVersionsFile(fuzz::writeInput(kVersionsFileName, rest, restSize))) {
            for (const char* key : {"msfs", "maintenance", "airports", "AIG-regcodes", "archives", "dbase", "wktraffic"})
                (void)lf_webVersion(*doc, key);
        }
        break;
    case 1:
        if (lf_unzipInstaller(fuzz::writeInput("update.zip", rest, restSize), "installer.exe"))
            (void)lf_installerProductVersion("installer.exe");
        break;
    default:
        (void)gf_readPeFixedFileInfo(fuzz::writeInput("installer.exe", rest, restSize));
        break;
    }
    return 0;
}
