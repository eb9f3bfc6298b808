// The whole update cut off at every point where an instrument or its network can fail: at
// each event of a run (a mailbox command, a PLC control request, a download frame) every
// connection is closed once, or the controller restarts once. Whatever the point, the run
// keeps its promise: success only with the new firmware, every parameter as it was and the
// PLC running; a failure before the image went out whole leaves the instrument as it was; a
// failure after it keeps the values, and a second run puts them back.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "ads/ads_client_testing.h"
#include "device/device_timing.h"
#include "platform/sleeper.h"
#include "tests/support/test_address.h"
#include "tests/unit/faults/run_harness.h"

namespace corvane::test {
namespace {

using std::chrono::milliseconds;

enum class Interruption { kCut, kRestart };
constexpr int kShards = 8;

// Each shard takes every kShards-th event, so the shards run side by side.
class InterruptionSweep : public ::testing::TestWithParam<std::tuple<Interruption, int>> {
protected:
    void SetUp() override {
        AdsClientResetForTests();
        sleeper_ = std::make_unique<platform::ScopedFixedSleeper>(
            [](milliseconds duration) { std::this_thread::sleep_for(duration / 5); });
        timing_ = std::make_unique<device::ScopedDeviceTimingForTesting>(ShortenedDeviceTiming(
            kTestTimingDivisor, device::kExchangeTimeLimit / kTestTimingDivisor));
    }
    void TearDown() override {
        timing_.reset();
        sleeper_.reset();
        AdsClientResetForTests();
    }

    std::unique_ptr<sim::Controller> Instrument(const sim::Faults& faults, unsigned slot) {
        sim::Options options;
        options.listen = TestOctets(slot);
        options.rebootMs = 150;
        options.faults = faults;
        LogEventsIfAsked(options);
        auto instrument = std::make_unique<sim::Controller>(options);
        EXPECT_TRUE(instrument->Start()) << instrument->LastError();
        GiveKnownParameters(*instrument, KnownValues::kIntegerEdges);
        return instrument;
    }

    const RunTiming timing_run_ = RunTiming{}.Shortened(kTestTimingDivisor);
    std::unique_ptr<platform::ScopedFixedSleeper> sleeper_;
    std::unique_ptr<device::ScopedDeviceTimingForTesting> timing_;
};

bool SettledRunning(const sim::Controller& instrument) {
    return instrument.WaitFor([](const sim::Stats& s) { return !s.rebooting && s.listening; },
                              milliseconds(5000)) &&
           instrument.PlcState() == 5;
}

TEST_P(InterruptionSweep, EveryPointKeepsThePromise) {
    // A run without interruption: how many events it makes, and how many come before STOP.
    uint64_t events = 0;
    uint64_t eventsBeforeStop = 0;
    {
        auto instrument = Instrument({}, 0);
        KeptParameters kept;
        const RunResult clean =
            RunWholeUpdate(TestOctets(0), kept, timing_run_, SystemLocalAddressSource(), [&] {
                eventsBeforeStop = eventsBeforeStop ? eventsBeforeStop : instrument->stats().events;
            });
        ASSERT_TRUE(clean.ok) << clean.message;
        events = instrument->stats().events;
    }
    ASSERT_GT(eventsBeforeStop, 0u);
    int runs = 0;
    const auto [interruption, shard] = GetParam();
    for (uint64_t k = 1 + static_cast<uint64_t>(shard); k <= events; k += kShards) {
        SCOPED_TRACE("interrupted at event " + std::to_string(k));
        sim::Faults faults;
        (interruption == Interruption::kCut ? faults.cutAt : faults.restartAt) =
            static_cast<int>(k);
        auto instrument = Instrument(faults, static_cast<unsigned>(k));
        const CarriedParameters before = ReadCarried(*instrument);
        KeptParameters kept;
        const RunResult result =
            RunWholeUpdate(TestOctets(static_cast<unsigned>(k)), kept, timing_run_);
        ++runs;

        EXPECT_LE(result.elapsed, RunWorstCase(timing_run_));
        EXPECT_TRUE(SettledRunning(*instrument)) << "the PLC was left stopped";
        EXPECT_LE(instrument->stats().imagesInstalled, 1u) << "installed twice";
        EXPECT_EQ(instrument->stats().stopsWhileBusy, 0u);
        EXPECT_EQ(instrument->stats().writesWhileNotReady, 0u);
        if (k <= eventsBeforeStop) {
            EXPECT_TRUE(result.ok) << "a single interruption before STOP: " << result.message;
        }
        if (result.ok) {
            EXPECT_EQ(instrument->Firmware(), std::make_pair(uint8_t{3}, uint8_t{3}));
            EXPECT_EQ(ReadCarried(*instrument), before);
            EXPECT_FALSE(kept.Holds());
        } else if (!kept.Holds()) {
            // Nothing went out whole: the instrument is as it was.
            EXPECT_EQ(instrument->Firmware(), std::make_pair(uint8_t{3}, uint8_t{1}));
            EXPECT_EQ(ReadCarried(*instrument), before) << result.message;
        } else {
            const RunResult again =
                RunWholeUpdate(TestOctets(static_cast<unsigned>(k)), kept, timing_run_);
            EXPECT_TRUE(again.ok) << again.message;
            EXPECT_EQ(ReadCarried(*instrument), before);
            EXPECT_EQ(instrument->Firmware(), std::make_pair(uint8_t{3}, uint8_t{3}));
        }
    }
    EXPECT_GT(runs, 0);
    std::cout << runs << " runs of " << events << " events, " << eventsBeforeStop
              << " before STOP\n";
}

INSTANTIATE_TEST_SUITE_P(
    Sweep, InterruptionSweep,
    ::testing::Combine(::testing::Values(Interruption::kCut, Interruption::kRestart),
                       ::testing::Range(0, kShards)),
    [](const auto& p) {
        return std::string(std::get<0>(p.param) == Interruption::kCut ? "Cut" : "Restart") +
               std::to_string(std::get<1>(p.param));
    });

}  // namespace
}  // namespace corvane::test
