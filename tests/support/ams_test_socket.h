// Reading and writing AMS frames on a test's own TCP socket: what the scripted router and the
// raw simulator client both need.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ams/ams_header.h"
#include "ams/ams_stream.h"
#include "platform/tcp_socket.h"

namespace corvane::test {

struct AmsTestFrame {
    ams::AmsHeader header;
    std::vector<uint8_t> data;
    std::vector<uint8_t> bytes;  // the whole frame as it came
};

// Whole frames from a TCP stream, reassembled by their length fields.
class AmsTestFrameReader {
public:
    // The next frame within `limit`; nothing when the peer closed, the stream is malformed or
    // the time passed.
    std::optional<AmsTestFrame> Next(platform::TcpSocket& socket, std::chrono::milliseconds limit);

private:
    ams::AmsFrameAssembler assembler_;
};

// One byte per send call (with TCP_NODELAY on, the peer sees the frame in many segments).
bool SendByteByByte(platform::TcpSocket& socket, std::span<const uint8_t> bytes);
// Reads and drops until the peer closes its side (true) or `limit` passes (false).
bool WaitForPeerClose(platform::TcpSocket& socket, std::chrono::milliseconds limit);

// The address this host reaches the router at `address` from: the local end of a connection to
// it, as the router sees the connection come from.
std::optional<platform::Ipv4> AddressFacing(const platform::Ipv4& address,
                                            uint16_t port = ams::kRouterTcpPort);

}  // namespace corvane::test
