#pragma once

#include <cstdint>
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
    RTAppUdpReader(std::string name, std::uint16_t port);
    std::uint16_t port() const noexcept { return port_; }

protected:
    void body(const std::stop_token& stop) override;
    virtual void onBound() {}
    virtual void onDatagram(std::string_view datagram) = 0;

private:
    std::uint16_t port_;
};

// "Traffic Reader": live, history and parked traffic. Once bound it restarts
// the id collection and asks the app for its buffer ("Receiving buffer traffic
// failed" and the buffer counts as done when the request cannot be sent).
class RTAppTrafficReader : public RTAppUdpReader {
public:
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
    explicit RTAppWeatherReader(std::uint16_t port);

protected:
    void onDatagram(std::string_view datagram) override;
};

// Thread bodies on the ports of gf_rtAppUdpPorts().
void gf_trafficReader(std::stop_token stop);
void gf_weatherReader(std::stop_token stop);

// The run's two reader threads (ports fixed when the process first asks).
RTAppTrafficReader& gf_rtAppTrafficReader();
RTAppWeatherReader& gf_rtAppWeatherReader();

} // namespace zelk
