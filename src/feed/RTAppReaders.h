#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string_view>

#include "feed/RTAppLines.h"
#include "feed/ReaderThread.h"

namespace zelk {

// A reader of one of the app's UDP ports: binds it on every IPv4 interface,
// logs "{name} connected" and hands each datagram to the subclass. Receives
// wait at most 100 ms, so a stop request ends it within about that.
class RTAppUdpReader : public ReaderThread {
public:
    // Where the port comes from: fixed, or gf_rtAppUdpPorts() at each start.
    using PortSource = std::function<std::uint16_t()>;
    RTAppUdpReader(std::string name, PortSource port);

protected:
    void body(const std::stop_token& stop) override;
    virtual void onBound() {}
    virtual void onDatagram(std::string_view datagram) = 0;

private:
    PortSource port_;
};

// "Traffic Reader": live, history and parked traffic. Once bound it restarts
// the id collection and asks the app for its buffer ("Receiving buffer traffic
// failed" and the buffer counts as done when the request cannot be sent).
class RTAppTrafficReader : public RTAppUdpReader {
public:
    // The traffic port of gf_rtAppUdpPorts() at each start.
    RTAppTrafficReader();
    explicit RTAppTrafficReader(std::uint16_t port);
    RTAppTrafficReader(std::uint16_t port, RTAppLineIntake::Deliver deliver);

protected:
    void onBound() override;
    void onDatagram(std::string_view datagram) override;

private:
    RTAppLineIntake intake_;
};

// "QNH Reader": the weather datagrams.
class RTAppWeatherReader : public RTAppUdpReader {
public:
    // The weather port of gf_rtAppUdpPorts() at each start.
    RTAppWeatherReader();
    explicit RTAppWeatherReader(std::uint16_t port);

protected:
    void onDatagram(std::string_view datagram) override;
};

// Thread bodies on the ports of gf_rtAppUdpPorts().
void gf_trafficReader(std::stop_token stop);
void gf_weatherReader(std::stop_token stop);

// The run's two reader threads; each start binds the port gf_rtAppUdpPorts() names then.
RTAppTrafficReader& gf_rtAppTrafficReader();
RTAppWeatherReader& gf_rtAppWeatherReader();

} // namespace zelk
