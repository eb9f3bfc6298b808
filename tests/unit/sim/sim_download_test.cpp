// The simulated controller's firmware download: frames answered and recorded, the image put
// together, installed or rejected on RUN, and the reboot around it.
#include <gtest/gtest.h>

#include <bit>

#include "tests/unit/sim/raw_client.h"
#include "tests/unit/sim/sim_fixture.h"
#include "transfer/firmware_image.h"

namespace {

using namespace std::chrono_literals;
using corvane::test::RawClient;
using corvane::test::RouterAccepts;
using corvane::test::SimTest;
using corvane::test::TestOctets;
using Bytes = std::vector<uint8_t>;

constexpr size_t kRecord = 2060;

struct CommandFrame {
    uint32_t invokeId;
    Bytes data;
};

const std::vector<CommandFrame> kOpening{
    {1, {0x01, 0x04, 0x00, 0x00, 0x00, 0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {2, {0xCA}},
    {3, {0x11}},
    {4, {0x0E}},
    {5, {0xCE, 0x01, 0x00, 0x00}}};
const std::vector<CommandFrame> kClosing{{6, {0x14, 0x00, 0x00}}, {7, {0xD4}}, {8, {0xC4}}};

Bytes TestImage(size_t records, uint8_t seed) {
    Bytes image(records * kRecord);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 7 + seed);
    }
    return image;
}

class SimDownloadTest : public SimTest {
protected:
    // The flash sequence's frames over one connection, waiting for each reply (when
    // `awaitReplies`); returns how many replies were as expected.
    static int SendDownload(RawClient& client, const Bytes& image, bool awaitReplies = true) {
        int good = 0;
        const auto exchange = [&](uint16_t commandId, uint32_t invokeId,
                                  std::span<const uint8_t> d) {
            EXPECT_TRUE(client.SendFrame(commandId, invokeId, d));
            if (!awaitReplies) {
                return;
            }
            const auto reply = client.NextReply();
            if (reply && reply->header.commandId == commandId &&
                reply->header.invokeId == invokeId && reply->header.errorCode == 0 &&
                reply->header.stateFlags == 0x0001 && reply->header.dataLength == 0) {
                ++good;
            }
        };
        for (const auto& c : kOpening) {
            exchange(0x5001, c.invokeId, c.data);
        }
        for (size_t at = 0; at < image.size(); at += kRecord) {
            exchange(0x5006, 0, std::span<const uint8_t>(image).subspan(at, kRecord));
        }
        for (const auto& c : kClosing) {
            exchange(0x5001, c.invokeId, c.data);
        }
        return good;
    }

    int32_t Run() { return AdsSyncWriteControlReq(&plc_, ADSSTATE_RUN, 0, 0, nullptr); }
    // The expected image downloaded on a connection of its own, then RUN.
    void Flash() {
        RawClient client(TestOctets());
        ASSERT_EQ(SendDownload(client, options_.expectedImage),
                  static_cast<int>(options_.expectedImage.size() / kRecord) + 8);
        ASSERT_EQ(Run(), 0);
    }
    int32_t Stop() { return AdsSyncWriteControlReq(&plc_, ADSSTATE_STOP, 0, 0, nullptr); }

