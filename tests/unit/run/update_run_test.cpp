#include <gtest/gtest.h>

#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/update_run.h"
#include "device/device_timing.h"
#include "device/notify_progress.h"
#include "tests/support/test_address.h"
#include "tests/unit/run/run_fixture.h"

namespace corvane::test {
namespace {

using std::chrono::milliseconds;

constexpr uint16_t kRelease = 15;
constexpr uint16_t kSetParameter = 7;
constexpr uint32_t kPaintRequest = 0x0401;  // a message of the window's own, posted before the run

// The bar of a run that saved and judged the version: the reads, closing, settling.
std::vector<int> PositionsUpToVerdict() {
    return {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
}

// The whole bar of a run whose first transfer took.
std::vector<int> SuccessfulRunPositions() {
    std::vector<int> p = PositionsUpToVerdict();
    for (int step = 1; step <= 52; ++step) {
        if (step != 48) {  // the flash never reports step 48
            p.push_back(step + 12);
        }
    }
    for (int position = 64; position <= 74; ++position) {
        p.push_back(position);
    }
    return p;
}

std::string VersionName(int major, int minor) {
    std::ostringstream name;
    name << 'V' << major << '_' << minor;
    return name.str();
}

struct Refusal {
    uint8_t major;
    uint8_t minor;
    const char* text;
};

class RefusedVersionTest : public UpdateRunTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedVersionTest, ClosesTheLinkAndLeavesTheInstrumentAlone) {
    sim::Controller& instrument = StartInstrument(GetParam().major, GetParam().minor);
    const Parameters before = ReadInstrument();
    RecordingView view(TestOctets());

    EXPECT_FALSE(Run(view));

    EXPECT_EQ(view.Message(), GetParam().text);
    std::vector<int> expected = PositionsUpToVerdict();
    expected.push_back(0);
    EXPECT_EQ(view.positions, expected);
    const sim::Stats stats = instrument.stats();
    // The session was released before the verdict, and the PLC never touched.
    EXPECT_EQ(stats.mailboxAnswered.count(kRelease) ? stats.mailboxAnswered.at(kRelease) : 0, 1u);
    EXPECT_EQ(stats.stopRequests, 0u);
    EXPECT_EQ(stats.downloadFrames, 0u);
    EXPECT_EQ(transfers_, 0);
    EXPECT_EQ(ReadInstrument(), before);
    EXPECT_EQ(instrument.Firmware(), std::make_pair(GetParam().major, GetParam().minor));
}

INSTANTIATE_TEST_SUITE_P(Versions, RefusedVersionTest,
                         ::testing::Values(Refusal{2, 9, TEXT_TOO_OLD},
                                           Refusal{3, 3, TEXT_ALREADY_CURRENT},
                                           Refusal{3, 4, TEXT_ALREADY_CURRENT},
                                           Refusal{4, 0, TEXT_ALREADY_CURRENT}),
                         [](const auto& param_info) {
                             return VersionName(param_info.param.major, param_info.param.minor);
                         });

class UpdatableVersionTest : public UpdateRunTest,
                             public ::testing::WithParamInterface<std::pair<uint8_t, uint8_t>> {};

// The parameter ids of the instrument's mailbox events, `kind` "get" or "set", in order.
std::vector<int> ParameterIds(const std::vector<std::string>& lines, const std::string& kind) {
    const std::string prefix = "mailbox: " + kind + " parameter ";
    std::vector<int> ids;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) {
            ids.push_back(std::stoi(line.substr(prefix.size())));
        }
    }
    return ids;
}

