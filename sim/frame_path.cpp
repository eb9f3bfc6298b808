#include "sim/frame_path.h"

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

FrameResult FramePath::Pass(const std::string& peer, StreamCounts& counts, const StreamFrame& frame,
                            std::chrono::steady_clock::time_point now) {
    FrameResult result;
    if (model.CurrentStats().rebooting || model.PortClosed()) {
        result.act = Act::kClose;
        result.closeReason = model.PortClosed() ? "dropped: the router's port is closed"
                                                : "dropped: the controller is going down";
        return result;
    }
    Faults faults = model.CurrentFaults();
    if (const auto ended = cuts.EndOutage(faults, now)) {
        log.Event(ended->kind, ended->text);
    }
    if (cuts.InOutage(faults, now)) {
        // Lost on the way: the controller never sees it, so nothing counts it.
        log.Request(peer, frame.header, "\"dropped\":\"outage\"");
        result.act = Act::kOutage;
        return result;
    }
    if (const auto code = counts.seen.New(frame)) {
        ++counts.commands[*code];
    }
    const Verdict verdict = FilterRequest({faults, frame, counts, now});
    if (verdict.act == Verdict::Act::kIgnore) {
        ++model.CurrentStats().framesWithoutRoute;
        log.Request(peer, frame.header,
                    "\"dropped\":\"no route for " + NetIdText(frame.header.source.netId) + "\"");
        result.act = Act::kNoRoute;
        return result;
    }
    if (verdict.act == Verdict::Act::kClose) {
        log.Request(peer, frame.header, "\"dropped\":\"" + verdict.reason + "\"");
        result.act = Act::kClose;
        result.closeReason = verdict.reason;
        return result;
    }
    const EventCut::Cut cut = cuts.Count(frame, faults, model.CurrentStats(), now);
    if (cut != EventCut::Cut::kNone) {
        model.SetFaults(faults);  // a cut fires once
        const std::string event = "event " + std::to_string(model.CurrentStats().events);
        if (cut == EventCut::Cut::kOutage) {
            log.Request(peer, frame.header, "\"dropped\":\"outage\"");
            log.Event("outage_start", event + ": nothing answered on any connection for " +
                                          std::to_string(faults.outageMs) + " ms");
            result.act = Act::kOutage;
            return result;
        }
        log.Request(peer, frame.header, "\"dropped\":\"cut\"");
        const bool restart = cut == EventCut::Cut::kRestart;
        log.Event(restart ? "restart_at" : "cut_at",
                  event + (restart ? ": every connection dropped, restarting"
                                   : ": every connection dropped"));
        result.act = restart ? Act::kRestart : Act::kCut;
        result.closeReason = "dropped: cut at an event";
        return result;
    }

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
