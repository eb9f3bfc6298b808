// The device link against the simulated instrument over real loopback TCP.
#include "device/device_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "device/device_messages.h"
#include "device/device_timing.h"
#include "device/exact_value.h"
#include "device/mailbox_record.h"
#include "device/plc_memory.h"
#include "ads/ads_api.h"
#include "ads/ads_client_testing.h"
#include "sim/controller.h"
#include "tests/support/ams_test_socket.h"
#include "tests/support/test_address.h"
#include "tests/unit/device/device_test_support.h"

namespace {

using namespace std::chrono_literals;
using corvane::test::Closed;
using corvane::test::Event;
using corvane::test::LinkMessage;
using corvane::test::MessageRecorder;
using ::testing::ElementsAre;

constexpr auto kPatience = 10s;

class DeviceLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        instrument_ = std::make_unique<sim::Controller>(corvane::test::InstrumentOptions());
        ASSERT_TRUE(instrument_->Start()) << instrument_->LastError();
        link_ = std::make_unique<CDeviceLink>();
        link_->SetNotificationWindow(recorder_.window());
    }

    void TearDown() override {
        if (link_) {
            link_->Shutdown();
            link_.reset();
        }
        // The test's own default port aside, the session's port went with its worker.
        AdsPortClose();
        EXPECT_EQ(AdsClientOpenPortCountForTests(), 0u) << "a polling worker was left";
        AdsClientResetForTests();
        instrument_.reset();
    }

    int16_t Connect() {
        const auto o = corvane::test::TestOctets();
        return link_->Connect(o[0], o[1], o[2], o[3]);
    }

    uint64_t Received(uint16_t code) const {
        const auto stats = instrument_->stats();
        const auto it = stats.mailboxReceived.find(code);
        return it == stats.mailboxReceived.end() ? 0 : it->second;
    }
    uint64_t Reads() const {
        const auto stats = instrument_->stats();
        const auto it = stats.adsRequests.find(2);
        return it == stats.adsRequests.end() ? 0 : it->second;
    }
    // Lets the worker make at least `cycles` more reads of the response and status area.
    void LetWorkerCycle(uint64_t cycles) {
        const uint64_t target = Reads() + cycles;
        ASSERT_TRUE(instrument_->WaitFor(
            [target](const sim::Stats& s) {
                const auto it = s.adsRequests.find(2);
                return it != s.adsRequests.end() && it->second >= target;
            },
            kPatience));
    }

    // The request standing in the PLC's command block, read over ADS beside the link, on the
    // process's default port (the session has a port of its own).
    device::MailboxRecord PlcCommandBlock() {
        const auto o = corvane::test::TestOctets();
        AmsAddr plc{ams::NetIdFromIpv4(o), ams::kPlcRuntimePort};
        AdsPortOpen();
        device::MailboxRecord block{};
        EXPECT_EQ(AdsSyncReadReq(&plc, device::kPlcMemoryIndexGroup, device::kCommandBlockOffset,
                                 static_cast<uint32_t>(block.size()), block.data()),
                  ADSERR_NOERR);
        return block;
    }

    // Only the link's own messages; the state the worker reports first is left out where a
    // test is about something else.
    std::vector<LinkMessage> LinkEvents() {
        std::vector<LinkMessage> out;
        for (const auto& m : recorder_.Seen()) {
            if (m.message == WM_DEVICE_CLOSED ||
                (m.kind != DEVEVT_STATE && m.kind != DEVEVT_DETAIL)) {
                out.push_back(m);
            }
        }
        return out;
    }

    // Exchanges normally take a worker cycle or two; a silent device is given up on sooner
    // than in the field so the suite stays fast.
    device::ScopedDeviceTimingForTesting timing_{1000ms, 5000ms};
    MessageRecorder recorder_;
    std::unique_ptr<sim::Controller> instrument_;
    std::unique_ptr<CDeviceLink> link_;
};