TEST_P(UpdatableVersionTest, FlashesOnceAndRestoresEveryParameter) {
    std::mutex linesMutex;
    std::vector<std::string> lines;
    options_.onEvent = [&](const std::string& line) {
        std::lock_guard lock(linesMutex);
        lines.push_back(line);
    };
    sim::Controller& instrument = StartInstrument(GetParam().first, GetParam().second);
    const Parameters before = ReadInstrument();
    RecordingView view(TestOctets());

    EXPECT_TRUE(Run(view)) << view.Message();

    EXPECT_TRUE(view.messages.empty()) << view.Message();
    EXPECT_EQ(view.range, (std::array<int, 2>{0, 74}));
    EXPECT_EQ(view.positions, SuccessfulRunPositions());
    EXPECT_EQ(ProgressWindow, view.WindowHandle());
    EXPECT_EQ(transfers_, 1);
    const sim::Stats stats = instrument.stats();
    EXPECT_EQ(stats.imagesInstalled, 1u);
    EXPECT_EQ(instrument.Firmware(), std::make_pair(uint8_t{3}, uint8_t{3}));
    // The image reset the instrument to factory values; the run put every value back,
    // the float -1.0 and both integer parameters included.
    EXPECT_EQ(ReadInstrument(), before);
    EXPECT_EQ(instrument.FloatParameter(2), -1.0f);
    // The instrument's order: the version with the connect, then the saved parameters; the
    // writes in the same order, each write once.
    const std::vector<int> order{0, 1, 2, 3, 6, 5, 7, 8, 11, 4};
    std::lock_guard lock(linesMutex);
    const std::vector<int> reads = ParameterIds(lines, "get");
    ASSERT_GE(reads.size(), 11u);
    EXPECT_EQ(std::vector<int>(reads.begin() + 1, reads.begin() + 11), order);
    EXPECT_EQ(ParameterIds(lines, "set"), order);
    // Every session was released: the saving one, the restoring one, and the one that
    // confirmed the values afresh.
    EXPECT_EQ(stats.mailboxAnswered.at(kRelease), 3u);
}

INSTANTIATE_TEST_SUITE_P(Versions, UpdatableVersionTest,
                         ::testing::Values(std::pair<uint8_t, uint8_t>{3, 0},
                                           std::pair<uint8_t, uint8_t>{3, 25},
                                           std::pair<uint8_t, uint8_t>{3, 29}),
                         [](const auto& param_info) {
                             return VersionName(param_info.param.first, param_info.param.second);
                         });

TEST_F(UpdateRunTest, NothingAtTheAddressIsReportedWithoutAnyTransfer) {
    options_.faults.refuseConnect = true;
    sim::Controller& instrument = StartInstrument(3, 1);
    RecordingView view(TestOctets());

    EXPECT_FALSE(Run(view));

    EXPECT_EQ(view.Message(), TEXT_CONNECT_FAILED);
    EXPECT_TRUE(view.positions.empty());  // the bar is left where it was
    EXPECT_EQ(view.range, (std::array<int, 2>{0, 74}));
    EXPECT_EQ(transfers_, 0);
    EXPECT_EQ(instrument.stats().connectionsAccepted, 0u);
    EXPECT_EQ(instrument.stats().downloadFrames, 0u);
}

TEST_F(UpdateRunTest, InstrumentThatNeverComesBackIsWaitedForNotFlashedAgain) {
    options_.faults.neverReturn = true;
    sim::Controller& instrument = StartInstrument(3, 1);
    RecordingView view(TestOctets());

    EXPECT_FALSE(Run(view));

    // It took the whole image and may be installing it: a second image would install twice.
    EXPECT_EQ(transfers_, 1);
    EXPECT_EQ(view.Message(), WithValuesKept(TEXT_UNKNOWN_ERROR));
    EXPECT_EQ(view.Position(), 0);
    EXPECT_EQ(instrument.stats().imagesInstalled, 1u);
    EXPECT_NE(kept_.For(TestOctets()), nullptr);
}

TEST_F(UpdateRunTest, InstrumentBackWithItsOldFirmwareIsAFailure) {
    options_.faults.rejectImage = true;
    sim::Controller& instrument = StartInstrument(3, 1);
    RecordingView view(TestOctets());

    EXPECT_FALSE(Run(view));

    // Back with its old firmware: once a look has found every value in place there, nothing
    // was lost and nothing is kept; a run whose time ran out before that keeps them and says so.
    if (kept_.For(TestOctets()) == nullptr) {
        EXPECT_EQ(view.Message(), TEXT_UNKNOWN_ERROR);
    } else {
        EXPECT_EQ(view.Message(), WithValuesKept(TEXT_UNKNOWN_ERROR));
    }
    EXPECT_EQ(view.Position(), 0);
    // Each restart without the image earns another transfer, while there is time.
    EXPECT_GE(transfers_, 2);
    EXPECT_LE(transfers_, MAX_FLASH_ATTEMPTS);
    EXPECT_GE(instrument.stats().rebootsStarted, static_cast<uint64_t>(transfers_ - 1));
    EXPECT_EQ(instrument.stats().mailboxReceived.count(kSetParameter), 0u);
}

