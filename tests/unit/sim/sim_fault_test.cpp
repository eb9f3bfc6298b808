// Network faults of the simulated controller, and hostile clients that must never bring it down.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <iterator>
#include <tuple>

#include "tests/support/ams_test_socket.h"
#include "tests/unit/sim/raw_client.h"
#include "tests/unit/sim/sim_fixture.h"

namespace {

using namespace std::chrono_literals;
using corvane::test::RawClient;
using corvane::test::RouterAccepts;
using corvane::test::SimTest;
using corvane::test::TestOctets;
using Bytes = std::vector<uint8_t>;

class SimFaultTest : public SimTest {
protected:
    int32_t ReadSome() {
        uint8_t buffer[8] = {};
        return AdsSyncReadReq(&plc_, 0x4020, 0, 8, buffer);
    }
};

TEST_F(SimFaultTest, RefuseConnectClosesThePortUntilLifted) {
    options_.faults.refuseConnect = true;
    auto& simulator = Start();
    ASSERT_TRUE(simulator.WaitFor([](const sim::Stats& s) { return !s.listening; }, 5s));
    EXPECT_FALSE(RouterAccepts(TestOctets()));
    EXPECT_EQ(ReadSome(), ADSERR_TARGET_MACHINE_NOT_FOUND);
    simulator.SetFaults({});
    ASSERT_TRUE(simulator.WaitFor([](const sim::Stats& s) { return s.listening; }, 5s));
    EXPECT_EQ(ReadSome(), 0);
}

TEST_F(SimFaultTest, DropAfterClosesEveryConnectionAfterThatManyRequests) {
    options_.faults.dropAfter = 2;
    auto& simulator = Start();
    RawClient client(TestOctets());
    ASSERT_TRUE(client.Connected());
    const Bytes read{0x20, 0x40, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0};
    ASSERT_TRUE(client.SendFrame(2, 1, read, 0x0004));
    ASSERT_TRUE(client.SendFrame(2, 2, read, 0x0004));
    ASSERT_TRUE(client.SendFrame(2, 3, read, 0x0004));
    EXPECT_TRUE(client.NextReply());
    EXPECT_TRUE(client.NextReply());
    EXPECT_FALSE(client.NextReply()) << "the third request is never answered";
    EXPECT_TRUE(
        simulator.WaitFor([](const sim::Stats& s) { return s.connectionsClosed == 1; }, 5s));
}

TEST_F(SimFaultTest, DelayHoldsEveryReply) {
    options_.faults.delayMs = 30000;
    auto& simulator = Start();
    AdsSyncSetTimeoutEx(AdsPortOpen(), 100);
    EXPECT_EQ(ReadSome(), ADSERR_CLIENT_SYNCTIMEOUT);
    EXPECT_EQ(simulator.stats().adsRequests.at(2), 1u) << "the request arrived";
    // Stopping the controller is not held up by a delayed reply (the test would hang).
    simulator.Stop();
}

TEST_F(SimFaultTest, DropAfterReadsClosesAtTheFirstNewReadPastTheCount) {
    options_.faults.dropAfterReads = 2;
    auto& simulator = Start();
    EXPECT_EQ(Code(Exchange(Command(8, 1, 4))), 8);
    EXPECT_EQ(Code(Exchange(Command(8, 2, 11))), 8);
    EXPECT_EQ(WriteCommand(Command(8, 2, 11)), 0) << "the same read again is no new read";
    EXPECT_NE(WriteCommand(Command(8, 3, 4)), 0) << "unanswered, its connection closed";
    EXPECT_EQ(simulator.stats().mailboxReceived.at(8), 2u);
    simulator.SetFaults({});
    EXPECT_EQ(Code(Exchange(Command(8, 3, 4))), 8);
}

// The event a cut names is not served and every connection drops; then it is served again
// (one-shot), and after restart-at only once the controller is back with what it had.
TEST_F(SimFaultTest, CutAndRestartAtAnEventDropEveryConnectionOnce) {
    auto& simulator = Start();
    const int32_t kept = simulator.IntParameter(11);
    uint32_t sequence = 0;
    for (const auto& [faults, reboots] :
         {std::pair{sim::Faults{.cutAt = 2}, 0u}, std::pair{sim::Faults{.restartAt = 2}, 1u}}) {
        simulator.SetFaults(faults);
        RawClient watcher(TestOctets());
        EXPECT_EQ(Code(Exchange(Command(8, ++sequence, 4))), 8);
        const uint64_t received = simulator.stats().mailboxReceived.at(8);
        EXPECT_NE(WriteCommand(Command(8, ++sequence, 4)), 0) << "the second event";
        EXPECT_TRUE(watcher.WaitForClose()) << "every connection is dropped";
        EXPECT_EQ(simulator.stats().mailboxReceived.at(8), received);
        ASSERT_TRUE(simulator.WaitFor(
            [&](const sim::Stats& s) { return s.rebootsCompleted == reboots && s.listening; }, 5s));
        EXPECT_EQ(Code(Exchange(Command(8, sequence, 4))), 8) << "sent again, it is served";
    }
    EXPECT_EQ(simulator.stats().events, 4u) << "a command sent again is no new event";
    EXPECT_EQ(simulator.PlcState(), 5);
    EXPECT_EQ(simulator.IntParameter(11), kept);
}

// From the event it names nothing is answered, on any connection, a new one too, and a STOP
// sent meanwhile has no effect; once its time has passed, frames are served again.
TEST_F(SimFaultTest, OutageLeavesEveryFrameUnansweredUntilItsTimeHasPassed) {
    options_.faults.outageAt = 2;
    options_.faults.outageMs = 600000;
    RecordEvents();
    auto& simulator = Start();
    AdsSyncSetTimeoutEx(AdsPortOpen(), 100);
    EXPECT_EQ(Code(Exchange(Command(8, 1, 4))), 8);
    EXPECT_EQ(WriteCommand(Command(8, 2, 4)), ADSERR_CLIENT_SYNCTIMEOUT);
    EXPECT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_STOP, 0, 0, nullptr),
              ADSERR_CLIENT_SYNCTIMEOUT);
    RawClient late(TestOctets());
    const Bytes status{0x20, 0x40, 0, 0, 0xA4, 0, 0, 0, 4, 0, 0, 0};
    ASSERT_TRUE(late.SendFrame(2, 1, status, 0x0004));
    EXPECT_FALSE(late.NextReply(100ms));
    EXPECT_EQ(simulator.PlcState(), 5) << "the STOP never reached the PLC";
    EXPECT_EQ(simulator.stats().mailboxReceived.at(8), 1u);
    simulator.SetFaults({.outageMs = 50});  // measured as the fault stands: over
    ASSERT_TRUE(late.SendFrame(2, 2, status, 0x0004));
    const auto reply = late.NextReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->header.invokeId, 2u);
    EXPECT_TRUE(HasEvent("event 2: nothing answered on any connection for 600000 ms"));
    EXPECT_TRUE(HasEvent("outage over: frames are served again"));
}

