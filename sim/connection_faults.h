// The faults that act on one connection's stream, as small filters every frame of that
// connection passes through (in the way a proxy's "toxics" do), and the one-shot cuts counted
// over the events of every connection. Not thread-safe: the controller calls them under its
// lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>

#include "ams/ams_header.h"
#include "platform/tcp_socket.h"
#include "sim/controller.h"
#include "sim/controller_model.h"

namespace sim {

// The error code a download frame carries under the download-error fault.
inline constexpr uint32_t kDownloadFaultError = 0x0706;

// One frame as it arrived on a connection.
struct StreamFrame {
    const ams::AmsHeader& header;
    std::span<const uint8_t> data;
    const std::optional<platform::Ipv4>& peer;
};

// Tells a mailbox command written into the command block from the same command written again:
// by its code and sequence number.
class CommandTracker {
public:
    // The command's code when `frame` writes a command not seen just before; nothing otherwise.
    std::optional<uint16_t> New(const StreamFrame& frame);

private:
    std::optional<uint64_t> last_;  // code and sequence of the last command seen
};

// What one connection has seen so far, counted by the frame's path (sim/frame_path.h), never
// by a filter: a filter that needs a count reads it here and keeps nothing of its own.
struct StreamCounts {
    // Frames served on it (the model took them, answered or not); the reply hooks see the
    // frame in hand counted, the request hooks only the ones before it.
    int requests = 0;
    int replies = 0;    // replies that went out; the after-reply hooks see the one in hand
    int downloads = 0;  // download frames among the requests
    // New mailbox commands written on it, by code, counted before any filter looks.
    std::map<uint16_t, int> commands;
    CommandTracker seen;
    bool downloadOpen = false;  // download frames since the last closing commands
};

// Everything a filter's hook sees: the faults in force, the frame in hand, its connection's
// counts and the time. A filter that needs more gets a field here, never a new parameter.
struct FilterContext {
    const Faults& faults;
    const StreamFrame& frame;
    const StreamCounts& counts;
    std::chrono::steady_clock::time_point now;
};

// What a filter makes of a frame: serve it, leave it unanswered, close the connection, or stop
// reading it (the connection stays open until dropped).
struct Verdict {
    enum class Act { kServe, kIgnore, kClose, kStall };
    Act act = Act::kServe;
    std::string reason;  // for the log, when the connection closes or stalls
};

// Before the frame is served.
Verdict FilterRequest(const FilterContext& context);
// On the reply the controller made, before it goes out; returns how long it waits.
std::chrono::milliseconds FilterReply(const FilterContext& context, FrameOutcome& outcome);
// What the connection does once the reply is out.
Verdict FilterAfterReply(const FilterContext& context, const FrameOutcome& outcome);

// The router's port: closed under refuse-connect; a connection's receive buffer, if a fault
// wants it small.
bool RefusesConnections(const Faults& faults);
std::optional<int> ReceiveBufferFor(const Faults& faults);

// cut-at (with cut-events), restart-at and outage-at: counts every event (a new mailbox
// command, a STOP or RUN, a download frame) and says when one of them is one to cut at or to
// start the outage at. Each is one-shot.
class EventCut {
public:
    using Clock = std::chrono::steady_clock;
    enum class Cut { kNone, kCut, kRestart, kOutage };
    // A frame about to be served; counts it in stats.events when it is an event.
    Cut Count(const StreamFrame& frame, Faults& faults, Stats& stats, Clock::time_point now);
    // A cut the new faults set (or change) counts from here.
    void Rearm(const Faults& before, const Faults& after, const Stats& stats);

    // An outage is under way: no frame is served.
    bool InOutage(const Faults& faults, Clock::time_point now) const;
    // Ends the outage once outage-ms (as it stands now) has passed since it began, with the
    // line that says so.
    std::optional<LogEvent> EndOutage(const Faults& faults, Clock::time_point now);

private:
    uint64_t cutBase_ = 0;
    uint64_t restartBase_ = 0;
    uint64_t outageBase_ = 0;
    std::optional<Clock::time_point> outageStart_;
    CommandTracker commands_;
};

}  // namespace sim
