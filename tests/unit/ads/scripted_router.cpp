#include "tests/unit/ads/scripted_router.h"

#include "common/little_endian.h"

namespace corvane::test {

RouterConnection::RouterConnection(platform::TcpSocket socket) : socket_(std::move(socket)) {
    socket_.SetNoDelay(true);
}

std::optional<ReceivedFrame> RouterConnection::NextFrame(std::chrono::milliseconds limit) {
    return reader_.Next(socket_, limit);
}

bool RouterConnection::Send(std::span<const uint8_t> bytes) {
    return socket_.SendAll(bytes);
}

bool RouterConnection::SendByteByByte(std::span<const uint8_t> bytes) {
    return corvane::test::SendByteByByte(socket_, bytes);
}

bool RouterConnection::WaitForClientClose(std::chrono::milliseconds limit) {
    return WaitForPeerClose(socket_, limit);
}

ScriptedRouter::ScriptedRouter(const platform::Ipv4& address, Script script)
    : listener_(platform::TcpSocket::Create()), script_(std::move(script)) {
    listening_ = listener_.Bind(address, ams::kRouterTcpPort) && listener_.Listen();
    if (!listening_) {
        return;
    }
    thread_ = std::thread([this] {
        int index = 0;
        while (!stop_) {
            if (listener_.WaitReadable(std::chrono::milliseconds(20)) != 1) {
                continue;
            }
            platform::TcpSocket socket = listener_.Accept();
            if (!socket.Valid()) {
                continue;
            }
            ++connections_;
            RouterConnection connection(std::move(socket));
            script_(connection, index++);
        }
    });
}

ScriptedRouter::~ScriptedRouter() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::vector<uint8_t> ReplyTo(const ams::AmsHeader& request, std::span<const uint8_t> data,
                             uint16_t stateFlags, uint32_t errorCode) {
    return ams::EncodeReply(request, stateFlags, errorCode, data);
}

std::vector<uint8_t> ReadReplyData(uint32_t result, uint32_t length,
                                   std::span<const uint8_t> bytes) {
    std::vector<uint8_t> out(8 + bytes.size());
    common::StoreLe32(out, 0, result);
    common::StoreLe32(out, 4, length);
    std::copy(bytes.begin(), bytes.end(), out.begin() + 8);
    return out;
}

}  // namespace corvane::test