// STOP requests and parameter writes count by the state word they arrive at: write 1 arrives
// busy and is answered only once the word reads 0.
TEST_F(SimFaultTest, StopsAndWritesCountByTheStateWordTheyArriveAt) {
    options_.faults.busy = true;
    options_.faults.mailboxSilent = true;
    auto& simulator = Start();
    const auto control = [&](uint16_t state) {
        return AdsSyncWriteControlReq(&plc_, state, 0, 0, nullptr);
    };
    EXPECT_EQ(WriteCommand(Command(7, 1, 3)), 0);
    EXPECT_EQ(control(ADSSTATE_STOP), 0);
    simulator.SetFaults({});
    simulator.SetStateWord(0);
    EXPECT_EQ(control(ADSSTATE_RUN), 0);
    EXPECT_EQ(Sequence(Exchange(Command(7, 2, 3))), 2u);
    EXPECT_EQ(control(ADSSTATE_STOP), 0);
    const sim::Stats s = simulator.stats();
    EXPECT_EQ(s.mailboxAnswered.at(7), 2u);
    EXPECT_EQ((std::array{s.stopsWhileBusy, s.stopsWhileNotReady, s.writesWhileBusy,
                          s.writesWhileNotReady}),
              (std::array<uint64_t, 4>{1, 1, 1, 1}));
}

