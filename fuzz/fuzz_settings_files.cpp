// The user's files the run reads at its start: the first byte picks
// parameters.xml (read and checked as the run does) or RealTraffic.lic, the
// rest is the file.
#include <stdexcept>

#include "FuzzSupport.h"
#include "core/ParameterChecks.h"
#include "core/Paths.h"
#include "core/UserRelatedException.h"
#include "feed/Credential.h"

using namespace zelk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    fuzz::beginInput();
    if (data[0] % 2 == 0) {
        fuzz::writeInput(gf_parametersFile(), data + 1, size - 1);
        gf_loadAndCheckParameters();
    } else {
        fuzz::writeInput(kRealTrafficLicFileName, data + 1, size - 1);
        gf_clearRTCredential();
        try {
            gf_loadRTCredential();
        } catch (const UserRelatedException&) {
            // Error 899: no candidate holds a valid credential; the run ends with it.
        }
        gf_clearRTCredential();
    }
    return 0;
}
