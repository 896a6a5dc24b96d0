#include "simlink/FacilityReader.h"

#include <thread>
#include <vector>

#include <fmt/format.h>

#include "core/Log.h"

namespace zelk {

FacilityReader::FacilityReader(SimPort& port, Timing timing) : port_(port), timing_(std::move(timing))
{
    if (!timing_.sleep)
        timing_.sleep = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
}

FacilityReader::~FacilityReader()
{
    if (open_)
        port_.close();
}

bool FacilityReader::ensureOpen()
{
    if (open_)
        return true;
    if (port_.open("ZELK facilities") == SimProduct::None)
        return false;
    if (port_.setUp() != kPortOk) {
        port_.close();
        return false;
    }
    open_ = true;
    return true;
}

std::optional<sim_event::Facilities> FacilityReader::read(IcaoCode airport)
{
    if (!airport.isSet() || !ensureOpen())
        return std::nullopt;
    const std::uint32_t requestId = nextRequestId_++;
    if (const PortResult hr = port_.requestFacilities(airport, requestId); hr != kPortOk) {
        gf_writeLogLine(fmt::format("SimConnect facility request for {} fails hr=0x{:08X}", airport, hr));
        return std::nullopt;
    }
    std::vector<SimEvent> events;
    std::chrono::milliseconds waited{0};
    while (waited <= timing_.timeout) {
        events.clear();
        if (port_.dispatch(events) != kPortOk) {
            port_.close();
            open_ = false;
            return std::nullopt;
        }
        for (auto& e : events)
            if (auto* f = std::get_if<sim_event::Facilities>(&e); f != nullptr && f->requestId == requestId)
                return std::move(*f);
        timing_.sleep(timing_.pollInterval);
        waited += timing_.pollInterval;
    }
    gf_writeLogLine(fmt::format("SimConnect facility data for {} did not arrive", airport));
    return std::nullopt;
}

} // namespace zelk
