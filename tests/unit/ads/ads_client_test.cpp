// The ADS client against the simulated controller over loopback TCP.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ads/ads_api.h"
#include "ads/ads_client_testing.h"
#include "platform/tcp_socket.h"
#include "sim/controller.h"
#include "tests/support/ams_test_socket.h"
#include "tests/support/test_address.h"

namespace {

using namespace std::chrono_literals;
using corvane::test::TestOctets;

constexpr uint32_t kFlags = 0x4020;

AmsAddr PlcAddress(const std::array<uint8_t, 4>& ip, uint16_t port = 800) {
    return AmsAddr{ams::NetIdFromIpv4(ip), port};
}

class AdsClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        AdsClientResetForTests();
        options_.listen = TestOctets();
        options_.expectedImage = {1, 2, 3};
    }
    void TearDown() override { AdsClientResetForTests(); }

    sim::Controller& StartSimulator() {
        simulator_ = std::make_unique<sim::Controller>(options_);
        EXPECT_TRUE(simulator_->Start()) << simulator_->LastError();
        return *simulator_;
    }

    sim::Options options_;
    std::unique_ptr<sim::Controller> simulator_;
    AmsAddr plc_ = PlcAddress(TestOctets());
};

TEST_F(AdsClientTest, PortOpensFrom0x8000AndEveryCallNeedsIt) {
    uint8_t buffer[4] = {};
    AmsAddr local{};
    EXPECT_EQ(AdsPortClose(), ADSERR_CLIENT_PORTNOTOPEN);
    EXPECT_EQ(AdsGetLocalAddress(&local), ADSERR_CLIENT_PORTNOTOPEN);
    EXPECT_EQ(AdsSyncReadReq(&plc_, kFlags, 0, 4, buffer), ADSERR_CLIENT_PORTNOTOPEN);
    EXPECT_EQ(AdsSyncWriteReq(&plc_, kFlags, 0, 4, buffer), ADSERR_CLIENT_PORTNOTOPEN);
    EXPECT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_RUN, 0, 0, nullptr),
              ADSERR_CLIENT_PORTNOTOPEN);

    const int32_t port = AdsPortOpen();
    EXPECT_GE(port, 0x8000);
    EXPECT_LE(port, 0xFFFF);
    EXPECT_EQ(AdsPortOpen(), port) << "the default port is one per process";
    EXPECT_EQ(AdsPortClose(), 0);
    EXPECT_EQ(AdsPortClose(), ADSERR_CLIENT_PORTNOTOPEN);
    const int32_t again = AdsPortOpen();
    EXPECT_GE(again, 0x8000);
    EXPECT_NE(again, port) << "a fresh port gets a fresh number";
    EXPECT_EQ(AdsPortClose(), 0);
}

// Until the port has reached a controller the host name's first address stands in; from then
// on its requests come from the address the connection leaves from, whatever the name says.
TEST_F(AdsClientTest, LocalAddressIsTheConnectionsOwnOnceThePortHasReachedTheController) {
    const platform::Ipv4 foreign{10, 99, 0, 5};
    AdsClientSetHostLookupForTests({[] { return std::optional<std::string>("service-pc"); },
                                    [&](const std::string&) { return std::optional(foreign); }});
    StartSimulator();
    const int32_t port = AdsPortOpen();
    AmsAddr local{};
    ASSERT_EQ(AdsGetLocalAddress(&local), 0);
    EXPECT_EQ(local.netId, ams::NetIdFromIpv4(foreign));
    EXPECT_EQ(local.port, port);
    EXPECT_EQ(AdsGetLocalAddress(nullptr), ADSERR_CLIENT_INVALIDPARM);

    ASSERT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_RUN, 0, 0, nullptr), 0);
    ASSERT_EQ(AdsGetLocalAddress(&local), 0);
    const auto facing = corvane::test::AddressFacing(TestOctets());
    ASSERT_TRUE(facing);
    EXPECT_EQ(local.netId, ams::NetIdFromIpv4(*facing));
}

