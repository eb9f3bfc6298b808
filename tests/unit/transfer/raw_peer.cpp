#include "tests/unit/transfer/raw_peer.h"

#include <gtest/gtest.h>

#include "common/little_endian.h"
#include "tests/support/test_address.h"

namespace corvane::test {

RawPeer::RawPeer() : listener_(platform::TcpSocket::Create()) {
    EXPECT_TRUE(listener_.Valid());
    EXPECT_TRUE(listener_.Bind(TestOctets(), 0)) << "bind " << TestAddress();
    EXPECT_TRUE(listener_.Listen());
}

platform::TcpSocket RawPeer::ConnectClient(std::chrono::milliseconds clientTimeout) {
    platform::TcpSocket client = platform::TcpSocket::Create();
    EXPECT_TRUE(client.Connect(TestOctets(), listener_.LocalPort(), clientTimeout));
    EXPECT_TRUE(client.SetReceiveTimeout(clientTimeout));
    // The connection is complete in the listener's backlog, so accepting does not block.
    connection_ = listener_.Accept();
    EXPECT_TRUE(connection_.Valid());
    EXPECT_TRUE(connection_.SetReceiveTimeout(std::chrono::milliseconds(5000)));
    return client;
}

void RawPeer::Send(std::span<const uint8_t> bytes) {
    EXPECT_TRUE(connection_.SendAll(bytes));
}

std::vector<uint8_t> RawPeer::ReadExactly(size_t count) {
    std::vector<uint8_t> bytes(count);
    size_t have = 0;
    while (have < count) {
        const int n = connection_.Receive(std::span<uint8_t>(bytes).subspan(have));
        if (n <= 0) {
            break;
        }
        have += static_cast<size_t>(n);
    }
    bytes.resize(have);
    return bytes;
}

void RawPeer::CloseConnection() {
    connection_.Close();
}

std::vector<uint8_t> ReplyHeader(uint16_t commandId, uint32_t invokeId, uint32_t errorCode) {
    std::vector<uint8_t> reply(38, 0xEE);
    common::StoreLe16(reply, 0, 0x7777);  // reserved: not zero
    common::StoreLe32(reply, 2, 12345);   // length: wrong
    common::StoreLe16(reply, 22, commandId);
    common::StoreLe16(reply, 24, 0x0005);  // ADS response flags
    common::StoreLe32(reply, 26, 999);     // data length: wrong
    common::StoreLe32(reply, 30, errorCode);
    common::StoreLe32(reply, 34, invokeId);
    return reply;
}

}  // namespace corvane::test
