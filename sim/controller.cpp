// The simulated controller on the network: the router's port, one thread per connection, the
// frames each one serves, and the reboots they set off.
#include "ams/ams_stream.h"
#include "platform/local_address.h"
#include "sim/controller_impl.h"

namespace sim {
namespace {

using std::chrono::milliseconds;

// How often idle threads look at the stop and reboot flags; sockets are also shut down to
// wake them, so this only bounds the worst case.
constexpr milliseconds kPollSlice{20};
// A real router serves a handful of hosts; past this a connection is closed at once, so a
// client that opens connections without end cannot make the controller start threads without end.
constexpr size_t kMaxConnections = 64;
// Under stall-download: small enough that a few unread download frames fill it and the host's
// next send blocks.
constexpr int kStalledReceiveBuffer = 4096;

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

// A router with one route serves a frame only when its source NetId is that route's and the
// connection comes from the address the route names.
bool Routed(const Faults& faults, const AmsNetId& source,
            const std::optional<platform::Ipv4>& peer) {
    if (!faults.route) {
        return true;
    }
    const AmsNetId& route = *faults.route;
    return source == route && peer &&
           *peer == platform::Ipv4{route.b[0], route.b[1], route.b[2], route.b[3]};
}

}  // namespace

bool Controller::Impl::OpenListener() {
    uint16_t port = 0;
    bool stall = false;
    {
        std::lock_guard lock(mutex);
        // After a reboot the controller comes back on the port it had, also when that was
        // chosen by the system.
        port = boundPort != 0 ? boundPort : options.port;
        stall = model.CurrentFaults().stallDownload > 0;
    }
    platform::TcpSocket socket = platform::TcpSocket::Create();
    if (stall && socket.Valid()) {
        socket.SetReceiveBufferSize(kStalledReceiveBuffer);
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

void Controller::Impl::BeginReboot() {
    std::unique_lock lock(mutex);
    const uint64_t before = model.CurrentStats().rebootsStarted;
    rebootRequested = true;
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

void Controller::Impl::RebootNow(bool install) {
    // Down first, then counted: whoever sees the reboot counted finds the port closed.
    listener.Close();
    {
        std::lock_guard lock(mutex);
        if (install) {
            FrameOutcome outcome;
            model.InstallScheduledImage(outcome);
            for (const auto& event : outcome.events) {
                Emit(event);
            }
        }
        auto& stats = model.CurrentStats();
        stats.listening = false;
        stats.rebooting = true;
        ++stats.rebootsStarted;
        rebootEnd = Clock::now() + milliseconds(options.rebootMs);
        gone = model.CurrentFaults().neverReturn;
        model.Reboot();
        Emit("reboot_start", gone ? "rebooting: it will not come back"
                                  : "rebooting for " + std::to_string(options.rebootMs) + " ms");
    }
    Changed();
    if (install) {
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
        bool wantListener = false;
        bool startReboot = false;
        bool install = false;
        bool endReboot = false;
        {
            std::lock_guard lock(mutex);
            if (stopping) {
                break;
            }
            auto& stats = model.CurrentStats();
            if (rebootRequested) {
                rebootRequested = false;
                startReboot = true;
            } else if (!stats.rebooting && model.InstallDue(Clock::now())) {
                install = true;
            } else if (stats.rebooting && !gone && Clock::now() >= rebootEnd) {
                endReboot = true;
                stats.rebooting = false;
                ++stats.rebootsCompleted;
                model.Return(Clock::now());
            }
            wantListener = !startReboot && !install && !stats.rebooting && !gone &&
                           !model.CurrentFaults().refuseConnect;
        }
        if (startReboot || install) {
            // When a request asked for it, that connection drops every connection once its
            // reply is out; after an install held back by install-ms, RebootNow drops them.
            RebootNow(install);
        }
        if (endReboot) {
            Changed();
            const auto [major, minor] = [this] {
                std::lock_guard lock(mutex);
                return std::pair{model.Plc().FirmwareMajor(), model.Plc().FirmwareMinor()};
            }();
            Emit("reboot_end", "back after reboot: firmware " + std::to_string(major) + "." +
                                   std::to_string(minor));
        }
        if (wantListener && !listener.Valid()) {
            if (OpenListener()) {
                std::lock_guard lock(mutex);
                model.CurrentStats().listening = true;
            }
            Changed();
        } else if (!wantListener && listener.Valid()) {
            listener.Close();
            {
                std::lock_guard lock(mutex);
                model.CurrentStats().listening = false;
            }
            Changed();
        }
        ReapConnections(false);

        if (!listener.Valid()) {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, kPollSlice, [this] { return stopping || rebootRequested; });
            continue;
        }
        if (listener.WaitReadable(kPollSlice) != 1) {
            continue;
        }
        bool stall = false;
        {
            std::lock_guard lock(mutex);
            if (stopping || rebootRequested || model.CurrentFaults().refuseConnect) {
                continue;
            }
            stall = model.CurrentFaults().stallDownload > 0;
        }
        platform::TcpSocket socket = listener.Accept();
        if (!socket.Valid()) {
            continue;
        }
        if (stall) {
            // Also when the fault came after the port opened; the listener's is then the
            // larger one the handshake offered.
            socket.SetReceiveBufferSize(kStalledReceiveBuffer);
        }
        {
            std::lock_guard lock(connectionsMutex);
            if (connections.size() >= kMaxConnections) {
                continue;  // the socket closes here
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
        connections.push_back(connection);
        connection->thread = std::thread([this, connection] { Serve(connection); });
    }
    listener.Close();
    DropAllConnections();
    ReapConnections(true);
    std::lock_guard lock(mutex);
    model.CurrentStats().listening = false;
}

Controller::Impl::Handled Controller::Impl::Handle(const Connection& connection,
                                                   const ams::AmsHeader& header,
                                                   std::span<const uint8_t> data,
                                                   FrameOutcome& outcome, Faults& faults) {
    Handled handled = Handled::kNoRoute;
    {
        std::lock_guard lock(mutex);
        if (model.CurrentStats().rebooting) {
            return Handled::kGoingDown;
        }
        if (!Routed(model.CurrentFaults(), header.source.netId, connection.peerAddress)) {
            ++model.CurrentStats().framesWithoutRoute;
            log.Request(connection.peer, header,
                        "\"dropped\":\"no route for " + NetIdText(header.source.netId) + "\"");
        } else {
            outcome = model.Serve(header, data, Clock::now());
            faults = model.CurrentFaults();
            log.Request(connection.peer, header, outcome.logDetail);
            for (const auto& event : outcome.events) {
                Emit(event);
            }
            handled = Handled::kServed;
        }
    }
    Changed();
    return handled;
}

void Controller::Impl::Stall(const Connection& connection, int downloads) {
    Emit("download_stall", "connection from " + connection.peer + " no longer read after " +
                               std::to_string(downloads) + " download frames");
    std::unique_lock lock(mutex);
    // Dropping sets a flag without the lock, so it is looked at every slice.
    while (!stopping && !connection.dropped) {
        changed.wait_for(lock, kPollSlice);
    }
}

void Controller::Impl::Serve(const std::shared_ptr<Connection>& connection) {
    platform::TcpSocket& socket = connection->socket;
    ams::AmsFrameAssembler assembler;
    std::array<uint8_t, 4096> chunk{};
    std::vector<uint8_t> frame;
    int requests = 0;
    int downloads = 0;
    std::string closeReason = "closed by the host";
    bool open = true;
    bool reportedNoRoute = false;
    while (open) {
        {
            std::lock_guard lock(mutex);
            if (stopping) {
                break;
            }
        }
        if (connection->dropped) {
            closeReason = "dropped by the controller";
            break;
        }
        const int ready = socket.WaitReadable(kPollSlice);
        if (ready == 0) {
            continue;
        }
        const int n = ready < 0 ? -1 : socket.Receive(chunk);
        if (n <= 0) {
            break;
        }
        assembler.Append(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(n)));
        for (;;) {
            ams::AmsHeader header;
            std::span<const uint8_t> data;
            const auto status = assembler.NextDecoded(frame, header, data);
            if (status == ams::AmsFrameAssembler::Status::kNeedMore) {
                break;
            }
            if (status == ams::AmsFrameAssembler::Status::kMalformed) {
                closeReason = "dropped: malformed frame";
                open = false;
                break;
            }
            Faults faults;
            FrameOutcome outcome;
            const Handled handled = Handle(*connection, header, data, outcome, faults);
            if (handled == Handled::kGoingDown) {
                closeReason = "dropped: the controller is going down";
                open = false;
                break;
            }
            if (handled == Handled::kNoRoute) {
                if (!reportedNoRoute) {
                    Emit("no_route", "no route for " + NetIdText(header.source.netId) + " from " +
                                         connection->peer + ": its frames are dropped");
                    reportedNoRoute = true;
                }
                continue;
            }
            if (faults.delayMs > 0) {
                std::unique_lock lock(mutex);
                changed.wait_for(lock, milliseconds(faults.delayMs), [this] { return stopping; });
            }
            if (outcome.reboot) {
                // The port closes before the RUN reply goes out, so a host acting on the reply
                // never reaches the controller it just restarted.
                BeginReboot();
            }
            const bool sent = !outcome.reply || socket.SendAll(*outcome.reply);
            if (outcome.reboot) {
                DropAllConnections();
            }
            if (!sent) {
                open = false;
                break;
            }
            ++requests;
            downloads += outcome.downloadFrame ? 1 : 0;
            if (faults.dropAfter > 0 && requests >= faults.dropAfter) {
                closeReason = "dropped after " + std::to_string(requests) + " requests";
                open = false;
                break;
            }
            if (outcome.downloadFrame && faults.downloadDropAfter > 0 &&
                downloads >= faults.downloadDropAfter) {
                closeReason = "dropped after " + std::to_string(downloads) + " download frames";
                open = false;
                break;
            }
            if (outcome.downloadFrame && faults.stallDownload > 0 &&
                downloads >= faults.stallDownload) {
                Stall(*connection, downloads);
                closeReason = "dropped by the controller after the stall";
                open = false;
                break;
            }
        }
    }
    socket.ShutdownBoth();
    Emit("disconnect", "connection from " + connection->peer + " " + closeReason);
    {
        std::lock_guard lock(mutex);
        ++model.CurrentStats().connectionsClosed;
    }
    connection->finished = true;
    Changed();
}

}  // namespace sim
