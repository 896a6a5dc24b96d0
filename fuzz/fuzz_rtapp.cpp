// What the local RealTraffic app sends: the first byte picks a traffic
// datagram (RTTFC, RTBUF and RTPARK lines with their end markers), a weather
// datagram, or a TCP reply (the version JSON, a parked-traffic request box,
// a UDP port list).
#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "feed/RTAppLines.h"
#include "feed/RTAppProtocol.h"
#include "feed/RTAppReaderState.h"

using namespace zelk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    fuzz::beginInput();
    gf_resetRTAppReaderState();
    const std::string_view rest = fuzz::text(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0: {
        std::size_t records = 0;
        RTAppLineIntake intake([&records](TrafficBatch& batch, BatchKind, std::uint32_t) {
            records += batch.records.size();
            batch.clear();
        });
        gf_processRTAppDatagram(rest, intake);
        break;
    }
    case 1:
        gf_processRTAppWeather(rest);
        break;
    default:
        try {
            (void)gf_parseRTAppVersion(rest);
        } catch (const std::exception&) {
            // The handshake logs "JSON parse failed" and goes on without a version:
            // text that is no JSON, or nests too deep, is refused by a throw.
        }
        (void)gf_parseRTAppParkedRequest(rest);
        (void)gf_parseRTAppUdpPorts(rest);
        break;
    }
    return 0;
}
