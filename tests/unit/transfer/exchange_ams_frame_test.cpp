#include "transfer/exchange_ams_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <vector>

#include "common/little_endian.h"
#include "tests/unit/transfer/raw_peer.h"

namespace {

using corvane::test::RawPeer;
using corvane::test::ReplyHeader;
using std::chrono::milliseconds;

constexpr milliseconds kShortTimeout{30};
// Long enough that a reply already queued is never mistaken for a time-out.
constexpr milliseconds kPatientTimeout{5000};

const AmsAddr kTarget{{{192, 168, 1, 10, 1, 1}}, 800};
const AmsAddr kSource{{{10, 0, 0, 7, 1, 1}}, 32779};

TEST(BuildAmsRequest, OneBytePayloadGivesThe39ByteFrame) {
    const std::vector<uint8_t> golden{
        0x00, 0x00,                          // reserved
        0x21, 0x00, 0x00, 0x00,              // 32 + 1
        0xC0, 0xA8, 0x01, 0x0A, 0x01, 0x01,  // target NetId
        0x20, 0x03,                          // target port 800
        0x0A, 0x00, 0x00, 0x07, 0x01, 0x01,  // source NetId
        0x0B, 0x80,                          // source port 32779
        0x01, 0x50,                          // command id 0x5001
        0x00, 0x00,                          // state flags
        0x01, 0x00, 0x00, 0x00,              // data length
        0x00, 0x00, 0x00, 0x00,              // error code
        0x02, 0x00, 0x00, 0x00,              // invoke id
        0xCA,                                // data
    };
    const std::vector<uint8_t> payload{0xCA};
    EXPECT_EQ(BuildAmsRequest(kTarget, kSource, 0x5001, payload, 2), golden);
}

TEST(BuildAmsRequest, ImageRecordGivesThe2098ByteFrame) {
    std::vector<uint8_t> payload(2060);
    std::iota(payload.begin(), payload.end(), uint8_t{7});
    const std::vector<uint8_t> frame =
        BuildAmsRequest(kTarget, kSource, 0x5006, payload, 0xA1B2C3D4);
    ASSERT_EQ(frame.size(), 2098u);
    EXPECT_EQ(common::LoadLe32(frame, 2), 2092u);
    EXPECT_EQ(common::LoadLe16(frame, 22), 0x5006);
    EXPECT_EQ(common::LoadLe32(frame, 26), 2060u);
    EXPECT_EQ(common::LoadLe32(frame, 34), 0xA1B2C3D4u);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.begin() + 38));
}

TEST(ExchangeAmsFrame, SendsTheFrameInOnePieceAndAcceptsTheAnswer) {
    RawPeer peer;
    platform::TcpSocket client = peer.ConnectClient(kPatientTimeout);
    peer.Send(ReplyHeader(0x5001, 5, 0));

    const std::vector<uint8_t> payload{0xCE, 0x01, 0x00, 0x00};
    EXPECT_TRUE(ExchangeAmsFrame(client, kTarget, kSource, 0x5001, payload, 5));
    EXPECT_EQ(peer.ReadExactly(42), BuildAmsRequest(kTarget, kSource, 0x5001, payload, 5));
}

struct ReplyCase {
    const char* name;
    std::vector<uint8_t> reply;
    bool answers;
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class ExchangeReplies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ExchangeReplies, AreJudgedByCommandInvokeIdAndError) {
    RawPeer peer;
    platform::TcpSocket client = peer.ConnectClient(kPatientTimeout);
    peer.Send(GetParam().reply);
    const std::vector<uint8_t> payload{0x11};
    EXPECT_EQ(ExchangeAmsFrame(client, kTarget, kSource, 0x5001, payload, 3), GetParam().answers);
    EXPECT_TRUE(client.Valid());
}

std::vector<uint8_t> WithData(std::vector<uint8_t> reply, size_t n) {
    reply.resize(reply.size() + n, 0x5A);
    return reply;
}

