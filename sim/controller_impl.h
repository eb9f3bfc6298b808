// The simulated controller's inside, shared by the file that serves the network and the file
// that carries the controller's own calls: its state, its threads and its connections.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "ams/ams_stream.h"
#include "sim/connection_faults.h"
#include "sim/controller.h"
#include "sim/controller_model.h"
#include "sim/event_log.h"
#include "sim/expected_image.h"
#include "sim/frame_path.h"

namespace sim {

using Clock = std::chrono::steady_clock;

// How often idle threads look at the stop and reboot flags; sockets are also shut down to
// wake them, so this only bounds the worst case.
inline constexpr std::chrono::milliseconds kPollSlice{20};

struct Connection {
    platform::TcpSocket socket;
    std::string peer;
    std::optional<platform::Ipv4> peerAddress;
    std::thread thread;
    std::atomic<bool> finished{false};
    std::atomic<bool> dropped{false};
    // Touched only by the connection's own thread.
    ams::AmsFrameAssembler assembler;
    std::vector<uint8_t> frame;
    StreamCounts counts;
    std::string closeReason = "closed by the host";
    bool reportedNoRoute = false;
};

struct Controller::Impl {
    explicit Impl(Options o)
        : options(std::move(o)),
          model(options, ChooseExpectedImage(options.expectedImage)),
          log(options.logPath, options.onEvent) {}

    // The accept thread: each turn looks at the flags, goes down or comes back, opens or
    // closes the port to match, reaps finished connections and accepts one.
    struct Turn {
        bool stop = false;
        bool rebootRequested = false;
        bool rebootIsRestart = false;  // the requested reboot is a restart, not a flash
        ControllerModel::Due due = ControllerModel::Due::kNone;
        bool back = false;  // a reboot just ended
        bool wantListener = false;
    };
    void AcceptLoop();
    Turn NextTurn();
    void AnnounceReturn();
    void MatchListener(bool wanted);
    void AcceptOne();
    void AddConnection(platform::TcpSocket socket);
    bool OpenListener();
    void DropAllConnections();
    // Has the accept thread close the port and count the reboot; returns once it has. A
    // restart is no flash: never-return does not keep it away.
    void BeginReboot(bool restart);
    // On the accept thread: the port closes, then the reboot is counted and the model
    // restarted, after doing what `due` names (then every connection is dropped here).
    void RebootNow(ControllerModel::Due due);
    void ReapConnections(bool all);

    // A connection's thread: receive, serve each whole frame in turn, close.
    void Serve(const std::shared_ptr<Connection>& connection);
    bool Receive(Connection& connection);
    bool ServeFrames(Connection& connection);
    bool ServeFrame(Connection& connection, const StreamFrame& frame);
    bool Answer(Connection& connection, const FrameResult& result);
    void EndConnection(Connection& connection);
    // cut-at, restart-at: every connection is dropped; a restart takes the controller away.
    void CutEveryConnection(bool restart);
    // stall-download: the connection stays open and unread until it is dropped or the
    // controller stops.
    void Stall(const Connection& connection, const std::string& reason);
    void Emit(const std::string& kind, const std::string& text) { log.Event(kind, text); }
    void Emit(const LogEvent& event) { log.Event(event.kind, event.text, event.detail); }
    // With the lock held.
    void LogParameters(bool force) {
        if (auto event = model.ParameterEvent(force)) {
            Emit(*event);
        }
    }
    void Changed() { changed.notify_all(); }
    // With the lock held: the router's port is to be closed.
    bool PortClosed() const {
        return RefusesConnections(model.CurrentFaults()) || model.PortClosed();
    }

    const Options options;
    mutable std::mutex mutex;  // guards the model, the flags below and lastError
    mutable std::condition_variable changed;
    ControllerModel model;
    EventLog log;
    EventCut cuts;
    std::string lastError;
    uint16_t boundPort = 0;
    bool stopping = false;
    bool rebootRequested = false;
    bool rebootIsRestart = false;  // the requested reboot is a restart, not a flash
    bool gone = false;             // never-return: down for good after a flash
    Clock::time_point rebootEnd{};

    // Touched only by the accept thread while it runs.
    platform::TcpSocket listener;
    std::thread acceptThread;

    std::mutex connectionsMutex;
    std::list<std::shared_ptr<Connection>> connections;
};

}  // namespace sim
