// A raw AMS/TCP client for tests of the simulated controller: sends any bytes or frames and
// reads whole reply frames, without the ADS client's checks in the way.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ams/ams_header.h"
#include "platform/tcp_socket.h"
#include "tests/support/ams_test_socket.h"

namespace corvane::test {

using ReplyFrame = AmsTestFrame;

class RawClient {
public:
    // Connects to TCP 48898 of `address`; check Connected().
    explicit RawClient(const platform::Ipv4& address);
    bool Connected() const { return socket_.Valid(); }

    bool SendBytes(std::span<const uint8_t> bytes);
    // One byte per send call (TCP_NODELAY is on): the controller sees the frame in pieces.
    bool SendByteByByte(std::span<const uint8_t> bytes);
    // A frame from this host's NetId 127.0.0.1.1.1 port 32779 to the controller's port 800.
    bool SendFrame(uint16_t commandId, uint32_t invokeId, std::span<const uint8_t> data,
                   uint16_t stateFlags = 0, uint16_t targetPort = 800);
    // The next whole frame, or nothing when the controller closed or `limit` passed.
    std::optional<ReplyFrame> NextReply(
        std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
    // True when the controller closed the connection within `limit`.
    bool WaitForClose(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

    AmsAddr Target() const { return target_; }
    platform::TcpSocket& Socket() { return socket_; }

private:
    platform::TcpSocket socket_;
    AmsTestFrameReader reader_;
    AmsAddr target_{};
};

// True when a TCP connection to 48898 of `address` is accepted.
bool RouterAccepts(const platform::Ipv4& address);

}  // namespace corvane::test
