// Long runs against one simulated instrument: many sessions opened and closed, many whole
// updates, and nothing may be left behind: no descriptor, no thread, no memory that grows
// with the number of runs.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "device/device_link.h"
#include "device/device_timing.h"
#include "ads/ads_client_testing.h"
#include "platform/sleeper.h"
#include "sim/controller.h"
#include "tests/support/test_address.h"
#include "tests/unit/endurance/process_usage.h"
#include "tests/unit/faults/run_harness.h"

namespace corvane::test {
namespace {

using std::chrono::milliseconds;

constexpr int kConnectCloseCycles = 1000;
constexpr int kUpdateRuns = 50;
// Allowances for what the allocator and the loader keep once warmed up; a leak of one session,
// one connection or one thread per cycle exceeds them many times over.
constexpr size_t kHeapAllowanceBytes = 256 * 1024;
constexpr size_t kResidentAllowanceKb = 6 * 1024;

class EnduranceTest : public ::testing::Test {
protected:
    void SetUp() override {
        AdsClientResetForTests();
        sim::Options options;
        options.listen = TestOctets();
        options.rebootMs = 20;
        instrument_ = std::make_unique<sim::Controller>(options);
        ASSERT_TRUE(instrument_->Start()) << instrument_->LastError();
        GiveKnownParameters(*instrument_);
    }
    void TearDown() override {
        instrument_.reset();
        AdsClientResetForTests();
    }

    // Every connection the instrument accepted has ended on its side, and the descriptors of
    // the ended ones are given back (the simulator reaps them a moment later), or `limit`
    // passed. Returns the usage then.
    ProcessUsage SettledUsage(size_t descriptorTarget, milliseconds limit = milliseconds(5000)) {
        EXPECT_TRUE(instrument_->WaitFor(
            [](const sim::Stats& s) { return s.connectionsClosed == s.connectionsAccepted; },
            limit));
        const auto deadline = std::chrono::steady_clock::now() + limit;
        ProcessUsage usage = SampleUsage();
        while (usage.descriptors > descriptorTarget &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(5));
            usage = SampleUsage();
        }
        return usage;
    }

    // Bytes the simulator keeps on purpose: it records every download frame (up to a bound)
    // for the tests that read them back.
    size_t RecordedDownloadBytes() const {
        size_t bytes = 0;
        for (const auto& frame : instrument_->DownloadFrames()) {
            bytes += frame.data.size() + sizeof(frame);
        }
        return bytes;
    }

    void ExpectNoGrowth(const ProcessUsage& before, const ProcessUsage& after,
                        size_t intendedBytes) {
        EXPECT_LE(after.descriptors, before.descriptors) << "open descriptors grew";
        EXPECT_LE(after.threads, before.threads) << "threads were left running";
        if (UnderSanitizer()) {
            return;
        }
        EXPECT_LE(after.heapBytes, before.heapBytes + intendedBytes + kHeapAllowanceBytes)
            << "heap in use grew from " << before.heapBytes << " to " << after.heapBytes;
        EXPECT_LE(after.residentKb, before.residentKb + intendedBytes / 1024 + kResidentAllowanceKb)
            << "resident memory grew from " << before.residentKb << " kB to " << after.residentKb
            << " kB";
    }

    std::unique_ptr<sim::Controller> instrument_;
};

void ConnectAndClose(const std::array<uint8_t, 4>& address, int cycle) {
    CDeviceLink link;
    ASSERT_EQ(link.Connect(address[0], address[1], address[2], address[3]), -1)
        << "cycle " << cycle;
    ASSERT_EQ(link.Close(), -1) << "cycle " << cycle;
    link.Shutdown();
}

TEST_F(EnduranceTest, ThousandConnectAndCloseCyclesLeaveNothingBehind) {
    const auto address = TestOctets();
    for (int i = 0; i < 20; ++i) {
        ConnectAndClose(address, i);
    }
    const ProcessUsage before = SettledUsage(0, milliseconds(200));

    for (int i = 0; i < kConnectCloseCycles; ++i) {
        ConnectAndClose(address, i);
        if (HasFatalFailure()) {
            return;
        }
    }

    const ProcessUsage after = SettledUsage(before.descriptors);
    ExpectNoGrowth(before, after, 0);
    const sim::Stats stats = instrument_->stats();
    // Each cycle registered and released its host: no cycle was skipped or merged.
    EXPECT_GE(stats.mailboxAnswered.at(15), static_cast<uint64_t>(kConnectCloseCycles));
}

TEST_F(EnduranceTest, FiftyWholeUpdatesLeaveNothingBehind) {
    // The run's fixed waits at a fiftieth: not what is measured here, but the retry pause must
    // still outlast the instrument's (shortened) reboot, or every retry falls into it.
    platform::ScopedFixedSleeper sleeper(
        [](milliseconds duration) { std::this_thread::sleep_for(duration / 50); });
    const auto address = TestOctets();
    const CarriedParameters parameters = ReadCarried(*instrument_);
    const auto updateOnce = [&](int run) {
        // Each run finds the old version again, so each one transfers.
        instrument_->SetFirmware(3, 1);
        KeptParameters kept;
        const RunResult result = RunWholeUpdate(address, kept);
        ASSERT_TRUE(result.ok) << "run " << run << ": " << result.message;
        ASSERT_GE(result.transfers, 1) << "run " << run;
        ASSERT_EQ(ReadCarried(*instrument_), parameters) << "run " << run;
    };
    for (int i = 0; i < 3; ++i) {
        updateOnce(i);
        if (HasFatalFailure()) {
            return;
        }
    }
    const ProcessUsage before = SettledUsage(0, milliseconds(200));
    const size_t recordedBefore = RecordedDownloadBytes();

    for (int i = 0; i < kUpdateRuns; ++i) {
        updateOnce(i);
        if (HasFatalFailure()) {
            return;
        }
    }

    const ProcessUsage after = SettledUsage(before.descriptors);
    ExpectNoGrowth(before, after, RecordedDownloadBytes() - recordedBefore);
    EXPECT_EQ(instrument_->stats().imagesInstalled, static_cast<uint64_t>(kUpdateRuns + 3));
}

}  // namespace
}  // namespace corvane::test
