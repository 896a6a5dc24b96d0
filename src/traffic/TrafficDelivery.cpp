// The engine's own mailbox: decodes with the engine's decoder, and stops the run
// when the worker no longer takes records.
#include "core/Log.h"
#include "traffic/EngineTick.h"
#include "traffic/EnginePass.h"
#include "traffic/TrafficMailbox.h"

namespace zelk {
namespace {

TrafficMailbox& lf_mailbox()
{
    static TrafficMailbox mailbox(
        [](const TrafficRecord& record) { decodeMessage(record); },
        [] { return std::chrono::steady_clock::now(); }, [] { return gf_engineTick(); },
        [](const MailboxStall& stall) { gf_reportMailboxStall(stall); },
        [](std::string_view line) { gf_writeLogNotice(line); });
    return mailbox;
}

} // namespace

void gf_deliverTrafficBatch(TrafficBatch& batch, BatchKind kind, std::uint32_t delaySeconds, bool discardEarly)
{
    lf_mailbox().deliver(batch, kind, delaySeconds, discardEarly);
}

int lf_drainTrafficMailbox() { return lf_mailbox().drain(); }
void gf_enableTrafficDelivery() { lf_mailbox().enableDelivery(); }
void gf_disableTrafficDelivery() { lf_mailbox().disableDelivery(); }
void gf_setTrafficEngineRunning(bool running) { lf_mailbox().setEngineRunning(running); }
void gf_resetTrafficMailbox() { lf_mailbox().reset(); }

} // namespace zelk