std::vector<uint8_t> Truncated(std::vector<uint8_t> reply, size_t n) {
    reply.resize(n);
    return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExchangeReplies,
    ::testing::Values(ReplyCase{"Match", ReplyHeader(0x5001, 3, 0), true},
                      ReplyCase{"MatchWithData", WithData(ReplyHeader(0x5001, 3, 0), 200), true},
                      ReplyCase{"ErrorCode", ReplyHeader(0x5001, 3, 0x0701), false},
                      ReplyCase{"EarlierInvokeId", ReplyHeader(0x5001, 2, 0), false},
                      ReplyCase{"OtherCommand", ReplyHeader(0x5006, 3, 0), false},
                      ReplyCase{"ShorterThanHeaders", Truncated(ReplyHeader(0x5001, 3, 0), 37),
                                false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ExchangeAmsFrame, PeerClosingIsFalseAndTheSocketStaysOpen) {
    RawPeer peer;
    platform::TcpSocket client = peer.ConnectClient(kPatientTimeout);
    peer.CloseConnection();
    const std::vector<uint8_t> payload{0xD4};
    EXPECT_FALSE(ExchangeAmsFrame(client, kTarget, kSource, 0x5001, payload, 7));
    EXPECT_TRUE(client.Valid());
}

struct LateCase {
    const char* name;
    uint16_t lateCommand;
    uint32_t lateInvoke;
    uint16_t nextCommand;
    uint32_t nextInvoke;
    bool nextAnswered;
};

void PrintTo(const LateCase& c, std::ostream* os) {
    *os << c.name;
}

class LateReply : public ::testing::TestWithParam<LateCase> {};

// A reply that misses the time-out stays in the stream and is what the next exchange judges:
// for image records, which all carry invoke id 0, it even counts as the next record's answer.
TEST_P(LateReply, IsWhatTheNextExchangeReceivesFirst) {
    const LateCase& c = GetParam();
    RawPeer peer;
    platform::TcpSocket client = peer.ConnectClient(kShortTimeout);
    const std::vector<uint8_t> payload{0x0E};

    EXPECT_FALSE(ExchangeAmsFrame(client, kTarget, kSource, c.lateCommand, payload, c.lateInvoke));
    EXPECT_TRUE(client.Valid());
    EXPECT_EQ(peer.ReadExactly(39).size(), 39u);

    peer.Send(ReplyHeader(c.lateCommand, c.lateInvoke, 0));
    ASSERT_TRUE(client.SetReceiveTimeout(kPatientTimeout));
    EXPECT_EQ(ExchangeAmsFrame(client, kTarget, kSource, c.nextCommand, payload, c.nextInvoke),
              c.nextAnswered);
    EXPECT_EQ(peer.ReadExactly(39),
              BuildAmsRequest(kTarget, kSource, c.nextCommand, payload, c.nextInvoke));
}

INSTANTIATE_TEST_SUITE_P(Cases, LateReply,
                         ::testing::Values(LateCase{"CommandFrames", 0x5001, 4, 0x5001, 5, false},
                                           LateCase{"ImageRecords", 0x5006, 0, 0x5006, 0, true}),
                         [](const auto& param) { return std::string(param.param.name); });

// Only 1,024 bytes are taken per exchange; the rest of a long reply is not skipped, so the next
// exchange judges whatever header-like bytes stand at the front of it.
TEST(ExchangeAmsFrame, LeavesTheRestOfALongReplyForTheNextExchange) {
    RawPeer peer;
    platform::TcpSocket client = peer.ConnectClient(kPatientTimeout);
    std::vector<uint8_t> longReply = WithData(ReplyHeader(0x5001, 1, 0), 1024 - 38);
    const std::vector<uint8_t> tail = ReplyHeader(0x5001, 2, 0);
    longReply.insert(longReply.end(), tail.begin(), tail.end());
    peer.Send(longReply);

    const std::vector<uint8_t> payload{0x14, 0x00, 0x00};
    EXPECT_TRUE(ExchangeAmsFrame(client, kTarget, kSource, 0x5001, payload, 1));
    EXPECT_TRUE(ExchangeAmsFrame(client, kTarget, kSource, 0x5001, payload, 2));
}

}  // namespace