// Every port has its own number and time-out; ports talking to one controller share its
// connection, and closing one port ends neither another port's call nor its connection.
TEST_F(AdsClientTest, PortsAreIndependentButShareTheControllersConnection) {
    options_.faults.delayMs = 300;
    auto& simulator = StartSimulator();
    const int32_t quick = AdsPortOpenEx();
    const int32_t patient = AdsPortOpenEx();
    ASSERT_EQ(AdsSyncSetTimeoutEx(quick, 100), 0);
    std::atomic<int32_t> patientResult{-1};
    std::thread call(
        [&] { patientResult = AdsSyncWriteControlReqEx(patient, &plc_, 6, 0, 0, nullptr); });
    EXPECT_EQ(AdsSyncWriteControlReqEx(quick, &plc_, 5, 0, 0, nullptr), ADSERR_CLIENT_SYNCTIMEOUT);
    EXPECT_EQ(AdsPortCloseEx(quick), 0);
    call.join();
    EXPECT_EQ(patientResult.load(), 0);
    EXPECT_EQ(AdsSyncWriteControlReqEx(quick, &plc_, 5, 0, 0, nullptr), ADSERR_CLIENT_PORTNOTOPEN);
    EXPECT_EQ(simulator.stats().connectionsAccepted, 1u);
    EXPECT_NE(AdsPortOpenEx(), quick) << "a closed number is not handed out again at once";
}

TEST_F(AdsClientTest, TimeoutSettingNeedsTheOpenPortAndAPositiveValue) {
    EXPECT_EQ(AdsSyncSetTimeoutEx(0x8000, 2000), ADSERR_CLIENT_INVALIDPARM) << "no port open";
    const int32_t port = AdsPortOpen();
    EXPECT_EQ(AdsSyncSetTimeoutEx(port, 2000), 0);
    EXPECT_EQ(AdsSyncSetTimeoutEx(port + 1, 2000), ADSERR_CLIENT_INVALIDPARM);
    EXPECT_EQ(AdsSyncSetTimeoutEx(port, 0), ADSERR_CLIENT_INVALIDPARM);
    EXPECT_EQ(AdsSyncSetTimeoutEx(port, -5), ADSERR_CLIENT_INVALIDPARM);
}

TEST_F(AdsClientTest, NullPointersAreInvalidParameters) {
    StartSimulator();
    AdsPortOpen();
    uint8_t buffer[4] = {};
    EXPECT_EQ(AdsSyncReadReq(nullptr, kFlags, 0, 4, buffer), ADSERR_CLIENT_INVALIDPARM);
    EXPECT_EQ(AdsSyncReadReq(&plc_, kFlags, 0, 4, nullptr), ADSERR_CLIENT_INVALIDPARM);
    EXPECT_EQ(AdsSyncWriteReq(nullptr, kFlags, 0, 4, buffer), ADSERR_CLIENT_INVALIDPARM);
    EXPECT_EQ(AdsSyncWriteReq(&plc_, kFlags, 0, 4, nullptr), ADSERR_CLIENT_INVALIDPARM);
    EXPECT_EQ(AdsSyncWriteControlReq(nullptr, ADSSTATE_RUN, 0, 0, nullptr),
              ADSERR_CLIENT_INVALIDPARM);
    EXPECT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_RUN, 0, 4, nullptr),
              ADSERR_CLIENT_INVALIDPARM);
    EXPECT_EQ(simulator_->stats().connectionsAccepted, 0u) << "nothing was sent";
}