TEST_F(DeviceLinkTest, ConnectLearnsTheVersionAndRegistersTheAddressFacingTheInstrument) {
    // The host name resolves first to an address on another network.
    AdsClientSetHostLookupForTests({[] { return std::optional<std::string>("service-pc"); },
                                    [](const std::string&) {
                                        return std::optional(platform::Ipv4{10, 99, 0, 5});
                                    }});
    ASSERT_EQ(Connect(), -1);
    EXPECT_EQ(link_->GetParameter(PARAM_FIRMWARE_VERSION), 3.1f);
    EXPECT_EQ(link_->GetState(), 1);

    const auto host = instrument_->stats().lastRegisteredHost;
    ASSERT_TRUE(host.has_value());
    EXPECT_EQ(host, corvane::test::AddressFacing(corvane::test::TestOctets()));
    EXPECT_EQ(Received(CMD_GET_PARAMETER), 1u);
    EXPECT_EQ(Received(CMD_REGISTER_HOST), 1u);
    // Version then registration: sequence numbers 1 and 2.
    const auto block = PlcCommandBlock();
    EXPECT_EQ(device::RecordCode(block), CMD_REGISTER_HOST);
    EXPECT_EQ(device::RecordSequence(block), 2u);

    // The version is the one learnt at Connect; the device is not asked again.
    instrument_->SetFirmware(3, 4);
    EXPECT_EQ(link_->GetParameter(PARAM_FIRMWARE_VERSION), 3.1f);
    EXPECT_EQ(Received(CMD_GET_PARAMETER), 1u);
}

struct VersionCase {
    uint8_t minor;
    float expected;
};
void PrintTo(const VersionCase& c, std::ostream* out) {
    *out << "minor " << int{c.minor};
}

