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

#include "sim/controller.h"
#include "sim/controller_model.h"
#include "sim/event_log.h"
#include "sim/expected_image.h"

namespace sim {

using Clock = std::chrono::steady_clock;

struct Connection {
    platform::TcpSocket socket;
    std::string peer;
    std::optional<platform::Ipv4> peerAddress;
    std::thread thread;
    std::atomic<bool> finished{false};
    std::atomic<bool> dropped{false};
};

struct Controller::Impl {
    explicit Impl(Options o)
        : options(std::move(o)),
          model(options, ChooseExpectedImage(options.expectedImage)),
          log(options.logPath, options.onEvent) {}

    void AcceptLoop();
    void Serve(const std::shared_ptr<Connection>& connection);
    bool OpenListener();
    void DropAllConnections();
    // Has the accept thread close the port and count the reboot; returns once it has.
    void BeginReboot();
    // On the accept thread: the port closes, then the reboot is counted and the model
    // restarted, after installing the image install-ms held back when `install`.
    void RebootNow(bool install);
    void ReapConnections(bool all);
    // Runs one frame through the model and logs what it did, both under the lock so the log
    // tells things in the order they happened. Nothing is served while the controller is going
    // down, nor a frame the route fault drops.
    enum class Handled { kServed, kNoRoute, kGoingDown };
    Handled Handle(const Connection& connection, const ams::AmsHeader& header,
                   std::span<const uint8_t> data, FrameOutcome& outcome, Faults& faults);
    // stall-download: the connection stays open and unread until it is dropped or the
    // controller stops.
    void Stall(const Connection& connection, int downloads);
    void Emit(const std::string& kind, const std::string& text) { log.Event(kind, text); }
    void Emit(const LogEvent& event) { log.Event(event.kind, event.text, event.detail); }
    // With the lock held.
    void LogParameters(bool force) {
        if (auto event = model.ParameterEvent(force)) {
            Emit(*event);
        }
    }
    void Changed() { changed.notify_all(); }

    const Options options;
    mutable std::mutex mutex;  // guards the model, the flags below and lastError
    mutable std::condition_variable changed;
    ControllerModel model;
    EventLog log;
    std::string lastError;
    uint16_t boundPort = 0;
    bool stopping = false;
    bool rebootRequested = false;
    bool gone = false;  // never-return: down for good after a flash
    Clock::time_point rebootEnd{};

    // Touched only by the accept thread while it runs.
    platform::TcpSocket listener;
    std::thread acceptThread;

    std::mutex connectionsMutex;
    std::list<std::shared_ptr<Connection>> connections;
};

}  // namespace sim