// A parameter write is taken but answered only once its delay has passed since the program saw
// it; a read is answered at once.
TEST_F(SimFaultTest, WriteDelayHoldsTheAnswerToAParameterWrite) {
    options_.faults.writeDelayMs = 600000;
    auto& simulator = Start();
    EXPECT_EQ(Sequence(Exchange(Command(8, 1, 3))), 1u);
    EXPECT_EQ(Sequence(Exchange(Command(7, 2, 3, std::bit_cast<uint32_t>(77.5f)))), 1u);
    EXPECT_EQ(simulator.stats().mailboxReceived.at(7), 1u);
    simulator.SetFaults({.writeDelayMs = 50});
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (Sequence(ReadResponse()) != 2u && std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_EQ(Sequence(ReadResponse()), 2u);
    EXPECT_EQ(simulator.FloatParameter(3), 77.5f);
}

// Ready and busy in turn; lifted, it reads ready at once, in what would be a busy period.
TEST_F(SimFaultTest, StateFlapAlternatesReadyAndBusyUntilLifted) {
    options_.faults.stateFlapMs = 100;
    auto& simulator = Start();
    const auto readUntil = [&](int16_t word) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        int16_t read = ReadStatus().stateWord;
        while (read != word && std::chrono::steady_clock::now() < deadline) {
            read = ReadStatus().stateWord;
        }
        return read;
    };
    for (const int16_t word : {1, 2, 1, 2}) {
        EXPECT_EQ(readUntil(word), word);
    }
    simulator.SetFaults({});
    EXPECT_EQ(ReadStatus().stateWord, 1);
}

// Streams no controller should ever see. After each the connection is dropped or left, and
// the controller keeps serving others.
enum class Reaction { kDrops, kWaits, kAnswers };

struct Hostile {
    const char* name;
    std::function<Bytes()> bytes;
    Reaction reaction;
};

void PrintTo(const Hostile& h, std::ostream* os) {
    *os << h.name;
}

Bytes FrameWithLength(uint32_t amsLength) {
    Bytes b(6, 0);
    common::StoreLe32(b, 2, amsLength);
    return b;
}

Bytes Request(uint16_t commandId, Bytes data, uint16_t flags = 0x0004) {
    ams::AmsHeader h;
    h.target = AmsAddr{AmsNetId{{127, 0, 0, 1, 1, 1}}, 800};
    h.commandId = commandId;
    h.stateFlags = flags;
    return ams::EncodeFrame(h, data);
}

class SimHostileTest : public SimTest, public ::testing::WithParamInterface<Hostile> {};

