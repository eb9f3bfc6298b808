// A raw AMS router for tests of the ADS client: listens on TCP 48898 of a loopback address and
// runs a script on every connection it accepts, so a test can answer with anything at all.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "ams/ams_header.h"
#include "platform/tcp_socket.h"
#include "tests/support/ams_test_socket.h"

namespace corvane::test {

using ReceivedFrame = AmsTestFrame;

// One accepted connection as the script sees it.
class RouterConnection {
public:
    explicit RouterConnection(platform::TcpSocket socket);
    // The next whole frame from the client, or nothing when the client closed or `limit` passed.
    std::optional<ReceivedFrame> NextFrame(
        std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
    bool Send(std::span<const uint8_t> bytes);
    // Sends `bytes` one byte per send call (TCP_NODELAY is on), so the client sees a reply
    // split over many segments.
    bool SendByteByByte(std::span<const uint8_t> bytes);
    // Waits until the client closes its side or `limit` passes; true when it closed.
    bool WaitForClientClose(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
    void Close() { socket_.Close(); }

private:
    platform::TcpSocket socket_;
    AmsTestFrameReader reader_;
};

class ScriptedRouter {
public:
    using Script = std::function<void(RouterConnection&, int connectionIndex)>;

    ScriptedRouter(const platform::Ipv4& address, Script script);
    ~ScriptedRouter();
    ScriptedRouter(const ScriptedRouter&) = delete;
    ScriptedRouter& operator=(const ScriptedRouter&) = delete;

    bool Listening() const { return listening_; }
    int Connections() const { return connections_; }

private:
    platform::TcpSocket listener_;
    Script script_;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    bool listening_ = false;
    std::thread thread_;
};

// A response to `request`: addresses swapped, same command id and invoke id.
std::vector<uint8_t> ReplyTo(const ams::AmsHeader& request, std::span<const uint8_t> data,
                             uint16_t stateFlags = 0x0005, uint32_t errorCode = 0);
// ADS Read reply data: result, length, bytes.
std::vector<uint8_t> ReadReplyData(uint32_t result, uint32_t length,
                                   std::span<const uint8_t> bytes);

}  // namespace corvane::test
