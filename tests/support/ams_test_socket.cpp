#include "tests/support/ams_test_socket.h"

#include <array>

namespace corvane::test {
namespace {

std::chrono::milliseconds Left(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
}

}  // namespace

std::optional<AmsTestFrame> AmsTestFrameReader::Next(platform::TcpSocket& socket,
                                                     std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<uint8_t> frame;
    for (;;) {
        if (assembler_.Next(frame) == ams::AmsFrameAssembler::Status::kFrame) {
            AmsTestFrame received;
            std::span<const uint8_t> data;
            if (ams::DecodeFrame(frame, received.header, data) != ams::DecodeStatus::kOk) {
                return std::nullopt;
            }
            received.data.assign(data.begin(), data.end());
            received.bytes = frame;
            return received;
        }
        const auto left = Left(deadline);
        if (left.count() <= 0 || socket.WaitReadable(left) != 1) {
            return std::nullopt;
        }
        std::array<uint8_t, 4096> chunk{};
        const int n = socket.Receive(chunk);
        if (n <= 0) {
            return std::nullopt;
        }
        assembler_.Append(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(n)));
    }
}

bool SendByteByByte(platform::TcpSocket& socket, std::span<const uint8_t> bytes) {
    for (const uint8_t b : bytes) {
        if (socket.Send(std::span<const uint8_t>(&b, 1)) != 1) {
            return false;
        }
    }
    return true;
}

bool WaitForPeerClose(platform::TcpSocket& socket, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::array<uint8_t, 4096> chunk{};
    for (;;) {
        const auto left = Left(deadline);
        if (left.count() <= 0 || socket.WaitReadable(left) != 1) {
            return false;
        }
        if (socket.Receive(chunk) <= 0) {
            return true;
        }
    }
}

std::optional<platform::Ipv4> AddressFacing(const platform::Ipv4& address, uint16_t port) {
    platform::TcpSocket socket = platform::TcpSocket::Create();
    if (!socket.Connect(address, port, std::chrono::milliseconds(2000))) {
        return std::nullopt;
    }
    return socket.LocalAddress();
}

}  // namespace corvane::test
