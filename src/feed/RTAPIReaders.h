#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "feed/RTAPIReaderState.h"
#include "feed/RTAPITransport.h"
#include "feed/ReaderThread.h"
#include "traffic/TrafficMailbox.h"

namespace zelk {

class WaitClock;

// A reader of the web API: its own transport, its pace between requests and
// a wait on the reader state's condition variable, which a stop (and, for the
// traffic reader, a parked request) breaks at once. A stop also cuts a
// transfer in progress.
class RTAPIReader : public ReaderThread {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    RTAPIReader(std::string name, std::chrono::milliseconds floor);
    // The thread ends before the transport it uses goes.
    ~RTAPIReader() override;

    // A restart in web-API mode: the session's login dropped, a fresh easy
    // handle, no reply text, the stop flag and state word cleared, the pace
    // back to its floor.
    void resetConnection();
    RTAPITransport& transport() noexcept { return transport_; }
    // The clock paces are waited on; the steady clock with the condition
    // variable when none is set (tests set a clock that records the waits).
    void setClock(std::shared_ptr<WaitClock> clock) { clock_ = std::move(clock); }
    std::chrono::milliseconds pace() const noexcept { return std::chrono::milliseconds(paceMs_.load()); }
    // What the reader is doing, for the log and tests.
    enum class State : int { Idle, Waiting, Requesting, Stopped };
    State state() const noexcept { return state_.load(); }

protected:
    void body(const std::stop_token& stop) override;
    void onStopRequested() override;
    // One round: waits for its moment, then makes its request(s). False ends the reader.
    virtual bool round() = 0;

    TimePoint now() const;
    // Waits under the state's lock until deadline, a stop or woken().
    void waitLocked(std::unique_lock<std::mutex>& lock, TimePoint deadline, const std::function<bool()>& woken);
    // A stop was asked for: through the reader's own thread object, or on the
    // token the body runs with (seen within a wait step of 100 ms).
    bool stopping() const noexcept { return stopping_.load() || stop_.stop_requested(); }

    // One request with the session's GUID and the time shift added to the
    // form; the reply's status, its JSON in reply. nullopt when no reply came
    // (logged, unless stopping), it could not be read (logged), or no login is
    // held (nothing is sent).
    std::optional<int> request(std::string_view path, std::vector<RTAPIFormField> fields, nlohmann::json& reply);
    // A status other than 200: logs it; 401 and 402 end the reader (with
    // their stop request), 406 doubles the pace. False when the reader ends.
    bool takeStatus(int status);
    // The pace a reply asks for under paceKey ("rrl", "wrrl").
    void setPace(const nlohmann::json& reply, std::string_view paceKey);
    // One request and its reply: a 200 is taken (its pace first), another
    // status handled by takeStatus; the next regular request one pace later.
    bool exchange(std::string_view path, std::vector<RTAPIFormField> fields, std::string_view paceKey,
                  const std::function<void(const nlohmann::json&)>& take);
    // Frees a reply once taken; after a reply of over a megabyte the heap's
    // free pages go back to the system too, so that its peak does not stay
    // resident for the rest of the run.
    void letReplyGo(nlohmann::json& reply);

    std::chrono::milliseconds floor_;
    TimePoint next_{}; // of the next regular request

private:
    RTAPITransport transport_;
    std::shared_ptr<WaitClock> clock_;
    std::atomic<bool> stopping_{false};
    std::stop_token stop_; // of the running body; reader thread only
    std::atomic<State> state_{State::Idle};
    std::atomic<std::int64_t> paceMs_;
    bool largeReply_ = false; // the last reply's text was over a megabyte; reader thread only
};

// "Traffic RTAPIreader": the traffic of the query box at each pace, and the
// parked traffic when the worker raises a request (it goes before the next
// traffic request). No traffic request is sent before a query box exists.
class RTAPITrafficReader : public RTAPIReader {
public:
    RTAPITrafficReader();

    // A traffic reply with status 200: its batch to the engine. A parked
    // reply's list. (Public for the parser fuzz target, which hands them
    // replies without a server.)
    void takeTraffic(const nlohmann::json& reply);
    std::vector<ParkedTrafficRecord> takeParked(const nlohmann::json& reply);

protected:
    bool round() override;

private:
    bool trafficRequest(const RTAPIBox& box);
    bool parkedRequest(std::uint64_t number, const RTAPIBox& box);
    TimePoint lastRequest_{};
};

// "Weather RTAPIreader": the METARs nearest the query centre at each pace;
// the first usable QNH (nearest first) becomes the reader's QNH.
class RTAPIWeatherReader : public RTAPIReader {
public:
    RTAPIWeatherReader();

    // A weather reply with status 200: the first usable QNH into the reader
    // state. (Public for the parser fuzz target.)
    void takeWeather(const nlohmann::json& reply);

protected:
    bool round() override;

private:
    bool weatherRequest(double latitude, double longitude);
};

// Where the traffic reader's batches go: the engine's mailbox
// (gf_deliverTrafficBatch, live, not discarding early), installed by the run's
// set-up. While none is installed batches are dropped.
using RTAPIDeliver = std::function<void(TrafficBatch&)>;
void gf_setRTAPIBatchDelivery(RTAPIDeliver deliver);
// A reply's batch to the engine: its ids merged into the reader's seen-id
// sets while id collection is on, its time (when not 0) into rtApiTrafficTime.
void lf_forwardRTAPIBatch(TrafficBatch& batch);

// The parked traffic around the park airport (a valid position needed): raises
// the request (status -1), wakes the traffic reader and polls every 100 ms for
// at most 10 s. True when the reader's parked list was filled with the reply
// to this request; a failed or timed-out request leaves the list untouched.
bool gf_requestRTAPIParkedTraffic();

// Thread bodies and the run's two reader objects.
void gf_RTAPITrafficReader(std::stop_token stop);
void gf_RTAPIWeatherReader(std::stop_token stop);
RTAPITrafficReader& gf_rtApiTrafficReader();
RTAPIWeatherReader& gf_rtApiWeatherReader();

} // namespace zelk