// The connection drops amid the save and the instrument comes back with other firmware (and a
// value changed meanwhile): what was read before is not its own any more, so the save starts
// again from the first parameter.
TEST_F(UpdateRunTest, SaveRiddenOutAcrossAnotherFirmwareStartsAgain) {
    sim::Controller& instrument = StartInstrument(3, 1);
    RecordingView view(TestOctets());
    bool struck = false;
    view.onPosition = [&](int position) {
        if (position == 5 && !struck) {
            struck = true;
            instrument.SetFirmware(3, 2);
            instrument.SetFloatParameter(0, 55.5f);
            instrument.SetFaults({.cutAt = 1});
        }
    };

    EXPECT_TRUE(Run(view)) << view.Message();

    EXPECT_TRUE(struck);
    EXPECT_EQ(instrument.FloatParameter(0), 55.5f);
}

TEST_F(UpdateRunTest, UnansweredParameterReadStopsTheRunBeforeThePlcIsTouched) {
    device::ScopedDeviceTimingForTesting timing(milliseconds(300), milliseconds(5000));
    sim::Controller& instrument = StartInstrument(3, 1);
    const Parameters before = ReadInstrument();
    RecordingView view(TestOctets());
    // Position 5 is set just before parameter 5 is read; only that read goes unanswered.
    view.onPosition = [&](int position) {
        sim::Faults faults;
        faults.mailboxSilent = position == 5;
        instrument.SetFaults(faults);
    };

    EXPECT_FALSE(Run(view));

    EXPECT_EQ(view.Message(), TEXT_READ_FAILED);
    // The reads stop at the one that failed: without it there is no backup anyway.
    EXPECT_EQ(view.positions, (std::vector<int>{1, 1, 2, 3, 4, 5, 11, 12, 0}));
    EXPECT_EQ(instrument.stats().stopRequests, 0u);
    EXPECT_EQ(transfers_, 0);
    EXPECT_EQ(ReadInstrument(), before);
}

TEST_F(UpdateRunTest, InstrumentBusyAfterItsRestartStillGetsEveryParameterBack) {
    // The busy time is real; the run's one-second retries are shortened to a quarter, which
    // still gives it 7.5 s in all.
    sleepDivisor_ = 4;
    timingDivisor_ = 4;
    options_.faults.busyAfterRebootMs = 5000;
    sim::Controller& instrument = StartInstrument(3, 1);
    const Parameters before = ReadInstrument();
    RecordingView view(TestOctets());

    EXPECT_TRUE(Run(view)) << view.Message();

    EXPECT_EQ(ReadInstrument(), before);
    EXPECT_EQ(view.Position(), 74);
    EXPECT_EQ(instrument.Firmware(), std::make_pair(uint8_t{3}, uint8_t{3}));
    EXPECT_GE(instrument.stats().mailboxAnswered.at(kSetParameter), 10u);
}

TEST_F(UpdateRunTest, InstrumentBusyForGoodIsAFailureOnlyWhenTheRestorePhaseEnds) {
    options_.faults.busyAfterRebootMs = 600000;
    sim::Controller& instrument = StartInstrument(3, 1);
    RecordingView view(TestOctets());
    const auto start = std::chrono::steady_clock::now();

    EXPECT_FALSE(Run(view));

    EXPECT_EQ(view.Message(), WithValuesKept(TEXT_RESTORE_FAILED));
    EXPECT_EQ(view.Position(), 0);
    // Waited for by time, not by a count of retries: the whole restore phase went by.
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              RunTiming{}.Shortened(timingDivisor_).restore);
    // Refused on this side while busy: nothing reached the instrument, which still has its
    // factory values, and the saved ones are kept.
    EXPECT_EQ(instrument.stats().mailboxReceived.count(kSetParameter), 0u);
    EXPECT_EQ(instrument.FloatParameter(0), sim::Controller::FactoryFloatParameter(0));
    ASSERT_NE(kept_.For(TestOctets()), nullptr);
    EXPECT_EQ(kept_.For(TestOctets())->values.size(), 10u);
}

// The image went out whole and installed, but the run could not tell: the values are kept
// from the first STOP on, so the failed restore still leaves them with the wizard.
TEST_F(UpdateRunTest, ValuesAreKeptFromTheFirstStopWhateverTheTransferReported) {
    options_.faults.busyAfterRebootMs = 600000;
    StartInstrument(3, 1);
    alterReport_ = [](FlashReport& report) { report.imageWhole = false; };
    RecordingView view(TestOctets());

    EXPECT_FALSE(Run(view));

    EXPECT_EQ(view.Message(), WithValuesKept(TEXT_RESTORE_FAILED));
    EXPECT_NE(kept_.For(TestOctets()), nullptr);
}

