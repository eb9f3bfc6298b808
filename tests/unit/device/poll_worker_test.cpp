// The polling worker on its own, against the simulated instrument.
#include "device/poll_worker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "device/device_link.h"
#include "device/device_lock.h"
#include "device/device_messages.h"
#include "device/device_session.h"
#include "device/mailbox_record.h"
#include "device/plc_memory.h"
#include "ads/ads_api.h"
#include "ads/ads_client_testing.h"
#include "sim/controller.h"
#include "tests/support/test_address.h"
#include "tests/unit/device/device_test_support.h"

namespace {

using namespace std::chrono_literals;
using corvane::test::Event;
using ::testing::ElementsAre;

constexpr auto kPatience = 10s;

class PollWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        instrument_ = std::make_unique<sim::Controller>(corvane::test::InstrumentOptions());
        ASSERT_TRUE(instrument_->Start()) << instrument_->LastError();
        plc_ = AmsAddr{ams::NetIdFromIpv4(corvane::test::TestOctets()), ams::kPlcRuntimePort};
        // The session's port is the process's default one here, so the test can read beside
        // the worker and see the worker close it.
        const int32_t port = AdsPortOpen();
        AdsSyncSetTimeoutEx(port, 2000);
        link_.SetNotificationWindow(recorder_.window());
        session_->owner = &link_;
        std::lock_guard lock(DeviceLock);
        session_->controllerAddress = plc_;
        session_->port = port;
    }
    void TearDown() override {
        EndWorker();
        AdsClientResetForTests();
    }

    void StartWorker() {
        worker_ = std::thread([session = session_] { PollWorker(session); });
    }
    void EndWorker() {
        if (worker_.joinable()) {
            {
                std::lock_guard lock(DeviceLock);
                session_->connected = false;
            }
            worker_.join();
        }
    }
    void SetCommandBlock(const device::MailboxRecord& block) {
        std::lock_guard lock(DeviceLock);
        session_->commandBlock = block;
    }
    uint64_t Writes() const { return instrument_->stats().commandBlockWrites; }
    bool WaitForWrites(uint64_t count) {
        return instrument_->WaitFor(
            [count](const sim::Stats& s) { return s.commandBlockWrites >= count; }, kPatience);
    }
    void LetWorkerCycle(uint64_t cycles) {
        const auto reads = [](const sim::Stats& s) {
            const auto it = s.adsRequests.find(2);
            return it == s.adsRequests.end() ? uint64_t{0} : it->second;
        };
        const uint64_t target = reads(instrument_->stats()) + cycles;
        ASSERT_TRUE(instrument_->WaitFor([&](const sim::Stats& s) { return reads(s) >= target; },
                                         kPatience));
    }
    device::MailboxRecord PlcCommandBlock() {
        device::MailboxRecord block{};
        EXPECT_EQ(AdsSyncReadReq(&plc_, device::kPlcMemoryIndexGroup, device::kCommandBlockOffset,
                                 static_cast<uint32_t>(block.size()), block.data()),
                  ADSERR_NOERR);
        return block;
    }

    std::unique_ptr<sim::Controller> instrument_;
    AmsAddr plc_{};
    corvane::test::MessageRecorder recorder_;
    CDeviceLink link_;
    std::shared_ptr<DeviceSession> session_ = std::make_shared<DeviceSession>();
    std::thread worker_;
};

TEST_F(PollWorkerTest, FirstCycleWritesWhatTheCommandBlockHoldsThenOnlyNewRequests) {
    // What a closed session leaves behind: its release request.
    device::MailboxRecord release = device::MakeRequest(CMD_RELEASE);
    device::SetRecordSequence(release, 7);
    release[20] = 0x33;
    SetCommandBlock(release);
    {
        std::lock_guard lock(DeviceLock);
        session_->connected = true;
    }
    StartWorker();
    ASSERT_TRUE(WaitForWrites(1));
    EXPECT_EQ(PlcCommandBlock(), release);

    // Other bytes alone do not make a new request.
    device::MailboxRecord edited = release;
    edited[12] = 0x44;
    SetCommandBlock(edited);
    LetWorkerCycle(5);
    EXPECT_EQ(Writes(), 1u);
    EXPECT_EQ(PlcCommandBlock(), release);

    device::MailboxRecord next = edited;
    device::SetRecordSequence(next, 8);
    SetCommandBlock(next);
    ASSERT_TRUE(WaitForWrites(2));
    EXPECT_EQ(PlcCommandBlock(), next);
    LetWorkerCycle(5);
    EXPECT_EQ(Writes(), 2u);

    EndWorker();
    EXPECT_THAT(recorder_.Seen(), ElementsAre(Event(DEVEVT_STATE, 1), Event(DEVEVT_LINK, 2)));
    EXPECT_EQ(AdsPortClose(), ADSERR_CLIENT_PORTNOTOPEN);
}

TEST_F(PollWorkerTest, KeepsTheSessionsCopiesOfResponseAndStatusCurrent) {
    {
        std::lock_guard lock(DeviceLock);
        session_->connected = true;
    }
    StartWorker();
    instrument_->SetDetailWord(-3);
    instrument_->SetErrorCode(0x01020304);
    ASSERT_TRUE(recorder_.PumpUntilSeen(Event(DEVEVT_DETAIL, -3), kPatience));
    LetWorkerCycle(2);
    std::lock_guard lock(DeviceLock);
    EXPECT_EQ(device::StateWord(session_->statusBlock), 1);
    EXPECT_EQ(device::DetailWord(session_->statusBlock), -3);
    EXPECT_EQ(device::StatusErrorCode(session_->statusBlock), 0x01020304u);
}

TEST_F(PollWorkerTest, SessionNotConnectedAtStartEndsWithoutTraffic) {
    StartWorker();
    worker_.join();
    EXPECT_EQ(instrument_->stats().connectionsAccepted, 0u);
    EXPECT_THAT(recorder_.Seen(), ElementsAre(Event(DEVEVT_LINK, 2)));
}

}  // namespace
