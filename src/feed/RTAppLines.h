#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "traffic/TrafficMailbox.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

// The traffic reader's batch in the making and where finished batches go.
// Owned by the one thread that reads the traffic port.
struct RTAppLineIntake {
    using Deliver = std::function<void(TrafficBatch&, BatchKind, std::uint32_t delaySeconds)>;

    // The delivery installed for the run (gf_setRTAppBatchDelivery) unless a
    // test puts its own here.
    RTAppLineIntake();
    explicit RTAppLineIntake(Deliver deliver) : deliver(std::move(deliver)) {}

    Deliver deliver;
    TrafficBatch batch;
    std::uint32_t historyBatches = 0; // k of the last RTBUF_SEP
    bool batchOverflowReported = false;
};

// Where the traffic reader's finished batches go: the engine's mailbox
// (gf_deliverTrafficBatch, discarding live batches while delivery is off),
// installed by the run's set-up. While none is installed batches are dropped.
void gf_setRTAppBatchDelivery(RTAppLineIntake::Deliver deliver);

// One line of the app: RTTFC and RTBUF records, RTPARK records and the end
// markers RTTFC_EOT (live batch, 30 s), RTBUF_SEP (the k-th history batch,
// 6 x k s), RTBUF_EOT and RTPARK_EOT. Bad input is logged (capped) and dropped.
void processRTAppLine(std::string_view line, RTAppLineIntake& intake);
// Every line of one datagram.
void gf_processRTAppDatagram(std::string_view datagram, RTAppLineIntake& intake);

// An RTTFC or RTBUF line cut into at least kRTTrafficFieldCount fields: one
// record into the batch; a bad line is logged and lost.
void processLine(std::span<const std::string_view> fields, RTAppLineIntake& intake);
// An RTPARK line cut into at least kRTParkFieldCount fields: one record into
// the app reader's parked list.
void lf_processParkLine(std::span<const std::string_view> fields);

// One weather datagram: QNH (when usable), METAR and station into the app
// reader's state; a bad one is logged and the previous QNH kept.
void gf_processRTAppWeather(std::string_view datagram);

} // namespace zelk