TEST_F(UpdateRunTest, UnansweredWriteDoesNotStopTheOthersAndTheInstrumentHasTheLastWord) {
    device::ScopedDeviceTimingForTesting timing(milliseconds(300), milliseconds(5000));
    sim::Controller& instrument = StartInstrument(3, 1);
    const Parameters before = ReadInstrument();
    RecordingView view(TestOctets());
    // Position 65 follows the write of parameter 1: the write of parameter 2 goes unanswered,
    // and takes once the mailbox answers again.
    view.onPosition = [&](int position) {
        if (position >= 64) {
            sim::Faults faults;
            faults.mailboxSilent = position == 65;
            instrument.SetFaults(faults);
        }
    };

    EXPECT_TRUE(Run(view)) << view.Message();

    // Every write of the round reached the instrument, the ones after the unanswered one too;
    // the values then read back in place over two sessions, so none was written again.
    EXPECT_EQ(instrument.stats().mailboxReceived.at(kSetParameter), 10u);
    EXPECT_EQ(ReadInstrument(), before);
    EXPECT_EQ(kept_.For(TestOctets()), nullptr);
}

TEST_F(UpdateRunTest, UnansweredReleaseDoesNotKeepTheSessionFromReconnecting) {
    // An open session would refuse the Connect after the transfer on this side.
    device::ScopedDeviceTimingForTesting timing(milliseconds(300), milliseconds(5000));
    options_.faults.releaseSilent = true;
    StartInstrument(3, 1);
    const Parameters before = ReadInstrument();
    RecordingView view(TestOctets());

    EXPECT_TRUE(Run(view)) << view.Message();

    EXPECT_EQ(transfers_, 1);
    EXPECT_EQ(ReadInstrument(), before);
}

TEST_F(UpdateRunTest, UnansweredRegistrationAfterTheRestartStillRestores) {
    // Connect then fails, but the session it opened carries the new firmware.
    device::ScopedDeviceTimingForTesting timing(milliseconds(300), milliseconds(5000));
    sim::Controller& instrument = StartInstrument(3, 1);
    const Parameters before = ReadInstrument();
    RecordingView view(TestOctets());
    view.onPosition = [&](int position) {
        if (position == 13) {  // the transfer has begun
            sim::Faults faults;
            faults.registerSilent = true;
            instrument.SetFaults(faults);
        }
    };

    EXPECT_TRUE(Run(view)) << view.Message();

    EXPECT_EQ(transfers_, 1);
    EXPECT_EQ(ReadInstrument(), before);
}

TEST_F(UpdateRunTest, SecondRunAfterAFailureSavesTheParametersAgain) {
    // No image ever goes out whole: nothing can be lost, and nothing is kept.
    options_.faults.downloadDropAfter = 10;
    sim::Controller& instrument = StartInstrument(3, 1);
    RecordingView view(TestOctets());
    ASSERT_FALSE(Run(view));
    const int failedTransfers = transfers_;

    instrument.SetFaults({});
    instrument.SetFloatParameter(0, 99.5f);
    instrument.SetIntParameter(11, -7);
    const Parameters changed = ReadInstrument();
    view.positions.clear();
    view.messages.clear();

    EXPECT_TRUE(Run(view)) << view.Message();

    EXPECT_EQ(view.positions, SuccessfulRunPositions());
    EXPECT_EQ(ReadInstrument(), changed);
    EXPECT_EQ(instrument.stats().connectionsAccepted > 0, true);
    EXPECT_EQ(transfers_, failedTransfers + 1);
}

TEST_F(UpdateRunTest, ExceptionInsideTheRunIsAFailureAndReleasesTheSession) {
    sim::Controller& instrument = StartInstrument(3, 1);
    RecordingView view(TestOctets());
    view.onPosition = [](int position) {
        if (position == 5) {
            throw std::runtime_error("window gone");
        }
    };

    EXPECT_FALSE(Run(view));

    EXPECT_EQ(view.Message(), TEXT_UNKNOWN_ERROR);
    EXPECT_EQ(instrument.stats().mailboxAnswered.at(kRelease), 1u);
    EXPECT_EQ(instrument.stats().stopRequests, 0u);
}

TEST_F(UpdateRunTest, RunPumpsTheWindowBeforeItConnects) {
    options_.faults.refuseConnect = true;
    StartInstrument(3, 1);
    RecordingView view(TestOctets());
    bool painted = false;
    TestWindow window(
        [&](const platform::WindowMessage& m) { painted = painted || m.message == kPaintRequest; });
    platform::PostWindowMessage(window.handle(), kPaintRequest, 0, 0);

    Run(view);

    EXPECT_TRUE(painted);
    EXPECT_GE(view.pumps, 1);
}

}  // namespace
}  // namespace corvane::test
