// The whole update interrupted at every point where an instrument or its network can fail: at
// each event of a run (a mailbox command, a PLC control request, a download frame) every
// connection is closed once; or the controller restarts once; or that event and the next are
// lost together; or nothing is answered for a while from it on; or, with an install that takes
// its time, a single cut. Then the state word flapping between ready and busy, two instruments
// in one session, and an instrument replaced at an address whose values the wizard keeps.
// Whatever the point, the run keeps its promise: success only with the new firmware, every
// parameter as it was and the PLC running; a failure leaves the PLC running or says it does
// not, and leaves the instrument as it was or keeps the values for a second run that puts
// them back; never a STOP while busy, not ready or installing, and never a write the user or
// the instrument did not confirm.
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

// The instrument's own times at the tests' scale, like the run's phases.
constexpr int kInstallMs = 5000 / kTestTimingDivisor;
constexpr int kOutageMs = 5000 / kTestTimingDivisor;
// Longer than a mailbox exchange and the RUN after it.
constexpr int kLongOutageMs = 15000 / kTestTimingDivisor;
// The state word flaps in real time: a flap is the instrument's, not a wait of the run.
constexpr int kFlapMs = 700;

constexpr uint16_t kSetParameter = 7;

struct SweepKind {
    const char* name;
    sim::Faults base;                     // for the counting run and every point
    void (*at)(sim::Faults&, int event);  // the interruption at an event
    int every = 1;                        // every n-th event only
    // The points of a run without the base faults only: those of the plain sweeps, once more.
    bool plainPoints = false;
    bool succeedsUpToStop = true;  // an interruption before STOP still ends updated
};

const SweepKind kKinds[] = {
    {"Cut", {}, [](sim::Faults& f, int k) { f.cutAt = k; }},
    {"Restart", {}, [](sim::Faults& f, int k) { f.restartAt = k; }},
    {"DoubleCut",
     {},
     [](sim::Faults& f, int k) {
         f.cutAt = k;
         f.cutEvents = 2;
     }},
    {"Outage",
     {},
     [](sim::Faults& f, int k) {
         f.outageAt = k;
         f.outageMs = kOutageMs;
     }},
    {"LongOutage",
     {},
     [](sim::Faults& f, int k) {
         f.outageAt = k;
         f.outageMs = kLongOutageMs;
     },
     2},
    {"CutSlowInstall",
     {.installMs = kInstallMs},
     [](sim::Faults& f, int k) { f.cutAt = k; },
     1,
     true},
};
constexpr int kShards = 8;

class SweepFixture {
protected:
    void SetUpTiming() {
        AdsClientResetForTests();
        sleeper_ = std::make_unique<platform::ScopedFixedSleeper>(
            [](milliseconds duration) { std::this_thread::sleep_for(duration / 5); });
        timing_ = std::make_unique<device::ScopedDeviceTimingForTesting>(ShortenedDeviceTiming(
            kTestTimingDivisor, device::kExchangeTimeLimit / kTestTimingDivisor));
    }
    void TearDownTiming() {
        timing_.reset();
        sleeper_.reset();
        AdsClientResetForTests();
    }

    std::unique_ptr<sim::Controller> Instrument(const sim::Faults& faults, unsigned slot,
                                                KnownValues values = KnownValues::kIntegerEdges) {
        sim::Options options;
        options.listen = TestOctets(slot);
        options.rebootMs = 150;
        options.faults = faults;
        LogEventsIfAsked(options);
        auto instrument = std::make_unique<sim::Controller>(options);
        EXPECT_TRUE(instrument->Start()) << instrument->LastError();
        GiveKnownParameters(*instrument, values);
        return instrument;
    }

    // Today's invariants and this issue's, for one run against `instrument`; a run that kept
    // values is followed by a second, once the faults are lifted, that must put them back.
    void ExpectPromiseKept(sim::Controller& instrument, unsigned slot, const RunResult& result,
                           KeptParameters& kept, const CarriedParameters& before) {
        EXPECT_LE(result.elapsed, RunWorstCase(timing_run_));
        const bool settled = instrument.WaitFor(
            [](const sim::Stats& s) { return !s.rebooting && s.listening; }, milliseconds(5000));
        EXPECT_TRUE(settled &&
                    (instrument.PlcState() == 5 || result.message.starts_with(TEXT_PLC_STOPPED)))
            << "the PLC was left stopped without a word: " << result.message;
        const sim::Stats stats = instrument.stats();
        EXPECT_LE(stats.imagesInstalled, 1u) << "installed twice";
        EXPECT_EQ(stats.stopsWhileBusy, 0u);
        EXPECT_EQ(stats.stopsWhileNotReady, 0u);
        EXPECT_EQ(stats.stopsWhileInstalling, 0u) << "a STOP while an image may be installing";
        EXPECT_EQ(stats.writesWhileBusy, 0u);
        EXPECT_EQ(stats.writesWhileNotReady, 0u);
        const auto address = TestOctets(slot);
        if (result.ok) {
            EXPECT_EQ(instrument.Firmware(), std::make_pair(uint8_t{3}, uint8_t{3}));
            EXPECT_EQ(ReadCarried(instrument), before);
            EXPECT_EQ(kept.For(address), nullptr);
        } else if (kept.For(address) == nullptr) {
            // Nothing can have been lost: the instrument is as it was.
            EXPECT_EQ(instrument.Firmware(), std::make_pair(uint8_t{3}, uint8_t{1}));
            EXPECT_EQ(ReadCarried(instrument), before) << result.message;
        } else {
            instrument.SetFaults({});
            const RunResult again = RunWholeUpdate(address, kept, timing_run_);
            EXPECT_TRUE(again.ok) << again.message;
            EXPECT_EQ(ReadCarried(instrument), before);
            EXPECT_EQ(instrument.Firmware(), std::make_pair(uint8_t{3}, uint8_t{3}));
        }
    }

