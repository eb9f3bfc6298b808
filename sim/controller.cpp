// The simulated controller's router port: the accept thread that opens and closes it, goes
// down for a reboot and comes back, and starts one thread per connection.
#include "platform/local_address.h"
#include "sim/controller_impl.h"

namespace sim {
namespace {

using std::chrono::milliseconds;

// A real router serves a handful of hosts; past this a connection is closed at once, so a
// client that opens connections without end cannot make the controller start threads without end.
constexpr size_t kMaxConnections = 64;

}  // namespace

bool Controller::Impl::OpenListener() {
    uint16_t port = 0;
    std::optional<int> buffer;
    {
        std::lock_guard lock(mutex);
        // After a reboot the controller comes back on the port it had, also when that was
        // chosen by the system.
        port = boundPort != 0 ? boundPort : options.port;
        buffer = ReceiveBufferFor(model.CurrentFaults());
    }
    platform::TcpSocket socket = platform::TcpSocket::Create();
    if (buffer && socket.Valid()) {
        socket.SetReceiveBufferSize(*buffer);
    }
    if (!socket.Valid() || !socket.Bind(options.listen, port) || !socket.Listen()) {
        return false;
    }
    {
        std::lock_guard lock(mutex);
        boundPort = socket.LocalPort();
    }
    listener = std::move(socket);
    return true;
}

void Controller::Impl::BeginReboot(bool restart) {
    std::unique_lock lock(mutex);
    const uint64_t before = model.CurrentStats().rebootsStarted;
    rebootRequested = true;
    rebootIsRestart = restart;
    const uint16_t port = boundPort;
    changed.notify_all();
    lock.unlock();
    // The accept thread may be waiting on the port for up to a poll slice, and the reply that
    // asked for the reboot waits for it: a connection attempt wakes it at once.
    platform::TcpSocket wake = platform::TcpSocket::Create();
    wake.Connect(options.listen, port, kPollSlice);
    lock.lock();
    changed.wait(lock, [&] { return stopping || model.CurrentStats().rebootsStarted != before; });
}

void Controller::Impl::RebootNow(ControllerModel::Due due) {
    using Due = ControllerModel::Due;
    // Down first, then counted: whoever sees the reboot counted finds the port closed.
    listener.Close();
    {
        std::lock_guard lock(mutex);
        if (due != Due::kNone) {
            FrameOutcome outcome;
            model.TakeDue(due, outcome);
            for (const auto& event : outcome.events) {
                Emit(event);
            }
        }
        const bool restart = due == Due::kReadbackRestart || (due == Due::kNone && rebootIsRestart);
        rebootIsRestart = false;
        auto& stats = model.CurrentStats();
        stats.listening = false;
        stats.rebooting = true;
        ++stats.rebootsStarted;
        rebootEnd = Clock::now() + milliseconds(options.rebootMs);
        gone = model.CurrentFaults().neverReturn && !restart;
        model.Reboot();
        Emit("reboot_start", gone ? "rebooting: it will not come back"
                                  : "rebooting for " + std::to_string(options.rebootMs) + " ms");
    }
    Changed();
    if (due != Due::kNone) {
        // No request asked for this reboot, so no reply has to go out before the drop.
        DropAllConnections();
    }
}

void Controller::Impl::DropAllConnections() {
    std::lock_guard lock(connectionsMutex);
    for (const auto& c : connections) {
        c->dropped = true;
        c->socket.ShutdownBoth();
    }
}

void Controller::Impl::ReapConnections(bool all) {
    std::list<std::shared_ptr<Connection>> done;
    {
        std::lock_guard lock(connectionsMutex);
        for (auto it = connections.begin(); it != connections.end();) {
            if (all || (*it)->finished) {
                done.push_back(*it);
                it = connections.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& c : done) {
        if (c->thread.joinable()) {
            c->thread.join();
        }
    }
}

void Controller::Impl::AcceptLoop() {
    for (;;) {
        const Turn turn = NextTurn();
        if (turn.stop) {
            break;
        }
        if (turn.rebootRequested || turn.due != ControllerModel::Due::kNone) {
            // When a request asked for it, that connection drops every connection once its
            // reply is out; a reboot that came due is dropped by RebootNow.
            RebootNow(turn.due);
        }
        if (turn.back) {
            AnnounceReturn();
        }
        MatchListener(turn.wantListener);
        ReapConnections(false);
        AcceptOne();
    }
    listener.Close();
    DropAllConnections();
    ReapConnections(true);
    std::lock_guard lock(mutex);
    model.CurrentStats().listening = false;
}

Controller::Impl::Turn Controller::Impl::NextTurn() {
    std::lock_guard lock(mutex);
    Turn turn;
    if (stopping) {
        turn.stop = true;
        return turn;
    }
    auto& stats = model.CurrentStats();
    const auto now = Clock::now();
    // Also when no frame comes to end it, so the log says when it ended.
    if (const auto ended = cuts.EndOutage(model.CurrentFaults(), now)) {
        Emit(*ended);
    }
    if (rebootRequested) {
        rebootRequested = false;
        turn.rebootRequested = true;
    } else if (!stats.rebooting) {
        turn.due = model.DueReboot(now);
    } else if (!gone && now >= rebootEnd) {
        turn.back = true;
        stats.rebooting = false;
        ++stats.rebootsCompleted;
        for (const LogEvent& event : model.Return(now)) {
            Emit(event);
        }
    }
    turn.wantListener = !turn.rebootRequested && turn.due == ControllerModel::Due::kNone &&
                        !stats.rebooting && !gone && !PortClosed();
    return turn;
}

void Controller::Impl::AnnounceReturn() {
    Changed();
    const auto [major, minor] = [this] {
        std::lock_guard lock(mutex);
        return std::pair{model.Plc().FirmwareMajor(), model.Plc().FirmwareMinor()};
    }();
    Emit("reboot_end",
         "back after reboot: firmware " + std::to_string(major) + "." + std::to_string(minor));
}

void Controller::Impl::MatchListener(bool wanted) {
    if (wanted == listener.Valid()) {
        return;
    }
    if (wanted) {
        const bool opened = OpenListener();
        std::lock_guard lock(mutex);
        model.CurrentStats().listening = opened;
    } else {
        listener.Close();
        std::lock_guard lock(mutex);
        model.CurrentStats().listening = false;
    }
    Changed();
}

void Controller::Impl::AcceptOne() {
    if (!listener.Valid()) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, kPollSlice, [this] { return stopping || rebootRequested; });
        return;
    }
    if (listener.WaitReadable(kPollSlice) != 1) {
        return;
    }
    std::optional<int> buffer;
    {
        std::lock_guard lock(mutex);
        if (stopping || rebootRequested || PortClosed()) {
            return;
        }
        buffer = ReceiveBufferFor(model.CurrentFaults());
    }
    platform::TcpSocket socket = listener.Accept();
    if (!socket.Valid()) {
        return;
    }
    if (buffer) {
        // Also when the fault came after the port opened; the listener's is then the larger
        // one the handshake offered.
        socket.SetReceiveBufferSize(*buffer);
    }
    AddConnection(std::move(socket));
}

void Controller::Impl::AddConnection(platform::TcpSocket socket) {
    {
        std::lock_guard lock(connectionsMutex);
        if (connections.size() >= kMaxConnections) {
            return;  // the socket closes here
        }
    }
    socket.SetNoDelay(true);
    auto connection = std::make_shared<Connection>();
    connection->peer = platform::PeerName(socket);
    connection->peerAddress = socket.PeerAddress();
    connection->socket = std::move(socket);
    {
        std::lock_guard lock(mutex);
        ++model.CurrentStats().connectionsAccepted;
    }
    Changed();
    Emit("connection", "connection from " + connection->peer);
    std::lock_guard lock(connectionsMutex);
    // A drop of every connection that came while this one was being accepted takes it too: its
    // thread starts dropped and closes it at once.
    {
        std::lock_guard state(mutex);
        connection->dropped = PortClosed() || model.CurrentStats().rebooting;
    }
    connections.push_back(connection);
    connection->thread = std::thread([this, connection] { Serve(connection); });
}

}  // namespace sim
