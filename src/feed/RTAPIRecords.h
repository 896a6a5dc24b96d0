#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "feed/RecordBounds.h"
#include "traffic/ParkedTraffic.h"
#include "traffic/TrafficRecord.h"

namespace zelk {

// Items a traffic array must have; item [48], the airline code, may be missing.
inline constexpr std::size_t kRTAPITrafficItems = 48;
// Items of a parked array: the last track is missing in some replies.
inline constexpr std::size_t kRTAPIParkedItemsMin = 7;
// Traffic arrays taken from one reply; the rest are dropped with a log line.
inline constexpr std::size_t kMaxRTAPIBatchRecords = 5000;

// One traffic array of a reply into the intake: its record goes into the
// batch and, while id collection is on, its callsign and hex id into the
// batch's id sets. Throws std::runtime_error (or the intake's errors) for an
// array that is short, has a wrong JSON type at an index it uses, a bad hex
// id, a number that does not parse or a value out of bounds against clock
// (gf_checkRecordBounds); the caller logs and drops it. Without a clock the
// web-API reader's (now, with its time shift) is used.
void parseTrafficRecord(const nlohmann::json& item, const IntakeContext& context, TrafficBatch& batch,
                        const RecordClock& clock);
void parseTrafficRecord(const nlohmann::json& item, const IntakeContext& context, TrafficBatch& batch);

// One parked array of a reply, keyed by its hex id (hexadecimal); nullopt
// when the intake refuses it. Throws like parseTrafficRecord.
std::optional<ParkedTrafficRecord> parseParkedRecord(std::string_view hexKey, const nlohmann::json& item,
                                                     const IntakeContext& context);

} // namespace zelk
