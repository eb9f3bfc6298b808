// The whole update run against every fault the simulated instrument can show, alone and in the
// combinations that matter. For each: the outcome and its text, how many transfers were made,
// the PLC left running wherever the instrument still answers, and no parameter lost or changed
// unless the run says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/device_timing.h"
#include "ads/ads_client_testing.h"
#include "platform/sleeper.h"
#include "tests/support/ams_test_socket.h"
#include "tests/support/test_address.h"
#include "tests/unit/faults/run_harness.h"

namespace corvane::test {
namespace {

using std::chrono::milliseconds;

// What a failed run must leave behind.
enum class Leaves {
    kNothingChanged,  // the old firmware and every value as before; nothing kept
    kValuesKept,      // the values kept and listed in the text; once the faults are lifted, a
                      // second run puts them back
    kInstrumentGone,  // the instrument never answers again; nothing can be read or restored
};

// One end a sound run may come to: success (no text of its own, the new firmware, every value
// as before, nothing kept), or a failure with its text and what it leaves.
struct Outcome {
    const char* text = nullptr;  // none: success
    Leaves leaves = Leaves::kNothingChanged;
    // Values kept: the image took. If not, nothing changed on the instrument either.
    bool imageTook = true;
};

constexpr Outcome Success() {
    return {};
}
constexpr Outcome NothingChanged(const char* text) {
    return {text, Leaves::kNothingChanged};
}
// The image went out whole and took, but the values could not be put back.
constexpr Outcome ValuesKept(const char* text) {
    return {text, Leaves::kValuesKept};
}
// The image went out whole but never took: the values are kept all the same.
constexpr Outcome ValuesKeptImageRefused(const char* text) {
    return {text, Leaves::kValuesKept, false};
}
constexpr Outcome InstrumentGone(const char* text) {
    return {text, Leaves::kInstrumentGone};
}

struct FaultCase {
    const char* name;
    sim::Faults faults{};
    // Every end the run may come to. A fault that strikes wherever the connection happens to
    // be can end the run at more than one point, and each of them is sound.
    std::vector<Outcome> outcomes{Success()};
    int minTransfers = 1;
    int maxTransfers = 1;
    bool reachable = true;  // the instrument answers at the end (unless it is gone)
    // Slow replies need the exchange's full time limit; every other case gets it shortened
    // like every other limit, so the silent faults do not take ten seconds each.
    milliseconds exchangeLimit{device::kExchangeTimeLimit / kTestTimingDivisor};
    // The run's phase limits are divided by this; an instrument that takes its time in real
    // seconds needs them longer.
    int timingDivisor = kTestTimingDivisor;
    // What the host-name look-up answers, for the ADS client and the flash alike; none set: the
    // system's.
    std::optional<platform::Ipv4> hostAddress{};
    // The instrument's router has one route: for the address this host reaches it from.
    bool strictRoute = false;
    KnownValues values = KnownValues::kTypical;
    // The run ends before the restart wait could have passed once.
    bool beforeRestartWait = false;
    // The instrument restarts this often in all, some of it perhaps after the run: it is
    // judged once it has.
    uint64_t restarts = 0;
    // Takes real seconds: built into the slow suite, which runs once, natively.
    bool slow = false;
    // Part of a line the instrument logs when the fault strikes: it must have struck.
    const char* shows = nullptr;
    // Parameter writes that may reach the instrument in all (-1: not counted).
    int maxWrites = -1;
    // Values kept: before they are put back, a healthy second instrument is updated, which
    // must neither use nor drop them.
    bool anotherInstrumentMeanwhile = false;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

sim::Faults With(void (*set)(sim::Faults&)) {
    sim::Faults f;
    set(f);
    return f;
}

// Half a second at the scale of the run's shortened pauses and settle time.
constexpr int kReadBackRestartMs = 500 / (kTestTimingDivisor * kTestSleepDivisor);
// The events a run makes before its STOP: the version request and the registration of the
// connect, ten parameter reads (the version comes with the connect) and the release.
constexpr int kEventsBeforeStop = 13;
// A transfer's download frames: five opening commands, 39 image records, three closing ones.
constexpr int kDownloadFrames = 47;
constexpr uint16_t kSetParameter = 7;

const FaultCase kCases[] = {
    {.name = "NoFault"},
    {.name = "RefusedConnection",
     .faults = With([](sim::Faults& f) { f.refuseConnect = true; }),
     .outcomes = {NothingChanged(TEXT_CONNECT_FAILED)},
     .minTransfers = 0,
     .maxTransfers = 0,
     .reachable = false},
    {.name = "ErrorInStatusBlock",
     .faults = With([](sim::Faults& f) { f.statusError = true; }),
     .outcomes = {NothingChanged(TEXT_CONNECT_FAILED)},
     .minTransfers = 0,
     .maxTransfers = 0},
    {.name = "SilentMailbox",
     .faults = With([](sim::Faults& f) { f.mailboxSilent = true; }),
     .outcomes = {NothingChanged(TEXT_CONNECT_FAILED)},
     .minTransfers = 0,
     .maxTransfers = 0},
    {.name = "SilentRegistration",
     .faults = With([](sim::Faults& f) { f.registerSilent = true; }),
     .outcomes = {NothingChanged(TEXT_CONNECT_FAILED)},
     .minTransfers = 0,
     .maxTransfers = 0},
    {.name = "SilentRelease", .faults = With([](sim::Faults& f) { f.releaseSilent = true; })},
    {.name = "BusyAfterReboot", .faults = With([](sim::Faults& f) { f.busyAfterRebootMs = 300; })},
    // Busy for good once restarted: no write is taken, and the run says the values are lost.
    {.name = "BusyForGoodAfterReboot",
     .faults = With([](sim::Faults& f) { f.busyAfterRebootMs = 600000; }),
     .outcomes = {ValuesKept(TEXT_RESTORE_FAILED)}},
    // An instrument at work on a task of its own is not stopped.
    {.name = "BusyBeforeTheTransfer",
     .faults = With([](sim::Faults& f) { f.busy = true; }),
     .outcomes = {NothingChanged(TEXT_BUSY)},
     .minTransfers = 0,
     .maxTransfers = 0},
    {.name = "DownloadSilent", .faults = With([](sim::Faults& f) { f.downloadSilent = true; })},
    {.name = "DownloadErroring", .faults = With([](sim::Faults& f) { f.downloadError = true; })},
    // The image never arrives whole, or never takes: it is sent again while there is time.
    {.name = "DownloadDroppedAfter10Frames",
     .faults = With([](sim::Faults& f) { f.downloadDropAfter = 10; }),
     .outcomes = {NothingChanged(TEXT_UNKNOWN_ERROR)},
     .minTransfers = 2,
     .maxTransfers = MAX_FLASH_ATTEMPTS},
    {.name = "ImageNotInstalled",
     .faults = With([](sim::Faults& f) { f.rejectImage = true; }),
     .outcomes = {NothingChanged(TEXT_UNKNOWN_ERROR), ValuesKeptImageRefused(TEXT_UNKNOWN_ERROR)},
     .minTransfers = 2,
     .maxTransfers = MAX_FLASH_ATTEMPTS},
    // It took the whole image and may be installing it: waited for, never sent a second one.
    {.name = "NeverComesBack",
     .faults = With([](sim::Faults& f) { f.neverReturn = true; }),
     .outcomes = {InstrumentGone(TEXT_UNKNOWN_ERROR)}},
    // The connection goes wherever the run happens to be: at the connect, amid the reads, or
    // in the transfer and every look after it. Each ends in an honest failure with nothing
    // lost.
    {.name = "EveryConnectionDroppedAfter4Requests",
     .faults = With([](sim::Faults& f) { f.dropAfter = 4; }),
     .outcomes = {NothingChanged(TEXT_CONNECT_FAILED), NothingChanged(TEXT_READ_FAILED),
                  NothingChanged(TEXT_UNKNOWN_ERROR)},
     .minTransfers = 0,
     .maxTransfers = MAX_FLASH_ATTEMPTS},
    // Every connection drops at its fourth parameter read. Nothing has changed while the run
    // saves, so it connects again and reads on; the read-back after the restore never gets
    // through whole, so the values are kept, and put back once the instrument is well.
    {.name = "ConnectionDroppedAtTheFourthParameterRead",
     .faults = With([](sim::Faults& f) { f.dropAfterReads = 3; }),
     .outcomes = {ValuesKept(TEXT_RESTORE_FAILED)}},
    // The flash waits for the last reply before RUN, so a slow instrument takes the image.
    {.name = "SlowReplies500ms",
     .faults = With([](sim::Faults& f) { f.delayMs = 500; }),
     .exchangeLimit = milliseconds(10000),
     .timingDivisor = 1,
     .slow = true},
    // Installing takes a while, during which the old firmware still answers and takes writes it
    // will lose: the run waits for the new firmware before it restores anything.
    {.name = "InstallTakes5s",
     .faults = With([](sim::Faults& f) { f.installMs = 5000; }),
     .timingDivisor = 4,
     .slow = true},
    // The RUN after the whole image is lost, then the install takes 5 s, the old firmware
    // answering meanwhile: the run starts the stopped PLC and waits, with no STOP and no image
    // into the install.
    {.name = "RunLostThenAnInstallOf5s",
     .faults = With([](sim::Faults& f) {
         f.loseRun = 1;
         f.installMs = 5000;
     }),
     .timingDivisor = 4,
     .slow = true,
     .shows = "RUN lost"},
    // Restarts after the third write that follows the install: the read-back finds the values
    // gone and the next round puts them back.
    {.name = "RestartAfterThreeWrites",
     .faults = With([](sim::Faults& f) { f.rebootAfterWrites = 3; })},
    // Stops reading the download after ten frames: the sends run into their limit, the transfer
    // is given up and repeated while there is time; nothing is installed and nothing lost.
    {.name = "DownloadStallsAfter10Frames",
     .faults = With([](sim::Faults& f) { f.stallDownload = 10; }),
     .outcomes = {NothingChanged(TEXT_UNKNOWN_ERROR)},
     .maxTransfers = MAX_FLASH_ATTEMPTS},
    // Integers beyond a float's 24-bit mantissa and the lowest 16-bit value, carried exactly.
    {.name = "IntegersBeyondFloatPrecision", .values = KnownValues::kIntegerEdges},
    // Shows the new firmware but is not ready for longer than the restart wait: it took the
    // image, so it is waited for and never sent a second one.
    {.name = "NotReadyLongerThanTheRestartWait",
     .faults = With([](sim::Faults& f) {
         f.notReadyAfterRebootMs =
             static_cast<int>(RunTiming{}.Shortened(kTestTimingDivisor).restartWait.count() + 500);
     })},
    // Busy for 40 s after its restart (at the tests' scale): waited for by time.
    {.name = "BusyFor40sAfterTheRestart",
     .faults = With([](sim::Faults& f) { f.busyAfterRebootMs = 40000 / kTestTimingDivisor; })},
    // Restarts once more half a second after the session that restored and read back the
    // values lets go (an install in two stages): only the confirmation over a new session
    // sees the values gone.
    {.name = "RestartHalfASecondAfterTheReadBack",
     .faults = With([](sim::Faults& f) { f.restartAfterReadbackMs = kReadBackRestartMs; }),
     .restarts = 2},
    // The same where only the integers differ from the factory values.
    {.name = "RestartAfterTheReadBackOnlyIntegersDiffer",
     .faults = With([](sim::Faults& f) { f.restartAfterReadbackMs = kReadBackRestartMs; }),
     .values = KnownValues::kFactoryFloats,
     .restarts = 2},
    // The RUN after the download is lost: the next look finds the PLC stopped and starts it.
    {.name = "RunRequestLost",
     .faults = With([](sim::Faults& f) { f.loseRun = 1; }),
     .beforeRestartWait = true,
     .shows = "RUN lost"},
    // The download is cut and the instrument then reports busy: the next transfer waits for
    // it and sends no STOP while it is busy.
    {.name = "BusySeenBeforeARetransfer",
     .faults = With([](sim::Faults& f) {
         f.cutAt = kEventsBeforeStop + 1 + 10;
         f.busyAfterCutMs = 1000;
     }),
     .minTransfers = 2,
     .maxTransfers = 2,
     .shows = "download cut short: busy for 1000 ms"},
    // The same, busy for good: no STOP while busy, no transfer after the phase's end, and
    // nothing changed.
    {.name = "BusyForGoodBeforeARetransfer",
     .faults = With([](sim::Faults& f) {
         f.cutAt = kEventsBeforeStop + 1 + 10;
         f.busyAfterCutMs = 600000;
     }),
     .outcomes = {NothingChanged(TEXT_UNKNOWN_ERROR)}},
    // The twentieth reply on every connection answers another invoke id: first amid the
    // save's parameter reads, then on an image record and amid every restore round. A sound
    // run waits it out; wherever it gives up, nothing is lost.
    {.name = "AnotherInvokeIdInTheTwentiethReplyOfEachConnection",
     .faults = With([](sim::Faults& f) { f.wrongInvokeAfter = 20; }),
     .outcomes = {Success(), NothingChanged(TEXT_READ_FAILED), ValuesKept(TEXT_RESTORE_FAILED)},
     .minTransfers = 0,
     .shows = "reply to request 20 "},
    // One hiccup breaks the download amid its records and loses the RUN the flash sends after
    // it: the PLC stays stopped. The first look that reaches it starts it, and the image goes
    // out again at once: the first never went out whole.
    {.name = "BrokenDownloadAndItsRunLost",
     .faults = With([](sim::Faults& f) {
         f.cutAt = kEventsBeforeStop + 1 + 10;
         f.cutEvents = 2;
     }),
     .minTransfers = 2,
     .maxTransfers = 2,
     .beforeRestartWait = true,
     .shows = "event 25: every connection dropped"},
    // The download's last frame and the RUN after it are lost together. The last frame went
    // out whole, so the instrument may hold the image: the run starts the stopped PLC and waits
    // the restart wait with no STOP before it sends the image again.
    {.name = "LastDownloadFrameAndTheRunLostTogether",
     .faults = With([](sim::Faults& f) {
         f.cutAt = kEventsBeforeStop + 1 + kDownloadFrames;
         f.cutEvents = 2;
     }),
     .minTransfers = 2,
     .maxTransfers = 2,
     .shows = "event 62: every connection dropped"},
    // Every parameter write is answered 100 ms after it arrives (two seconds at full scale),
    // well within the exchange's limit: the restore waits for each.
    {.name = "ParameterWritesAnswered100msLate",
     .faults = With([](sim::Faults& f) { f.writeDelayMs = 100; })},
    // Every parameter write would be answered only after the exchange gave up on it (600 ms
    // against 500), and the next write takes its place first: nothing is restored within the
    // restore phase, so the values are kept.
    {.name = "ParameterWritesAnsweredAfterTheExchangeGaveUp",
     .faults = With([](sim::Faults& f) { f.writeDelayMs = 600; }),
     .outcomes = {ValuesKept(TEXT_RESTORE_FAILED)}},
    // Writes answered so slowly that the restore phase ends amid its first round while the
    // instrument still answers: no write goes out after the phase's end.
    {.name = "RestorePhaseEndsMidRound",
     .faults = With([](sim::Faults& f) { f.writeDelayMs = 450; }),
     .outcomes = {ValuesKept(TEXT_RESTORE_FAILED)},
     .maxWrites = 9},
    // The instrument takes the restored values, then refuses every connection once the
    // restoring session lets go: the confirmation cannot reach it, and that is no success.
    {.name = "ConfirmationCannotReachTheInstrument",
     .faults = With([](sim::Faults& f) { f.refuseAfterRestore = true; }),
     .outcomes = {ValuesKept(TEXT_RESTORE_FAILED)},
     .reachable = false},
    // Every RUN after the image is lost, and the PLC stays stopped: the run asks until its
    // transfer phase ends and once more after, then says so. The image never took.
    {.name = "EveryRunAfterTheImageLost",
     .faults = With([](sim::Faults& f) { f.loseRun = 1000; }),
     .outcomes = {ValuesKeptImageRefused(TEXT_PLC_STOPPED)}},
    // The state word alternates between ready and busy every 700 ms: no STOP goes out while
    // it reads busy, and the run ends updated, or untouched and saying the instrument is busy.
    {.name = "StateWordFlapsEvery700ms",
     .faults = With([](sim::Faults& f) { f.stateFlapMs = 700; }),
     .outcomes = {Success(), NothingChanged(TEXT_BUSY)},
     .minTransfers = 0},
    // Two instruments in one session: the first keeps its values after a failed restore; a
    // run to the second neither uses nor drops them; a last run puts them back on the first.
    {.name = "TwoInstrumentsTheFirstKeepsItsValues",
     .faults = With([](sim::Faults& f) { f.busyAfterRebootMs = 600000; }),
     .outcomes = {ValuesKept(TEXT_RESTORE_FAILED)},
     .anotherInstrumentMeanwhile = true},
    // Combinations.
    {.name = "DownloadSilentThenBusyAfterReboot", .faults = With([](sim::Faults& f) {
                                                      f.downloadSilent = true;
                                                      f.busyAfterRebootMs = 300;
                                                  })},
    {.name = "SilentReleaseAndImageNotInstalled",
     .faults = With([](sim::Faults& f) {
         f.releaseSilent = true;
         f.rejectImage = true;
     }),
     .outcomes = {NothingChanged(TEXT_UNKNOWN_ERROR), ValuesKeptImageRefused(TEXT_UNKNOWN_ERROR)},
     .minTransfers = 2,
     .maxTransfers = MAX_FLASH_ATTEMPTS},
    {.name = "DownloadErroringAndDropped",
     .faults = With([](sim::Faults& f) {
         f.downloadError = true;
         f.downloadDropAfter = 20;
     }),
     .outcomes = {NothingChanged(TEXT_UNKNOWN_ERROR)},
     .minTransfers = 2,
     .maxTransfers = MAX_FLASH_ATTEMPTS},
    {.name = "NeverComesBackAfterSilentDownload",
     .faults = With([](sim::Faults& f) {
         f.downloadSilent = true;
         f.neverReturn = true;
     }),
     .outcomes = {InstrumentGone(TEXT_UNKNOWN_ERROR)},
     .maxTransfers = 1},
    // A PC with several networks whose host name resolves to an address facing elsewhere
    // first, and a controller with a route for the address facing it only.
    {.name = "HostNameFacesAnotherNetworkRouteOnlyForTheFacingOne",
     .hostAddress = platform::Ipv4{10, 99, 0, 5},
     .strictRoute = true},
};

// The row's outcome the run came to, if any: the text and whether the values are kept must
// both agree with it.
const Outcome* Reached(const FaultCase& c, const RunResult& result, bool keeps) {
    for (const Outcome& o : c.outcomes) {
        if (o.text == nullptr) {
            if (result.ok) {
                return &o;
            }
            continue;
        }
        const bool keepsAsItMay =
            keeps ? o.leaves != Leaves::kNothingChanged : o.leaves != Leaves::kValuesKept;
        const std::string shown = keeps ? WithValuesKept(o.text) : std::string(o.text);
        if (!result.ok && keepsAsItMay && result.message == shown) {
            return &o;
        }
    }
    return nullptr;
}

// A healthy instrument at another address, updated while `kept` holds the values of the row's
// own: the run to it succeeds and leaves them as they were.
void ExpectAnotherInstrumentLeavesTheKeptValues(KeptParameters& kept, const RunTiming& timing,
                                                const LocalAddressSource& local) {
    sim::Options options;
    options.listen = TestOctets(1);
    options.rebootMs = 150;
    sim::Controller other(options);
    ASSERT_TRUE(other.Start()) << other.LastError();
    GiveKnownParameters(other, KnownValues::kIntegerEdges);
    const CarriedParameters before = ReadCarried(other);
    const std::string listing = kept.Listing();
    const RunResult result = RunWholeUpdate(TestOctets(1), kept, timing, local);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_TRUE(result.questions.empty());
    EXPECT_EQ(ReadCarried(other), before);
    EXPECT_EQ(kept.Listing(), listing) << "a run to another instrument changed the kept values";
    EXPECT_NE(listing.find(AddressText(TestOctets()) + " (saved at "), std::string::npos);
}

class FaultMatrixTest : public ::testing::TestWithParam<FaultCase> {
protected:
    void SetUp() override {
        AdsClientResetForTests();
        // The run's pauses and settle time, already shortened with its phases, sleep shorter
        // still, so that looks come often enough to see short faults come and go.
        sleeper_ = std::make_unique<platform::ScopedFixedSleeper>([](milliseconds duration) {
            std::this_thread::sleep_for(duration / kTestSleepDivisor);
        });
        timing_ = std::make_unique<device::ScopedDeviceTimingForTesting>(
            ShortenedDeviceTiming(GetParam().timingDivisor, GetParam().exchangeLimit));
    }
    void TearDown() override {
        timing_.reset();
        sleeper_.reset();
        AdsClientResetForTests();
    }

