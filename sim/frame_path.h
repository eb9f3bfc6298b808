// One frame's way through the simulated controller: the request filters of the connection it
// came on, the cuts over the events of a run, the model, and the reply filters, logged as it
// goes. A connection's thread serves every frame through it, and so does the fuzz target, so
// the two never differ in what a frame meets. Not thread-safe: the controller calls it under
// its lock.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "sim/connection_faults.h"
#include "sim/controller_model.h"
#include "sim/event_log.h"

namespace sim {

// What the connection does with a frame once it has been through.
struct FrameResult {
    enum class Act {
        kAnswer,   // sends outcome.reply, if any, after `delay`; then does as `afterReply` says
        kNoRoute,  // leaves it unanswered and reads on: the router has no route for it
        kOutage,   // leaves it unanswered and reads on: an outage is under way
        kClose,    // closes this connection (closeReason says why)
        kCut,      // drops every connection
        kRestart,  // drops every connection and restarts the controller
    };
    Act act = Act::kAnswer;
    FrameOutcome outcome;
    std::chrono::milliseconds delay{};
    Verdict afterReply;
    std::string closeReason;
};

// The controller's parts every frame passes.
struct FramePath {
    ControllerModel& model;
    EventCut& cuts;
    EventLog& log;

    // `frame` arrived on the connection from `peer`, which has seen `counts` so far.
    FrameResult Pass(const std::string& peer, StreamCounts& counts, const StreamFrame& frame,
                     std::chrono::steady_clock::time_point now);

private:
    using TimePoint = std::chrono::steady_clock::time_point;
    // The steps in the order a frame meets them; each either settles the frame or lets it on.
    std::optional<FrameResult> Unreachable() const;
    std::optional<FrameResult> LostInOutage(const std::string& peer, const StreamFrame& frame,
                                            Faults& faults, TimePoint now);
    std::optional<FrameResult> Refused(const std::string& peer, StreamCounts& counts,
                                       const StreamFrame& frame, const Faults& faults,
                                       TimePoint now);
    std::optional<FrameResult> CutAtEvent(const std::string& peer, const StreamFrame& frame,
                                          Faults& faults, TimePoint now);
    FrameResult Served(const std::string& peer, StreamCounts& counts, const StreamFrame& frame,
                       const Faults& faults, TimePoint now);
};

// "a.b.c.d.e.f", as a router's route names it.
std::string NetIdText(const AmsNetId& netId);

}  // namespace sim
