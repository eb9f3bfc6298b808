// The flash sequence against the simulated controller, through the project's own ADS client:
// the controller must put the embedded image back together and take the PLC through STOP and
// RUN, whatever its download side answers.
#include "transfer/flash_firmware.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "ads/ads_api.h"
#include "ads/ads_client_testing.h"
#include "platform/window_message.h"
#include "sim/controller.h"
#include "tests/support/test_address.h"
#include "tests/unit/transfer/golden_download.h"
#include "tests/unit/transfer/progress_recorder.h"
#include "transfer/firmware_image.h"
#include "transfer/plc_control.h"

namespace {

using corvane::test::CompleteRunSteps;
using corvane::test::GoldenDownload;
using corvane::test::ProgressRecorder;
using corvane::test::TestOctets;
using std::chrono::milliseconds;

constexpr milliseconds kDeadline{10000};

class FlashFirmwareSim : public ::testing::Test {
protected:
    void SetUp() override { AdsClientResetForTests(); }

    void StartController(const sim::Faults& faults = {}) {
        sim::Options options;
        options.listen = TestOctets();
        options.rebootMs = 50;
        options.faults = faults;
        controller_.emplace(options);
        ASSERT_TRUE(controller_->Start()) << controller_->LastError();
    }

    int Flash() {
        const platform::Ipv4 o = TestOctets();
        return FlashFirmware(o[0], o[1], o[2], o[3]);
    }

    int Flash(const LocalAddressSource& local) {
        const platform::Ipv4 o = TestOctets();
        return FlashFirmware(o[0], o[1], o[2], o[3], local);
    }

    void ExpectGoldenDownload() {
        const std::vector<sim::DownloadFrame> got = controller_->DownloadFrames();
        const std::vector<corvane::test::GoldenFrame> want = GoldenDownload();
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(got[i].commandId, want[i].commandId);
            EXPECT_EQ(got[i].invokeId, want[i].invokeId);
            EXPECT_EQ(got[i].data, want[i].data);
        }
    }

    std::optional<sim::Controller> controller_;
};

TEST_F(FlashFirmwareSim, InstallsTheEmbeddedImageBetweenStopAndRun) {
    StartController();
    ProgressRecorder progress;

    EXPECT_EQ(Flash(), FLASH_DONE);

    ASSERT_TRUE(controller_->WaitFor([](const sim::Stats& s) { return s.imagesInstalled == 1; },
                                     kDeadline));
    ExpectGoldenDownload();
    const std::vector<uint8_t> image = controller_->LastReceivedImage();
    const std::span<const uint8_t> embedded = FirmwareImage();
    ASSERT_EQ(image.size(), 80340u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), embedded.begin(), embedded.end()));
    const sim::Stats stats = controller_->stats();
    EXPECT_EQ(stats.stopRequests, 1u);
    EXPECT_EQ(stats.runRequests, 1u);
    EXPECT_EQ(stats.imagesReceived, 1u);
    EXPECT_EQ(progress.Steps(), CompleteRunSteps());
}

TEST_F(FlashFirmwareSim, WithoutProgressWindowSendsTheSameDownload) {
    StartController();
    ProgressRecorder progress(/*setAsProgressWindow=*/false);

    EXPECT_EQ(Flash(), FLASH_DONE);

    ASSERT_TRUE(controller_->WaitFor([](const sim::Stats& s) { return s.imagesInstalled == 1; },
                                     kDeadline));
    ExpectGoldenDownload();
    EXPECT_EQ(controller_->stats().stopRequests, 1u);
    EXPECT_EQ(controller_->stats().runRequests, 1u);
    platform::PumpAllMessages();
    EXPECT_TRUE(progress.Steps().empty());
    EXPECT_EQ(progress.Unexpected(), 0);
}

struct DownloadFault {
    const char* name;
    sim::Faults faults;
};

void PrintTo(const DownloadFault& f, std::ostream* os) {
    *os << f.name;
}

class FlashFirmwareSimFaults : public FlashFirmwareSim,
                               public ::testing::WithParamInterface<DownloadFault> {};

// A download side that never answers (each frame then waits out the receive time-out), answers
// with errors or answers too late still gets every frame before the PLC is asked to run again,
// so the controller installs the image. Late replies are still unread when the download ends:
// closing must not reset the connection and cost the controller its last frames.
TEST_P(FlashFirmwareSimFaults, StillSendsEveryFrameAndRestartsThePlc) {
    StartController(GetParam().faults);
    ProgressRecorder progress;

    EXPECT_EQ(Flash(), FLASH_DONE);

    ASSERT_TRUE(
        controller_->WaitFor([](const sim::Stats& s) { return s.runRequests == 1; }, kDeadline));
    ExpectGoldenDownload();
    EXPECT_EQ(controller_->stats().imagesInstalled, 1u);
    EXPECT_EQ(progress.Steps(), CompleteRunSteps());
}