class VersionAtConnect : public DeviceLinkTest,
                         public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionAtConnect, MinorIsScaledByItsDecimalPlaces) {
    instrument_->SetFirmware(3, GetParam().minor);
    ASSERT_EQ(Connect(), -1);
    EXPECT_EQ(link_->GetParameter(PARAM_FIRMWARE_VERSION), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Minors, VersionAtConnect,
                         ::testing::Values(VersionCase{3, 3.3f}, VersionCase{9, 3.9f},
                                           VersionCase{10, 3.1f}, VersionCase{12, 3.12f},
                                           VersionCase{100, 3.1f}, VersionCase{125, 3.125f}),
                         [](const auto& testCase) {
                             return "Minor" + std::to_string(testCase.param.minor);
                         });

TEST_F(DeviceLinkTest, ConnectWhileConnectedIsRefusedAndChangesNothing) {
    ASSERT_EQ(Connect(), -1);
    const auto accepted = instrument_->stats().connectionsAccepted;
    EXPECT_EQ(Connect(), 0);
    EXPECT_EQ(Received(CMD_GET_PARAMETER), 1u);
    EXPECT_EQ(Received(CMD_REGISTER_HOST), 1u);
    EXPECT_EQ(instrument_->stats().connectionsAccepted, accepted);
    EXPECT_EQ(link_->GetState(), 1);
}

TEST_F(DeviceLinkTest, CloseThenReconnectStartsSequenceNumbersAgain) {
    ASSERT_EQ(Connect(), -1);
    ASSERT_EQ(link_->Close(), -1);
    EXPECT_EQ(Received(CMD_RELEASE), 1u);
    EXPECT_EQ(link_->GetState(), -1);
    EXPECT_EQ(link_->GetParameter(PARAM_FIRMWARE_VERSION), -1.0f);

    // At once: Connect waits for the ending worker of the session before.
    ASSERT_EQ(Connect(), -1);
    EXPECT_EQ(Received(CMD_GET_PARAMETER), 2u);
    EXPECT_EQ(Received(CMD_REGISTER_HOST), 2u);
    const auto block = PlcCommandBlock();
    EXPECT_EQ(device::RecordCode(block), CMD_REGISTER_HOST);
    EXPECT_EQ(device::RecordSequence(block), 2u);
    EXPECT_EQ(link_->GetParameter(PARAM_FIRMWARE_VERSION), 3.1f);
}

TEST_F(DeviceLinkTest, CloseOnANeverConnectedLinkSucceedsWithoutTraffic) {
    EXPECT_EQ(link_->Close(), -1);
    EXPECT_EQ(link_->GetState(), -1);
    EXPECT_EQ(link_->GetParameter(PARAM_FIRMWARE_VERSION), -1.0f);
    float value = 42.0f;
    EXPECT_EQ(link_->TryGetParameter(PARAM_FIRMWARE_VERSION, value), 0);
    EXPECT_EQ(value, 42.0f);
    EXPECT_EQ(link_->GetParameter(0), -1.0f);
    EXPECT_EQ(link_->SetParameter(0, 1.0f), 0);
    EXPECT_EQ(instrument_->stats().connectionsAccepted, 0u);
    EXPECT_TRUE(LinkEvents().empty());
}

class StatusErrorAtConnect : public DeviceLinkTest,
                             public ::testing::WithParamInterface<uint32_t> {};

TEST_P(StatusErrorAtConnect, AnyNonZeroByteRefusesTheConnection) {
    instrument_->SetErrorCode(GetParam());
    EXPECT_EQ(Connect(), 0);
    EXPECT_EQ(link_->GetState(), -1);
    EXPECT_EQ(instrument_->stats().commandBlockWrites, 0u);
    EXPECT_THAT(recorder_.Seen(), ElementsAre(Event(DEVEVT_LINK, 4)));
    // The port went with the refusal: nothing is left open for Close.
    EXPECT_EQ(AdsClientOpenPortCountForTests(), 0u);
}

INSTANTIATE_TEST_SUITE_P(ErrorBytes, StatusErrorAtConnect,
                         ::testing::Values(0x00000001u, 0x00000100u, 0x00010000u, 0x80000000u));

TEST_F(DeviceLinkTest, UnreachableControllerFailsWithoutEvents) {
    const auto nobody = corvane::test::TestOctets(1);
    EXPECT_EQ(link_->Connect(nobody[0], nobody[1], nobody[2], nobody[3]), 0);
    EXPECT_EQ(link_->GetState(), -1);
    EXPECT_TRUE(recorder_.Seen().empty());
    EXPECT_EQ(AdsClientOpenPortCountForTests(), 0u);
}

TEST_F(DeviceLinkTest, SilentMailboxFailsConnectAndTheWorkerWindsDown) {
    sim::Faults faults;
    faults.mailboxSilent = true;
    instrument_->SetFaults(faults);
    EXPECT_EQ(Connect(), 0);
    EXPECT_EQ(link_->GetState(), -1);
    ASSERT_TRUE(recorder_.PumpUntilSeen(Event(DEVEVT_LINK, 2), kPatience));
    EXPECT_THAT(recorder_.Seen(), ElementsAre(Event(DEVEVT_STATE, 1), Event(DEVEVT_TIMEOUT, 1),
                                              Event(DEVEVT_LINK, 2)));
    // The worker closed the port; Close only forgets it.
    EXPECT_EQ(link_->Close(), -1);
    EXPECT_EQ(Received(CMD_REGISTER_HOST), 0u);
}

TEST_F(DeviceLinkTest, UnansweredRegistrationFailsConnectButKeepsTheSession) {
    sim::Faults faults;
    faults.registerSilent = true;
    instrument_->SetFaults(faults);
    EXPECT_EQ(Connect(), 0);
    EXPECT_EQ(link_->GetState(), 1);
    EXPECT_EQ(link_->GetParameter(PARAM_FIRMWARE_VERSION), 3.1f);
    EXPECT_EQ(Connect(), 0);
    EXPECT_EQ(Received(CMD_GET_PARAMETER), 1u);

    EXPECT_EQ(link_->Close(), -1);
    EXPECT_EQ(link_->GetState(), -1);
    // Close had closed the port already, so the worker's own closing reports an error.
    ASSERT_TRUE(recorder_.PumpUntilSeen(Event(DEVEVT_LINK, 5), kPatience));
    EXPECT_THAT(LinkEvents(), ElementsAre(Event(DEVEVT_TIMEOUT, 1), Event(DEVEVT_LINK, 5)));
}

TEST_F(DeviceLinkTest, ShutdownClosesWaitsAndReportsInOrder) {
    ASSERT_EQ(Connect(), -1);
    link_->Shutdown();
    EXPECT_EQ(AdsClientOpenPortCountForTests(), 0u);
    EXPECT_EQ(Received(CMD_RELEASE), 1u);
    EXPECT_THAT(recorder_.Seen(),
                ElementsAre(Event(DEVEVT_STATE, 1), Event(DEVEVT_LINK, 5), Closed()));
}

TEST_F(DeviceLinkTest, UnansweredReleaseKeepsTheSessionButShutdownStillEndsIt) {
    ASSERT_EQ(Connect(), -1);
    sim::Faults faults;
    faults.releaseSilent = true;
    instrument_->SetFaults(faults);

    EXPECT_EQ(link_->Close(), 0);
    EXPECT_EQ(link_->GetState(), 1);
    instrument_->SetStateWord(4);
    ASSERT_TRUE(recorder_.PumpUntilSeen(Event(DEVEVT_STATE, 4), kPatience));
    LetWorkerCycle(2);
    EXPECT_EQ(link_->GetState(), 4);

    link_->Shutdown();
    // The worker stopped polling and closed the port itself.
    const uint64_t reads = Reads();
    EXPECT_EQ(AdsClientOpenPortCountForTests(), 0u);
    EXPECT_THAT(LinkEvents(), ElementsAre(Event(DEVEVT_TIMEOUT, 1), Event(DEVEVT_TIMEOUT, 1),
                                          Event(DEVEVT_LINK, 2), Closed()));
    EXPECT_EQ(Reads(), reads);
}

TEST_F(DeviceLinkTest, DroppedConnectionEndsTheSession) {
    ASSERT_EQ(Connect(), -1);
    // The router stops taking connections, then drops the one in use after its next reply.
    sim::Faults faults;
    faults.refuseConnect = true;
    instrument_->SetFaults(faults);
    ASSERT_TRUE(instrument_->WaitFor([](const sim::Stats& s) { return !s.listening; }, kPatience));
    faults.dropAfter = 1;
    instrument_->SetFaults(faults);

    ASSERT_TRUE(recorder_.PumpUntilSeen(Event(DEVEVT_LINK, 2), kPatience));
    EXPECT_EQ(link_->GetState(), -1);
    EXPECT_THAT(LinkEvents(), ElementsAre(Event(DEVEVT_LINK, 3), Event(DEVEVT_LINK, 2)));
    // Later requests fail at once: they do not wait for an answer into the time-out.
    EXPECT_EQ(link_->GetParameter(0), -1.0f);
    EXPECT_EQ(link_->SetParameter(0, 2.0f), 0);
    EXPECT_THAT(LinkEvents(), ElementsAre(Event(DEVEVT_LINK, 3), Event(DEVEVT_LINK, 2)));

    // The instrument back, the same link connects again.
    EXPECT_EQ(link_->Close(), -1);
    instrument_->SetFaults(sim::Faults{});
    ASSERT_TRUE(instrument_->WaitFor([](const sim::Stats& s) { return s.listening; }, kPatience));
    EXPECT_EQ(Connect(), -1);
    EXPECT_EQ(link_->GetState(), 1);
    // The write asked for on the dead session never reaches the instrument: the new session
    // does not send on what the last one could not.
    LetWorkerCycle(3);
    EXPECT_EQ(Received(CMD_SET_PARAMETER), 0u);
    EXPECT_NE(instrument_->FloatParameter(0), 2.0f);
}

TEST_F(DeviceLinkTest, BusyDeviceRefusesParameterWritesWithoutTraffic) {
    ASSERT_EQ(Connect(), -1);
    sim::Faults faults;
    faults.busy = true;
    instrument_->SetFaults(faults);
    ASSERT_TRUE(recorder_.PumpUntilSeen(Event(DEVEVT_STATE, device::kDeviceStateBusy), kPatience));
    // The event goes out before the worker stores the status it came with.
    LetWorkerCycle(2);
    ASSERT_EQ(link_->GetState(), device::kDeviceStateBusy);

    const uint64_t writes = instrument_->stats().commandBlockWrites;
    EXPECT_EQ(link_->SetParameter(0, 5.0f), 0);
    LetWorkerCycle(3);
    EXPECT_EQ(instrument_->stats().commandBlockWrites, writes);
    EXPECT_EQ(Received(CMD_SET_PARAMETER), 0u);
    EXPECT_TRUE(LinkEvents().empty());

    instrument_->SetFaults(sim::Faults{});
    ASSERT_TRUE(recorder_.PumpUntil(
        [](const auto& seen) { return seen.back() == Event(DEVEVT_STATE, 1); }, kPatience));
    LetWorkerCycle(2);
    EXPECT_EQ(link_->SetParameter(0, 5.0f), -1);
    EXPECT_EQ(instrument_->FloatParameter(0), 5.0f);
}

TEST_F(DeviceLinkTest, WorkerWritesEachRequestOnce) {
    ASSERT_EQ(Connect(), -1);
    // The first cycle's write, the version request and the registration at most.
    const uint64_t afterConnect = instrument_->stats().commandBlockWrites;
    EXPECT_GE(afterConnect, 2u);
    EXPECT_LE(afterConnect, 3u);
    LetWorkerCycle(20);
    EXPECT_EQ(instrument_->stats().commandBlockWrites, afterConnect);
    EXPECT_EQ(link_->SetParameter(1, 0.5f), -1);
    LetWorkerCycle(20);
    EXPECT_EQ(instrument_->stats().commandBlockWrites, afterConnect + 1);
}

struct WriteCase {
    const char* name;
    int16_t id;
    float value;
    bool integer;
    double expected;
};
void PrintTo(const WriteCase& c, std::ostream* out) {
    *out << c.name;
}

class ParameterWrite : public DeviceLinkTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ParameterWrite, ReachesTheDeviceInItsCoding) {
    const WriteCase& c = GetParam();
    ASSERT_EQ(Connect(), -1);
    ASSERT_EQ(link_->SetParameter(c.id, c.value), -1);
    if (c.integer) {
        EXPECT_EQ(instrument_->IntParameter(c.id), static_cast<int32_t>(c.expected));
    } else {
        EXPECT_EQ(instrument_->FloatParameter(c.id), static_cast<float>(c.expected));
    }
}

