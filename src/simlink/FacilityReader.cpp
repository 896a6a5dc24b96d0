#include "simlink/FacilityReader.h"

#include <thread>
#include <vector>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/StopRequest.h"

namespace zelk {

FacilityReader::FacilityReader(SimPort& port, Timing timing, std::string clientName)
    : port_(port), timing_(std::move(timing)), clientName_(std::move(clientName))
{
    if (!timing_.sleep)
        timing_.sleep = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
    if (!timing_.now)
        timing_.now = [] { return std::chrono::steady_clock::now(); };
    if (!timing_.keepGoing)
        timing_.keepGoing = [] { return gf_isRunning(); };
}

FacilityReader::~FacilityReader() { close(); }

PortResult FacilityReader::close()
{
    if (!open_)
        return kPortOk;
    open_ = false;
    return port_.close();
}

bool FacilityReader::ensureOpen()
{
    if (open_)
        return true;
    if (port_.open(clientName_) == SimProduct::None)
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
    // The wait counts real time: a dispatch of a busy simulator may itself
    // take long, and a stalled read must not outlive the run.
    const auto deadline = timing_.now() + timing_.timeout;
    std::vector<SimEvent> events;
    while (true) {
        if (!timing_.keepGoing()) {
            gf_writeLogLine(fmt::format("Facility data request for {} ended by the stop", airport));
            return std::nullopt;
        }
        events.clear();
        if (const PortResult hr = port_.dispatch(events); hr != kPortOk) {
            gf_writeLogNotice(fmt::format("SimConnect_CallDispatch failed for {}: 0x{:08X}", airport, hr));
            close();
            return std::nullopt;
        }
        for (auto& e : events)
            if (auto* f = std::get_if<sim_event::Facilities>(&e); f != nullptr && f->requestId == requestId)
                return std::move(*f);
        if (timing_.now() >= deadline)
            break;
        timing_.sleep(timing_.pollInterval);
    }
    gf_writeLogNotice(fmt::format("Facility data request timed out for {}", airport));
    return std::nullopt;
}

} // namespace zelk
