#include "tests/unit/sim/raw_client.h"

#include <array>

namespace corvane::test {

RawClient::RawClient(const platform::Ipv4& address)
    : socket_(platform::TcpSocket::Create()), target_{ams::NetIdFromIpv4(address), 800} {
    if (!socket_.Connect(address, ams::kRouterTcpPort, std::chrono::milliseconds(2000))) {
        socket_.Close();
        return;
    }
    socket_.SetNoDelay(true);
}

bool RawClient::SendBytes(std::span<const uint8_t> bytes) {
    return socket_.SendAll(bytes);
}

bool RawClient::SendByteByByte(std::span<const uint8_t> bytes) {
    for (const uint8_t b : bytes) {
        if (socket_.Send(std::span<const uint8_t>(&b, 1)) != 1) {
            return false;
        }
    }
    return true;
}

bool RawClient::SendFrame(uint16_t commandId, uint32_t invokeId, std::span<const uint8_t> data,
                          uint16_t stateFlags, uint16_t targetPort) {
    ams::AmsHeader h;
    h.target = target_;
    h.target.port = targetPort;
    h.source = AmsAddr{AmsNetId{{127, 0, 0, 1, 1, 1}}, 32779};
    h.commandId = commandId;
    h.stateFlags = stateFlags;
    h.invokeId = invokeId;
    return SendBytes(ams::EncodeFrame(h, data));
}

std::optional<ReplyFrame> RawClient::NextReply(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<uint8_t> frame;
    for (;;) {
        if (assembler_.Next(frame) == platform::AmsFrameAssembler::Status::kFrame) {
            ReplyFrame reply;
            std::span<const uint8_t> data;
            if (ams::DecodeFrame(frame, reply.header, data) != ams::DecodeStatus::kOk) {
                return std::nullopt;
            }
            reply.data.assign(data.begin(), data.end());
            return reply;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || socket_.WaitReadable(left) != 1) {
            return std::nullopt;
        }
        std::array<uint8_t, 4096> chunk{};
        const int n = socket_.Receive(chunk);
        if (n <= 0) {
            return std::nullopt;
        }
        assembler_.Append(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(n)));
    }
}

bool RawClient::WaitForClose(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::array<uint8_t, 4096> chunk{};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || socket_.WaitReadable(left) != 1) {
            return false;
        }
        if (socket_.Receive(chunk) <= 0) {
            return true;
        }
    }
}

bool RouterAccepts(const platform::Ipv4& address) {
    platform::TcpSocket socket = platform::TcpSocket::Create();
    return socket.Connect(address, ams::kRouterTcpPort, std::chrono::milliseconds(2000));
}

}  // namespace corvane::test