TEST_F(AdsClientTest, WrittenMemoryReadsBack) {
    StartSimulator();
    AdsPortOpen();
    std::array<uint8_t, 32> written{};
    for (size_t i = 0; i < written.size(); ++i) {
        written[i] = static_cast<uint8_t>(0xA0 + i);
    }
    ASSERT_EQ(AdsSyncWriteReq(&plc_, kFlags, 1000, 32, written.data()), 0);
    std::array<uint8_t, 32> read{};
    ASSERT_EQ(AdsSyncReadReq(&plc_, kFlags, 1000, 32, read.data()), 0);
    EXPECT_EQ(read, written);
    // A read across the end of what was written sees the neighbouring memory unchanged.
    std::array<uint8_t, 4> edge{0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(AdsSyncReadReq(&plc_, kFlags, 1030, 4, edge.data()), 0);
    EXPECT_EQ(edge, (std::array<uint8_t, 4>{0xBE, 0xBF, 0, 0}));
}

TEST_F(AdsClientTest, WriteControlStopsAndStartsThePlc) {
    auto& simulator = StartSimulator();
    AdsPortOpen();
    ASSERT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_STOP, 0, 0, nullptr), 0);
    EXPECT_EQ(simulator.PlcState(), 6);
    ASSERT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_RUN, 0, 0, nullptr), 0);
    EXPECT_EQ(simulator.PlcState(), 5);
    const auto stats = simulator.stats();
    EXPECT_EQ(stats.stopRequests, 1u);
    EXPECT_EQ(stats.runRequests, 1u);
}