    const RunTiming timing_run_ = RunTiming{}.Shortened(kTestTimingDivisor);
    std::unique_ptr<platform::ScopedFixedSleeper> sleeper_;
    std::unique_ptr<device::ScopedDeviceTimingForTesting> timing_;
};

// Each shard takes every kShards-th point, so the shards run side by side.
class InterruptionSweep : public SweepFixture,
                          public ::testing::TestWithParam<std::tuple<int, int>> {
protected:
    void SetUp() override { SetUpTiming(); }
    void TearDown() override { TearDownTiming(); }
};

TEST_P(InterruptionSweep, EveryPointKeepsThePromise) {
    const SweepKind& kind = kKinds[std::get<0>(GetParam())];
    const int shard = std::get<1>(GetParam());
    // A run without interruption: how many events it makes, and how many come before STOP.
    uint64_t events = 0;
    uint64_t eventsBeforeStop = 0;
    {
        auto instrument = Instrument(kind.plainPoints ? sim::Faults{} : kind.base, 0);
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
    milliseconds slowest{0};
    // The kind's points, every kShards-th of them this shard's.
    const auto every = static_cast<uint64_t>(kind.every);
    for (uint64_t k = 1 + every * static_cast<uint64_t>(shard); k <= events; k += every * kShards) {
        SCOPED_TRACE(std::string(kind.name) + " at event " + std::to_string(k));
        sim::Faults faults = kind.base;
        kind.at(faults, static_cast<int>(k));
        const auto slot = static_cast<unsigned>(k);
        auto instrument = Instrument(faults, slot);
        const CarriedParameters before = ReadCarried(*instrument);
        KeptParameters kept;
        const RunResult result = RunWholeUpdate(TestOctets(slot), kept, timing_run_);
        ++runs;
        slowest = std::max(slowest, result.elapsed);
        if (kind.succeedsUpToStop && k <= eventsBeforeStop) {
            EXPECT_TRUE(result.ok) << "an interruption before STOP: " << result.message;
        }
        ExpectPromiseKept(*instrument, slot, result, kept, before);
    }
    EXPECT_GT(runs, 0);
    std::cout << kind.name << ": " << runs << " runs of " << events << " events, "
              << eventsBeforeStop << " before STOP; slowest " << slowest.count() << " ms of "
              << RunWorstCase(timing_run_).count() << " ms\n";
}

INSTANTIATE_TEST_SUITE_P(Sweep, InterruptionSweep,
                         ::testing::Combine(::testing::Range(0,
                                                             static_cast<int>(std::size(kKinds))),
                                            ::testing::Range(0, kShards)),
                         [](const auto& p) {
                             return std::string(kKinds[std::get<0>(p.param)].name) +
                                    std::to_string(std::get<1>(p.param));
                         });

class SessionSweep : public SweepFixture, public ::testing::Test {
protected:
    void SetUp() override { SetUpTiming(); }
    void TearDown() override { TearDownTiming(); }

    // Instrument A's restore fails for good: its values are kept.
    void KeepValuesOfA(sim::Controller& a, KeptParameters& kept) {
        const RunResult failed = RunWholeUpdate(TestOctets(0), kept, timing_run_);
        ASSERT_FALSE(failed.ok);
        ASSERT_NE(kept.For(TestOctets(0)), nullptr) << failed.message;
        a.SetFaults({});
    }
};

// The state word flaps between ready and busy; each run starts at another point of the flap's
// cycle, 20 ms apart over the whole of it, so that some read it ready just before it turns.
// Its pauses and settle time sleep in full: a state word read before them is that much older.
// No STOP goes out while it reads busy; the run ends updated, or untouched and saying so.
class FlappingStateWord : public SweepFixture, public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        SetUpTiming();
        sleeper_.reset();
        sleeper_ = std::make_unique<platform::ScopedFixedSleeper>(
            [](milliseconds duration) { std::this_thread::sleep_for(duration); });
    }
    void TearDown() override { TearDownTiming(); }
};

