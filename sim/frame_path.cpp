#include "sim/frame_path.h"

#include <utility>

namespace sim {

using Act = FrameResult::Act;

std::string NetIdText(const AmsNetId& netId) {
    std::string text;
    for (size_t i = 0; i < sizeof netId.b; ++i) {
        if (i != 0) {
            text += '.';
        }
        text += std::to_string(netId.b[i]);
    }
    return text;
}

namespace {

FrameResult Settled(Act act, std::string closeReason = {}) {
    FrameResult result;
    result.act = act;
    result.closeReason = std::move(closeReason);
    return result;
}

}  // namespace

FrameResult FramePath::Pass(const std::string& peer, StreamCounts& counts, const StreamFrame& frame,
                            TimePoint now) {
    if (auto result = Unreachable()) {
        return *result;
    }
    Faults faults = model.CurrentFaults();
    if (auto result = LostInOutage(peer, frame, faults, now)) {
        return *result;
    }
    if (auto result = Refused(peer, counts, frame, faults, now)) {
        return *result;
    }
    if (auto result = CutAtEvent(peer, frame, faults, now)) {
        return *result;
    }
    return Served(peer, counts, frame, faults, now);
}

std::optional<FrameResult> FramePath::Unreachable() const {
    if (model.PortClosed()) {
        return Settled(Act::kClose, "dropped: the router's port is closed");
    }
    if (model.CurrentStats().rebooting) {
        return Settled(Act::kClose, "dropped: the controller is going down");
    }
    return std::nullopt;
}

std::optional<FrameResult> FramePath::LostInOutage(const std::string& peer,
                                                   const StreamFrame& frame, Faults& faults,
                                                   TimePoint now) {
    if (const auto ended = cuts.EndOutage(faults, now)) {
        log.Event(ended->kind, ended->text);
    }
    if (!cuts.InOutage(faults, now)) {
        return std::nullopt;
    }
    // Lost on the way: the controller never sees it, so nothing counts it.
    log.Request(peer, frame.header, "\"dropped\":\"outage\"");
    return Settled(Act::kOutage);
}

std::optional<FrameResult> FramePath::Refused(const std::string& peer, StreamCounts& counts,
                                              const StreamFrame& frame, const Faults& faults,
                                              TimePoint now) {
    if (const auto code = counts.seen.New(frame)) {
        ++counts.commands[*code];
    }
    const Verdict verdict = FilterRequest({faults, frame, counts, now});
    if (verdict.act == Verdict::Act::kIgnore) {
        ++model.CurrentStats().framesWithoutRoute;
        log.Request(peer, frame.header,
                    "\"dropped\":\"no route for " + NetIdText(frame.header.source.netId) + "\"");
        return Settled(Act::kNoRoute);
    }
    if (verdict.act == Verdict::Act::kClose) {
        log.Request(peer, frame.header, "\"dropped\":\"" + verdict.reason + "\"");
        return Settled(Act::kClose, verdict.reason);
    }
    return std::nullopt;
}

std::optional<FrameResult> FramePath::CutAtEvent(const std::string& peer, const StreamFrame& frame,
                                                 Faults& faults, TimePoint now) {
    const EventCut::Cut cut = cuts.Count(frame, faults, model.CurrentStats(), now);
    if (cut == EventCut::Cut::kNone) {
        return std::nullopt;
    }
    model.SetFaults(faults);  // a cut fires once
    const std::string event = "event " + std::to_string(model.CurrentStats().events);
    if (cut == EventCut::Cut::kOutage) {
        log.Request(peer, frame.header, "\"dropped\":\"outage\"");
        log.Event("outage_start", event + ": nothing answered on any connection for " +
                                      std::to_string(faults.outageMs) + " ms");
        return Settled(Act::kOutage);
    }
    log.Request(peer, frame.header, "\"dropped\":\"cut\"");
    const bool restart = cut == EventCut::Cut::kRestart;
    log.Event(restart ? "restart_at" : "cut_at",
              event + (restart ? ": every connection dropped, restarting"
                               : ": every connection dropped"));
    return Settled(restart ? Act::kRestart : Act::kCut, "dropped: cut at an event");
}

FrameResult FramePath::Served(const std::string& peer, StreamCounts& counts,
                              const StreamFrame& frame, const Faults& faults, TimePoint now) {
    FrameResult result;
    FrameOutcome& outcome = result.outcome;
    outcome = model.Serve(frame.header, frame.data, now);
    log.Request(peer, frame.header, outcome.logDetail);
    if (!outcome.close) {
        ++counts.requests;
        counts.downloads += outcome.downloadFrame ? 1 : 0;
        const FilterContext context{faults, frame, counts, now};
        result.delay = FilterReply(context, outcome);
        counts.replies += outcome.reply ? 1 : 0;
        result.afterReply = FilterAfterReply(context, outcome);
    }
    // After the reply filters, so that what they did is told with the rest.
    for (const auto& event : outcome.events) {
        log.Event(event.kind, event.text, event.detail);
    }
    if (outcome.downloadFrame) {
        counts.downloadOpen = !outcome.downloadClosed;
    }
    if (outcome.close) {
        result.act = Act::kClose;
        result.closeReason = outcome.closeReason;
    }
    return result;
}

}  // namespace sim