struct FailureCase {
    const char* name;
    uint16_t amsPort;
    uint32_t indexGroup;
    uint32_t offset;
    uint32_t length;
    int32_t expected;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class AdsClientFailureTest : public AdsClientTest,
                             public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AdsClientFailureTest, ReadAndWriteReportTheControllersError) {
    const FailureCase& c = GetParam();
    StartSimulator();
    AdsPortOpen();
    const AmsAddr target = PlcAddress(TestOctets(), c.amsPort);
    std::vector<uint8_t> buffer(c.length, 0x5A);
    EXPECT_EQ(AdsSyncReadReq(&target, c.indexGroup, c.offset, c.length, buffer.data()), c.expected);
    EXPECT_EQ(buffer, std::vector<uint8_t>(c.length, 0x5A)) << "a failed read leaves the buffer";
    EXPECT_EQ(AdsSyncWriteReq(&target, c.indexGroup, c.offset, c.length, buffer.data()),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, AdsClientFailureTest,
    ::testing::Values(
        FailureCase{"UnknownAmsPort", 801, kFlags, 0, 4, ADSERR_TARGET_PORT_NOT_FOUND},
        FailureCase{"UnknownIndexGroup", 800, 0x4021, 0, 4, ADSERR_DEVICE_INVALIDGRP},
        FailureCase{"OffsetOutOfRange", 800, kFlags, 4096, 4, ADSERR_DEVICE_INVALIDOFFSET},
        FailureCase{"SizePastTheEnd", 800, kFlags, 4090, 8, ADSERR_DEVICE_INVALIDSIZE}),
    [](const auto& p) { return p.param.name; });

TEST_F(AdsClientTest, RefusedConnectionIsTargetMachineNotFound) {
    AdsPortOpen();
    const AmsAddr nobody = PlcAddress(TestOctets(1));
    uint8_t buffer[4] = {};
    EXPECT_EQ(AdsSyncReadReq(&nobody, kFlags, 0, 4, buffer), ADSERR_TARGET_MACHINE_NOT_FOUND);
    EXPECT_EQ(AdsSyncWriteControlReq(&nobody, ADSSTATE_STOP, 0, 0, nullptr),
              ADSERR_TARGET_MACHINE_NOT_FOUND);
}

TEST_F(AdsClientTest, SlowControllerTimesOutWithinThePortTimeout) {
    options_.faults.delayMs = 20000;
    StartSimulator();
    const int32_t port = AdsPortOpen();
    ASSERT_EQ(AdsSyncSetTimeoutEx(port, 150), 0);
    uint8_t buffer[4] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(AdsSyncReadReq(&plc_, kFlags, 0, 4, buffer), ADSERR_CLIENT_SYNCTIMEOUT);
    // Far below the controller's delay: the call gave up at its own time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST_F(AdsClientTest, LateReplyIsNotTakenForTheNextOne) {
    options_.faults.delayMs = 400;
    auto& simulator = StartSimulator();
    const int32_t port = AdsPortOpen();
    ASSERT_EQ(AdsSyncSetTimeoutEx(port, 100), 0);
    const std::array<uint8_t, 4> atZero{1, 2, 3, 4};
    uint8_t ignored[4] = {};
    // The write times out here but still lands; its late reply must not answer the read below.
    EXPECT_EQ(AdsSyncWriteReq(&plc_, kFlags, 0, 4, atZero.data()), ADSERR_CLIENT_SYNCTIMEOUT);
    ASSERT_TRUE(
        simulator.WaitFor([](const sim::Stats& s) { return s.adsRequests.count(3) > 0; }, 5s));
    sim::Faults fast;
    simulator.SetFaults(fast);
    ASSERT_EQ(AdsSyncSetTimeoutEx(port, 5000), 0);
    std::array<uint8_t, 4> read{};
    ASSERT_EQ(AdsSyncReadReq(&plc_, kFlags, 0, 4, read.data()), 0);
    EXPECT_EQ(read, atZero);
    EXPECT_EQ(AdsSyncReadReq(&plc_, kFlags, 8, 4, ignored), 0);
    EXPECT_EQ(simulator.stats().connectionsAccepted, 1u) << "a time-out keeps the connection";
}

TEST_F(AdsClientTest, ReconnectsAfterTheControllerDroppedTheConnection) {
    options_.faults.dropAfter = 1;
    auto& simulator = StartSimulator();
    AdsPortOpen();
    const std::array<uint8_t, 4> value{9, 8, 7, 6};
    ASSERT_EQ(AdsSyncWriteReq(&plc_, kFlags, 200, 4, value.data()), 0);
    ASSERT_TRUE(
        simulator.WaitFor([](const sim::Stats& s) { return s.connectionsClosed == 1; }, 5s));
    std::array<uint8_t, 4> read{};
    EXPECT_EQ(AdsSyncReadReq(&plc_, kFlags, 200, 4, read.data()), 0)
        << "a connection closed while idle is replaced before the request goes out";
    EXPECT_EQ(read, value);
    EXPECT_EQ(simulator.stats().connectionsAccepted, 2u);
}

TEST_F(AdsClientTest, ClosingThePortClosesItsConnections) {
    auto& simulator = StartSimulator();
    AdsPortOpen();
    ASSERT_EQ(AdsSyncWriteControlReq(&plc_, ADSSTATE_RUN, 0, 0, nullptr), 0);
    ASSERT_EQ(AdsPortClose(), 0);
    EXPECT_TRUE(
        simulator.WaitFor([](const sim::Stats& s) { return s.connectionsClosed == 1; }, 5s));
}

TEST_F(AdsClientTest, TwoThreadsShareOneConnectionSafely) {
    auto& simulator = StartSimulator();
    AdsPortOpen();
    constexpr int kRounds = 300;
    std::atomic<int> failures{0};
    const auto hammer = [&](uint32_t offset, uint8_t seed) {
        for (int i = 0; i < kRounds; ++i) {
            const std::array<uint8_t, 8> value{seed, static_cast<uint8_t>(i),     seed, 1, 2, 3,
                                               4,    static_cast<uint8_t>(i >> 8)};
            std::array<uint8_t, 8> read{};
            if (AdsSyncWriteReq(&plc_, kFlags, offset, 8, value.data()) != 0 ||
                AdsSyncReadReq(&plc_, kFlags, offset, 8, read.data()) != 0 || read != value) {
                ++failures;
            }
        }
    };
    std::thread worker(hammer, 2000, 0x11);
    hammer(3000, 0x22);
    worker.join();
    EXPECT_EQ(failures.load(), 0);
    const auto stats = simulator.stats();
    EXPECT_EQ(stats.connectionsAccepted, 1u);
    EXPECT_EQ(stats.adsRequests.at(3), 2u * kRounds);
}

}  // namespace
