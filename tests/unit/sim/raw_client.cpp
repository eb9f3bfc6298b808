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
    return corvane::test::SendByteByByte(socket_, bytes);
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
    return reader_.Next(socket_, limit);
}

bool RawClient::WaitForClose(std::chrono::milliseconds limit) {
    return WaitForPeerClose(socket_, limit);
}

bool RouterAccepts(const platform::Ipv4& address) {
    platform::TcpSocket socket = platform::TcpSocket::Create();
    return socket.Connect(address, ams::kRouterTcpPort, std::chrono::milliseconds(2000));
}

}  // namespace corvane::test
