// The flash sequence against a recording router and a stand-in ADS library: the bytes of every
// frame, the order of PLC stop, download, PLC start and progress steps, and the failure codes.
#include "transfer/flash_firmware.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/test_address.h"
#include "tests/unit/transfer/fake_ads.h"
#include "tests/unit/transfer/golden_download.h"
#include "tests/unit/transfer/progress_recorder.h"
#include "tests/unit/transfer/recording_router.h"

namespace {

using corvane::test::ClearFlowLog;
using corvane::test::CompleteRunSteps;
using corvane::test::FlowLog;
using corvane::test::ProgressRecorder;
using corvane::test::RecordingRouter;
using corvane::test::TestOctets;
using Bytes = std::vector<uint8_t>;

constexpr std::chrono::seconds kDeadline{10};
// The host name's first address, on a network other than the controller's.
const platform::Ipv4 kHostAddress{10, 20, 30, 40};

LocalAddressSource FixedHost() {
    return {[] { return std::optional<std::string>("service-pc"); },
            [](const std::string& name) -> std::optional<platform::Ipv4> {
                if (name != "service-pc") {
                    return std::nullopt;
                }
                return kHostAddress;
            }};
}

int Flash(const LocalAddressSource& local) {
    const platform::Ipv4 o = TestOctets();
    return FlashFirmware(o[0], o[1], o[2], o[3], local);
}

void Le16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Le32(Bytes& b, uint32_t v) {
    Le16(b, v & 0xFFFF);
    Le16(b, v >> 16);
}

// A download frame as the controller must see it: from the address the connection comes from
// + 1.1 port 32779 to the controller's NetId + 1.1 port 800, state flags and error code 0.
Bytes DownloadFrame(const platform::Ipv4& from, uint16_t commandId, uint32_t invokeId,
                    const Bytes& data) {
    const platform::Ipv4 c = TestOctets();
    Bytes b{0, 0};
    Le32(b, 32 + static_cast<uint32_t>(data.size()));
    b.insert(b.end(), {c[0], c[1], c[2], c[3], 1, 1, 0x20, 0x03});
    b.insert(b.end(), {from[0], from[1], from[2], from[3], 1, 1, 0x0B, 0x80});
    Le16(b, commandId);
    Le16(b, 0);
    Le32(b, static_cast<uint32_t>(data.size()));
    Le32(b, 0);
    Le32(b, invokeId);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::vector<Bytes> ExpectedFrames(const platform::Ipv4& from) {
    std::vector<Bytes> frames;
    for (const corvane::test::GoldenFrame& f : corvane::test::GoldenDownload()) {
        frames.push_back(DownloadFrame(from, f.commandId, f.invokeId, f.data));
    }
    return frames;
}

std::string PlcTarget() {
    return corvane::test::FormatOctets(TestOctets()) + ".1.1:800";
}
// Each on an ADS port of its own, bounded by the ADS call time-out.
void AddPlcRequest(std::vector<std::string>& flow, int adsState) {
    flow.insert(flow.end(),
                {"AdsPortOpenEx", "AdsSyncSetTimeoutEx 32768 2000",
                 "WriteControl 32768 " + std::to_string(adsState) + " 0 0 null " + PlcTarget(),
                 "AdsPortCloseEx 32768"});
}

void LogStep(int step) {
    FlowLog().push_back("step " + std::to_string(step));
}

class FlashFirmwareTest : public ::testing::Test {
protected:
    void SetUp() override { ClearFlowLog(); }
    void TearDown() override { corvane::test::SetWriteControlHook({}); }
};

TEST_F(FlashFirmwareTest, CompleteRunSendsTheFrameTableBetweenStopAndRun) {
    RecordingRouter router(TestOctets());
    ASSERT_TRUE(router.Listening());
    ProgressRecorder progress(true, LogStep);
    // What the router has seen at the moment each PLC request is made.
    std::vector<std::pair<int, size_t>> seenAtRequest;
    corvane::test::SetWriteControlHook([&](uint16_t) {
        seenAtRequest.emplace_back(router.ConnectionsAccepted(), router.FrameCount());
    });

    EXPECT_EQ(Flash(FixedHost()), FLASH_DONE);
    ASSERT_TRUE(router.WaitForClosedConnections(1, kDeadline));

    const std::optional<platform::Ipv4> from = router.LastPeer();
    ASSERT_TRUE(from);
    EXPECT_NE(*from, kHostAddress);
    EXPECT_EQ(router.Frames(), ExpectedFrames(*from));
    EXPECT_EQ(router.ConnectionsAccepted(), 1);
    EXPECT_EQ(progress.Steps(), CompleteRunSteps());
    EXPECT_EQ(progress.Unexpected(), 0);

    std::vector<std::string> flow{"step 1"};
    AddPlcRequest(flow, 6);
    for (const int step : CompleteRunSteps()) {
        if (step == 52) {
            AddPlcRequest(flow, 5);
        }
        if (step != 1) {
            flow.push_back("step " + std::to_string(step));
        }
    }
    EXPECT_EQ(FlowLog(), flow);
    // STOP before the download connection; RUN only after the last closing frame.
    EXPECT_EQ(seenAtRequest, (std::vector<std::pair<int, size_t>>{{0, 0}, {1, 47}}));
}

TEST_F(FlashFirmwareTest, CommandOneIsTheWrittenOutFrame) {
    RecordingRouter router(TestOctets());
    ASSERT_TRUE(router.Listening());
    EXPECT_EQ(Flash(FixedHost()), FLASH_DONE);
    ASSERT_TRUE(router.WaitForClosedConnections(1, kDeadline));
    const platform::Ipv4 c = TestOctets();
    const platform::Ipv4 f = router.LastPeer().value_or(kHostAddress);
    const Bytes golden{0x00, 0x00, 0x2F, 0x00, 0x00, 0x00,              // 32 + 15
                       c[0], c[1], c[2], c[3], 0x01, 0x01, 0x20, 0x03,  // controller:800
                       f[0], f[1], f[2], f[3], 0x01, 0x01, 0x0B, 0x80,  // facing.1.1:32779
                       0x01, 0x50, 0x00, 0x00,                          // 0x5001, flags 0
                       0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 15 bytes, no error
                       0x01, 0x00, 0x00, 0x00,                          // invoke id 1
                       0x01, 0x04, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00,  // data
                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    const std::vector<Bytes> frames = router.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front(), golden);
}

struct FailureCase {
    const char* name;
    bool routerListens;
    LocalAddressSource local;
    int result;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FlashFirmwareFailure : public FlashFirmwareTest,
                             public ::testing::WithParamInterface<FailureCase> {};

// Once the PLC has been asked to stop, a failed attempt still asks it to run again, and the
// socket is closed before the sequence returns; only the steps before the failure are shown.
TEST_P(FlashFirmwareFailure, ReportsItsCodeAndRestartsThePlc) {
    const FailureCase& c = GetParam();
    std::optional<RecordingRouter> router;
    if (c.routerListens) {
        router.emplace(TestOctets());
        ASSERT_TRUE(router->Listening());
    }
    ProgressRecorder progress(true, LogStep);

    EXPECT_EQ(Flash(c.local), c.result);

    EXPECT_EQ(progress.Steps(), (std::vector<int>{1, 2}));
    std::vector<std::string> flow{"step 1"};
    AddPlcRequest(flow, 6);
    flow.push_back("step 2");
    AddPlcRequest(flow, 5);
    EXPECT_EQ(FlowLog(), flow);
    if (router) {
        EXPECT_TRUE(router->WaitForClosedConnections(1, kDeadline));
        EXPECT_EQ(router->FrameCount(), 0u);
    }
}

LocalAddressSource NoHostName() {
    LocalAddressSource local = FixedHost();
    local.hostName = [] { return std::optional<std::string>(); };
    return local;
}

LocalAddressSource UnresolvableHost() {
    LocalAddressSource local = FixedHost();
    local.firstIpv4 = [](const std::string&) { return std::optional<platform::Ipv4>(); };
    return local;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlashFirmwareFailure,
    ::testing::Values(FailureCase{"RefusedConnection", false, FixedHost(), FLASH_ERR_CONNECT},
                      FailureCase{"NoHostName", true, NoHostName(), FLASH_ERR_HOST_NAME},
                      FailureCase{"UnresolvableHostName", true, UnresolvableHost(),
                                  FLASH_ERR_HOST_ADDRESS}),
    [](const auto& param) { return std::string(param.param.name); });

// The wizard's address control hands over ints; only their low eight bits are octets. The
// source NetId is the address the download connection comes from, with the system's look-up.
TEST_F(FlashFirmwareTest, TakesLowEightBitsAndTheConnectionsOwnAddress) {
    RecordingRouter router(TestOctets());
    ASSERT_TRUE(router.Listening());
    const platform::Ipv4 o = TestOctets();

    EXPECT_EQ(FlashFirmware(o[0] + 0x100, o[1] - 0x100, o[2] + 0x7F00, o[3] | ~0xFF), FLASH_DONE);
    ASSERT_TRUE(router.WaitForClosedConnections(1, kDeadline));

    const std::vector<Bytes> frames = router.Frames();
    ASSERT_EQ(frames.size(), 47u);
    const Bytes& first = frames.front();
    EXPECT_EQ(Bytes(first.begin() + 6, first.begin() + 14),
              (Bytes{o[0], o[1], o[2], o[3], 1, 1, 0x20, 0x03}));
    const std::optional<platform::Ipv4> from = router.LastPeer();
    ASSERT_TRUE(from);
    EXPECT_EQ(Bytes(first.begin() + 14, first.begin() + 22),
              (Bytes{(*from)[0], (*from)[1], (*from)[2], (*from)[3], 1, 1, 0x0B, 0x80}));
    std::vector<std::string> stop;
    AddPlcRequest(stop, 6);
    ASSERT_GE(FlowLog().size(), 4u);
    EXPECT_EQ(std::vector<std::string>(FlowLog().begin(), FlowLog().begin() + 4), stop);
}

}  // namespace
