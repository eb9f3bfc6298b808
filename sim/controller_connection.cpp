// One connection to the simulated controller: its thread receives the host's stream, runs each
// whole frame through the connection's faults and the controller, answers it, and closes.
#include "sim/controller_impl.h"

namespace sim {
namespace {

using std::chrono::milliseconds;

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

}  // namespace

void Controller::Impl::Serve(const std::shared_ptr<Connection>& connection) {
    while (Receive(*connection) && ServeFrames(*connection)) {
    }
    EndConnection(*connection);
}

bool Controller::Impl::Receive(Connection& connection) {
    std::array<uint8_t, 4096> chunk{};
    for (;;) {
        {
            std::lock_guard lock(mutex);
            if (stopping) {
                return false;
            }
        }
        if (connection.dropped) {
            connection.closeReason = "dropped by the controller";
            return false;
        }
        const int ready = connection.socket.WaitReadable(kPollSlice);
        if (ready == 0) {
            continue;
        }
        const int n = ready < 0 ? -1 : connection.socket.Receive(chunk);
        if (n <= 0) {
            return false;
        }
        connection.assembler.Append(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(n)));
        return true;
    }
}

bool Controller::Impl::ServeFrames(Connection& connection) {
    for (;;) {
        ams::AmsHeader header;
        std::span<const uint8_t> data;
        const auto status = connection.assembler.NextDecoded(connection.frame, header, data);
        if (status == ams::AmsFrameAssembler::Status::kNeedMore) {
            return true;
        }
        if (status == ams::AmsFrameAssembler::Status::kMalformed) {
            connection.closeReason = "dropped: malformed frame";
            return false;
        }
        if (!ServeFrame(connection, StreamFrame{header, data, connection.peerAddress})) {
            return false;
        }
    }
}

// Handled under the lock, then answered: false when the connection is to close.
bool Controller::Impl::ServeFrame(Connection& connection, const StreamFrame& frame) {
    Faults faults;
    FrameOutcome outcome;
    milliseconds delay{};
    const Handled handled = Handle(connection, frame, outcome, faults, delay);
    Changed();
    switch (handled) {
        case Handled::kServed:
            return Answer(connection, outcome, faults, delay);
        case Handled::kIgnored:
            if (!connection.reportedNoRoute) {
                Emit("no_route", "no route for " + NetIdText(frame.header.source.netId) + " from " +
                                     connection.peer + ": its frames are dropped");
                connection.reportedNoRoute = true;
            }
            return true;
        case Handled::kClosed:
            return false;
        case Handled::kCut:
        case Handled::kRestart:
            CutEveryConnection(handled == Handled::kRestart);
            connection.closeReason = "dropped: cut at an event";
            return false;
        case Handled::kGoingDown:
            connection.closeReason = "dropped: the controller is going down";
            return false;
    }
    return false;
}

Controller::Impl::Handled Controller::Impl::Handle(Connection& connection, const StreamFrame& frame,
                                                   FrameOutcome& outcome, Faults& faults,
                                                   milliseconds& delay) {
    std::lock_guard lock(mutex);
    if (model.CurrentStats().rebooting) {
        return Handled::kGoingDown;
    }
    faults = model.CurrentFaults();
    const Verdict verdict = FilterRequest(faults, frame, connection.counts);
    if (verdict.act == Verdict::Act::kIgnore) {
        ++model.CurrentStats().framesWithoutRoute;
        log.Request(connection.peer, frame.header,
                    "\"dropped\":\"no route for " + NetIdText(frame.header.source.netId) + "\"");
        return Handled::kIgnored;
    }
    if (verdict.act == Verdict::Act::kClose) {
        log.Request(connection.peer, frame.header, "\"dropped\":\"" + verdict.reason + "\"");
        connection.closeReason = verdict.reason;
        return Handled::kClosed;
    }
    const EventCut::Cut cut = cuts.Count(frame, faults, model.CurrentStats());
    if (cut != EventCut::Cut::kNone) {
        model.SetFaults(faults);  // a cut fires once
        log.Request(connection.peer, frame.header, "\"dropped\":\"cut\"");
        const bool restart = cut == EventCut::Cut::kRestart;
        Emit(restart ? "restart_at" : "cut_at",
             "event " + std::to_string(model.CurrentStats().events) +
                 (restart ? ": every connection dropped, restarting"
                          : ": every connection dropped"));
        return restart ? Handled::kRestart : Handled::kCut;
    }
    return ServeModel(connection, frame, outcome, faults, delay);
}

// With the lock held.
Controller::Impl::Handled Controller::Impl::ServeModel(Connection& connection,
                                                       const StreamFrame& frame,
                                                       FrameOutcome& outcome, const Faults& faults,
                                                       milliseconds& delay) {
    outcome = model.Serve(frame.header, frame.data, Clock::now());
    log.Request(connection.peer, frame.header, outcome.logDetail);
    for (const auto& event : outcome.events) {
        Emit(event);
    }
    if (outcome.downloadFrame) {
        connection.counts.downloadOpen = !outcome.downloadClosed;
    }
    if (outcome.close) {
        connection.closeReason = outcome.closeReason;
        return Handled::kClosed;
    }
    delay = FilterReply(faults, frame, outcome);
    return Handled::kServed;
}

bool Controller::Impl::Answer(Connection& connection, const FrameOutcome& outcome,
                              const Faults& faults, milliseconds delay) {
    if (delay > milliseconds::zero()) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, delay, [this] { return stopping; });
    }
    if (outcome.reboot) {
        // The port closes before the RUN reply goes out, so a host acting on the reply never
        // reaches the controller it just restarted.
        BeginReboot(false);
    }
    const bool sent = !outcome.reply || connection.socket.SendAll(*outcome.reply);
    if (outcome.reboot) {
        DropAllConnections();
    }
    if (!sent) {
        return false;
    }
    ++connection.counts.requests;
    connection.counts.downloads += outcome.downloadFrame ? 1 : 0;
    const Verdict verdict = FilterAfterReply(faults, outcome, connection.counts);
    if (verdict.act == Verdict::Act::kStall) {
        Stall(connection, verdict.reason);
        connection.closeReason = "dropped by the controller after the stall";
        return false;
    }
    if (verdict.act == Verdict::Act::kClose) {
        connection.closeReason = verdict.reason;
        return false;
    }
    return true;
}

void Controller::Impl::CutEveryConnection(bool restart) {
    if (restart) {
        BeginReboot(true);
    }
    DropAllConnections();
}

void Controller::Impl::Stall(const Connection& connection, const std::string& reason) {
    Emit("download_stall", "connection from " + connection.peer + " " + reason);
    std::unique_lock lock(mutex);
    // Dropping sets a flag without the lock, so it is looked at every slice.
    while (!stopping && !connection.dropped) {
        changed.wait_for(lock, kPollSlice);
    }
}

void Controller::Impl::EndConnection(Connection& connection) {
    connection.socket.ShutdownBoth();
    Emit("disconnect", "connection from " + connection.peer + " " + connection.closeReason);
    {
        std::lock_guard lock(mutex);
        ++model.CurrentStats().connectionsClosed;
        if (connection.counts.downloadOpen) {
            FrameOutcome outcome;
            model.DownloadCut(Clock::now(), outcome);
            for (const auto& event : outcome.events) {
                Emit(event);
            }
        }
    }
    connection.finished = true;
    Changed();
}

}  // namespace sim
