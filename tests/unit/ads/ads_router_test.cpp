// The ADS client against a raw router that answers however the test says: stale, split,
// truncated, oversized, malformed or never.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <vector>

#include "common/little_endian.h"
#include "ads/ads_api.h"
#include "ads/ads_client_testing.h"
#include "tests/support/test_address.h"
#include "tests/unit/ads/scripted_router.h"

namespace {

using namespace std::chrono_literals;
using corvane::test::ReadReplyData;
using corvane::test::ReceivedFrame;
using corvane::test::ReplyTo;
using corvane::test::RouterConnection;
using corvane::test::ScriptedRouter;
using corvane::test::TestOctets;

constexpr uint32_t kFlags = 0x4020;
const std::vector<uint8_t> kPayload{0xDE, 0xAD, 0xBE, 0xEF};

class AdsRouterTest : public ::testing::Test {
protected:
    void SetUp() override {
        AdsClientResetForTests();
        port_ = AdsPortOpen();
        ASSERT_EQ(AdsSyncSetTimeoutEx(port_, 5000), 0);
    }
    // Drops the client's connections first, so scripts waiting for the client to close end.
    void TearDown() override {
        AdsClientResetForTests();
        router_.reset();
    }

    void StartRouter(ScriptedRouter::Script script) {
        router_ = std::make_unique<ScriptedRouter>(TestOctets(), std::move(script));
        ASSERT_TRUE(router_->Listening());
    }

    int32_t Read4(std::array<uint8_t, 4>& out) {
        return AdsSyncReadReq(&plc_, kFlags, 132, 4, out.data());
    }

    int32_t port_ = 0;
    AmsAddr plc_{ams::NetIdFromIpv4(TestOctets()), 800};
    std::unique_ptr<ScriptedRouter> router_;
};

TEST_F(AdsRouterTest, ReadRequestIsAnAdsCommandFromTheOpenPort) {
    std::optional<ReceivedFrame> seen;
    StartRouter([&](RouterConnection& c, int) {
        seen = c.NextFrame();
        if (seen) {
            c.Send(ReplyTo(seen->header, ReadReplyData(0, 4, kPayload)));
        }
        c.WaitForClientClose();
    });
    std::array<uint8_t, 4> out{};
    ASSERT_EQ(Read4(out), 0);
    AmsAddr local{};
    ASSERT_EQ(AdsGetLocalAddress(&local), 0);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), kPayload);
    AdsClientResetForTests();
    router_.reset();  // joins the script: `seen` is settled
    ASSERT_TRUE(seen.has_value());
    // Golden bytes from byte 22 on: command 2, flags 0x0004, 12 data bytes, no error, then
    // index group 0x4020, offset 132, length 4.
    const std::vector<uint8_t> tail(seen->bytes.begin() + 22, seen->bytes.begin() + 34);
    EXPECT_EQ(tail, (std::vector<uint8_t>{0x02, 0x00, 0x04, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x00,
                                          0x00, 0x00, 0x00}));
    EXPECT_EQ(std::vector<uint8_t>(seen->bytes.begin() + 38, seen->bytes.end()),
              (std::vector<uint8_t>{0x20, 0x40, 0, 0, 0x84, 0, 0, 0, 0x04, 0, 0, 0}));
    EXPECT_EQ(seen->header.target, plc_);
    EXPECT_EQ(seen->header.source, local);
    EXPECT_NE(seen->header.invokeId, 0u);
}

TEST_F(AdsRouterTest, RepliesToOtherRequestsAreSkipped) {
    StartRouter([&](RouterConnection& c, int) {
        if (auto f = c.NextFrame()) {
            ams::AmsHeader stale = f->header;
            stale.invokeId += 1000;
            c.Send(ReplyTo(stale, ReadReplyData(0, 4, std::vector<uint8_t>{1, 1, 1, 1})));
            ams::AmsHeader otherCommand = f->header;
            otherCommand.commandId = 3;
            c.Send(ReplyTo(otherCommand, ReadReplyData(0, 4, std::vector<uint8_t>{2, 2, 2, 2})));
            // A request from the router with the same ids is not a response either.
            c.Send(
                ReplyTo(f->header, ReadReplyData(0, 4, std::vector<uint8_t>{3, 3, 3, 3}), 0x0004));
            // Any flags with the response bit set will do.
            c.Send(ReplyTo(f->header, ReadReplyData(0, 4, kPayload), 0x0001));
        }
        c.WaitForClientClose();
    });
    std::array<uint8_t, 4> out{};
    ASSERT_EQ(Read4(out), 0);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), kPayload);
}

TEST_F(AdsRouterTest, ReplySplitIntoSingleBytesIsReassembled) {
    StartRouter([&](RouterConnection& c, int) {
        if (auto f = c.NextFrame()) {
            c.SendByteByByte(ReplyTo(f->header, ReadReplyData(0, 4, kPayload)));
        }
        c.WaitForClientClose();
    });
    std::array<uint8_t, 4> out{};
    ASSERT_EQ(Read4(out), 0);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), kPayload);
}