TEST_P(FlappingStateWord, NoStopWhileBusy) {
    constexpr int kCycleMs = 2 * kFlapMs;
    constexpr int kStepMs = 20;
    for (int start = GetParam() * kStepMs; start < kCycleMs; start += kShards * kStepMs) {
        SCOPED_TRACE("started " + std::to_string(start) + " ms into the flap's cycle");
        const auto slot = static_cast<unsigned>(start);
        auto instrument = Instrument({.stateFlapMs = kFlapMs}, slot);
        const CarriedParameters before = ReadCarried(*instrument);
        // The flap runs on the steady clock: the run starts at the point of its cycle swept.
        const auto now = std::chrono::steady_clock::now();
        const auto intoCycle = now.time_since_epoch() % milliseconds(kCycleMs);
        std::this_thread::sleep_until(
            now - intoCycle + milliseconds(start) +
            (intoCycle > milliseconds(start) ? milliseconds(kCycleMs) : milliseconds(0)));
        KeptParameters kept;
        const RunResult result = RunWholeUpdate(TestOctets(slot), kept, timing_run_);
        EXPECT_TRUE(result.ok || result.message == TEXT_BUSY) << result.message;
        ExpectPromiseKept(*instrument, slot, result, kept, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Sweep, FlappingStateWord, ::testing::Range(0, kShards));

// A's values are kept; a run to B, cut at each of its events in turn, never uses or drops
// them, and a last run to A puts them back.
TEST_F(SessionSweep, TwoInstruments) {
    auto a = Instrument({.busyAfterRebootMs = 600000}, 0, KnownValues::kTypical);
    const CarriedParameters beforeA = ReadCarried(*a);
    KeptParameters kept;
    KeepValuesOfA(*a, kept);
    const std::string listingOfA = kept.For(TestOctets(0))->Listing();
    for (int k = 1; k <= 16; ++k) {
        SCOPED_TRACE("instrument B cut at event " + std::to_string(k * 6));
        const auto slot = static_cast<unsigned>(k);
        auto b = Instrument({.cutAt = k * 6}, slot);
        const CarriedParameters beforeB = ReadCarried(*b);
        const RunResult result = RunWholeUpdate(TestOctets(slot), kept, timing_run_);
        EXPECT_TRUE(result.questions.empty() && !result.message.starts_with(TEXT_KEPT_DECLINED))
            << "a run to B took A's values for its own";
        ASSERT_NE(kept.For(TestOctets(0)), nullptr) << "A's values dropped by a run to B";
        EXPECT_EQ(kept.For(TestOctets(0))->Listing(), listingOfA);
        ExpectPromiseKept(*b, slot, result, kept, beforeB);
        EXPECT_EQ(kept.Sets().size(), 1u);
    }
    const RunResult resumed = RunWholeUpdate(TestOctets(0), kept, timing_run_);
    EXPECT_TRUE(resumed.ok) << resumed.message;
    EXPECT_EQ(ReadCarried(*a), beforeA);
    EXPECT_FALSE(kept.Holds());
}

// A's values are kept, and another instrument takes A's address. Asked at whatever point the
// resumed run is cut, a user who answers No has nothing written and nothing stopped; the
// values stay kept.
TEST_F(SessionSweep, ReplacedInstrument) {
    KeptParameters kept;
    {
        auto a = Instrument({.busyAfterRebootMs = 600000}, 0, KnownValues::kTypical);
        KeepValuesOfA(*a, kept);
    }
    for (int k = 1; k <= 20; ++k) {
        SCOPED_TRACE("the replacement cut at event " + std::to_string(k));
        auto replacement = Instrument({.cutAt = k}, 0, KnownValues::kIntegerEdges);
        const CarriedParameters before = ReadCarried(*replacement);
        const RunResult result =
            RunWholeUpdate(TestOctets(0), kept, timing_run_, SystemLocalAddressSource(), {}, false);
        EXPECT_FALSE(result.ok);
        const sim::Stats stats = replacement->stats();
        EXPECT_EQ(stats.mailboxReceived.count(kSetParameter), 0u) << "written unconfirmed";
        EXPECT_EQ(stats.stopRequests, 0u);
        EXPECT_EQ(stats.downloadFrames, 0u);
        EXPECT_EQ(ReadCarried(*replacement), before);
        EXPECT_TRUE(replacement->WaitFor([](const sim::Stats& s) { return s.listening; },
                                         milliseconds(5000)));
        EXPECT_EQ(replacement->PlcState(), 5);
        EXPECT_NE(kept.For(TestOctets(0)), nullptr);
    }
}

}  // namespace
}  // namespace corvane::test