    std::unique_ptr<platform::ScopedFixedSleeper> sleeper_;
    std::unique_ptr<device::ScopedDeviceTimingForTesting> timing_;
};

TEST_P(FaultMatrixTest, OutcomeTransfersPlcStateAndParameters) {
    const FaultCase& c = GetParam();
    sim::Options options;
    options.listen = TestOctets();
    options.firmwareMajor = 3;
    options.firmwareMinor = 1;
    options.rebootMs = 150;
    options.faults = c.faults;
    std::mutex eventsMutex;
    std::vector<std::string> events;
    options.onEvent = [&](const std::string& line) {
        std::lock_guard lock(eventsMutex);
        events.push_back(line);
    };
    LogEventsIfAsked(options);
    sim::Controller instrument(options);
    ASSERT_TRUE(instrument.Start()) << instrument.LastError();
    GiveKnownParameters(instrument, c.values);
    const CarriedParameters before = ReadCarried(instrument);
    std::optional<platform::Ipv4> facing;
    if (c.strictRoute) {
        facing = AddressFacing(TestOctets());
        ASSERT_TRUE(facing);
        sim::Faults faults = c.faults;
        faults.route = ams::NetIdFromIpv4(*facing);
        instrument.SetFaults(faults);
    }
    LocalAddressSource local = SystemLocalAddressSource();
    if (c.hostAddress) {
        local.firstIpv4 = [address = *c.hostAddress](const std::string&) { return address; };
        AdsClientSetHostLookupForTests(local);
    }

    const RunTiming timing = RunTiming{}.Shortened(c.timingDivisor);
    KeptParameters kept;
    const RunResult result = RunWholeUpdate(TestOctets(), kept, timing, local);

    EXPECT_GE(result.transfers, c.minTransfers);
    EXPECT_LE(result.transfers, c.maxTransfers);
    // Whatever the instrument does, the run ends within its documented worst case.
    EXPECT_LE(result.elapsed, RunWorstCase(timing));
    if (c.beforeRestartWait) {
        EXPECT_LT(result.elapsed, timing.restartWait);
    }
    const Outcome* outcome = Reached(c, result, kept.Holds());
    ASSERT_NE(outcome, nullptr) << "an end the row does not accept: "
                                << (result.ok ? "success" : result.message);
    const bool succeeded = outcome->text == nullptr;
    const bool gone = !succeeded && outcome->leaves == Leaves::kInstrumentGone;
    // A finished bar, or one set back to the start (a refused connection leaves it there).
    EXPECT_EQ(result.position, succeeded ? 74 : 0);

    // A reboot the run set off may still be under way: an instrument that answers at the end
    // is judged once it is back.
    if (c.reachable && !gone) {
        EXPECT_TRUE(instrument.WaitFor(
            [&c](const sim::Stats& s) {
                return !s.rebooting && s.listening && s.rebootsCompleted >= c.restarts;
            },
            milliseconds(5000)));
        // The PLC runs at the end, or the text says it stays stopped, and only then.
        const bool saysStopped = result.message.find(TEXT_PLC_STOPPED) != std::string::npos;
        EXPECT_EQ(instrument.PlcState(), saysStopped ? 6 : 5) << result.message;
    }
    const sim::Stats stats = instrument.stats();
    const auto firmware = instrument.Firmware();
    const auto newFirmware = std::make_pair(uint8_t{3}, uint8_t{3});
    const auto oldFirmware = std::make_pair(uint8_t{3}, uint8_t{1});
    const CarriedParameters after = ReadCarried(instrument);
    const std::string values = "before: " + Describe(before) + "\nafter:  " + Describe(after);
    if (succeeded) {
        EXPECT_EQ(result.message, "");
        EXPECT_FALSE(kept.Holds());
        EXPECT_EQ(firmware, newFirmware);
        EXPECT_EQ(after, before) << values;
        // The registration came from the address facing the instrument.
        EXPECT_EQ(stats.lastRegisteredHost, facing ? facing : AddressFacing(TestOctets()));
    } else if (outcome->leaves == Leaves::kNothingChanged) {
        EXPECT_EQ(firmware, oldFirmware);
        EXPECT_EQ(after, before) << values;
    } else if (outcome->leaves == Leaves::kValuesKept) {
        EXPECT_EQ(firmware, outcome->imageTook ? newFirmware : oldFirmware);
        if (!outcome->imageTook) {
            EXPECT_EQ(after, before) << values;
        }
        if (c.anotherInstrumentMeanwhile) {
            ExpectAnotherInstrumentLeavesTheKeptValues(kept, timing, local);
        }
        // Once the instrument is itself again, a second run puts the kept values back.
        instrument.SetFaults({});
        const RunResult again = RunWholeUpdate(TestOctets(), kept, timing, local);
        EXPECT_TRUE(again.ok) << again.message;
        EXPECT_EQ(ReadCarried(instrument), before)
            << "after: " << Describe(ReadCarried(instrument));
        EXPECT_FALSE(kept.Holds());
    } else {
        EXPECT_FALSE(stats.listening);
    }
    if (c.shows != nullptr) {
        std::lock_guard lock(eventsMutex);
        EXPECT_TRUE(std::ranges::any_of(
            events,
            [&c](const std::string& line) { return line.find(c.shows) != std::string::npos; }))
            << "the fault never struck: no line shows \"" << c.shows << "\"";
    }
    // Every frame, ADS request or download record, came from the address facing the
    // instrument, with it as its source NetId.
    EXPECT_EQ(stats.framesWithoutRoute, 0u);
    // An instrument that is busy or not ready is neither stopped nor written to, one that may
    // be installing an image is not stopped, and no image is installed twice.
    EXPECT_EQ(stats.stopsWhileBusy, 0u);
    EXPECT_EQ(stats.stopsWhileNotReady, 0u);
    EXPECT_EQ(stats.stopsWhileInstalling, 0u);
    EXPECT_EQ(stats.writesWhileBusy, 0u);
    EXPECT_EQ(stats.writesWhileNotReady, 0u);
    EXPECT_LE(stats.imagesInstalled, 1u);
    if (c.maxWrites >= 0) {
        const auto writes = stats.mailboxReceived.find(kSetParameter);
        EXPECT_LE(writes == stats.mailboxReceived.end() ? 0u : writes->second,
                  static_cast<uint64_t>(c.maxWrites));
    }
    // A run that ended before its transfer never touched the PLC or the download.
    if (result.transfers == 0) {
        EXPECT_EQ(stats.stopRequests, 0u);
        EXPECT_EQ(stats.downloadFrames, 0u);
    }
}

// This file builds two suites: the quick rows, run under every configuration, and the slow
// ones (CORVANE_SLOW_ROWS), run once, natively.
#ifndef CORVANE_SLOW_ROWS
#define CORVANE_SLOW_ROWS 0
#endif
std::vector<FaultCase> Rows() {
    std::vector<FaultCase> rows;
    for (const FaultCase& c : kCases) {
        if (c.slow == (CORVANE_SLOW_ROWS != 0)) {
            rows.push_back(c);
        }
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrixTest, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<FaultCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace corvane::test