    static bool RebootDone(const sim::Stats& s) { return s.rebootsCompleted >= 1; }
    // The state word reads `word` now and turns to 1 by itself; polled with a deadline, as the
    // host would.
    void ExpectStateWordUntilOne(int16_t word) {
        EXPECT_EQ(ReadStatus().stateWord, word);
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        int16_t state = word;
        while (state == word && std::chrono::steady_clock::now() < deadline) {
            state = ReadStatus().stateWord;
        }
        EXPECT_EQ(state, 1);
    }
    // The opening commands and the first record of two, answered; the caller breaks off.
    void SendHalfADownload(RawClient& client) {
        for (const auto& c : kOpening) {
            ASSERT_TRUE(client.SendFrame(0x5001, c.invokeId, c.data));
            ASSERT_TRUE(client.NextReply());
        }
        ASSERT_TRUE(client.SendFrame(
            0x5006, 0, std::span<const uint8_t>(options_.expectedImage).first(kRecord)));
        ASSERT_TRUE(client.NextReply());
    }
};

TEST_F(SimDownloadTest, EmbeddedImageIsInstalledAndTheControllerComesBackWithIt) {
    options_.rebootMs = 300;
    RecordEvents();
    auto& simulator = Start();
    const auto embedded = FirmwareImage();
    const Bytes image(embedded.begin(), embedded.end());
    // The host's last request before the flash, as its polling worker would leave it.
    EXPECT_EQ(Code(Exchange(Command(15, 9))), 15);
    ASSERT_EQ(Stop(), 0);
    {
        RawClient client(TestOctets());
        ASSERT_TRUE(client.Connected());
        EXPECT_EQ(SendDownload(client, image), 47);
    }
    EXPECT_EQ(simulator.LastReceivedImage(), image);
    EXPECT_EQ(simulator.stats().imagesReceived, 1u);
    EXPECT_EQ(simulator.Firmware(), (std::pair<uint8_t, uint8_t>{3, 1})) << "not before RUN";

    ASSERT_EQ(Run(), 0);
    // No waiting here: by the time the RUN reply is in, the port is already closed.
    EXPECT_FALSE(RouterAccepts(TestOctets())) << "a rebooting controller refuses connections";
    EXPECT_EQ(simulator.stats().rebootsStarted, 1u);
    EXPECT_EQ(simulator.stats().imagesInstalled, 1u);
    ASSERT_TRUE(simulator.WaitFor(RebootDone, 5s));
    ASSERT_TRUE(simulator.WaitFor([](const sim::Stats& s) { return s.listening; }, 5s));
    EXPECT_TRUE(RouterAccepts(TestOctets()));

    EXPECT_EQ(simulator.Firmware(), (std::pair<uint8_t, uint8_t>{3, 3}));
    EXPECT_EQ(simulator.PlcState(), 5);
    for (int id = 0; id < sim::kParameterCount; ++id) {
        if (sim::IsFloatParameter(id)) {
            EXPECT_EQ(simulator.FloatParameter(id), sim::Controller::FactoryFloatParameter(id));
        } else if (sim::IsIntParameter(id)) {
            EXPECT_EQ(simulator.IntParameter(id), sim::Controller::FactoryIntParameter(id));
        }
    }
    // The request left in the command block is not answered a second time after the restart;
    // a new one is, with the new version.
    Exchange(Command(15, 9));
    EXPECT_EQ(simulator.stats().mailboxAnswered.at(15), 1u);
    const auto r = Exchange(Command(8, 1, 10));
    EXPECT_EQ(Code(r), 8);
    EXPECT_EQ(r[12], 3);
    EXPECT_EQ(r[13], 3);

    EXPECT_TRUE(HasEvent("download record 1 of 39"));
    EXPECT_TRUE(HasEvent("download record 39 of 39"));
    EXPECT_TRUE(HasEvent("PLC stopped"));
    EXPECT_TRUE(HasEvent("PLC running"));
}

TEST_F(SimDownloadTest, FramesAreRecordedInOrderOfArrival) {
    options_.expectedImage = TestImage(2, 1);
    auto& simulator = Start();
    RawClient client(TestOctets());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(SendDownload(client, options_.expectedImage), 10);
    const auto frames = simulator.DownloadFrames();
    ASSERT_EQ(frames.size(), 10u);
    EXPECT_EQ(frames[0].commandId, 0x5001);
    EXPECT_EQ(frames[0].invokeId, 1u);
    EXPECT_EQ(frames[0].data, kOpening[0].data);
    EXPECT_EQ(frames[5].commandId, 0x5006);
    EXPECT_EQ(frames[5].invokeId, 0u);
    EXPECT_EQ(frames[6].data,
              Bytes(options_.expectedImage.begin() + kRecord, options_.expectedImage.end()));
    EXPECT_EQ(frames[9].invokeId, 8u);
    EXPECT_EQ(frames[9].data, kClosing[2].data);
}

// Ways a flash can fail to install; each time the controller reboots and keeps what it had.
struct Rejection {
    const char* name;
    bool rejectFault;
    uint8_t imageSeed;  // 1 = the expected image
    int installMs;
};

void PrintTo(const Rejection& r, std::ostream* os) {
    *os << r.name;
}

class SimRejectionTest : public SimDownloadTest, public ::testing::WithParamInterface<Rejection> {};

TEST_P(SimRejectionTest, RebootsWithTheOldVersionAndParameters) {
    options_.expectedImage = TestImage(3, 1);
    options_.faults.rejectImage = GetParam().rejectFault;
    options_.faults.installMs = GetParam().installMs;
    auto& simulator = Start();
    simulator.SetFloatParameter(3, 77.5f);
    {
        RawClient client(TestOctets());
        ASSERT_TRUE(client.Connected());
        EXPECT_EQ(SendDownload(client, TestImage(3, GetParam().imageSeed)), 11);
    }
    ASSERT_EQ(Run(), 0);
    // Under install-ms the old firmware serves on; lifting it lets the verdict come.
    EXPECT_EQ(simulator.stats().rebootsStarted, GetParam().installMs > 0 ? 0u : 1u);
    simulator.SetFaults({.rejectImage = GetParam().rejectFault});
    ASSERT_TRUE(simulator.WaitFor(RebootDone, 5s));
    const auto stats = simulator.stats();
    EXPECT_EQ(stats.imagesRejected, 1u);
    EXPECT_EQ(stats.imagesInstalled, 0u);
    EXPECT_EQ(simulator.Firmware(), (std::pair<uint8_t, uint8_t>{3, 1}));
    EXPECT_EQ(simulator.FloatParameter(3), 77.5f);
}

INSTANTIATE_TEST_SUITE_P(Flashes, SimRejectionTest,
                         ::testing::Values(Rejection{"ImageMismatch", false, 2, 0},
                                           Rejection{"RejectImageFault", true, 1, 0},
                                           Rejection{"RejectedAfterInstallMs", true, 1, 600000}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(SimDownloadTest, RunWithoutAClosedDownloadInstallsNothing) {
    options_.expectedImage = TestImage(2, 1);
    auto& simulator = Start();
    {
        RawClient client(TestOctets());
        ASSERT_TRUE(client.Connected());
        SendHalfADownload(client);
    }  // and the connection breaks off
    ASSERT_EQ(Run(), 0);
    const auto stats = simulator.stats();
    EXPECT_EQ(stats.imagesReceived, 0u);
    EXPECT_EQ(stats.rebootsStarted, 0u);
    EXPECT_EQ(simulator.Firmware(), (std::pair<uint8_t, uint8_t>{3, 1}));
    EXPECT_TRUE(simulator.stats().listening);
}

TEST_F(SimDownloadTest, NeverReturnKeepsTheControllerDownForGood) {
    options_.expectedImage = TestImage(1, 1);
    options_.faults.neverReturn = true;
    options_.rebootMs = 20;
    auto& simulator = Start();
    Flash();
    ASSERT_TRUE(simulator.WaitFor([](const sim::Stats& s) { return s.rebootsStarted == 1; }, 5s));
    // Many times the reboot time passes without a return.
    EXPECT_FALSE(simulator.WaitFor(RebootDone, 400ms));
    EXPECT_FALSE(RouterAccepts(TestOctets()));
    EXPECT_FALSE(simulator.stats().listening);
}

TEST_F(SimDownloadTest, BusyAfterRebootHoldsStateTwoForAWhile) {
    options_.expectedImage = TestImage(1, 1);
    options_.faults.busyAfterRebootMs = 300;
    auto& simulator = Start();
    Flash();
    ASSERT_TRUE(simulator.WaitFor(RebootDone, 5s));
    ASSERT_TRUE(simulator.WaitFor([](const sim::Stats& s) { return s.listening; }, 5s));
    ExpectStateWordUntilOne(2);
}

TEST_F(SimDownloadTest, NotReadyAfterRebootReadsZeroWithTheNewVersionAlreadyIn) {
    options_.expectedImage = TestImage(1, 1);
    options_.faults.notReadyAfterRebootMs = 300;
    auto& simulator = Start();
    Flash();
    ASSERT_TRUE(
        simulator.WaitFor([](const sim::Stats& s) { return RebootDone(s) && s.listening; }, 5s));
    const auto version = Exchange(Command(8, 1, 10));
    EXPECT_EQ(std::pair(version[12], version[13]), (std::pair<uint8_t, uint8_t>{3, 3}));
    ExpectStateWordUntilOne(0);
}

TEST_F(SimDownloadTest, BusyAfterCutHoldsStateTwoAfterADownloadBrokenOff) {
    options_.expectedImage = TestImage(2, 1);
    options_.faults.busyAfterCutMs = 300;
    auto& simulator = Start();
    EXPECT_EQ(ReadStatus().stateWord, 1);
    {
        RawClient client(TestOctets());
        SendHalfADownload(client);
    }
    ASSERT_TRUE(
        simulator.WaitFor([](const sim::Stats& s) { return s.connectionsClosed == 1; }, 5s));
    ExpectStateWordUntilOne(2);
}

TEST_F(SimDownloadTest, LoseRunDropsTheFirstRunAfterADownloadAndServesTheNext) {
    options_.expectedImage = TestImage(1, 1);
    options_.faults.loseRun = 1;
    auto& simulator = Start();
    RawClient client(TestOctets());
    ASSERT_EQ(SendDownload(client, options_.expectedImage), 9);
    ASSERT_EQ(Stop(), 0);
    EXPECT_EQ(simulator.stats().stopsWhileInstalling, 1u) << "a whole image waits for its RUN";
    EXPECT_NE(Run(), 0) << "no reply, its connection closed";
    EXPECT_EQ(simulator.PlcState(), 6) << "still stopped";
    EXPECT_EQ(simulator.stats().imagesInstalled, 0u);
    EXPECT_EQ(Run(), 0);
    ASSERT_TRUE(simulator.WaitFor(RebootDone, 5s));
    EXPECT_EQ(simulator.stats().imagesInstalled, 1u);
}

TEST_F(SimDownloadTest, RestartAfterReadbackRestartsOncePerInstallWithFactoryParameters) {
    options_.expectedImage = TestImage(1, 1);
    options_.faults.restartAfterReadbackMs = 50;
    auto& simulator = Start();
    Flash();
    const auto back = [](uint64_t n) {
        return [n](const sim::Stats& s) { return s.rebootsCompleted == n && s.listening; };
    };
    ASSERT_TRUE(simulator.WaitFor(back(1), 5s));
    Exchange(Command(15, 1, 0));  // a release before any write is no read-back's end
    Exchange(Command(7, 2, 3, std::bit_cast<uint32_t>(77.5f)));
    Exchange(Command(8, 3, 3));
    EXPECT_EQ(simulator.stats().rebootsStarted, 1u);
    Exchange(Command(15, 6, 0));
    ASSERT_TRUE(simulator.WaitFor(back(2), 5s));
    EXPECT_EQ(simulator.FloatParameter(3), sim::Controller::FactoryFloatParameter(3));
    Exchange(Command(7, 4, 3, std::bit_cast<uint32_t>(77.5f)));
    Exchange(Command(15, 5, 0));
    EXPECT_FALSE(simulator.WaitFor(back(3), 300ms)) << "once per install";
    EXPECT_EQ(simulator.FloatParameter(3), 77.5f);
}

TEST_F(SimDownloadTest, RefuseAfterRestoreClosesThePortOnceTheWritingSessionLetsGo) {
    options_.expectedImage = TestImage(1, 1);
    options_.faults.refuseAfterRestore = true;
    auto& simulator = Start();
    Flash();
    ASSERT_TRUE(
        simulator.WaitFor([](const sim::Stats& s) { return RebootDone(s) && s.listening; }, 5s));
    Exchange(Command(7, 1, 3, std::bit_cast<uint32_t>(77.5f)));
    RawClient watcher(TestOctets());
    EXPECT_EQ(WriteCommand(Command(15, 2, 0)), 0) << "the release is answered";
    EXPECT_TRUE(watcher.WaitForClose()) << "every connection is dropped";
    ASSERT_TRUE(simulator.WaitFor([](const sim::Stats& s) { return !s.listening; }, 5s));
    EXPECT_FALSE(RouterAccepts(TestOctets()));
    EXPECT_EQ(simulator.FloatParameter(3), 77.5f) << "what was written stays";
    simulator.SetFaults({});
    ASSERT_TRUE(simulator.WaitFor([](const sim::Stats& s) { return s.listening; }, 5s));
    EXPECT_EQ(Code(Exchange(Command(8, 3, 3))), 8);
}

TEST_F(SimDownloadTest, SilentDownloadTakesFramesWithoutAnswering) {
    options_.expectedImage = TestImage(1, 1);
    options_.faults.downloadSilent = true;
    auto& simulator = Start();
    RawClient client(TestOctets());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(SendDownload(client, options_.expectedImage, false), 0);
    ASSERT_TRUE(simulator.WaitFor([](const sim::Stats& s) { return s.downloadFrames == 9; }, 5s));
    EXPECT_FALSE(client.NextReply(200ms));
    EXPECT_EQ(simulator.LastReceivedImage(), options_.expectedImage);
}

TEST_F(SimDownloadTest, DownloadErrorAnswersWithANonZeroCode) {
    options_.faults.downloadError = true;
    Start();
    RawClient client(TestOctets());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.SendFrame(0x5001, 2, Bytes{0xCA}));
    const auto reply = client.NextReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->header.invokeId, 2u);
    EXPECT_NE(reply->header.errorCode, 0u);
}

TEST_F(SimDownloadTest, DownloadDropAfterClosesTheConnection) {
    options_.faults.downloadDropAfter = 3;
    auto& simulator = Start();
    RawClient client(TestOctets());
    ASSERT_TRUE(client.Connected());
    for (uint32_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(client.SendFrame(0x5001, i, Bytes{0x11}));
    }
    EXPECT_TRUE(client.WaitForClose());
    EXPECT_EQ(simulator.stats().downloadFrames, 3u);
    // ADS traffic on a connection of its own is not counted against it.
    uint8_t buffer[4] = {};
    EXPECT_EQ(AdsSyncReadReq(&plc_, 0x4020, 0, 4, buffer), 0);
}

TEST_F(SimDownloadTest, InstallMsServesWithTheOldFirmwareAndThenLosesWhatWasWritten) {
    options_.expectedImage = TestImage(1, 1);
    options_.faults.installMs = 600000;
    auto& simulator = Start();
    Flash();
    const auto version = Exchange(Command(8, 1, 10));
    EXPECT_EQ(std::pair(version[12], version[13]), (std::pair<uint8_t, uint8_t>{3, 1}));
    EXPECT_EQ(Code(Exchange(Command(7, 2, 3, std::bit_cast<uint32_t>(77.5f)))), 7);
    ASSERT_EQ(Stop(), 0);
    EXPECT_EQ(simulator.stats().stopsWhileInstalling, 1u) << "the install is held back";
    RawClient watcher(TestOctets());
    ASSERT_TRUE(watcher.Connected());
    EXPECT_EQ(simulator.stats().rebootsStarted, 0u);
    simulator.SetFaults({.installMs = 50});  // the install comes by itself, no request needed
    ASSERT_TRUE(simulator.WaitFor(RebootDone, 5s));
    EXPECT_TRUE(watcher.WaitForClose()) << "every connection is dropped";
    EXPECT_EQ(simulator.Firmware(), (std::pair<uint8_t, uint8_t>{3, 3}));
    EXPECT_EQ(simulator.FloatParameter(3), sim::Controller::FactoryFloatParameter(3));
}

TEST_F(SimDownloadTest, RebootAfterWritesRestartsOnceWithFactoryParameters) {
    options_.expectedImage = TestImage(1, 1);
    options_.faults.rebootAfterWrites = 2;
    auto& simulator = Start();
    Flash();
    ASSERT_TRUE(simulator.WaitFor([](const sim::Stats& s) { return s.listening; }, 5s));
    Exchange(Command(7, 1, 3, std::bit_cast<uint32_t>(77.5f)));
    EXPECT_EQ(WriteCommand(Command(7, 2, 2, std::bit_cast<uint32_t>(42.25f))), 0);
    EXPECT_EQ(simulator.stats().rebootsStarted, 2u) << "down before the reply went out";
    EXPECT_EQ(simulator.FloatParameter(3), sim::Controller::FactoryFloatParameter(3));
    EXPECT_EQ(simulator.Firmware(), (std::pair<uint8_t, uint8_t>{3, 3}));
    ASSERT_TRUE(simulator.WaitFor(
        [](const sim::Stats& s) { return s.rebootsCompleted == 2 && s.listening; }, 5s));
    EXPECT_EQ(Sequence(ReadResponse()), 2u) << "the write was answered";
    Exchange(Command(7, 3, 3, std::bit_cast<uint32_t>(77.5f)));  // write 3 since the install
    EXPECT_EQ(simulator.stats().rebootsStarted, 2u) << "once per install";
    EXPECT_EQ(simulator.FloatParameter(3), 77.5f);
}

TEST_F(SimDownloadTest, StallDownloadBlocksTheHostsSendsButServesOtherConnections) {
    options_.faults.stallDownload = 1;
    auto& simulator = Start();
    RawClient client(TestOctets());
    platform::TcpSocket& socket = client.Socket();
    ASSERT_TRUE(socket.SetSendBufferSize(0) && socket.SetSendTimeout(300ms));
    ASSERT_TRUE(client.SendFrame(0x5001, 1, Bytes{0x11}) && client.NextReply());
    // An image's worth of records would fit in an ordinary receive buffer.
    const Bytes record(kRecord, 0x5A);
    int sent = 0;
    while (sent < 39 && client.SendFrame(0x5006, 0, record)) {
        ++sent;
    }
    EXPECT_LT(sent, 39) << "a send blocked until its time-out";
    uint8_t buffer[4] = {};
    EXPECT_EQ(AdsSyncReadReq(&plc_, 0x4020, 0, 4, buffer), 0);
    simulator.Stop();  // the thread waiting on the stalled connection notices
    EXPECT_TRUE(client.WaitForClose());
}

}  // namespace