INSTANTIATE_TEST_SUITE_P(Ids, ParameterWrite,
                         ::testing::Values(WriteCase{"Id4Positive", 4, 12.9f, true, 12},
                                           WriteCase{"Id4Negative", 4, -12.9f, true, -12},
                                           WriteCase{"Id11", 11, -70000.75f, true, -70000},
                                           WriteCase{"Id0", 0, 1.25f, false, 1.25},
                                           WriteCase{"Id8", 8, -3.5f, false, -3.5}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

struct ReadCase {
    const char* name;
    int16_t id;
    bool integer;
    double stored;
    float expected;
};
void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}

class ParameterRead : public DeviceLinkTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ParameterRead, ComesBackAsAFloat) {
    const ReadCase& c = GetParam();
    if (c.integer) {
        instrument_->SetIntParameter(c.id, static_cast<int32_t>(c.stored));
    } else {
        instrument_->SetFloatParameter(c.id, static_cast<float>(c.stored));
    }
    ASSERT_EQ(Connect(), -1);
    EXPECT_EQ(link_->GetParameter(c.id), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Ids, ParameterRead,
                         ::testing::Values(ReadCase{"Id2", 2, false, 0.125, 0.125f},
                                           ReadCase{"Id7", 7, false, -2.5, -2.5f},
                                           ReadCase{"Id4", 4, true, -300, -300.0f},
                                           ReadCase{"Id9", 9, true, -5, -5.0f},
                                           ReadCase{"Id11", 11, true, 70000, 70000.0f}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

struct ExactCase {
    const char* name;
    int16_t id;
    device::ExactValue value;
};
void PrintTo(const ExactCase& c, std::ostream* out) {
    *out << c.name << " " << c.value.ToString();
}

class ParameterExact : public DeviceLinkTest, public ::testing::WithParamInterface<ExactCase> {};

// What a float would round (2^24 + 1), the narrow integer's edge, a NaN's payload and the sign
// of zero all come back from the device unchanged.
TEST_P(ParameterExact, WriteAndReadBackChangeNothing) {
    const ExactCase& c = GetParam();
    ASSERT_EQ(Connect(), -1);
    ASSERT_EQ(link_->SetParameterExact(c.id, c.value), -1);
    device::ExactValue back;
    ASSERT_EQ(link_->TryGetParameterExact(c.id, back), -1);
    EXPECT_EQ(back, c.value) << back.ToString();
}

INSTANTIATE_TEST_SUITE_P(
    Ids, ParameterExact,
    ::testing::Values(ExactCase{"Id11", PARAM_INT32_11, device::ExactValue::Integer(16777217)},
                      ExactCase{"Id4", PARAM_INT16_4, device::ExactValue::Integer(-32768)},
                      ExactCase{"NanPayload", PARAM_FLOAT_2,
                                device::ExactValue::FloatBits(0x7FC12345)},
                      ExactCase{"NegativeZero", PARAM_FLOAT_0, device::ExactValue::Float(-0.0f)}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(DeviceLinkTest, UnknownParameterIsAskedForButGivesMinusOne) {
    ASSERT_EQ(Connect(), -1);
    EXPECT_EQ(link_->GetParameter(12), -1.0f);
    EXPECT_EQ(link_->GetParameter(-1), -1.0f);
    EXPECT_EQ(Received(CMD_GET_PARAMETER), 3u);
}

TEST_F(DeviceLinkTest, AnswerForAnotherParameterIsNoValue) {
    ASSERT_EQ(Connect(), -1);
    // The instrument keeps quiet; a stand-in answers the next request (sequence number 3,
    // after the version and the registration) in PLC memory, but for parameter 5.
    sim::Faults faults;
    faults.mailboxSilent = true;
    instrument_->SetFaults(faults);
    std::thread forger([this] {
        if (!instrument_->WaitFor(
                [](const sim::Stats& st) {
                    const auto it = st.mailboxReceived.find(CMD_GET_PARAMETER);
                    return it != st.mailboxReceived.end() && it->second >= 2;
                },
                kPatience)) {
            return;
        }
        device::MailboxRecord answer = device::MakeRequest(CMD_GET_PARAMETER);
        device::SetRecordSequence(answer, 3);
        device::SetRecordParameterId(answer, 5);
        answer[15] = 0x3F;  // 0.5f
        const auto o = corvane::test::TestOctets();
        const AmsAddr plc{ams::NetIdFromIpv4(o), ams::kPlcRuntimePort};
        AdsPortOpen();
        AdsSyncWriteReq(&plc, device::kPlcMemoryIndexGroup, device::kResponseBlockOffset,
                        static_cast<uint32_t>(answer.size()), answer.data());
    });
    float value = 42.0f;
    EXPECT_EQ(link_->TryGetParameter(0, value), 0);
    forger.join();
    EXPECT_EQ(value, 42.0f);
    // It was taken as the answer (no time-out was reported), then refused for its id.
    EXPECT_TRUE(LinkEvents().empty());
}

TEST_F(DeviceLinkTest, TryGetParameterTellsAMinusOneValueFromAFailedRead) {
    instrument_->SetFloatParameter(1, -1.0f);
    ASSERT_EQ(Connect(), -1);
    float value = 0.0f;
    EXPECT_EQ(link_->TryGetParameter(1, value), -1);
    EXPECT_EQ(value, -1.0f);
    EXPECT_EQ(link_->GetParameter(1), -1.0f);

    sim::Faults faults;
    faults.mailboxSilent = true;
    instrument_->SetFaults(faults);
    value = 42.0f;
    EXPECT_EQ(link_->TryGetParameter(1, value), 0);
    EXPECT_EQ(value, 42.0f);
    EXPECT_EQ(link_->GetParameter(1), -1.0f);
    EXPECT_EQ(link_->SetParameter(1, 2.0f), 0);
    EXPECT_THAT(LinkEvents(), ElementsAre(Event(DEVEVT_TIMEOUT, 1), Event(DEVEVT_TIMEOUT, 1),
                                          Event(DEVEVT_TIMEOUT, 1)));
    // The session outlives unanswered requests.
    EXPECT_EQ(link_->GetState(), 1);
}

TEST_F(DeviceLinkTest, StateAndDetailChangesArePostedStateFirst) {
    instrument_->SetStateWord(0);
    ASSERT_EQ(Connect(), -1);
    LetWorkerCycle(3);
    EXPECT_TRUE(recorder_.Seen().empty()) << "a state word of 0 at the start is no change";

    instrument_->SetDetailWord(-7);
    instrument_->SetStateWord(3);
    ASSERT_TRUE(recorder_.PumpUntil([](const auto& seen) { return seen.size() >= 2; }, kPatience));
    // The instrument changes the two words one after the other, so they may be read in one
    // cycle or in two; the order within one cycle is shown at the start of a session below.
    EXPECT_THAT(recorder_.Seen(),
                ::testing::UnorderedElementsAre(Event(DEVEVT_STATE, 3), Event(DEVEVT_DETAIL, -7)));
}

TEST_F(DeviceLinkTest, NonZeroWordsAtTheStartArePostedInTheFirstCycleStateFirst) {
    instrument_->SetStateWord(-2);
    instrument_->SetDetailWord(9);
    ASSERT_EQ(Connect(), -1);
    EXPECT_THAT(recorder_.Seen(), ElementsAre(Event(DEVEVT_STATE, -2), Event(DEVEVT_DETAIL, 9)));
}

TEST_F(DeviceLinkTest, NothingIsPostedWithoutANotificationWindow) {
    ASSERT_EQ(Connect(), -1);
    ASSERT_THAT(recorder_.Seen(), ElementsAre(Event(DEVEVT_STATE, 1)));
    link_->SetNotificationWindow(nullptr);
    instrument_->SetStateWord(3);
    sim::Faults faults;
    faults.mailboxSilent = true;
    instrument_->SetFaults(faults);
    EXPECT_EQ(link_->GetParameter(0), -1.0f);
    link_->Shutdown();
    EXPECT_EQ(AdsClientOpenPortCountForTests(), 0u);
    EXPECT_EQ(recorder_.Seen().size(), 1u);
}

TEST_F(DeviceLinkTest, LinkDroppedWithoutShutdownStillEndsItsSession) {
    ASSERT_EQ(Connect(), -1);
    link_.reset();
    EXPECT_EQ(AdsClientOpenPortCountForTests(), 0u);
    EXPECT_EQ(Received(CMD_RELEASE), 1u);
    EXPECT_THAT(recorder_.Seen(),
                ElementsAre(Event(DEVEVT_STATE, 1), Event(DEVEVT_LINK, 5), Closed()));
}

TEST_F(DeviceLinkTest, WorkerLetGoByShutdownEndsAloneAndNeverReachesTheGoneLink) {
    ASSERT_EQ(Connect(), -1);
    sim::Faults faults;
    faults.releaseSilent = true;
    instrument_->SetFaults(faults);
    {
        // No time for the worker at all: Shutdown lets it go while it is still finishing its
        // cycle, and the link is destroyed under it.
        device::ScopedDeviceTimingForTesting hurried(100ms, 0ms);
        link_->Shutdown();
        link_.reset();
    }
    // It runs to its end and closes the port, and with it the connection.
    ASSERT_TRUE(instrument_->WaitFor([](const sim::Stats& st) { return st.connectionsClosed == 1; },
                                     kPatience));
    EXPECT_EQ(AdsClientOpenPortCountForTests(), 0u);
    // Its end report reached the window only if it was posted before the link went.
    const auto events = LinkEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), Event(DEVEVT_TIMEOUT, 1));
    EXPECT_THAT(events, ::testing::Contains(Closed()));
    EXPECT_THAT(events, ::testing::Each(::testing::AnyOf(Event(DEVEVT_TIMEOUT, 1),
                                                         Event(DEVEVT_LINK, 2), Closed())));
}

// A worker let go while its call is held up ends later and closes its own session's port and
// nothing else: neither the port a flash opened meanwhile nor a new link's.
TEST_F(DeviceLinkTest, EndingWorkerClosesOnlyItsOwnSessionsPort) {
    ASSERT_EQ(Connect(), -1);
    sim::Faults slow;
    slow.releaseSilent = true;
    slow.delayMs = 300;
    instrument_->SetFaults(slow);
    {
        device::ScopedDeviceTimingForTesting hurried(100ms, 0ms);
        link_->Shutdown();
    }
    const int32_t flashPort = AdsPortOpenEx();
    instrument_->SetFaults(sim::Faults{});
    CDeviceLink other;
    const auto o = corvane::test::TestOctets();
    ASSERT_EQ(other.Connect(o[0], o[1], o[2], o[3]), -1);

    ASSERT_TRUE(recorder_.PumpUntilSeen(Event(DEVEVT_LINK, 2), kPatience));
    const AmsAddr plc{ams::NetIdFromIpv4(o), ams::kPlcRuntimePort};
    EXPECT_EQ(AdsSyncWriteControlReqEx(flashPort, &plc, ADSSTATE_RUN, 0, 0, nullptr), ADSERR_NOERR);
    EXPECT_EQ(AdsPortCloseEx(flashPort), ADSERR_NOERR);
    EXPECT_EQ(other.GetParameter(0), instrument_->FloatParameter(0));
    EXPECT_EQ(other.Close(), -1);
}

}  // namespace
