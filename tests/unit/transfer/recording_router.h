// A bare AMS router for the flash tests: it listens on the test's address at TCP 48898, keeps
// the raw bytes of every frame it receives and answers each with a bare reply header.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/tcp_socket.h"

namespace corvane::test {

class RecordingRouter {
public:
    explicit RecordingRouter(const platform::Ipv4& address);
    ~RecordingRouter();
    RecordingRouter(const RecordingRouter&) = delete;
    RecordingRouter& operator=(const RecordingRouter&) = delete;

    bool Listening() const { return listening_; }
    // Waits until `count` connections have been accepted and closed by the client.
    bool WaitForClosedConnections(int count, std::chrono::milliseconds limit);
    // Every frame received, whole, in order of arrival.
    std::vector<std::vector<uint8_t>> Frames() const;
    size_t FrameCount() const;
    int ConnectionsAccepted() const;
    // Where the last connection came from, as this router sees it.
    std::optional<platform::Ipv4> LastPeer() const;

private:
    void Run();
    void Serve(platform::TcpSocket& connection);

    platform::TcpSocket listener_;
    bool listening_ = false;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::vector<uint8_t>> frames_;
    int accepted_ = 0;
    std::optional<platform::Ipv4> lastPeer_;
    int closed_ = 0;
    std::thread thread_;
};

}  // namespace corvane::test
