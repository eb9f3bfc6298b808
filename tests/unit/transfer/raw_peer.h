// A bare TCP peer on the test's own loopback address, for exercising the frame exchange
// without the simulator: it accepts one connection and lets the test read and write raw bytes.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/tcp_socket.h"

namespace corvane::test {

class RawPeer {
public:
    // Listens on the test's loopback address, on an ephemeral port.
    RawPeer();

    // Connects a client socket to the peer and accepts it on the peer's side; the client's
    // receive time-out is `clientTimeout`.
    platform::TcpSocket ConnectClient(std::chrono::milliseconds clientTimeout);

    // Writes bytes to the client in one piece.
    void Send(std::span<const uint8_t> bytes);
    // Reads exactly `count` bytes the client sent, waiting at most a few seconds; fewer bytes
    // are returned when the deadline passes or the client closes.
    std::vector<uint8_t> ReadExactly(size_t count);
    // Closes the accepted connection: the client's next receive sees the end of the stream.
    void CloseConnection();

private:
    platform::TcpSocket listener_;
    platform::TcpSocket connection_;
};

// A 38-byte reply header with the given ids and error code and no data; the other fields are
// given values a real router would not send, because the exchange must not look at them.
std::vector<uint8_t> ReplyHeader(uint16_t commandId, uint32_t invokeId, uint32_t errorCode);

}  // namespace corvane::test