TEST_F(AdsRouterTest, ReplyThatNeverComesTimesOutAndKeepsTheConnection) {
    StartRouter([&](RouterConnection& c, int) {
        auto first = c.NextFrame();
        // The second request is answered: the connection survived the first time-out.
        if (auto second = c.NextFrame(10s)) {
            c.Send(ReplyTo(second->header, ReadReplyData(0, 4, kPayload)));
        }
        c.WaitForClientClose();
    });
    ASSERT_EQ(AdsSyncSetTimeoutEx(port_, 200), 0);
    std::array<uint8_t, 4> out{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Read4(out), ADSERR_CLIENT_SYNCTIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    ASSERT_EQ(AdsSyncSetTimeoutEx(port_, 5000), 0);
    EXPECT_EQ(Read4(out), 0);
    EXPECT_EQ(router_->Connections(), 1);
}

TEST_F(AdsRouterTest, RouterFloodingOtherRepliesCannotHoldACall) {
    StartRouter([&](RouterConnection& c, int) {
        auto f = c.NextFrame();
        if (!f) {
            return;
        }
        ams::AmsHeader other = f->header;
        other.invokeId += 1000;
        const auto stale = ReplyTo(other, ReadReplyData(0, 4, kPayload));
        while (c.Send(stale)) {
        }
    });
    ASSERT_EQ(AdsSyncSetTimeoutEx(port_, 200), 0);
    std::array<uint8_t, 4> out{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Read4(out), ADSERR_CLIENT_SYNCTIMEOUT);
    // The next call meets the flood before it sends anything; it is bounded all the same.
    EXPECT_EQ(Read4(out), ADSERR_CLIENT_SYNCTIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// Ways a router can break off a reply; each is a time-out for this call and a new
// connection for the next.
struct BrokenReply {
    const char* name;
    std::function<std::vector<uint8_t>(const ams::AmsHeader&)> bytes;
    int32_t expected;
};

void PrintTo(const BrokenReply& c, std::ostream* os) {
    *os << c.name;
}

class AdsBrokenReplyTest : public AdsRouterTest,
                           public ::testing::WithParamInterface<BrokenReply> {};

TEST_P(AdsBrokenReplyTest, FailsThisCallAndReconnectsForTheNext) {
    StartRouter([&](RouterConnection& c, int index) {
        auto f = c.NextFrame();
        if (!f) {
            return;
        }
        if (index == 0) {
            c.Send(GetParam().bytes(f->header));
            c.Close();
            return;
        }
        c.Send(ReplyTo(f->header, ReadReplyData(0, 4, kPayload)));
        c.WaitForClientClose();
    });
    std::array<uint8_t, 4> out{0x77, 0x77, 0x77, 0x77};
    EXPECT_EQ(Read4(out), GetParam().expected);
    EXPECT_EQ(out, (std::array<uint8_t, 4>{0x77, 0x77, 0x77, 0x77}));
    ASSERT_EQ(Read4(out), 0);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), kPayload);
    EXPECT_EQ(router_->Connections(), 2);
}

std::vector<uint8_t> Truncated(const ams::AmsHeader& h) {
    auto reply = ReplyTo(h, ReadReplyData(0, 4, kPayload));
    reply.resize(20);
    return reply;
}

std::vector<uint8_t> LongerThanItsData(const ams::AmsHeader& h) {
    auto reply = ReplyTo(h, ReadReplyData(0, 4, kPayload));
    common::StoreLe32(reply, 2, 32 + 12 + 100);  // claims 100 bytes that never come
    common::StoreLe32(reply, 26, 12 + 100);
    return reply;
}

std::vector<uint8_t> Oversized(const ams::AmsHeader& h) {
    auto reply = ReplyTo(h, ReadReplyData(0, 4, kPayload));
    common::StoreLe32(reply, 2, 0x7FFFFFF0);
    return reply;
}

std::vector<uint8_t> ShorterThanAHeader(const ams::AmsHeader& h) {
    auto reply = ReplyTo(h, ReadReplyData(0, 4, kPayload));
    common::StoreLe32(reply, 2, 8);
    return reply;
}

std::vector<uint8_t> Garbage(const ams::AmsHeader&) {
    return std::vector<uint8_t>(64, 0xA5);
}

std::vector<uint8_t> DataLengthDisagrees(const ams::AmsHeader& h) {
    auto reply = ReplyTo(h, ReadReplyData(0, 4, kPayload));
    common::StoreLe32(reply, 26, 4);  // AMS/TCP length says 12 data bytes, the AMS header 4
    return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, AdsBrokenReplyTest,
    ::testing::Values(
        BrokenReply{"TruncatedThenClosed", Truncated, ADSERR_CLIENT_SYNCTIMEOUT},
        BrokenReply{"LengthLargerThanData", LongerThanItsData, ADSERR_CLIENT_SYNCTIMEOUT},
        BrokenReply{"ClosedWithoutReply",
                    [](const ams::AmsHeader&) { return std::vector<uint8_t>{}; },
                    ADSERR_CLIENT_SYNCTIMEOUT},
        BrokenReply{"OversizedLength", Oversized, ADSERR_CLIENT_INVALIDRESPONSE},
        BrokenReply{"LengthBelowHeader", ShorterThanAHeader, ADSERR_CLIENT_INVALIDRESPONSE},
        BrokenReply{"Garbage", Garbage, ADSERR_CLIENT_INVALIDRESPONSE},
        BrokenReply{"DataLengthDisagrees", DataLengthDisagrees, ADSERR_CLIENT_INVALIDRESPONSE}),
    [](const auto& p) { return p.param.name; });

// Read replies that arrive whole but do not hold what was asked for.
struct BadReadReply {
    const char* name;
    std::vector<uint8_t> data;
    int32_t expected;
};

void PrintTo(const BadReadReply& c, std::ostream* os) {
    *os << c.name;
}

class AdsBadReadReplyTest : public AdsRouterTest,
                            public ::testing::WithParamInterface<BadReadReply> {};

TEST_P(AdsBadReadReplyTest, IsRefusedAndLeavesTheBuffer) {
    StartRouter([&](RouterConnection& c, int) {
        while (auto f = c.NextFrame()) {
            c.Send(ReplyTo(f->header, GetParam().data));
        }
    });
    std::array<uint8_t, 4> out{0x77, 0x77, 0x77, 0x77};
    EXPECT_EQ(Read4(out), GetParam().expected);
    EXPECT_EQ(out, (std::array<uint8_t, 4>{0x77, 0x77, 0x77, 0x77}));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, AdsBadReadReplyTest,
    ::testing::Values(
        BadReadReply{"MoreThanRequested", ReadReplyData(0, 5, std::vector<uint8_t>(5, 1)),
                     ADSERR_CLIENT_INVALIDRESPONSE},
        BadReadReply{"LessThanRequested", ReadReplyData(0, 2, std::vector<uint8_t>(2, 1)),
                     ADSERR_CLIENT_INVALIDRESPONSE},
        BadReadReply{"LengthPastTheFrame", ReadReplyData(0, 4, std::vector<uint8_t>(2, 1)),
                     ADSERR_CLIENT_INVALIDRESPONSE},
        BadReadReply{"NoLengthField", std::vector<uint8_t>{0, 0, 0, 0},
                     ADSERR_CLIENT_INVALIDRESPONSE},
        BadReadReply{"Empty", std::vector<uint8_t>{}, ADSERR_CLIENT_INVALIDRESPONSE},
        BadReadReply{"ResultAlone", std::vector<uint8_t>{0x05, 0x07, 0, 0},
                     ADSERR_DEVICE_INVALIDSIZE}),
    [](const auto& p) { return p.param.name; });

TEST_F(AdsRouterTest, AmsErrorOfTheReplyIsTheResult) {
    StartRouter([&](RouterConnection& c, int) {
        while (auto f = c.NextFrame()) {
            c.Send(ReplyTo(f->header, {}, 0x0005, ADSERR_TARGET_PORT_NOT_FOUND));
        }
    });
    std::array<uint8_t, 4> out{};
    EXPECT_EQ(Read4(out), ADSERR_TARGET_PORT_NOT_FOUND);
    EXPECT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_STOP, 0, 0, nullptr),
              ADSERR_TARGET_PORT_NOT_FOUND);
}