TEST_P(SimHostileTest, NeverBringsTheControllerDown) {
    auto& simulator = Start();
    {
        RawClient client(TestOctets());
        ASSERT_TRUE(client.Connected());
        ASSERT_TRUE(client.SendBytes(GetParam().bytes()));
        switch (GetParam().reaction) {
            case Reaction::kDrops:
                EXPECT_TRUE(client.WaitForClose());
                break;
            case Reaction::kWaits:
                EXPECT_FALSE(client.NextReply(100ms));
                break;
            case Reaction::kAnswers: {
                const auto reply = client.NextReply();
                ASSERT_TRUE(reply);
                EXPECT_EQ(common::LoadLe32(reply->data, 0), 0x706u) << "invalid data";
                break;
            }
        }
    }  // and an abrupt close in every case
    ASSERT_TRUE(
        simulator.WaitFor([](const sim::Stats& s) { return s.connectionsClosed == 1; }, 5s));
    const std::array<uint8_t, 4> value{4, 3, 2, 1};
    ASSERT_EQ(AdsSyncWriteReq(&plc_, 0x4020, 0, 4, value.data()), 0);
    std::array<uint8_t, 4> read{};
    ASSERT_EQ(AdsSyncReadReq(&plc_, 0x4020, 0, 4, read.data()), 0);
    EXPECT_EQ(read, value);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, SimHostileTest,
    ::testing::Values(
        Hostile{"Garbage", [] { return Bytes(200, 0xA5); }, Reaction::kDrops},
        Hostile{"OversizedLength", [] { return FrameWithLength(0xFFFFFF00); }, Reaction::kDrops},
        Hostile{"LengthJustAboveTheLimit", [] { return FrameWithLength(64 * 1024 + 1); },
                Reaction::kDrops},
        Hostile{"LengthBelowAHeader", [] { return FrameWithLength(4); }, Reaction::kDrops},
        Hostile{"HalfAFrame",
                [] {
                    Bytes b = Request(2, Bytes(12, 0));
                    b.resize(b.size() / 2);
                    return b;
                },
                Reaction::kWaits},
        Hostile{"HeaderPromisingMore", [] { return FrameWithLength(60000); }, Reaction::kWaits},
        Hostile{"DataLengthDisagrees",
                [] {
                    Bytes b = Request(2, Bytes(12, 0));
                    common::StoreLe32(b, 26, 400);
                    return b;
                },
                Reaction::kDrops},
        Hostile{"ShortReadRequest",
                [] {
                    return Request(2, Bytes{0x20, 0x40});
                },
                Reaction::kAnswers},
        Hostile{"WriteLengthBeyondItsData",
                [] {
                    return Request(3, Bytes{0x20, 0x40, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 1});
                },
                Reaction::kAnswers},
        Hostile{"AResponseFromTheHost", [] { return Request(2, Bytes(12, 0), 0x0005); },
                Reaction::kWaits}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(SimFaultTest, FramesSplitAndJoinedOnTheWireAreEachAnswered) {
    Start();
    RawClient client(TestOctets());
    ASSERT_TRUE(client.Connected());
    const Bytes read{0x20, 0x40, 0, 0, 0xA4, 0, 0, 0, 4, 0, 0, 0};
    // Two requests in one send, then one a byte at a time.
    Bytes joined = Request(2, read);
    joined[34] = 1;  // invoke ids 1 and 2
    Bytes second = Request(2, read);
    second[34] = 2;
    joined.insert(joined.end(), second.begin(), second.end());
    ASSERT_TRUE(client.SendBytes(joined));
    Bytes third = Request(2, read);
    third[34] = 3;
    ASSERT_TRUE(client.SendByteByByte(third));
    for (uint32_t invoke = 1; invoke <= 3; ++invoke) {
        const auto reply = client.NextReply();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->header.invokeId, invoke);
        EXPECT_EQ(reply->data, (Bytes{0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0})) << "state word 1";
    }
}

TEST_F(SimFaultTest, MalformedRequestsAreAnsweredWithInvalidData) {
    Start();
    RawClient client(TestOctets());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.SendFrame(2, 1, Bytes{0x20, 0x40}, 0x0004));
    auto reply = client.NextReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, (Bytes{0x06, 0x07, 0, 0, 0, 0, 0, 0})) << "result and length 0";
    ASSERT_TRUE(client.SendFrame(5, 2, Bytes{9, 0, 0, 0, 0, 0, 0, 0}, 0x0004));
    reply = client.NextReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, (Bytes{0x01, 0x07, 0, 0})) << "an ADS state it does not serve";
}

// A router with one route serves only frames from that NetId on a connection from its address;
// everything else is dropped unanswered, as a router without a route for it drops it.
TEST_F(SimFaultTest, RouteServesOnlyItsNetIdFromItsAddress) {
    auto& simulator = Start();
    const AmsNetId here = ams::NetIdFromIpv4(corvane::test::AddressFacing(TestOctets()).value());
    const AmsNetId elsewhere{{10, 99, 0, 5, 1, 1}};
    // route, source NetId, answered
    for (const auto& [route, source, answered] :
         {std::tuple{here, here, true}, std::tuple{here, elsewhere, false},
          std::tuple{elsewhere, elsewhere, false}}) {
        simulator.SetFaults(sim::Faults{.route = route});
        RawClient client(TestOctets());
        Bytes frame = Request(2, Bytes{0x20, 0x40, 0, 0, 0xA4, 0, 0, 0, 4, 0, 0, 0});
        std::copy(std::begin(source.b), std::end(source.b), frame.begin() + 14);
        ASSERT_TRUE(client.SendBytes(frame));
        EXPECT_EQ(client.NextReply(answered ? 5000ms : 300ms).has_value(), answered);
    }
    EXPECT_TRUE(
        simulator.WaitFor([](const sim::Stats& st) { return st.framesWithoutRoute == 2; }, 5s));
}

}  // namespace
