// One connection to the simulated controller: its thread receives the host's stream, runs each
// whole frame through the connection's faults and the controller, answers it, and closes.
#include "sim/controller_impl.h"

namespace sim {

using std::chrono::milliseconds;

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

// Passed through under the lock, so the log tells things in the order they happened; then
// answered: false when the connection is to close.
bool Controller::Impl::ServeFrame(Connection& connection, const StreamFrame& frame) {
    FrameResult result;
    {
        std::lock_guard lock(mutex);
        result = FramePath{model, cuts, log}.Pass(connection.peer, connection.counts, frame,
                                                  Clock::now());
    }
    Changed();
    switch (result.act) {
        case FrameResult::Act::kAnswer:
            return Answer(connection, result);
        case FrameResult::Act::kNoRoute:
            if (!connection.reportedNoRoute) {
                Emit("no_route", "no route for " + NetIdText(frame.header.source.netId) + " from " +
                                     connection.peer + ": its frames are dropped");
                connection.reportedNoRoute = true;
            }
            return true;
        case FrameResult::Act::kOutage:
            return true;
        case FrameResult::Act::kClose:
            connection.closeReason = result.closeReason;
            return false;
        case FrameResult::Act::kCut:
        case FrameResult::Act::kRestart:
            CutEveryConnection(result.act == FrameResult::Act::kRestart);
            connection.closeReason = result.closeReason;
            return false;
    }
    return false;
}

bool Controller::Impl::Answer(Connection& connection, const FrameResult& result) {
    const FrameOutcome& outcome = result.outcome;
    if (result.delay > milliseconds::zero()) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, result.delay, [this] { return stopping; });
    }
    if (outcome.reboot) {
        // The port closes before the RUN reply goes out, so a host acting on the reply never
        // reaches the controller it just restarted.
        BeginReboot(false);
    }
    const bool sent = !outcome.reply || connection.socket.SendAll(*outcome.reply);
    if (outcome.reboot || outcome.closePort) {
        DropAllConnections();
    }
    if (!sent) {
        return false;
    }
    const Verdict& verdict = result.afterReply;
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