TEST_F(AdsRouterTest, WriteAndControlRequestsCarryTheirData) {
    std::vector<ReceivedFrame> frames;
    StartRouter([&](RouterConnection& c, int) {
        while (auto f = c.NextFrame()) {
            frames.push_back(*f);
            c.Send(ReplyTo(f->header, std::vector<uint8_t>{0, 0, 0, 0}));
        }
    });
    const std::array<uint8_t, 3> bytes{0x0A, 0x0B, 0x0C};
    ASSERT_EQ(AdsSyncWriteReq(&plc_, kFlags, 100, 3, bytes.data()), 0);
    ASSERT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_STOP, 0, 0, nullptr), 0);
    AdsClientResetForTests();
    router_.reset();  // joins the script: `frames` is complete
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].header.commandId, 3);
    EXPECT_EQ(frames[0].data,
              (std::vector<uint8_t>{0x20, 0x40, 0, 0, 100, 0, 0, 0, 3, 0, 0, 0, 0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(frames[1].header.commandId, 5);
    EXPECT_EQ(frames[1].data, (std::vector<uint8_t>{6, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_NE(frames[0].header.invokeId, frames[1].header.invokeId);
}

TEST_F(AdsRouterTest, ShortResultReplyIsInvalid) {
    StartRouter([&](RouterConnection& c, int) {
        while (auto f = c.NextFrame()) {
            c.Send(ReplyTo(f->header, std::vector<uint8_t>{0, 0}));
        }
    });
    EXPECT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_RUN, 0, 0, nullptr),
              ADSERR_CLIENT_INVALIDRESPONSE);
}

}  // namespace