sim::Faults Silent() {
    sim::Faults f;
    f.downloadSilent = true;
    return f;
}

sim::Faults Erroring() {
    sim::Faults f;
    f.downloadError = true;
    return f;
}

// Every reply later than the receive time-out: each exchange reads an earlier frame's reply.
sim::Faults Late() {
    sim::Faults f;
    f.delayMs = 45;
    return f;
}

INSTANTIATE_TEST_SUITE_P(Faults, FlashFirmwareSimFaults,
                         ::testing::Values(DownloadFault{"DownloadSilent", Silent()},
                                           DownloadFault{"DownloadError", Erroring()},
                                           DownloadFault{"RepliesLate", Late()}),
                         [](const auto& param) { return std::string(param.param.name); });

// A connection dropped in the middle of the image: the download is given up as incomplete,
// nothing hangs, the PLC is started again and the torn image is never installed.
TEST_F(FlashFirmwareSim, DroppedConnectionEndsWithThePlcRunningAndNoImage) {
    sim::Faults faults;
    faults.downloadDropAfter = 10;
    StartController(faults);
    ProgressRecorder progress;

    EXPECT_EQ(Flash(), FLASH_ERR_INCOMPLETE);

    ASSERT_TRUE(
        controller_->WaitFor([](const sim::Stats& s) { return s.runRequests == 1; }, kDeadline));
    const sim::Stats stats = controller_->stats();
    EXPECT_EQ(stats.downloadFrames, 10u);
    EXPECT_EQ(stats.imagesReceived, 0u);
    EXPECT_EQ(stats.imagesInstalled, 0u);
    EXPECT_EQ(controller_->PlcState(), ADSSTATE_RUN);
    // The steps of the frames that went out, and none after.
    const std::vector<int> steps = progress.Steps();
    const std::vector<int> complete = CompleteRunSteps();
    ASSERT_LT(steps.size(), complete.size() - 1);
    EXPECT_TRUE(std::equal(steps.begin(), steps.end(), complete.begin()));
}

// The download port goes away between the PLC stop and the connection: -2, and the wizard's
// bar shows only the first two steps.
TEST_F(FlashFirmwareSim, RefusedConnectionGivesMinusTwoAfterTheStop) {
    StartController();
    ProgressRecorder progress(true, [&](int step) {
        if (step == 2) {
            sim::Faults refuse;
            refuse.refuseConnect = true;
            controller_->SetFaults(refuse);
            ASSERT_TRUE(
                controller_->WaitFor([](const sim::Stats& s) { return !s.listening; }, kDeadline));
        }
    });

    EXPECT_EQ(Flash(), FLASH_ERR_CONNECT);

    EXPECT_EQ(progress.Steps(), (std::vector<int>{1, 2}));
    EXPECT_EQ(controller_->stats().stopRequests, 1u);
    EXPECT_TRUE(controller_->DownloadFrames().empty());
}

// The run's own look at the PLC and its own RUN, each on a port of its own: a stopped PLC is
// seen and started again, and an absent controller answers nothing.
TEST_F(FlashFirmwareSim, PlcStateIsReadAndRunRequestedOnItsOwnPorts) {
    const platform::Ipv4 o = TestOctets();
    EXPECT_FALSE(ReadPlcState(o[0], o[1], o[2], o[3]));
    EXPECT_FALSE(RequestPlcRun(o[0], o[1], o[2], o[3]));
    StartController();
    ASSERT_TRUE(RequestPlcState(PlcAddress(o[0], o[1], o[2], o[3]), ADSSTATE_STOP));
    EXPECT_EQ(ReadPlcState(o[0], o[1], o[2], o[3]), std::optional<uint16_t>(ADSSTATE_STOP));

    EXPECT_TRUE(RequestPlcRun(o[0], o[1], o[2], o[3]));
    EXPECT_EQ(ReadPlcState(o[0], o[1], o[2], o[3]), std::optional<uint16_t>(ADSSTATE_RUN));
    EXPECT_EQ(controller_->PlcState(), ADSSTATE_RUN);
    EXPECT_EQ(AdsClientOpenPortCountForTests(), 0u);
}

// A failure after the connection (here: no host name) must not leave the instrument stopped.
TEST_F(FlashFirmwareSim, FailureAfterTheStopLeavesThePlcRunning) {
    StartController();
    ProgressRecorder progress;
    LocalAddressSource noName = SystemLocalAddressSource();
    noName.hostName = [] { return std::optional<std::string>(); };

    EXPECT_EQ(Flash(noName), FLASH_ERR_HOST_NAME);

    const sim::Stats stats = controller_->stats();
    EXPECT_EQ(stats.stopRequests, 1u);
    EXPECT_EQ(stats.runRequests, 1u);
    EXPECT_EQ(controller_->PlcState(), ADSSTATE_RUN);
    EXPECT_TRUE(controller_->DownloadFrames().empty());
    EXPECT_EQ(progress.Steps(), (std::vector<int>{1, 2}));
}

}  // namespace
