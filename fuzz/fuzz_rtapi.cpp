// What the RealTraffic web API replies: the first byte picks the login reply,
// a traffic reply, a parked-traffic reply or a nearest-METAR reply, each read
// with its status as the readers read it and handed to the reader that takes
// it; or a METAR text for its QNH; or a short input grown into a long reply
// for one of those readers: nested up to a million levels deep, or repeated
// as members beside the data up to the transport's 32 MB. Besides not crashing, what comes through
// must be bounded: batches within the record limit, texts without control
// characters, a QNH within 850 to 1100 hPa.
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "feed/RTAPIProtocol.h"
#include "feed/RTAPIReaderState.h"
#include "feed/RTAPIReaders.h"
#include "feed/RTAPIRecords.h"
#include "feed/RTAPITransport.h"
#include "traffic/ParkedTraffic.h"

using namespace zelk;

namespace {

// Callsigns and registrations reach the simulator, the window and the log.
void lf_checkText(std::string_view text, std::string_view what)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) fuzz::fail(fmt::format("a {} with control character {:#04x}", what, byte));
    }
}

void lf_checkHead(const TrafficRecordHead& head)
{
    lf_checkText(head.callsign, "callsign");
    lf_checkText(head.registration, "registration");
}

void lf_checkQnh(std::optional<std::int32_t> qnh, std::string_view where)
{
    if (qnh && (*qnh < 850 || *qnh > 1100)) fuzz::fail(fmt::format("QNH {} hPa from {}", *qnh, where));
}

// The engine's side of the traffic reader's hand-over.
void lf_installDelivery()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gf_setRTAPIBatchDelivery([](TrafficBatch& batch) {
            if (batch.records.size() > kMaxRTAPIBatchRecords) fuzz::fail("a traffic batch over the record limit");
            for (const TrafficRecord& record : batch.records) lf_checkHead(record.head);
        });
    });
}

// The reply's status as a reader's request takes it; nothing when the request
// logs the reply as unreadable.
std::optional<int> lf_status(std::string_view body, nlohmann::json& reply)
{
    try {
        return gf_rtApiReplyStatus(kRTAPIOk, body, reply);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The pace a reply asks for, as the readers set it (an unreadable one is logged).
void lf_pace(const nlohmann::json& reply, std::string_view key, std::chrono::milliseconds floor)
{
    try {
        const auto pace = gf_rtApiPace(gf_rtApiNumber(reply, key), floor);
        if (pace < floor || pace > kRTAPIPaceCap) fuzz::fail("a pace outside the floor and the cap");
    } catch (const std::exception&) {
    }
}

// The reply as a reader takes it, handed to the reader of kind (0 login,
// 1 traffic, 2 parked, 3 weather).
void lf_take(int kind, std::string_view body)
{
    nlohmann::json reply;
    if (lf_status(body, reply) != kRTAPIOk) return;
    switch (kind) {
    case 0:
        // The session's login: a reply it cannot read ends the login with its text.
        try {
            const RTAPILogin login = gf_parseRTAPILogin(reply);
            if (!gf_isUsableRTAPIGuid(login.guid)) fuzz::fail("a login with an unusable GUID");
        } catch (const std::exception&) {
        }
        break;
    case 1:
        lf_pace(reply, "rrl", kRTAPITrafficFloor);
        gf_rtApiTrafficReader().takeTraffic(reply);
        break;
    case 2: {
        const auto list = gf_rtApiTrafficReader().takeParked(reply);
        if (list.size() > kMaxRTAPIBatchRecords) fuzz::fail("a parked list over the record limit");
        for (const ParkedTrafficRecord& record : list) lf_checkHead(record.head);
        break;
    }
    default: {
        lf_pace(reply, "wrrl", kRTAPIWeatherFloor);
        gf_rtApiWeatherReader().takeWeather(reply);
        auto& state = gf_rtApiReaderState();
        const std::scoped_lock guard(state.mutex);
        lf_checkQnh(state.qnh, "a weather reply");
        break;
    }
    }
}

// A short input grown into the long reply a hostile server sends: the body
// nested in arrays (up to a million levels) where the data goes, or repeated
// as members beside it up to the transport's limit.
std::string lf_grown(bool nestedShape, std::size_t count, std::string_view body)
{
    if (nestedShape) {
        const std::size_t levels = count * 16;
        return R"({"status":200,"data":)" + std::string(levels, '[') + std::string(body) + std::string(levels, ']') +
               "}";
    }
    std::string reply = R"({"status":200,"junk":[)";
    const std::string member = std::string(body.empty() ? "[]" : body) + ",";
    for (std::size_t i = 0; i < count * 64 && reply.size() + member.size() < kMaxRTAPIReplyBytes - 64; ++i)
        reply += member;
    return reply + R"(0],"data":{}})";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    fuzz::beginInput();
    gf_resetRTAPIReaderState();
    lf_installDelivery();
    const std::string_view body = fuzz::text(data + 1, size - 1);
    const int kind = data[0] % 7;
    if (kind == 4) {
        lf_checkQnh(gf_qnhFromMetar(body), "a METAR text");
        return 0;
    }
    if (kind < 4) {
        lf_take(kind, body);
        return 0;
    }
    if (size < 4) return 0;
    const std::size_t count = static_cast<std::size_t>(data[1]) << 8 | data[2];
    lf_take(data[3] % 4, lf_grown(kind == 5, count, fuzz::text(data + 4, size - 4)));
    return 0;
}
